// PrintSet's composition: sheet count, guard, the numbering rows at their limits, the date tail,
// the lines every later label of a numbered run gets, and the preview memo's 64-byte limit.
#include <gtest/gtest.h>

#include "content/Composition.h"

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

ComposeInput off(ComposeInput in) {
    in.numberingOn = false;
    return in;
}
ComposeInput noLine2(ComposeInput in) {
    in.line2 = "";
    return in;
}
std::string joined(const LabelLines& lines) {
    return lines.line1 + "|" + lines.line2;
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

TEST(Composition, SheetCountAndGuard) {
    const std::pair<int, int> cases[] = {{31, 1}, {32, 2},  {61, 2},  {62, 3}, {91, 3},
                                         {92, 4}, {121, 4}, {122, 5}, {500, 5}};
    for (const auto& [a, sheets] : cases)
        EXPECT_EQ(sheetCountFor(a), sheets) << a;
    EXPECT_FALSE(printSetAccepts("") || printSetAccepts("\r\n\r\n"));
    EXPECT_TRUE(printSetAccepts("\r\n") && printSetAccepts("\r\n\r\n\r\n") && printSetAccepts("   "));
}

// Every numbering row at its limits. Lines are written "line 1|line 2". The first label prints what the
// preview shows; where a row gives a later number, that label's lines too (the number grows a digit
// and is never cut; the stem stays).
TEST(Composition, NumberingRows) {
    struct Row {
        const char* name;
        ComposeInput in;
        std::string preview;
        NumberedLine where;
        std::string stem;
        std::int32_t later = 0;
        std::string laterLines = {};
    };
    const std::string d = " " + kDate, H = "HELLO|";
    const auto None = NumberedLine::None, L1 = NumberedLine::Line1, L2 = NumberedLine::Line2,
               Split = NumberedLine::Split;
    const Row rows[] = {
        // Numbering off: line 2 as typed; with the date its text is cut to a 14-byte field.
        {"off", plain("HELLO", "ABC", 9, false), H + "ABC", None, "", 10, H + "ABC"},
        {"off date", off(dated("HELLO", "ABC", 1)), H + "ABC" + blanks(11) + d, None, ""},
        {"off date dbcs cut", off(dated("HELLO", alpha(13) + kA2, 1)), H + alpha(13) + " " + d, None, ""},
        // Row 3 (W <= 14): S, trailing blanks dropped. Each row at a limit differs from the row beside it.
        {"row3", plain("HELLO", "ABC", 9), H + "ABC-9", L2, "ABC", 10, H + "ABC-10"},
        {"row3 date", dated("HELLO", "ABC", 12), H + "ABC-12" + blanks(8) + d, L2, "ABC", 100,
         H + "ABC-100" + blanks(7) + d},
        {"row3 date W=14", dated("HELLO", alpha(11), 99), H + alpha(11) + "-99" + d, L2, alpha(11), 1000,
         H + alpha(11) + "-1000" + d},
        {"row3 W=14", plain("HELLO", alpha(11) + "  ", 99), H + alpha(11) + "-99", L2, alpha(11), 100,
         H + alpha(11) + "-100"},
        // Row 6 (W 15..25, no date): line 2 whole, trailing blanks included.
        {"row6 W=25", plain("HELLO", alpha(23), 1), H + alpha(23) + "-1", L2, alpha(23)},
        {"row6 20", plain("HELLO", alpha(20), 9), H + alpha(20) + "-9", L2, alpha(20), 10,
         H + alpha(20) + "-10"},
        {"row6 W=15", plain("HELLO", alpha(13) + "  ", 1), H + alpha(13) + "  -1", L2, alpha(13) + "  "},
        // Row 4 (W >= 26, no date): even cut of 24 - n.
        {"row4 W=26", plain("HELLO", alpha(24), 1), H + alpha(22) + "-1", L2, alpha(22)},
        {"row4 n=1", plain("HELLO", alpha(30), 9), H + alpha(22) + "-9", L2, alpha(22), 10,
         H + alpha(22) + "-10"},
        {"row4 n=2", plain("HELLO", alpha(30), 12), H + alpha(22) + "-12", L2, alpha(22)},
        {"row4 n=3", plain("HELLO", alpha(30), 100), H + alpha(20) + "-100", L2, alpha(20)},
        {"row4 dbcs", plain("HELLO", "A" + japanese(14), 1), H + "A" + japanese(10) + "-1", L2,
         "A" + japanese(10)},
        // Row 7 (W 15..25, date): even cut of 13 - n of line 2, in front of its date line.
        {"row7 W=15", dated("HELLO", alpha(13), 1), H + alpha(12) + "-1" + d, L2, alpha(12)},
        {"row7 20", dated("HELLO", alpha(20), 9), H + alpha(12) + "-9" + d, L2, alpha(12), 10,
         H + alpha(12) + "-10" + d},
        {"row7 W=25", dated("HELLO", alpha(23), 1), H + alpha(12) + "-1" + d, L2, alpha(12)},
        {"row7 n=3", dated("HELLO", alpha(20), 100), H + alpha(10) + "-100" + d, L2, alpha(10)},
        // Row 5 (W >= 26, date): even cut of 12 - n of S; the stem is what the preview shows.
        {"row5 n=1", dated("HELLO", alpha(30), 9), H + alpha(10) + "-9" + blanks(2) + d, L2, alpha(10), 100,
         H + alpha(10) + "-100" + d},
        {"row5 n=3", dated("HELLO", alpha(30), 100), H + alpha(8) + "-100" + blanks(2) + d, L2, alpha(8)},
        {"row5 n=4", dated("HELLO", alpha(30), 1000), H + alpha(8) + "-1000" + blanks(1) + d, L2, alpha(8)},
        {"row5 W=26", dated("HELLO", alpha(24), 1), H + alpha(10) + "-1" + blanks(2) + d, L2, alpha(10)},
        // Row 1: blank start and L1 <= 28; the number goes on line 1.
        {"row1 date only", dated("HELLO", "", 9), "HELLO-9|" + blanks(15) + kDate, L1, "HELLO", 10,
         "HELLO-10|" + blanks(15) + kDate},
        {"row1 L1=28", plain(alpha(26), blanks(5) + "XYZ", 1), alpha(26) + "-1|", L1, alpha(26), 100,
         alpha(26) + "-100|"},
        // Blank start with L1 = 29 falls to row 3; a numbered text longer than 14 bytes keeps its
        // number whole in front of the date.
        {"row3 blank start L1=29", plain(alpha(27), blanks(5) + "XYZ", 1),
         alpha(27) + "|" + blanks(5) + "XYZ-1", L2, blanks(5) + "XYZ"},
        {"row3 blank start dated long", dated(alpha(27), blanks(5) + alpha(15), 1),
         alpha(27) + "|" + blanks(5) + alpha(15) + "-1" + d, L2, blanks(5) + alpha(15)},
        {"row3 blank start dated", dated(alpha(27), "", 1), alpha(27) + "|-1" + blanks(12) + d, L2, ""},
        // Row 2: no line 2 and L1 >= 29: split after 28 bytes.
        {"row2 L1=29", plain(alpha(29), "", 1), alpha(28) + "|2-1", Split, alpha(29)},
        {"row2 30", plain(alpha(30), "", 9), alpha(28) + "|23-9", Split, alpha(30), 10, alpha(28) + "|23-10"},
        {"row2 dbcs", plain("A" + japanese(15), "", 1), "A" + japanese(13) + "|" + japanese(2) + "-1", Split,
         "A" + japanese(15)},
        {"row2 date", noLine2(dated(alpha(30) + "abcdefghij", "", 99)), alpha(28) + "|23abcdefghij-99" + d,
         Split, alpha(30) + "abcdefghij", 100, alpha(28) + "|23abcdefghij-100" + d},
        // Row 8: no line 2 and L1 <= 28: like row 1.
        {"row8 L1=28", plain(alpha(28), "", 99), alpha(28) + "-99|", L1, alpha(28), 100, alpha(28) + "-100|"},
        {"row8 date", noLine2(dated("HELLO", "", 7)), "HELLO-7|" + blanks(15) + kDate, L1, "HELLO"},
    };
    for (const auto& row : rows) {
        const Composition c = compose(row.in);
        EXPECT_EQ(joined(c.preview), row.preview) << row.name;
        EXPECT_EQ(c.label.where, row.where) << row.name;
        if (row.where != NumberedLine::None) {
            EXPECT_EQ(c.label.NumberStem, row.stem) << row.name;
        }
        EXPECT_EQ(joined(c.label.linesFor(row.in.firstNumber)), row.preview) << row.name;
        if (row.later) {
            EXPECT_EQ(joined(c.label.linesFor(row.later)), row.laterLines) << row.name;
        }
    }
}

TEST(Composition, TenLabelsFrom1000) {
    const Composition row3 = compose(plain("HELLO", "ABC", 1000));
    const Composition row5 = compose(dated("HELLO", alpha(30), 1000));
    for (int i = 0; i < 10; ++i) {
        const std::string number = std::to_string(1000 + i);
        EXPECT_EQ(joined(row3.label.linesFor(1000 + i)), "HELLO|ABC-" + number);
        EXPECT_EQ(joined(row5.label.linesFor(1000 + i)), "HELLO|" + alpha(8) + "-" + number + "  " + kDate);
    }
}

// The preview memo's 64-byte limit cuts the preview only: the labels keep the whole line. A short
// composition then replaces both lines of the previous one.
TEST(Composition, PreviewMemoLimit) {
    Memo memo2(64);
    memo2.setText("Memo2\r\n");
    const Composition c = compose(plain(std::string(40, 'L'), std::string(31, 'M'), 1, false));
    showPreview(memo2, c.preview);
    EXPECT_EQ(memo2.text(), std::string(40, 'L') + "\r\n" + std::string(22, 'M'));
    EXPECT_EQ(c.label.linesFor(1).line2, std::string(31, 'M'));
    showPreview(memo2, compose(plain("HELLO", "ABC", 1)).preview);
    EXPECT_EQ(memo2.text(), "HELLO\r\nABC-1");
}

} // namespace
