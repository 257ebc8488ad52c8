// The ledger file: created with its byte-order mark and header, a row appended per sheet, a row that a
// crash cut short, and the turn to PrintLog.1.csv at 5 MB. (A ledger that cannot be written: e2e_run.)
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "services/Codec.h"
#include "services/PrintLogFile.h"

namespace {

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

kb::TakenSheet sheet(int job, std::int32_t first, std::int32_t last) {
    return kb::TakenSheet{0, {1, first, last}, job, {last - first + 1, first - 1, last - 1, last % 30 + 1}};
}

} // namespace

TEST(PrintLogFile, RowsAndRotation) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    kb::PrintLogFile log(dir.path());
    kb::NumberedLabel label;
    label.fixedLine1 = *kb::toSjis(QStringLiteral("検体"));
    label.where = kb::NumberedLine::Line2;
    label.NumberStem = "A,B";
    const kb::LedgerRun run{QStringLiteral("command"), QStringLiteral("kbtest"),
                            std::make_shared<const kb::TypedLabels>(label, true, 1, 3)};
    const kb::LedgerRow queued = kb::queuedRow(run, sheet(7, 1, 3));
    ASSERT_TRUE(log.append(queued));
    ASSERT_TRUE(log.append(kb::endedRow(queued, kb::JobStatus{kb::JobState::Aborted, {}})));
    const QByteArray text = bytesOf(log.path());
    EXPECT_TRUE(text.startsWith("\xEF\xBB\xBFtime,program,printer,job,sheet,positions,"))
        << text.toStdString();
    EXPECT_EQ(text.count("\r\n"), 3);
    EXPECT_TRUE(text.contains(",\"A,B-1\",")) << text.toStdString();
    const std::vector<kb::LedgerRow> rows = log.readAll();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].firstLine1, "検体");
    EXPECT_EQ(rows[0].firstSerial, "1");
    EXPECT_EQ(rows[0].lastSerial, "3");
    EXPECT_EQ(rows[1].state, "failed");
    EXPECT_EQ(rows[1].detail, "aborted");

    // A row cut short by a crash does not swallow the next one.
    {
        QFile f(log.path());
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write("2026-12-09T10:00:00+09:00,command,kbt");
    }
    ASSERT_TRUE(log.append(queued));
    EXPECT_EQ(log.readAll().size(), 3u);

    // At 5 MB the ledger becomes PrintLog.1.csv and a new one starts; both are read, older first.
    {
        QFile f(log.path());
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write(QByteArray(kb::PrintLogFile::RotateAt, '\n'));
    }
    ASSERT_TRUE(log.append(kb::endedRow(queued, kb::JobStatus{kb::JobState::Completed, {}})));
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("PrintLog.1.csv"))));
    EXPECT_TRUE(bytesOf(log.path()).startsWith("\xEF\xBB\xBFtime,"));
    const std::vector<kb::LedgerRow> both = log.readAll();
    ASSERT_EQ(both.size(), 4u);
    EXPECT_EQ(both.back().state, "printed");
}
