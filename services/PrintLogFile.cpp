#include "services/PrintLogFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdlib>

#include "services/Codec.h"
#include "services/OutputFile.h"

namespace kb {

namespace {

constexpr char Bom[] = "\xEF\xBB\xBF";

QByteArray readWhole(const QString& path) {
    QFile file(path);
    // Only a regular file: a named pipe or a device at the name must not hang or flood the check.
    if (!outputfile::refusal(path).isEmpty() || !file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace

PrintLogFile::PrintLogFile(const QString& folder)
    : m_path(QDir(folder).filePath(QStringLiteral("PrintLog.csv"))),
      m_older(QDir(folder).filePath(QStringLiteral("PrintLog.1.csv"))) {}

bool PrintLogFile::fail(const QString& why) {
    m_problem = why;
    return false;
}

bool PrintLogFile::append(const LedgerRow& row) {
    if (!m_problem.isEmpty())
        return false;
    // Never through a link, into a pipe or onto a device: the ledger is a file of this folder.
    if (const QString refused = outputfile::refusal(m_path); !refused.isEmpty())
        return fail(refused);
    if (QFileInfo(m_path).size() >= RotateAt) {
        QFile::remove(m_older);
        if (!QFile::rename(m_path, m_older))
            return fail(QStringLiteral("%1 → %2").arg(m_path, m_older));
    }
    QFile file(m_path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append))
        return fail(file.errorString());
    QByteArray bytes;
    if (file.size() == 0) {
        // Excel reads UTF-8 only with the mark; the header names the columns for any reader.
        bytes = Bom;
        bytes += QByteArray::fromStdString(csvRecord(ledgerColumns()));
    } else if (file.seek(file.size() - 1) && file.read(1) != "\n") {
        // A row that a crash cut short ends here, so that this one starts a record of its own.
        bytes = "\r\n";
    }
    bytes += QByteArray::fromStdString(csvRecord(row));
    // One write of the whole row: other runs append to the same file.
    if (file.write(bytes) != bytes.size() || !file.flush())
        return fail(file.errorString());
    file.close();
    QString why;
    if (!outputfile::flushToDisk(m_path, why))
        return fail(why);
    return true;
}

std::vector<LedgerRow> PrintLogFile::readAll() const {
    std::vector<LedgerRow> rows = ledgerRows(readWhole(m_older).toStdString());
    std::vector<LedgerRow> current = ledgerRows(readWhole(m_path).toStdString());
    rows.insert(rows.end(), std::make_move_iterator(current.begin()), std::make_move_iterator(current.end()));
    return rows;
}

std::optional<Repeat> PrintLogFile::firstRepeat(const RunLabels& labels) const {
    if (labels.size() == 0 || !labels.at(0).serial)
        return std::nullopt;
    const std::int32_t first = *labels.at(0).serial;
    const std::int32_t last = static_cast<std::int32_t>(first + labels.size() - 1);
    const QByteArray older = readWhole(m_older), current = readWhole(m_path);
    // The ledger holds the labels as the user reads them; the run's are made in Shift-JIS.
    return kb::firstRepeat(
        {std::string_view(older.constData(), std::size_t(older.size())),
         std::string_view(current.constData(), std::size_t(current.size()))},
        first, last, [&](std::int32_t serial) {
            const LabelLines l = labels.at(serial - first).lines;
            return LabelText{fromSjis(l.line1).toStdString(), fromSjis(l.line2).toStdString()};
        });
}

QString ledgerTime() {
    const QDateTime now = QDateTime::currentDateTime();
    // The offset always as +HH:MM (Qt writes Z for UTC), so that every row reads the same way.
    const int offset = now.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return now.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) +
           QStringLiteral("%1%2:%3")
               .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

LedgerRow queuedRow(const LedgerRun& run, const TakenSheet& sheet) {
    LedgerRow row;
    row.time = ledgerTime().toStdString();
    row.program = run.program.toStdString();
    row.printer = run.printer.toStdString();
    row.job = std::to_string(sheet.job);
    row.sheet = std::to_string(sheet.range.sheet);
    row.positions = sheet.range.first == sheet.range.last
                        ? std::to_string(sheet.range.first)
                        : std::to_string(sheet.range.first) + "-" + std::to_string(sheet.range.last);
    const RunLabel first = run.labels->at(sheet.stretch.first);
    const RunLabel last = run.labels->at(sheet.stretch.last);
    row.firstLine1 = fromSjis(first.lines.line1).toStdString();
    row.firstLine2 = fromSjis(first.lines.line2).toStdString();
    row.lastLine1 = fromSjis(last.lines.line1).toStdString();
    row.lastLine2 = fromSjis(last.lines.line2).toStdString();
    if (first.serial && last.serial) {
        row.firstSerial = std::to_string(*first.serial);
        row.lastSerial = std::to_string(*last.serial);
    }
    row.state = "queued";
    return row;
}

LedgerRow endedRow(const LedgerRow& queued, const JobStatus& status) {
    LedgerRow row = queued;
    row.time = ledgerTime().toStdString();
    row.detail.clear();
    if (status.state == JobState::Completed) {
        row.state = "printed";
    } else if (jobFailed(status.state)) {
        row.state = "failed";
        row.detail = failureWord(status.state);
    } else {
        row.state = "unknown";
        row.detail = status.state == JobState::Lost ? "the print system could not be asked"
                                                    : "the print system no longer knows the job";
    }
    return row;
}

} // namespace kb
