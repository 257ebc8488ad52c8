// The print run both front ends share, with a recording surface, a fake queue and a fake store: what
// is sent, what is stored and when, and the account; then the watch over the jobs.
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "print/PrintRun.h"
#include "settings/Error.h"

using namespace kb;

namespace {

// The store's values as the disk would hold them: a crash at any moment leaves the last stored.
struct FakeStore : RunStore {
    std::vector<std::int32_t> stored;
    bool checkFails = false;
    std::size_t failAt = 99; // the store after this sheet (index) fails
    int checks = 0;
    void check() override {
        ++checks;
        if (checkFails)
            throw Error("read-only");
    }
    void taken(const TakenSheet& sheet) override {
        if (sheet.index == failAt)
            throw Error("disk full");
        stored.push_back(sheet.stretch.next);
    }
};

struct FakeQueue : RunQueue {
    QueueState queue{true, true, false, true, {}};
    // Each job's answers, one a look; the last repeats.
    std::map<int, std::vector<JobStatus>> answers;
    std::map<int, std::size_t> asked;
    int states = 0;
    QueueState state() override {
        ++states;
        return queue;
    }
    JobStatus job(int id) override {
        const std::vector<JobStatus>& a = answers[id];
        const std::size_t n = asked[id]++;
        return a.empty() ? JobStatus{JobState::Completed, {}} : a[std::min(n, a.size() - 1)];
    }
};

// Counts the sheets begun; refuses the chosen one; notes, as each sheet begins, what the store holds.
struct RecordingSurface : RunSurface {
    const FakeStore* store = nullptr;
    bool file = false;
    int refuseSheet = 0; // 1-based; 0: none
    bool finishFails = false;
    int begun = 0;
    std::vector<std::optional<std::int32_t>> storedAtBegin;
    Paper page{600, 600, 4960, 7016, 0, 0}; // A4 at 600 dpi

    bool beginDocument() override {
        ++begun;
        storedAtBegin.push_back(store && !store->stored.empty() ? std::optional(store->stored.back())
                                                                : std::nullopt);
        return begun != refuseSheet;
    }
    bool endDocument() override { return true; }
    std::int32_t dpiX() const override { return 600; }
    std::int32_t dpiY() const override { return 600; }
    void setPen(std::int32_t, std::uint32_t) override {}
    void setBrush(std::uint32_t) override {}
    void rectangle(std::int32_t, std::int32_t, std::int32_t, std::int32_t) override {}
    void setFont(std::int32_t, std::uint32_t) override {}
    std::int32_t textHeight(const std::string&) override { return 50; }
    void textOut(std::int32_t, std::int32_t, const std::string&) override {}
    bool toFile() const override { return file; }
    Paper paper() const override { return page; }
    int lastJob() const override { return 100 + begun; }
    bool finish() override { return !finishFails; }
    std::string failureText() const override { return "refused"; }
};

struct NoPause : Pause {
    void pause(int) override {}
};

} // namespace

// Start 25, 40 labels: sheets 25-30, 1-30, 1-4, positions after them 1, 1, 5.
TEST(PrintRunRules, SendsStoresAndAccounts) {
    struct Row {
        const char* name;
        bool file = false;
        int refuseSheet = 0;
        int stopAfter = 0; // the stop request answers with signal 15 after this many sheets
        std::size_t storeFailsAt = 99;
        bool checkFails = false;
        QueueState queue{true, true, false, true, {}};
        bool finishFails = false;
        bool smallPaper = false;
        // expected
        RunEnd end = RunEnd::Printed;
        int begun = 3;
        std::vector<std::int32_t> stored{1, 1, 5};
        std::size_t taken = 3;
        std::int32_t next = 5;
    };
    QueueState stopped{true, true, true, true, {"paused"}};
    QueueState missing{true, false, false, true, {}};
    QueueState unreachable{false, false, false, true, {}};
    const Row rows[] = {
        {"all sheets"},
        {.name = "stop after sheet 1",
         .stopAfter = 1,
         .end = RunEnd::Stopped,
         .begun = 1,
         .stored = {1},
         .taken = 1,
         .next = 1},
        {.name = "refusal at sheet 2",
         .refuseSheet = 2,
         .end = RunEnd::SheetRefused,
         .begun = 2,
         .stored = {1},
         .taken = 1,
         .next = 1},
        {.name = "refusal at sheet 1",
         .refuseSheet = 1,
         .end = RunEnd::SheetRefused,
         .begun = 1,
         .stored = {},
         .taken = 0,
         .next = 25},
        // The store after sheet 2 fails: no further sheet goes out while the position is not on disk.
        {.name = "store fails",
         .storeFailsAt = 1,
         .end = RunEnd::NotStored,
         .begun = 2,
         .stored = {1},
         .taken = 2,
         .next = 1},
        {.name = "start file not writable",
         .checkFails = true,
         .end = RunEnd::NotStorable,
         .begun = 0,
         .stored = {},
         .taken = 0,
         .next = 25},
        {.name = "queue stopped",
         .queue = stopped,
         .end = RunEnd::QueueRefused,
         .begun = 0,
         .stored = {},
         .taken = 0,
         .next = 25},
        {.name = "queue missing",
         .queue = missing,
         .end = RunEnd::QueueRefused,
         .begun = 0,
         .stored = {},
         .taken = 0,
         .next = 25},
        {.name = "spooler unreachable",
         .queue = unreachable,
         .end = RunEnd::QueueRefused,
         .begun = 0,
         .stored = {},
         .taken = 0,
         .next = 25},
        {.name = "off the paper",
         .smallPaper = true,
         .end = RunEnd::OffPaper,
         .begun = 0,
         .stored = {},
         .taken = 0,
         .next = 25},
        // A file counts only once written whole; then every sheet's position is stored.
        {.name = "file", .file = true},
        {.name = "file not written",
         .file = true,
         .finishFails = true,
         .end = RunEnd::FileNotWritten,
         .stored = {},
         .taken = 0,
         .next = 25},
        {.name = "file stopped",
         .file = true,
         .stopAfter = 2,
         .end = RunEnd::Stopped,
         .begun = 2,
         .stored = {},
         .taken = 0,
         .next = 25},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FakeStore store;
        store.checkFails = row.checkFails;
        store.failAt = row.storeFailsAt;
        FakeQueue queue;
        queue.queue = row.queue;
        RecordingSurface surface;
        surface.store = &store;
        surface.file = row.file;
        surface.refuseSheet = row.refuseSheet;
        surface.finishFails = row.finishFails;
        if (row.smallPaper)
            surface.page.heightPx = 6000; // shorter than A4: the bottom rows fall off
        NoPause pause;
        int asked = 0;
        PrintRun run(surface, row.file ? nullptr : &queue, &store, pause,
                     [&] { return ++asked >= row.stopAfter && row.stopAfter ? 15 : 0; });
        std::vector<std::size_t> progress;
        run.progress = [&](std::size_t done, std::size_t) { progress.push_back(done); };
        SheetJob job;
        job.startPosition = 25;
        const RunAccount a = run.run(job, splitWholeRun(25, 40));

        EXPECT_EQ(a.end, row.end);
        EXPECT_EQ(surface.begun, row.begun);
        EXPECT_EQ(store.stored, row.stored);
        EXPECT_EQ(a.taken, row.taken);
        EXPECT_EQ(a.next, row.next);
        EXPECT_EQ(a.jobs.size(), row.file ? 0u : row.taken);
        EXPECT_EQ(a.signal, row.end == RunEnd::Stopped ? 15 : 0);
        EXPECT_EQ(a.ranges.size(), 3u);
        EXPECT_EQ(store.checks, row.begun > 0 || row.checkFails ? 1 : 0);
        // A crash between two sheets: as each sheet begins, the store names the position after the
        // sheets the queue already holds (none before the first), never one they used.
        for (std::size_t i = 0; i < surface.storedAtBegin.size() && !row.file; ++i) {
            EXPECT_EQ(surface.storedAtBegin[i],
                      i == 0 ? std::nullopt : std::optional(stretchOf(a.ranges, 0, i, 1, 25).next))
                << "sheet " << i + 1;
        }
        const bool lastNotTaken = row.end == RunEnd::SheetRefused || row.end == RunEnd::NotStored;
        EXPECT_EQ(progress.size(), std::size_t(lastNotTaken ? row.begun - 1 : row.begun));
    }
}

// The jobs of four sheets over several looks (1 s apart): what each look reports, once, and when the
// watch is over.
TEST(PrintRunRules, JobWatch) {
    const JobStatus pending{JobState::Pending, {}}, done{JobState::Completed, {}},
        aborted{JobState::Aborted, {}}, silent{JobState::Lost, {}},
        held{JobState::Held, {"job-hold-until-specified"}}, forgotten{JobState::Unknown, {}};
    struct Row {
        const char* name;
        std::vector<std::vector<JobStatus>> answers; // per job (ids 1..), one per look
        std::vector<QueueState> printer;             // one per look; the last repeats
        int looks;
        // expected, per look: failed, lost, held, printer told
        std::vector<std::vector<std::size_t>> failed, lost, heldNews;
        std::vector<bool> printerTold;
        bool over;
    };
    const QueueState ready{true, true, false, true, {}};
    const QueueState noPaper{
        true, true, false, true, {"media-empty-error", "cups-waiting-for-job-completed"}};
    const Row rows[] = {
        {"all print",
         {{pending, done}, {done}},
         {ready},
         2,
         {{}, {}},
         {{}, {}},
         {{}, {}},
         {false, false},
         true},
        // An aborted job is told at the look that finds it, and never again.
        {"second aborted",
         {{done}, {pending, aborted}},
         {ready},
         3,
         {{}, {1}, {}},
         {{}, {}, {}},
         {{}, {}, {}},
         {false, false, false},
         true},
        // Unanswered for 5 s: lost, and the watch ends; before that it waits.
        {"spooler gone",
         {{silent}},
         {ready},
         7,
         {{}, {}, {}, {}, {}, {}, {}},
         {{}, {}, {}, {}, {}, {0}, {}},
         {{}, {}, {}, {}, {}, {}, {}},
         {false, false, false, false, false, false, false},
         true},
        // A restart: silent for 3 s, then the job is there again and printed.
        {"spooler restarted",
         {{silent, silent, silent, done}},
         {ready},
         4,
         {{}, {}, {}, {}},
         {{}, {}, {}, {}},
         {{}, {}, {}, {}},
         {false, false, false, false},
         true},
        // Held and out of paper: each told once; the spooler's own bookkeeping is no trouble.
        {"held, printer out of paper",
         {{held}, {pending}},
         {noPaper},
         3,
         {{}, {}, {}},
         {{}, {}, {}},
         {{0}, {}, {}},
         {true, false, false},
         false},
        // Forgotten at once (a spooler that keeps no printed job) is over; job 0 was never named.
        {"forgotten", {{forgotten}}, {ready}, 1, {{}}, {{}}, {{}}, {false}, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FakeQueue queue;
        std::vector<int> jobs;
        for (std::size_t j = 0; j < row.answers.size(); ++j) {
            jobs.push_back(int(j) + 1);
            queue.answers[int(j) + 1] = row.answers[j];
        }
        JobWatch watch(jobs);
        std::size_t ended = 0;
        for (int look = 0; look < row.looks; ++look) {
            SCOPED_TRACE(look);
            queue.queue = row.printer[std::min<std::size_t>(look, row.printer.size() - 1)];
            const WatchNews news = watch.poll(queue, look * 1000);
            ended += news.ended.size();
            EXPECT_EQ(news.failed, row.failed[look]);
            EXPECT_EQ(news.lost, row.lost[look]);
            EXPECT_EQ(news.held, row.heldNews[look]);
            EXPECT_EQ(news.printerChanged, row.printerTold[look]);
            if (news.printerChanged) {
                EXPECT_EQ(news.printer.reasons, std::vector<std::string>{"media-empty-error"});
            }
        }
        EXPECT_EQ(watch.over(), row.over);
        // Every job's end is reported once: the ledger writes one row for it.
        EXPECT_EQ(ended, watch.done());
    }
    JobWatch unnamed({0});
    FakeQueue queue;
    unnamed.poll(queue, 0);
    EXPECT_TRUE(unnamed.over());
    EXPECT_EQ(queue.asked.size(), 0u);
}
