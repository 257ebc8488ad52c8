// Printing: the split of a run over sheets, label origins, device scaling and one sheet drawn on a
// recording surface; the print run both front ends share (a fake queue and a fake store), and the
// watch over its jobs.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "print/PrintRun.h"
#include "settings/Error.h"
#include "tests/unit/RunFakes.h"

using namespace kb;
using namespace kbtest;

namespace {

SheetJob plainJob(std::string line1 = "HELLO", std::string line2 = "ABC") {
    SheetJob job;
    NumberedLabel label;
    label.fixedLine1 = std::move(line1);
    label.fixedLine2 = std::move(line2);
    job.labels = labelsOf(std::move(label));
    job.backColour = 0x00FFCC00;
    job.fontColour = 0x000000FF;
    return job;
}

// One sheet drawn on a fresh surface.
RecordingSurface drawn(const SheetJob& job, int first, int last, int dpiX = 600) {
    RecordingSurface surface;
    surface.x = dpiX;
    EXPECT_TRUE(PrintSheet(surface, job, 1, first, last));
    return surface;
}

} // namespace

TEST(PrintRules, SplitOverSheetsAndNextStart) {
    struct Row {
        int start, labels;
        std::vector<SheetRange> ranges;
        int next;
    };
    const Row rows[] = {
        {1, 10, {{1, 1, 10}}, 11},
        {30, 1, {{1, 30, 30}}, 1},
        {25, 6, {{1, 25, 30}}, 1},                                   // t = 31: the run ends on 30, one sheet
        {25, 7, {{1, 25, 30}, {2, 1, 1}}, 2},                        // t = 32
        {30, 10, {{1, 30, 30}, {2, 1, 9}}, 10},                      // t = 40
        {1, 60, {{1, 1, 30}, {2, 1, 30}}, 1},                        // t = 61
        {2, 60, {{1, 2, 30}, {2, 1, 30}, {3, 1, 1}}, 2},             // t = 62
        {1, 90, {{1, 1, 30}, {2, 1, 30}, {3, 1, 30}}, 1},            // t = 91
        {2, 90, {{1, 2, 30}, {2, 1, 30}, {3, 1, 30}, {4, 1, 1}}, 2}, // t = 92
        {2, 120, {{1, 2, 30}, {2, 1, 30}, {3, 1, 30}, {4, 1, 30}, {5, 1, 1}}, 2},  // t = 122
        {1, 150, {{1, 1, 30}, {2, 1, 30}, {3, 1, 30}, {4, 1, 30}, {5, 1, 30}}, 1}, // t = 151
    };
    for (const Row& r : rows) {
        SCOPED_TRACE("start " + std::to_string(r.start) + " labels " + std::to_string(r.labels));
        EXPECT_EQ(splitRun(r.start, r.labels), r.ranges);
        EXPECT_EQ(nextStartPosition(r.start, r.labels), r.next);
    }
    // Any length: 10 000 labels from position 21 fill 334 whole sheets (t = 10 021).
    const auto whole = splitRun(21, 10000);
    ASSERT_EQ(whole.size(), 334u);
    EXPECT_EQ(whole[1], (SheetRange{2, 1, 30}));
    EXPECT_EQ(whole.back(), (SheetRange{334, 1, 30}));
    EXPECT_EQ(nextStartPosition(21, 10000), 1);
    EXPECT_TRUE(splitRun(1, 0).empty());

    // A run that stops after some sheets: what they hold (the run's labels from index 0), and where
    // the next run starts (the whole run's stretch agrees with nextStartPosition).
    struct Part {
        std::size_t from, to;
        RunStretch want;
    };
    const auto run = splitRun(25, 70); // 25..30, 1..30, 1..30, 1..4
    const Part parts[] = {
        {0, 1, {6, 0, 5, 1}},
        {1, 3, {60, 6, 65, 1}},
        {3, 4, {4, 66, 69, 5}},
        {0, 4, {70, 0, 69, nextStartPosition(25, 70)}},
    };
    for (const Part& p : parts) {
        const RunStretch got = stretchOf(run, p.from, p.to, 25);
        EXPECT_EQ(std::tie(got.labels, got.first, got.last, got.next),
                  std::tie(p.want.labels, p.want.first, p.want.last, p.want.next))
            << "sheets " << p.from << ".." << p.to;
    }
}

// Two columns 890 apart, fifteen rows 168 apart; each offset step moves the whole sheet by 5.
TEST(PrintRules, LabelOrigins) {
    const LabelOrigins none = ComputeLabelOrigins(10, 10);
    for (int p = 1; p <= 30; ++p) {
        EXPECT_EQ(none.LabelOriginX[p], p % 2 ? 305 : 1195) << p;
        EXPECT_EQ(none.LabelOriginY[p], 260 + 168 * ((p - 1) / 2)) << p;
    }
    const std::array<int, 6> shifts[] = {
        {0, 0, 255, 210, 1145, 2562}, {20, 20, 355, 310, 1245, 2662}, {11, 7, 310, 245, 1200, 2597}};
    for (const auto& [right, down, x1, y1, x30, y30] : shifts) {
        const LabelOrigins o = ComputeLabelOrigins(right, down);
        EXPECT_EQ((std::array{o.LabelOriginX[1], o.LabelOriginY[1], o.LabelOriginX[30], o.LabelOriginY[30]}),
                  (std::array{x1, y1, x30, y30}))
            << right << "/" << down;
    }
}

// Which labels of a run would fall off the paper, as printed from the printable corner (here 18 pt
// across, 36 pt down, at 600 dpi): on A4 the whole sheet fits at any offset; on Letter the bottom row
// does not; on A5 neither the right column nor the rows below the tenth.
TEST(PrintRules, LabelsOffThePaper) {
    const Paper a4{600, 600, 4961, 7016, 150, 300}, letter{600, 600, 5100, 6600, 150, 300},
        a5{600, 600, 3496, 4961, 150, 300};
    const std::tuple<const char*, Paper, int, int, std::vector<SheetRange>, std::vector<std::int32_t>>
        cases[] = {
            {"A4", a4, 10, 10, {{1, 1, 30}}, {}},
            {"A4, 5 mm down and right", a4, 20, 20, {{1, 1, 30}}, {}},
            {"Letter", letter, 10, 10, {{1, 1, 30}}, {29, 30}},
            {"Letter, 5 mm up", letter, 10, 0, {{1, 27, 30}}, {29, 30}},
            {"Letter, above the bottom row", letter, 10, 10, {{1, 1, 28}}, {}},
            // Two sheets meeting the same positions: each named once, in order.
            {"Letter, two sheets", letter, 10, 10, {{1, 30, 30}, {2, 1, 29}}, {29, 30}},
            {"A5", a5, 10, 10, {{1, 19, 22}}, {20, 21, 22}},
        };
    for (const auto& [name, paper, right, down, ranges, off] : cases)
        EXPECT_EQ(positionsOffPaper(paper, right, down, ranges), off) << name;
}

// The floating-point scaling never lands below the exact quotient for any value a sheet can hold.
TEST(PrintRules, LayoutUnitsToDevicePixels) {
    for (int dpi : {72, 96, 100, 150, 180, 200, 203, 240, 300, 360, 400, 600, 720, 1200, 2400, 4800})
        for (int v = 0; v <= 3500; ++v)
            ASSERT_EQ(toDevice(v, dpi), v * dpi / 250) << v << " at " << dpi;
}

TEST(PrintRules, SheetGeometryAndColours) {
    RecordingSurface surface;
    ASSERT_TRUE(PrintSheet(surface, plainJob(), 1, 1, 1));
    // Position 1 at 600 dpi: block (732,624)-(2220,912), text column 852, middle 768;
    // line 1 (5 bytes: 9 points, height 90) ends 5 pixels above the middle, line 2 starts 5 below.
    const Ops expected = {
        "begin",         "pen 5 FFCC00",       "brush FFCC00",     "rect 732 624 2220 912",
        "font 9 0000FF", "text 852 673 HELLO", "text 852 773 ABC", "end",
    };
    EXPECT_EQ(surface.ops, expected);

    EXPECT_EQ(drawn(plainJob(), 30, 30).only("rect"), Ops{"rect 2868 6268 4356 6556"});
    // Only the range is drawn: 5 and 7 are left column rows 2 and 3, 6 and 8 the right column beside them.
    const RecordingSurface range = drawn(plainJob(), 5, 8);
    EXPECT_EQ(range.only("rect"), (Ops{"rect 732 1430 2220 1718", "rect 2868 1430 4356 1718",
                                       "rect 732 1833 2220 2121", "rect 2868 1833 4356 2121"}));
    EXPECT_EQ(range.only("text").size(), 8u);
    // Unequal resolutions: columns scale with the horizontal, rows with the vertical resolution.
    const RecordingSurface wide = drawn(plainJob("AB", ""), 1, 1, 1200);
    EXPECT_EQ(wide.only("rect"), Ops{"rect 1464 624 4440 912"});
    EXPECT_EQ(wide.only("text"), (Ops{"text 1704 663 AB", "text 1704 773 "}));
    // Offsets move the drawing.
    SheetJob job = plainJob();
    job.offsetRightIndex = 0;
    job.offsetDownIndex = 20;
    EXPECT_EQ(drawn(job, 1, 1).only("rect"), Ops{"rect 612 744 2100 1032"});
}

// 10 points up to 3 bytes of line 1, 9 from 4, whatever the characters; line 1's height places it.
TEST(PrintRules, FontSizeByLine1Bytes) {
    const std::pair<std::string, int> rows[] = {
        {"ABC", 10}, {"ABCD", 9}, {"\x88\xA2", 10}, {"\x88\xA2\x88\xA3", 9}, {"", 10}};
    for (const auto& [line1, points] : rows) {
        const RecordingSurface surface = drawn(plainJob(line1, "x"), 1, 1);
        EXPECT_EQ(surface.only("font"), Ops{"font " + std::to_string(points) + " 0000FF"}) << line1;
        const int h = points == 10 ? 100 : 90;
        EXPECT_EQ(surface.only("text").front(), "text 852 " + std::to_string(768 - h - 5) + " " + line1);
    }
}

TEST(PrintRules, NumberedRunAcrossSheetBoundary) {
    SheetJob job = plainJob();
    job.startPosition = 29;
    NumberedLabel label;
    label.where = NumberedLine::Line2;
    label.fixedLine1 = "HELLO";
    label.NumberStem = "ABC";
    job.labels = std::make_shared<const TypedLabels>(label, true, 7, 3);

    Ops texts;
    for (const SheetRange& r : splitRun(29, 3)) {
        RecordingSurface surface;
        ASSERT_TRUE(PrintSheet(surface, job, r.sheet, r.first, r.last));
        for (const auto& t : surface.only("text"))
            texts.push_back(std::to_string(r.sheet) + ": " + t);
    }
    // Positions 29 and 30 on sheet 1 (bottom row), position 1 on sheet 2; each label its own number
    // (the lines of later numbers are the composition's; here PrintSheet picks the number).
    EXPECT_EQ(texts, (Ops{"1: text 852 6317 HELLO", "1: text 852 6417 ABC-7", "1: text 2988 6317 HELLO",
                          "1: text 2988 6417 ABC-8", "2: text 852 673 HELLO", "2: text 852 773 ABC-9"}));
}

TEST(PrintRules, RefusedDocumentReportsFailure) {
    RecordingSurface refusesBegin;
    refusesBegin.acceptBegin = false;
    EXPECT_FALSE(PrintSheet(refusesBegin, plainJob(), 1, 1, 30));
    // Nothing is drawn on a document that never started.
    EXPECT_EQ(refusesBegin.ops, Ops{"begin"});

    RecordingSurface refusesEnd;
    refusesEnd.acceptEnd = false;
    EXPECT_FALSE(PrintSheet(refusesEnd, plainJob(), 1, 1, 2));
    EXPECT_EQ(refusesEnd.ops.back(), "end");
}

namespace {

// The store as the disk would hold it: a crash at any moment leaves the last position stored.
struct FakeStore : RunStore {
    std::vector<std::int32_t> stored;
    bool checkFails = false;
    std::size_t failAt = 99; // the store after this sheet (index) fails
    void check() override {
        if (checkFails)
            throw Error("read-only");
    }
    void taken(const TakenSheet& sheet) override {
        if (sheet.index == failAt)
            throw Error("disk full");
        stored.push_back(sheet.stretch.next);
    }
};

} // namespace

// Start 25, 40 labels: sheets 25-30, 1-30, 1-4, the positions after them 1, 1, 5. What is sent, what
// is stored, and the account; and at each sheet's beginning the store names the position after the
// sheets the queue already holds, which is what a crash there would leave.
TEST(PrintRun, SendsStoresAndAccounts) {
    enum : unsigned {
        File = 1,
        Refuse2 = 2,
        Stop1 = 4,
        StoreFails2 = 8,
        NotWritable = 16,
        QueueStopped = 32,
        NotFinished = 64,
        SmallPaper = 128
    };
    struct Row {
        const char* name;
        unsigned setup;
        RunEnd end;
        int begun;
        std::vector<std::int32_t> stored;
        std::size_t taken;
    };
    const Row rows[] = {
        {"all sheets", 0, RunEnd::Printed, 3, {1, 1, 5}, 3},
        {"stop after sheet 1", Stop1, RunEnd::Stopped, 1, {1}, 1},
        {"refusal at sheet 2", Refuse2, RunEnd::SheetRefused, 2, {1}, 1},
        // No further sheet goes out while the position is not on disk.
        {"store after sheet 2 fails", StoreFails2, RunEnd::NotStored, 2, {1}, 2},
        {"start file not writable", NotWritable, RunEnd::NotStorable, 0, {}, 0},
        {"queue stopped", QueueStopped, RunEnd::QueueRefused, 0, {}, 0},
        {"off the paper", SmallPaper, RunEnd::OffPaper, 0, {}, 0},
        // A file counts only once written whole; then the position after its last page is stored.
        {"file", File, RunEnd::Printed, 3, {5}, 3},
        {"file not written", File | NotFinished, RunEnd::FileNotWritten, 3, {}, 0},
        {"file stopped", File | Stop1, RunEnd::Stopped, 1, {}, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FakeStore store;
        store.checkFails = row.setup & NotWritable;
        store.failAt = row.setup & StoreFails2 ? 1 : 99;
        FakeQueue queue;
        queue.queue.stopped = row.setup & QueueStopped;
        RecordingSurface surface;
        surface.file = row.setup & File;
        surface.finishes = !(row.setup & NotFinished);
        if (row.setup & SmallPaper)
            surface.page.heightPx = 6000; // shorter than A4: the bottom rows fall off
        std::vector<std::optional<std::int32_t>> storedAtBegin;
        surface.onBegin = [&] {
            storedAtBegin.push_back(store.stored.empty() ? std::nullopt : std::optional(store.stored.back()));
            return !(row.setup & Refuse2) || surface.begun != 2;
        };
        // The pause after each sheet comes once the position after it is on disk: a program ended
        // during the pause has lost nothing.
        RecordingPause pause;
        std::vector<std::size_t> storedAtPause;
        pause.onPause = [&] { storedAtPause.push_back(store.stored.size()); };
        PrintRun run(surface, surface.file ? nullptr : &queue, &store, pause,
                     [&] { return row.setup & Stop1 ? 15 : 0; });
        SheetJob job = plainJob();
        job.startPosition = 25;
        const RunAccount a = run.run(job, splitRun(25, 40));

        EXPECT_EQ(a.end, row.end);
        EXPECT_EQ(surface.begun, row.begun);
        EXPECT_EQ(store.stored, row.stored);
        EXPECT_EQ(a.taken, row.taken);
        EXPECT_EQ(a.next, row.stored.empty() ? 25 : row.stored.back());
        EXPECT_EQ(a.jobs.size(), surface.file ? 0u : row.taken);
        EXPECT_EQ(a.signal, row.end == RunEnd::Stopped ? 15 : 0);
        for (std::size_t i = 0; i < storedAtBegin.size() && !surface.file; ++i) {
            EXPECT_EQ(storedAtBegin[i],
                      i == 0 ? std::nullopt : std::optional(stretchOf(a.ranges, 0, i, 25).next))
                << "sheet " << i + 1;
        }
        if (!surface.file) {
            ASSERT_EQ(storedAtPause.size(), store.stored.size());
            for (std::size_t i = 0; i < storedAtPause.size(); ++i)
                EXPECT_EQ(storedAtPause[i], i + 1) << "pause after sheet " << i + 1;
        }
    }
}

// The jobs of a run over looks 1 s apart: what each look reports, once. A look's events: "E<sheet><how>"
// for a job that ended (C printed, A aborted, L lost, U never named), "H<sheet>" held, "P" the printer.
TEST(PrintRun, JobWatch) {
    const JobStatus pending{JobState::Pending, {}}, done{JobState::Completed, {}},
        aborted{JobState::Aborted, {}}, silent{JobState::Lost, {}},
        held{JobState::Held, {"job-hold-until-specified"}},
        notReady{JobState::Held, {"resources-are-not-ready"}};
    const QueueState ready{true, true, false, true, {}};
    const QueueState noPaper{
        true, true, false, true, {"media-empty-error", "cups-waiting-for-job-completed"}};
    struct Row {
        const char* name;
        std::vector<std::vector<JobStatus>> answers; // a job's answers, one a look; none: no job named
        QueueState printer;
        std::vector<std::string> looks;
        bool over;
    };
    const Row rows[] = {
        {"all print", {{pending, done}, {done}}, ready, {"E1C", "E0C"}, true},
        {"second aborted", {{done}, {pending, aborted}}, ready, {"E0C", "E1A", ""}, true},
        // Unanswered for 5 s: lost; before that it waits with its last state.
        {"spooler gone", {{silent}}, ready, {"", "", "", "", "", "E0L", ""}, true},
        {"spooler restarted", {{silent, silent, silent, done}}, ready, {"", "", "", "E0C"}, true},
        // Held and out of paper: each told once; the spooler's own bookkeeping is no trouble.
        {"held, out of paper", {{held}, {pending}}, noPaper, {"H0P", "", ""}, false},
        // Held back because the printer is not ready: waiting, never called held ("B").
        {"held back for the printer", {{notReady, done}}, ready, {"B0", "E0C"}, true},
        // Stopped: its "paused" says nothing more.
        {"stopped, out of paper",
         {{pending}},
         {true, true, true, true, {"paused", "media-empty-error"}},
         {"P", ""},
         false},
        {"job never named", {{}}, ready, {"E0U"}, true},
    };
    const char how[] = {'?', '?', '?', '?', 'A', 'A', 'A', 'C', 'L'}; // by JobState; Unknown below
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FakeQueue queue;
        queue.queue = row.printer;
        std::vector<int> jobs;
        for (std::size_t j = 0; j < row.answers.size(); ++j) {
            jobs.push_back(row.answers[j].empty() ? 0 : int(j) + 1);
            queue.answers[int(j) + 1] = row.answers[j];
        }
        JobWatch watch(jobs);
        for (std::size_t look = 0; look < row.looks.size(); ++look) {
            const WatchNews news = watch.poll(queue, std::int64_t(look) * 1000);
            std::string events;
            for (std::size_t i : news.ended) {
                const JobState s = watch.status(i).state;
                events += "E" + std::to_string(i) + (s == JobState::Unknown ? 'U' : how[int(s)]);
            }
            for (std::size_t i : news.held)
                events += "H" + std::to_string(i);
            for (std::size_t i : news.blocked)
                events += "B" + std::to_string(i);
            if (news.printerChanged) {
                events += "P";
                EXPECT_EQ(news.printer.reasons, std::vector<std::string>{"media-empty-error"});
            }
            EXPECT_EQ(events, row.looks[look]) << "look " << look;
        }
        EXPECT_EQ(watch.over(), row.over);
    }
}

// The spooler's reason keywords as each front end words them, and which of them keep the labels
// from the paper until someone acts (the window tells only those).
TEST(PrintRun, ReasonWords) {
    using Words = std::vector<std::string>;
    struct Row {
        const char* name;
        Words reasons, english, japanese, blocking;
    };
    const Row rows[] = {
        {"a severity suffix changes no word",
         {"media-empty-error", "offline-report"},
         {"out of paper", "off or offline"},
         {"用紙切れ", "電源が切れているかオフライン"},
         {"media-empty-error", "offline-report"}},
        {"two keywords, one word: said once",
         {"job-hold-until-specified", "job-hold-until"},
         {"held until released"},
         {"解除されるまで保留"},
         {"job-hold-until-specified", "job-hold-until"}},
        {"a note is worded but blocks nothing",
         {"toner-low-report", "toner-low-warning"},
         {"toner low"},
         {"トナー残りわずか"},
         {}},
        {"unknown: never the keyword, said once; an error or no suffix blocks, a warning does not",
         {"fuser-over-temp-error", "interpreter-resource-unavailable", "opc-life-over-warning"},
         {"the printer reports a problem"},
         {"プリンターが問題を報告しています"},
         {"fuser-over-temp-error", "interpreter-resource-unavailable"}},
        {"a job the printer is not ready for",
         {"resources-are-not-ready"},
         {"the printer is not ready"},
         {"プリンターの準備ができていません"},
         {"resources-are-not-ready"}},
        {"the Windows spooler's bare error", {"error"}, {"printer error"}, {"プリンターのエラー"}, {"error"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(reasonWords(row.reasons, Wording::English), row.english);
        EXPECT_EQ(reasonWords(row.reasons, Wording::Japanese), row.japanese);
        EXPECT_EQ(blockingReasons(row.reasons), row.blocking);
    }
}

// A list as one run: its rows' labels follow each other from the start position over the sheets
// as a typed run's do, each naming its row; the rows of what a sheet left unprinted are named.
TEST(PrintRules, ListRunPlacedAndRowsNamed) {
    struct Today : Clock {
        std::string todayText() const override { return "26/12/07"; }
    };
    struct Case {
        std::int32_t start;
        std::vector<ListRow> rows;
        std::string placed;    // "sheet/position row:serial line2" of every label
        std::string unprinted; // rows of the labels after the first sheet: "first-last", or "none"
    };
    const Case cases[] = {
        // Rows as the reader gives them: row, line 1, line 2, count, first serial and its width.
        {1, {{2, "S", "A", 2}}, "1/1 2:- A; 1/2 2:- A; ", "none"},
        // A row that spills over the sheet's end carries its numbers on to the next sheet.
        {29,
         {{2, "S", "A", 1}, {4, "S", "B", 3, 9, 1}},
         "1/29 2:- A; 1/30 4:9 B-9; 2/1 4:10 B-10; 2/2 4:11 B-11; ",
         "4-4"},
        {30,
         {{1, "S", "A", 1, 1, 1}, {3, "S", "C", 2}, {5, "S", "D", 1, 7, 1}},
         "1/30 1:1 A-1; 2/1 3:- C; 2/2 3:- C; 2/3 5:7 D-7; ",
         "3-5"},
    };
    for (const Case& c : cases) {
        ListReading reading;
        reading.rows = c.rows;
        for (const ListRow& r : c.rows)
            reading.labels += r.count;
        ListComposition composed = composeList(reading, ListOptions{}, Today{});
        ASSERT_TRUE(composed.refusals.empty());
        const ListRun run(std::move(composed.labels), "list.csv");
        std::string placed;
        forEachPlaced(run, c.start, [&](std::int32_t sheet, std::int32_t position, const RunLabel& l) {
            placed += std::to_string(sheet) + "/" + std::to_string(position) + " " + std::to_string(l.row) +
                      ":" + (l.serial ? std::to_string(*l.serial) : "-") + " " + l.lines.line2 + "; ";
        });
        EXPECT_EQ(placed, c.placed) << "start " << c.start;
        const auto ranges = splitRun(c.start, run.size());
        const RunStretch rest = stretchOf(ranges, 1, ranges.size(), c.start);
        const auto rows = rowsOf(run, rest.first, rest.last);
        EXPECT_EQ(ranges.size() > 1 && rows ? std::to_string(rows->first) + "-" + std::to_string(rows->last)
                                            : std::string("none"),
                  c.unprinted);
    }
    // A typed run names no rows.
    EXPECT_FALSE(rowsOf(TypedLabels(NumberedLabel{}, false, 1, 3), 0, 2));
}
