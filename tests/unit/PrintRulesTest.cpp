#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "print/PrintRules.h"

using namespace kb;

namespace {

// Remembers every drawing call as one line of text, so a whole page compares at once.
class RecordingSurface : public PrintSurface {
  public:
    std::vector<std::string> ops;
    int x = 600, y = 600;
    bool acceptBegin = true, acceptEnd = true;

    bool beginDocument() override {
        ops.push_back("begin");
        return acceptBegin;
    }
    bool endDocument() override {
        ops.push_back("end");
        return acceptEnd;
    }
    std::int32_t dpiX() const override { return x; }
    std::int32_t dpiY() const override { return y; }
    void setPen(std::int32_t width, std::uint32_t colour) override {
        ops.push_back("pen " + std::to_string(width) + " " + hex(colour));
    }
    void setBrush(std::uint32_t colour) override { ops.push_back("brush " + hex(colour)); }
    void rectangle(std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b) override {
        ops.push_back("rect " + std::to_string(l) + " " + std::to_string(t) + " " + std::to_string(r) + " " +
                      std::to_string(b));
    }
    void setFont(std::int32_t points, std::uint32_t colour) override {
        ops.push_back("font " + std::to_string(points) + " " + hex(colour));
        m_points = points;
    }
    // A text height that depends on the font size, so the placement of line 1 shows which was used.
    std::int32_t textHeight(const std::string&) override { return m_points == 10 ? 100 : 90; }
    void textOut(std::int32_t tx, std::int32_t ty, const std::string& text) override {
        ops.push_back("text " + std::to_string(tx) + " " + std::to_string(ty) + " " + text);
    }

    std::vector<std::string> only(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const auto& op : ops)
            if (op.rfind(prefix, 0) == 0)
                out.push_back(op);
        return out;
    }

  private:
    static std::string hex(std::uint32_t c) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%06X", c);
        return buf;
    }
    std::int32_t m_points = 0;
};

struct RecordingPause : Pause {
    std::vector<int> waits;
    void pause(int ms) override { waits.push_back(ms); }
};

SheetJob plainJob(std::string line1 = "HELLO", std::string line2 = "ABC") {
    SheetJob job;
    job.preview = {std::move(line1), std::move(line2)};
    job.backColour = 0x00FFCC00;
    job.fontColour = 0x000000FF;
    return job;
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
    // Beyond five sheets nothing is drawn outside the sheet.
    const auto tooLong = splitRun(1, 200);
    ASSERT_EQ(tooLong.size(), 5u);
    EXPECT_EQ(tooLong.back(), (SheetRange{5, 1, 30}));
    EXPECT_TRUE(splitRun(1, 0).empty());
}

TEST(PrintRules, LabelOrigins) {
    const LabelOrigins none = ComputeLabelOrigins(10, 10);
    const int rows[] = {260, 428, 596, 764, 932, 1100, 1268, 1436, 1604, 1772, 1940, 2108, 2276, 2444, 2612};
    for (int p = 1; p <= 30; ++p) {
        SCOPED_TRACE("position " + std::to_string(p));
        EXPECT_EQ(none.LabelOriginX[p], p % 2 ? 305 : 1195);
        EXPECT_EQ(none.LabelOriginY[p], rows[(p - 1) / 2]);
    }
    struct Shift {
        int right, down, x1, y1, x30, y30;
    };
    for (const Shift& s : {Shift{0, 0, 255, 210, 1145, 2562}, Shift{20, 20, 355, 310, 1245, 2662},
                           Shift{11, 7, 310, 245, 1200, 2597}}) {
        const LabelOrigins o = ComputeLabelOrigins(s.right, s.down);
        EXPECT_EQ(o.LabelOriginX[1], s.x1);
        EXPECT_EQ(o.LabelOriginY[1], s.y1);
        EXPECT_EQ(o.LabelOriginX[30], s.x30);
        EXPECT_EQ(o.LabelOriginY[30], s.y30);
    }
}

TEST(PrintRules, LayoutUnitsToDevicePixels) {
    struct Row {
        int v, dpi, px;
    };
    for (const Row& r : {Row{305, 600, 732}, Row{260, 600, 624}, Row{925, 600, 2220}, Row{2612, 360, 3761},
                         Row{2612, 600, 6268}, Row{0, 600, 0}, Row{1, 600, 2}, Row{250, 300, 300}}) {
        EXPECT_EQ(toDevice(r.v, r.dpi), r.px) << r.v << " at " << r.dpi;
    }
    // The floating-point scaling never lands below an exact quotient for any value a sheet can hold.
    for (int dpi : {72, 96, 100, 150, 180, 200, 203, 240, 300, 360, 400, 600, 720, 1200, 2400, 4800})
        for (int v = 0; v <= 3500; ++v)
            ASSERT_EQ(toDevice(v, dpi), v * dpi / 250) << v << " at " << dpi;
}

TEST(PrintRules, SheetGeometryAndColours) {
    RecordingSurface surface;
    RecordingPause pause;
    ASSERT_TRUE(PrintSheet(surface, pause, plainJob(), 1, 1, 1));
    // Position 1 at 600 dpi: block (732,624)-(2220,912), text column 852, middle 768;
    // line 1 (5 bytes: 9 points, height 90) ends 5 pixels above the middle, line 2 starts 5 below.
    const std::vector<std::string> expected = {
        "begin",         "pen 5 FFCC00",       "brush FFCC00",     "rect 732 624 2220 912",
        "font 9 0000FF", "text 852 673 HELLO", "text 852 773 ABC", "end",
    };
    EXPECT_EQ(surface.ops, expected);
    EXPECT_EQ(pause.waits, std::vector<int>{2000});

    RecordingSurface last;
    ASSERT_TRUE(PrintSheet(last, pause, plainJob(), 1, 30, 30));
    EXPECT_EQ(last.only("rect"), std::vector<std::string>{"rect 2868 6268 4356 6556"});

    // Unequal resolutions: columns scale with the horizontal, rows with the vertical resolution.
    RecordingSurface wide;
    wide.x = 1200;
    ASSERT_TRUE(PrintSheet(wide, pause, plainJob("AB", ""), 1, 1, 1));
    EXPECT_EQ(wide.only("rect"), std::vector<std::string>{"rect 1464 624 4440 912"});
    EXPECT_EQ(wide.only("text"), (std::vector<std::string>{"text 1704 663 AB", "text 1704 773 "}));

    // Offsets move the drawing.
    RecordingSurface shifted;
    SheetJob job = plainJob();
    job.offsetRightIndex = 0;
    job.offsetDownIndex = 20;
    ASSERT_TRUE(PrintSheet(shifted, pause, job, 1, 1, 1));
    EXPECT_EQ(shifted.only("rect"), std::vector<std::string>{"rect 612 744 2100 1032"});
}

TEST(PrintRules, OnlyTheRangeIsDrawn) {
    RecordingSurface surface;
    RecordingPause pause;
    ASSERT_TRUE(PrintSheet(surface, pause, plainJob(), 1, 5, 8));
    // 5 and 7 are left column rows 2 and 3, 6 and 8 the right column beside them.
    const std::vector<std::string> rects = {"rect 732 1430 2220 1718", "rect 2868 1430 4356 1718",
                                            "rect 732 1833 2220 2121", "rect 2868 1833 4356 2121"};
    EXPECT_EQ(surface.only("rect"), rects);
    EXPECT_EQ(surface.only("text").size(), 8u);
    EXPECT_EQ(surface.ops.front(), "begin");
    EXPECT_EQ(surface.ops.back(), "end");
}

TEST(PrintRules, FontSizeByLine1Bytes) {
    struct Row {
        const char* what;
        std::string line1;
        int points;
    };
    const Row rows[] = {
        {"three single bytes", "ABC", 10},
        {"four single bytes", "ABCD", 9},
        {"one double-byte character", "\x88\xA2", 10},
        {"two double-byte characters", "\x88\xA2\x88\xA3", 9},
        {"empty", "", 10},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        RecordingSurface surface;
        RecordingPause pause;
        ASSERT_TRUE(PrintSheet(surface, pause, plainJob(r.line1, "x"), 1, 1, 1));
        EXPECT_EQ(surface.only("font"),
                  std::vector<std::string>{"font " + std::to_string(r.points) + " 0000FF"});
        const int h = r.points == 10 ? 100 : 90;
        EXPECT_EQ(surface.only("text").front(), "text 852 " + std::to_string(768 - h - 5) + " " + r.line1);
    }
}

TEST(PrintRules, NumberedRunAcrossSheetBoundary) {
    SheetJob job = plainJob("HELLO", "ABC-7");
    job.numberingOn = true;
    job.firstNumber = 7;
    job.startPosition = 29;
    job.label.where = NumberedLine::Line2;
    job.label.fixedLine1 = "HELLO";
    job.label.NumberStem = "ABC";

    RecordingPause pause;
    std::vector<std::string> texts;
    for (const SheetRange& r : splitRun(29, 3)) {
        RecordingSurface surface;
        ASSERT_TRUE(PrintSheet(surface, pause, job, r.sheet, r.first, r.last));
        for (const auto& t : surface.only("text"))
            texts.push_back(std::to_string(r.sheet) + ": " + t);
    }
    // Positions 29 and 30 on sheet 1 (bottom row), position 1 on sheet 2.
    EXPECT_EQ(texts, (std::vector<std::string>{"1: text 852 6317 HELLO", "1: text 852 6417 ABC-7",
                                               "1: text 2988 6317 HELLO", "1: text 2988 6417 ABC-8",
                                               "2: text 852 673 HELLO", "2: text 852 773 ABC-9"}));
    EXPECT_EQ(pause.waits, (std::vector<int>{2000, 2000}));

    // Numbers past a digit boundary are never cut, and the date tail follows them.
    job.firstNumber = 9;
    job.startPosition = 1;
    job.label.NumberStem = "ABCDEFGHIJKLMNOP"; // 16 bytes
    job.label.withDate = true;
    job.label.dateField = "26/12/07";
    RecordingSurface surface;
    ASSERT_TRUE(PrintSheet(surface, pause, job, 1, 1, 2));
    EXPECT_EQ(
        surface.only("text"),
        (std::vector<std::string>{"text 852 673 HELLO", "text 852 773 ABCDEFGHIJKLMNOP-9 26/12/07",
                                  "text 2988 673 HELLO", "text 2988 773 ABCDEFGHIJKLMNOP-10 26/12/07"}));

    // With numbering off the preview's lines print on every label, whatever the numbered value says.
    job.numberingOn = false;
    RecordingSurface off;
    ASSERT_TRUE(PrintSheet(off, pause, job, 1, 1, 1));
    EXPECT_EQ(off.only("text"), (std::vector<std::string>{"text 852 673 HELLO", "text 852 773 ABC-7"}));
}

TEST(PrintRules, RefusedDocumentReportsFailure) {
    RecordingPause pause;
    RecordingSurface refusesBegin;
    refusesBegin.acceptBegin = false;
    EXPECT_FALSE(PrintSheet(refusesBegin, pause, plainJob(), 1, 1, 30));
    // Nothing is drawn on a document that never started.
    EXPECT_EQ(refusesBegin.ops, std::vector<std::string>{"begin"});

    RecordingSurface refusesEnd;
    refusesEnd.acceptEnd = false;
    EXPECT_FALSE(PrintSheet(refusesEnd, pause, plainJob(), 1, 1, 2));
    EXPECT_EQ(refusesEnd.ops.back(), "end");
    // A failed sheet ends the run at once: no pause is taken for it.
    EXPECT_TRUE(pause.waits.empty());
}
