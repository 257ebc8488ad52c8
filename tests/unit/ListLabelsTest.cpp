// A list's rows composed into one run: the serial widths, --digits, the cut a wider number does not
// fit, the date on every row, and the list checked against itself.
#include <gtest/gtest.h>

#include "content/ListLabels.h"

namespace {

using namespace kb;

struct TestClock : Clock {
    std::string todayText() const override { return "26/12/07"; }
};

// A row as the reader gives it: row, line 1, line 2, count, first serial and its width.
ListRow row(std::int32_t r, std::string line1, std::string line2, std::int32_t count,
            std::optional<std::int32_t> serial = std::nullopt, std::int32_t width = 1) {
    return {r, std::move(line1), std::move(line2), count, serial, serial ? width : 0};
}

// Every label as "row:serial line1|line2", then every refusal as "!kind row/otherRow:serial".
std::string summary(const ListComposition& c) {
    std::string s;
    for (std::size_t i = 0; i < c.labels.size(); ++i) {
        const ListLabel l = c.labels.at(i);
        s += std::to_string(l.row) + ":" + (l.serial ? std::to_string(*l.serial) : "-") + " " +
             l.lines.line1 + "|" + l.lines.line2 + (l.serial ? " stem " + l.stem : "") + "; ";
    }
    for (const ListRefusal& r : c.refusals)
        s += std::string(r.problem == ListProblem::Repeated ? "!repeat " : "!wide ") + std::to_string(r.row) +
             "/" + std::to_string(r.otherRow) + ":" + std::to_string(r.serial) + "; ";
    return s;
}

TEST(ListLabels, Rows) {
    const std::string alpha = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123", d = " 26/12/07";
    const ListOptions none, date{true, std::nullopt, 0}, xmas{true, std::string("XMAS"), 0},
        digits3{false, std::nullopt, 3};
    struct Case {
        const char* name;
        std::vector<ListRow> rows;
        ListOptions options;
        std::string expected;
    };
    const Case cases[] = {
        {"numbered and plain rows in file order",
         {row(2, "HELLO", "ABC", 2, 9), row(4, "X", "Y", 1)},
         none,
         "2:9 HELLO|ABC-9 stem ABC; 2:10 HELLO|ABC-10 stem ABC; 4:- X|Y; "},
        {"leading zeros keep their width",
         {row(1, "A", "ABC", 2, 1, 4)},
         none,
         "1:1 A|ABC-0001 stem ABC; 1:2 A|ABC-0002 stem ABC; "},
        {"digits pad every numbered row, not the plain ones",
         {row(1, "A", "B", 2, 9), row(2, "C", "", 1), row(3, "D", "E", 1, 5, 4)},
         digits3,
         "1:9 A|B-009 stem B; 1:10 A|B-010 stem B; 2:- C|; 3:5 D|E-0005 stem E; "},
        {"only line 1: the number stands on line 1",
         {row(1, "HELLO", "", 2, 1)},
         none,
         "1:1 HELLO-1| stem HELLO; 1:2 HELLO-2| stem HELLO; "},
        {"the date on every row, numbered or not",
         {row(1, "A", "B", 1), row(2, "C", "ABC", 1, 7)},
         date,
         "1:- A|B" + std::string(13, ' ') + d + "; 2:7 C|ABC-7" + std::string(9, ' ') + d + " stem ABC; "},
        {"an edited date field", {row(1, "A", "B", 1)}, xmas, "1:- A|B" + std::string(13, ' ') + " XMAS; "},
        // With the date, line 2's text is 14 bytes: a 12-byte stem and 9 fill them, 10 would not fit.
        {"a wider number past the date field",
         {row(3, "A", alpha.substr(0, 12), 2, 9)},
         date,
         "!wide 3/0:10; "},
        {"the same row written 09 is cut for two digits",
         {row(3, "A", alpha.substr(0, 12), 2, 9, 2)},
         date,
         "3:9 A|ABCDEFGHIJ-09 " + d + " stem ABCDEFGHIJ; 3:10 A|ABCDEFGHIJ-10 " + d + " stem ABCDEFGHIJ; "},
        // A long line 2 is cut to 22 bytes for one or two digits, to 20 for three.
        {"one digit to two keeps the cut",
         {row(1, "A", alpha, 2, 9)},
         none,
         "1:9 A|" + alpha.substr(0, 22) + "-9 stem " + alpha.substr(0, 22) + "; 1:10 A|" +
             alpha.substr(0, 22) + "-10 stem " + alpha.substr(0, 22) + "; "},
        {"two digits to three does not", {row(1, "A", alpha, 2, 99)}, none, "!wide 1/0:100; "},
        {"the list against itself",
         {row(1, "A", "B", 10, 1), row(2, "A", "B", 1, 3), row(3, "C", "B", 3, 1), row(4, "A", "B", 2, 11),
          row(5, "A", "B", 1, 8, 2), row(6, "A", "B ", 1, 11)},
         none,
         "!repeat 2/1:3; !repeat 5/1:8; !repeat 6/4:11; "},
    };
    const TestClock clock;
    for (const Case& c : cases) {
        ListReading reading;
        reading.rows = c.rows;
        reading.file = "list.csv";
        const ListComposition composed = composeList(reading, c.options, clock);
        EXPECT_EQ(summary(composed), c.expected) << c.name;
        for (const ListRefusal& r : composed.refusals)
            EXPECT_EQ(r.file, "list.csv") << c.name;
    }
}

} // namespace

namespace {

// The wording names only what is known: the file alone, or its row, or its row and column.
TEST(ListRefusal, Wording) {
    using P = kb::ListProblem;
    const std::tuple<kb::ListRefusal, std::string, std::string> cases[] = {
        {{.problem = P::NoLabels, .file = "a.csv"},
         "a.csv: holds no label",
         "a.csv: 印刷するラベルがありません"},
        {{.problem = P::Character, .file = "a.csv", .row = 3, .column = 2, .character = 0xE9},
         "a.csv, row 3, column 2: the character U+00E9 \"é\" has no Shift-JIS form",
         "a.csv の 3 行目、2 列目: 文字「é」（U+00E9）は Shift-JIS で印刷できません"},
        {{.problem = P::Character, .file = "a.csv", .row = 3, .column = 1, .character = 0x09},
         "a.csv, row 3, column 1: the control character U+0009",
         "a.csv の 3 行目、1 列目: 制御文字（U+0009）は印刷できません"},
        // No one character to blame: the cell, not a control character U+0000.
        {{.problem = P::Character, .file = "a.csv", .row = 3, .column = 1, .text = "AB"},
         "a.csv, row 3, column 1: \"AB\" has no Shift-JIS form",
         "a.csv の 3 行目、1 列目: 「AB」は Shift-JIS で印刷できません"},
    };
    for (const auto& [refusal, english, japanese] : cases) {
        EXPECT_EQ(kb::englishText(refusal), english);
        EXPECT_EQ(kb::japaneseText(refusal), japanese);
    }
}

} // namespace
