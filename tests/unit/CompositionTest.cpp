// PrintSet's composition: sheet count, guard, the numbering rows at their limits, the date tail,
// the lines every later label of a numbered run gets, and the preview memo's 64-byte limit.
#include <gtest/gtest.h>

#include "content/Composition.h"

namespace kb {
void PrintTo(const LabelLines& lines, std::ostream* os) {
    *os << "{\"" << lines.line1 << "\", \"" << lines.line2 << "\"}";
}
} // namespace kb

namespace {

using namespace kb;

const std::string kDate = "26/12/07";
std::string blanks(std::size_t n) {
    return std::string(n, ' ');
}
// "あ" in Shift-JIS: a double-byte character.
const std::string kA2 = "\x82\xa0";
std::string japanese(std::size_t chars) {
    std::string s;
    for (std::size_t i = 0; i < chars; ++i)
        s += kA2;
    return s;
}
const std::string kAlpha = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123";
std::string alpha(std::size_t n) {
    return kAlpha.substr(0, n);
}

// The memo as the entry screen leaves it with "Date" checked: a 16-byte field, a blank, the date
// (the placeholder of 13 blanks when line 2 was empty).
ComposeInput dated(const std::string& line1, const std::string& typed2, std::int32_t first) {
    const std::string work = typed2.empty() ? blanks(13) : typed2.size() < 15 ? typed2 + blanks(13) : typed2;
    ComposeInput in;
    in.line1 = line1;
    in.line2 = (typed2 + blanks(15)).substr(0, 16) + " " + kDate;
    in.line2Work = work;
    in.dateChecked = true;
    in.dateField = kDate;
    in.numberingOn = true;
    in.firstNumber = first;
    return in;
}

ComposeInput plain(const std::string& line1, const std::string& line2, std::int32_t first,
                   bool numbering = true) {
    ComposeInput in;
    in.line1 = line1;
    in.line2 = line2;
    in.line2Work = line2;
    in.dateField = kDate;
    in.numberingOn = numbering;
    in.firstNumber = first;
    return in;
}

TEST(Composition, SheetCountTable) {
    const std::pair<int, int> cases[] = {{1, 1},  {31, 1}, {32, 2},  {61, 2},  {62, 3},
                                         {91, 3}, {92, 4}, {121, 4}, {122, 5}, {500, 5}};
    for (const auto& [a, sheets] : cases)
        EXPECT_EQ(sheetCountFor(a), sheets) << a;
}

TEST(Composition, Guard) {
    EXPECT_FALSE(printSetAccepts(""));
    EXPECT_FALSE(printSetAccepts("\r\n\r\n"));
    EXPECT_TRUE(printSetAccepts("\r\n"));
    EXPECT_TRUE(printSetAccepts("\r\n\r\n\r\n"));
    EXPECT_TRUE(printSetAccepts("   "));
    EXPECT_TRUE(printSetAccepts("HELLO"));
}

struct Row {
    const char* name;
    ComposeInput in;
    LabelLines preview;
    NumberedLine where;
    std::string stem;
};

std::vector<Row> rows() {
    const std::string d = " " + kDate;
    return {
        // Numbering off: line 2 as typed; with the date its text is cut to a 14-byte field.
        {"off", plain("HELLO", "ABC", 1, false), {"HELLO", "ABC"}, NumberedLine::None, ""},
        {"off date",
         [] {
             auto in = dated("HELLO", "ABC", 1);
             in.numberingOn = false;
             return in;
         }(),
         {"HELLO", "ABC" + blanks(11) + d},
         NumberedLine::None,
         ""},
        {"off date dbcs cut",
         [] {
             auto in = dated("HELLO", alpha(13) + kA2, 1);
             in.numberingOn = false;
             return in;
         }(),
         {"HELLO", alpha(13) + " " + d},
         NumberedLine::None,
         ""},
        // Row 3.
        {"row3", plain("HELLO", "ABC", 1), {"HELLO", "ABC-1"}, NumberedLine::Line2, "ABC"},
        {"row3 date",
         dated("HELLO", "ABC", 12),
         {"HELLO", "ABC-12" + blanks(8) + d},
         NumberedLine::Line2,
         "ABC"},
        {"row3 W=14",
         plain("HELLO", alpha(12), 1),
         {"HELLO", alpha(12) + "-1"},
         NumberedLine::Line2,
         alpha(12)},
        {"row3 trailing blanks", plain("HELLO", "ABC   ", 1), {"HELLO", "ABC-1"}, NumberedLine::Line2, "ABC"},
        // Row 6 (W 15..25, no date): line 2 whole, trailing blanks included.
        {"row6 W=15",
         plain("HELLO", alpha(13), 1),
         {"HELLO", alpha(13) + "-1"},
         NumberedLine::Line2,
         alpha(13)},
        {"row6 W=25",
         plain("HELLO", alpha(23), 1),
         {"HELLO", alpha(23) + "-1"},
         NumberedLine::Line2,
         alpha(23)},
        {"row6 20",
         plain("HELLO", alpha(20), 1),
         {"HELLO", alpha(20) + "-1"},
         NumberedLine::Line2,
         alpha(20)},
        {"row6 trailing blanks",
         plain("HELLO", alpha(13) + "  ", 1),
         {"HELLO", alpha(13) + "  -1"},
         NumberedLine::Line2,
         alpha(13) + "  "},
        // Row 4 (W >= 26, no date): even cut of 24 - n.
        {"row4 W=26",
         plain("HELLO", alpha(24), 1),
         {"HELLO", alpha(22) + "-1"},
         NumberedLine::Line2,
         alpha(22)},
        {"row4 n=1",
         plain("HELLO", alpha(30), 1),
         {"HELLO", alpha(22) + "-1"},
         NumberedLine::Line2,
         alpha(22)},
        {"row4 n=2",
         plain("HELLO", alpha(30), 12),
         {"HELLO", alpha(22) + "-12"},
         NumberedLine::Line2,
         alpha(22)},
        {"row4 n=3",
         plain("HELLO", alpha(30), 100),
         {"HELLO", alpha(20) + "-100"},
         NumberedLine::Line2,
         alpha(20)},
        {"row4 dbcs",
         plain("HELLO", "A" + japanese(14), 1),
         {"HELLO", "A" + japanese(10) + "-1"},
         NumberedLine::Line2,
         "A" + japanese(10)},
        // Row 7 (W 15..25, date): even cut of 13 - n of line 2, in front of its date line.
        {"row7 W=15",
         dated("HELLO", alpha(13), 1),
         {"HELLO", alpha(12) + "-1" + d},
         NumberedLine::Line2,
         alpha(12)},
        {"row7 20",
         dated("HELLO", alpha(20), 1),
         {"HELLO", alpha(12) + "-1" + d},
         NumberedLine::Line2,
         alpha(12)},
        {"row7 n=3",
         dated("HELLO", alpha(20), 100),
         {"HELLO", alpha(10) + "-100" + d},
         NumberedLine::Line2,
         alpha(10)},
        // Row 5 (W >= 26, date): even cut of 12 - n of S; the stem is what the preview shows.
        {"row5 n=1",
         dated("HELLO", alpha(30), 1),
         {"HELLO", alpha(10) + "-1" + blanks(2) + d},
         NumberedLine::Line2,
         alpha(10)},
        {"row5 n=3",
         dated("HELLO", alpha(30), 100),
         {"HELLO", alpha(8) + "-100" + blanks(2) + d},
         NumberedLine::Line2,
         alpha(8)},
        {"row5 n=4",
         dated("HELLO", alpha(30), 1000),
         {"HELLO", alpha(8) + "-1000" + blanks(1) + d},
         NumberedLine::Line2,
         alpha(8)},
        {"row5 W=26",
         dated("HELLO", alpha(24), 1),
         {"HELLO", alpha(10) + "-1" + blanks(2) + d},
         NumberedLine::Line2,
         alpha(10)},
        // Row 1: blank start and L1 <= 28; the number goes on line 1.
        {"row1 date only",
         dated("HELLO", "", 1),
         {"HELLO-1", blanks(15) + kDate},
         NumberedLine::Line1,
         "HELLO"},
        {"row1 L1=28",
         plain(alpha(26), blanks(5) + "XYZ", 1),
         {alpha(26) + "-1", ""},
         NumberedLine::Line1,
         alpha(26)},
        // Blank start with L1 = 29 falls to row 3.
        {"row3 blank start L1=29",
         plain(alpha(27), blanks(5) + "XYZ", 1),
         {alpha(27), blanks(5) + "XYZ-1"},
         NumberedLine::Line2,
         blanks(5) + "XYZ"},
        // A numbered text longer than 14 bytes keeps its number whole in front of the date.
        {"row3 blank start dated long",
         dated(alpha(27), blanks(5) + alpha(15), 1),
         {alpha(27), blanks(5) + alpha(15) + "-1" + d},
         NumberedLine::Line2,
         blanks(5) + alpha(15)},
        {"row3 blank start dated",
         dated(alpha(27), "", 1),
         {alpha(27), "-1" + blanks(12) + d},
         NumberedLine::Line2,
         ""},
        // Row 2: no line 2 and L1 >= 29: split after 28 bytes.
        {"row2 L1=29", plain(alpha(29), "", 1), {alpha(28), "2-1"}, NumberedLine::Split, alpha(29)},
        {"row2 30", plain(alpha(30), "", 1), {alpha(28), "23-1"}, NumberedLine::Split, alpha(30)},
        {"row2 dbcs",
         plain("A" + japanese(15), "", 1),
         {"A" + japanese(13), japanese(2) + "-1"},
         NumberedLine::Split,
         "A" + japanese(15)},
        // Row 8: no line 2 and L1 <= 28: like row 1.
        {"row8 L1=28", plain(alpha(28), "", 1), {alpha(28) + "-1", ""}, NumberedLine::Line1, alpha(28)},
        {"row8 date",
         [] {
             auto in = dated("HELLO", "", 7);
             in.line2 = "";
             return in;
         }(),
         {"HELLO-7", blanks(15) + kDate},
         NumberedLine::Line1,
         "HELLO"},
    };
}

TEST(Composition, NumberingRows) {
    for (const auto& row : rows()) {
        const Composition c = compose(row.in);
        EXPECT_EQ(c.preview.line1, row.preview.line1) << row.name;
        EXPECT_EQ(c.preview.line2, row.preview.line2) << row.name;
        EXPECT_EQ(c.label.where, row.where) << row.name;
        if (row.where != NumberedLine::None) {
            EXPECT_EQ(c.label.NumberStem, row.stem) << row.name;
        }
        // The first label prints exactly what the preview shows.
        EXPECT_EQ(c.label.linesFor(row.in.firstNumber), c.preview) << row.name;
    }
}

TEST(Composition, LaterNumbers) {
    const std::string d = " " + kDate;
    struct Case {
        const char* name;
        ComposeInput in;
        std::int32_t number;
        LabelLines lines;
    };
    const Case cases[] = {
        {"off", plain("HELLO", "ABC", 9, false), 10, {"HELLO", "ABC"}},
        {"row1 99->100", plain("HELLO", blanks(5), 99), 100, {"HELLO-100", ""}},
        {"row1 date 9->10", dated("HELLO", "", 9), 10, {"HELLO-10", blanks(15) + kDate}},
        {"row2 9->10", plain(alpha(30), "", 9), 10, {alpha(28), "23-10"}},
        {"row2 date 99->100",
         [] {
             auto in = dated(alpha(30) + "abcdefghij", "", 99);
             in.line2 = "";
             return in;
         }(),
         100,
         {alpha(28), "23abcdefghij-100" + d}},
        {"row3 9->10", plain("HELLO", "ABC", 9), 10, {"HELLO", "ABC-10"}},
        {"row3 W=14 99->100", plain("HELLO", alpha(11), 99), 100, {"HELLO", alpha(11) + "-100"}},
        // Grown past 14 bytes, the numbered text is not cut in front of the date.
        {"row3 date 99->100", dated("HELLO", alpha(10), 99), 100, {"HELLO", alpha(10) + "-100" + d}},
        {"row3 date 99->1000", dated("HELLO", alpha(10), 99), 1000, {"HELLO", alpha(10) + "-1000" + d}},
        {"row4 9->10", plain("HELLO", alpha(30), 9), 10, {"HELLO", alpha(22) + "-10"}},
        {"row6 16-byte stem", plain("HELLO", alpha(16), 9), 10, {"HELLO", alpha(16) + "-10"}},
        {"row5 99->100", dated("HELLO", alpha(30), 99), 100, {"HELLO", alpha(10) + "-100" + d}},
        {"row6 9->10", plain("HELLO", alpha(20), 9), 10, {"HELLO", alpha(20) + "-10"}},
        {"row7 9->10", dated("HELLO", alpha(20), 9), 10, {"HELLO", alpha(12) + "-10" + d}},
        {"row8 99->100", plain(alpha(28), "", 99), 100, {alpha(28) + "-100", ""}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(compose(c.in).label.linesFor(c.number), c.lines) << c.name;
}

TEST(Composition, TenLabelsFrom1000) {
    const Composition row3 = compose(plain("HELLO", "ABC", 1000));
    const Composition row5 = compose(dated("HELLO", alpha(30), 1000));
    for (int i = 0; i < 10; ++i) {
        const std::string number = std::to_string(1000 + i);
        EXPECT_EQ(row3.label.linesFor(1000 + i), (LabelLines{"HELLO", "ABC-" + number}));
        EXPECT_EQ(row5.label.linesFor(1000 + i),
                  (LabelLines{"HELLO", alpha(8) + "-" + number + "  " + kDate}));
    }
}

TEST(Composition, PreviewMemoLimit) {
    Memo memo2(64);
    memo2.setText("Memo2\r\n");
    const Composition c = compose(plain(std::string(40, 'L'), std::string(31, 'M'), 1, false));
    showPreview(memo2, c.preview);
    EXPECT_EQ(memo2.text(), std::string(40, 'L') + "\r\n" + std::string(22, 'M'));
    EXPECT_EQ(memo2.line(1), std::string(40, 'L'));
    EXPECT_EQ(memo2.line(2), std::string(22, 'M'));
    // The limit cuts the preview only: the labels keep the whole line.
    EXPECT_EQ(c.label.linesFor(1).line2, std::string(31, 'M'));

    // A short composition replaces both lines of the previous one.
    showPreview(memo2, compose(plain("HELLO", "ABC", 1)).preview);
    EXPECT_EQ(memo2.text(), "HELLO\r\nABC-1");
}

} // namespace
