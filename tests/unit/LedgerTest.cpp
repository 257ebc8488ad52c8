// The ledger's rules: the last version's CSV sheets read back label by label, the copy's formula
// cells, the ledger's mode from the start file's.
#include <gtest/gtest.h>

#include "content/Composition.h"
#include "print/Ledger.h"

using namespace kb;

namespace {

// A sheet's row as the last version wrote it: the first and last label of `label` for the serials.
LedgerRow oldRow(const NumberedLabel& label, std::string positions, int first, int last,
                 bool numbered = true) {
    const LabelLines a = label.linesFor(first), b = label.linesFor(last);
    return LedgerRow{"2026-12-01T10:00:00+09:00",
                     "window",
                     "kbtest",
                     "7",
                     "1",
                     std::move(positions),
                     a.line1,
                     a.line2,
                     b.line1,
                     b.line2,
                     numbered ? std::to_string(first) : "",
                     numbered ? std::to_string(last) : "",
                     "queued",
                     ""};
}

NumberedLabel numbered(NumberedLine where, bool withDate) {
    NumberedLabel l;
    l.where = where;
    l.fixedLine1 = "HELLO";
    l.fixedLine2 = "WORLD";
    l.NumberStem = "AB-1";
    l.withDate = withDate;
    l.dateField = "26/12/01";
    return l;
}

} // namespace

// Every label between the first and the last is made again as the composition made it (the padding
// before the date shrinking as the number grows); where the two do not show how, only they are kept.
TEST(Ledger, ImportedSheetsLabelByLabel) {
    struct Case {
        const char* name;
        NumberedLabel label;
        std::string positions;
        int first, last;
        bool numbered;
        std::size_t labels; // every label made again: positions' count; else 2
    };
    const Case cases[] = {
        {"line 2 with the date, 9 to 12", numbered(NumberedLine::Line2, true), "25-28", 9, 12, true, 4},
        {"line 2, 98 to 103 across the padding", numbered(NumberedLine::Line2, true), "1-6", 98, 103, true,
         6},
        {"line 1 numbered", numbered(NumberedLine::Line1, true), "3-5", 1, 3, true, 3},
        {"one label", numbered(NumberedLine::Line2, false), "30", 5, 5, true, 1},
        {"not numbered", numbered(NumberedLine::None, true), "9-14", 1, 1, false, 6},
        {"serials that do not fit the positions", numbered(NumberedLine::Line2, false), "1-3", 1, 5, true, 2},
    };
    for (const Case& c : cases) {
        const auto sheets = importedSheets({oldRow(c.label, c.positions, c.first, c.last, c.numbered)});
        ASSERT_EQ(sheets.size(), 1u) << c.name;
        const std::vector<LedgerLabel>& labels = sheets[0].record.labels;
        ASSERT_EQ(labels.size(), c.labels) << c.name;
        for (std::size_t i = 0; i < labels.size(); ++i) {
            const int serial = c.labels == 2 && i == 1 ? c.last : c.first + static_cast<int>(i);
            const LabelLines want = c.label.linesFor(serial);
            EXPECT_EQ(labels[i].line1 + "|" + labels[i].line2, want.line1 + "|" + want.line2)
                << c.name << " " << i;
            EXPECT_EQ(labels[i].serial, c.numbered ? std::optional(serial) : std::nullopt) << c.name;
            EXPECT_EQ(labels[i].stem, c.numbered ? "AB-1" : "") << c.name;
        }
    }
}

TEST(Ledger, CopyCellsAndModes) {
    const std::pair<std::string, std::string> cells[] = {
        {"=HYPERLINK(\"x\")", "'=HYPERLINK(\"x\")"},
        {"+1", "'+1"},
        {"-A", "'-A"},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"\tx", "'\tx"},
        {"\rx", "'\rx"},
        {"A=1", "A=1"},
        {"", ""},
        {"'x", "'x"},
        {"検体", "検体"},
    };
    for (const auto& [text, cell] : cells)
        EXPECT_EQ(copyCell(text), cell) << text;
    const std::pair<unsigned, unsigned> modes[] = {{0600, 0600}, {0400, 0600}, {0644, 0644}, {0664, 0664},
                                                   {0660, 0660}, {0666, 0666}, {0755, 0644}};
    for (const auto& [start, ledger] : modes)
        EXPECT_EQ(ledgerMode(start), ledger) << std::oct << start;
}
