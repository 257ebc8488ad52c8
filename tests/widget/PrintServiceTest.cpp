// The print service as both front ends use it: a recording surface, a scripted queue, a real start
// file in a temporary folder and a ledger that records what it was given. Each row is one run of 40
// numbered labels from position 25 (sheets 25-30, 1-30, 1-4) and what the jobs did afterwards; at
// every sheet's start and at every pause, what is on disk is what a crash there would leave.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "services/PrintService.h"
#include "tests/unit/RunFakes.h"

using namespace kbtest;

namespace {

// The ledger as the service feeds it: the first serial of each sheet taken, how many ends, and how
// many ends it had each time the copy for people was brought up to date.
struct FakeLedger : RunLedger {
    std::vector<std::int64_t> sheets;
    std::size_t ends = 0;
    std::vector<std::size_t> copies;
    const RunLabels* labels = nullptr;
    QString path() const override { return QStringLiteral("PrintLog"); }
    QString problem() const override { return {}; }
    std::optional<LabelRepeat> firstRepeat(const RunLabels&) override { return std::nullopt; }
    std::optional<std::int32_t> nextFreeSerial(const RunLabels&) override { return std::nullopt; }
    std::optional<QString> updateCopy() override {
        copies.push_back(ends);
        return std::nullopt;
    }
    std::vector<HistorySheet> followUpEarlier() override { return {}; }
    void taken(const TakenSheet& sheet) override {
        sheets.push_back(labels->at(sheet.stretch.first).serial.value_or(0));
    }
    void ended(std::size_t, const JobStatus&) override { ++ends; }
};

// The start position the file on disk holds now.
int onDisk(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readLine().trimmed().toInt() : -1;
}

} // namespace

TEST(PrintService, RunsFollowsAndKeepsTheDiskAhead) {
    const JobStatus done{JobState::Completed, {}}, pending{JobState::Pending, {}},
        aborted{JobState::Aborted, {}}, held{JobState::Held, {"job-hold-until-specified"}};
    struct Row {
        const char* name;
        bool queueStopped;
        int stopAfter;               // a stop request after this many sheets; 0: none
        std::vector<JobStatus> job2; // the second sheet's job, look by look (the others print)
        RunEnd end;
        std::vector<std::int64_t> taken; // the ledger's sheets, by their first serial
        int stored;                      // the position on disk afterwards
        std::string news;                // what the looks told: F failed, H held (sheet index)
    };
    const std::vector<std::int64_t> all{1, 7, 37};
    const Row rows[] = {
        {"all printed", false, 0, {done}, RunEnd::Printed, all, 5, ""},
        {"queue stopped", true, 0, {done}, RunEnd::QueueRefused, {}, 25, ""},
        {"stopped after sheet 1", false, 1, {done}, RunEnd::Stopped, {1}, 1, ""},
        // The failed sheet is named with its positions, for the window's offer and the command's advice.
        {"second job aborted", false, 0, {pending, aborted}, RunEnd::Printed, all, 5, "F1"},
        {"second job held", false, 0, {held, done}, RunEnd::Printed, all, 5, "H1"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("StartFile.txt"));
        {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("25\r\n10\r\n10\r\n\r\n0\r\n");
        }
        StartFile startFile(QDir::toNativeSeparators(path).toStdString());
        StartValues values;
        ASSERT_TRUE(startFile.read(values));

        NumberedLabel label;
        label.where = NumberedLine::Line2;
        label.fixedLine1 = "HELLO";
        label.NumberStem = "ABC";
        PrintOrder order;
        order.labels = std::make_shared<const TypedLabels>(label, true, 1, 40);
        order.startPosition = 25;

        RecordingSurface surface;
        FakeQueue queue;
        queue.queue.stopped = row.queueStopped;
        queue.answers = {{101, {done}}, {102, row.job2}, {103, {done}}};
        auto ledger = std::make_shared<FakeLedger>();
        ledger->labels = order.labels.get();
        // A crash as a sheet begins leaves the sheets before it on disk, ledger and position alike; a
        // crash in the pause after a sheet leaves that sheet on disk too.
        std::vector<std::string> disk;
        const auto look = [&] {
            disk.push_back(std::to_string(ledger->sheets.size()) + "@" + std::to_string(onDisk(path)));
        };
        surface.onBegin = [&] {
            look();
            return true;
        };
        RecordingPause pause;
        pause.onPause = look;
        int sheets = 0;
        PrintService service({surface, &queue, &startFile, &values, ledger, &pause,
                              [&] { return row.stopAfter && sheets == row.stopAfter ? 15 : 0; }});
        service.progress = [&](std::size_t done, std::size_t) { sheets = int(done); };

        const RunAccount a = service.run(order);
        EXPECT_EQ(a.end, row.end);
        EXPECT_EQ(ledger->sheets, row.taken);
        EXPECT_EQ(onDisk(path), row.stored);
        if (a.taken == 3) {
            EXPECT_EQ(disk, (std::vector<std::string>{"0@25", "1@1", "1@1", "2@1", "2@1", "3@5"}));
        }

        RunFollow follow(std::make_unique<FakeQueue>(queue), ledger, a, order.startPosition, order.labels);
        std::string news;
        for (int t = 0; t < 5 && !follow.over(); ++t) {
            const FollowNews n = follow.poll(t * 1000);
            for (const SheetNote& s : n.failed) {
                news += "F" + std::to_string(s.sheet);
                EXPECT_EQ(s.range, (SheetRange{2, 1, 30}));
                EXPECT_EQ(serialSpan(follow.labels(), s.stretch, QStringLiteral("-")),
                          QStringLiteral("7-36"));
            }
            for (const SheetNote& s : n.held)
                news += "H" + std::to_string(s.sheet);
        }
        EXPECT_EQ(news, row.news);
        EXPECT_TRUE(follow.over());
        // Every job's end reaches the ledger, once; the copy follows the run, and again once every
        // end is known (not only at the next run).
        EXPECT_EQ(ledger->ends, a.jobs.size());
        const std::vector<std::size_t> copies =
            a.jobs.empty() ? std::vector<std::size_t>{0} : std::vector<std::size_t>{0, a.jobs.size()};
        EXPECT_EQ(ledger->copies, copies);
    }
}
