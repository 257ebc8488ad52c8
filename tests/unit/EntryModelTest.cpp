// The entry screen's rules, byte for byte, with the nested handlers a real screen runs.
#include <gtest/gtest.h>

#include "content/EntryModel.h"

namespace {

const std::string DATE = "26/12/07";
const std::string NI = "\x93\xFA";  // 日
const std::string HON = "\x96\x7B"; // 本
const std::string GO = "\x8C\xEA";  // 語

std::string blanks(std::size_t n) {
    return std::string(n, ' ');
}

struct TestClock : kb::Clock {
    std::string todayText() const override { return DATE; }
};

struct Entry {
    TestClock clock;
    kb::EntryModel model{clock};
    explicit Entry(const std::string& memoText = {}) { model.Memo1.setText(memoText); }
};

// For each kind of line 2: the date switched on, then off; and on again with Backspace taking the
// date's last character (the key comes up after it is gone): the date goes, line 2 is cut to 13 bytes
// (a placeholder line 2 goes with the date).
TEST(EntryModel, DateOnOffAndBackspace) {
    struct Case {
        const char* name;
        std::string memo, dateOnMemo, workWhileOn, dateOffMemo, workWhenOff, afterBackspace;
    };
    const std::string twenty = "ABCDEFGHIJKLMNOPQRST";
    // Japanese from byte 2: the 16th byte is the lead byte of a character, so the field stops at 15
    // bytes and a blank keeps the date in its column.
    const std::string jp = "A" + NI + HON + GO + NI + HON + GO + NI + HON;
    const std::string jpField = "A" + NI + HON + GO + NI + HON + GO + NI + " ";
    // All double-byte: the 13th byte starts a character, so Backspace's cut stops before it.
    const std::string jp16 = NI + HON + GO + NI + HON + GO + NI + HON;
    const Case cases[] = {
        {"short", "HELLO\r\nABC", "HELLO\r\nABC" + blanks(14) + DATE, "ABC" + blanks(13),
         "HELLO\r\nABC" + blanks(13), "ABC" + blanks(13), "ABC" + blanks(10)},
        {"long", "HELLO\r\n" + twenty, "HELLO\r\nABCDEFGHIJKLMNOP " + DATE, twenty,
         "HELLO\r\nABCDEFGHIJKLMNOP", "ABCDEFGHIJKLMNOP", "ABCDEFGHIJKLM"},
        {"missing line 2", "HELLO", "HELLO\r\n" + blanks(16) + DATE, blanks(26), "HELLO\r\n", "", ""},
        {"empty line 2", "HELLO\r\n", "HELLO\r\n" + blanks(16) + DATE + "\r\n", blanks(26), "HELLO\r\n", "",
         ""},
        // Nothing to insert into or delete from: only the date field shows the date.
        {"empty memo", "", "", blanks(26), "", blanks(26), ""},
        {"double-byte at the field's end", "HELLO\r\n" + jp, "HELLO\r\n" + jpField + " " + DATE, jp,
         "HELLO\r\n" + jpField, jpField, "A" + NI + HON + GO + NI + HON + GO},
        {"double-byte at the cut", "HELLO\r\n" + jp16, "HELLO\r\n" + jp16 + " " + DATE, jp16,
         "HELLO\r\n" + jp16, jp16, NI + HON + GO + NI + HON + GO},
    };
    for (const auto& c : cases) {
        Entry e(c.memo);
        e.model.setDateChecked(true);
        EXPECT_EQ(e.model.Memo1.text(), c.dateOnMemo) << c.name;
        EXPECT_EQ(e.model.Line2Work, c.workWhileOn) << c.name;
        EXPECT_EQ(e.model.Line2Text, e.model.Memo1.line(2)) << c.name;
        EXPECT_EQ(e.model.edit2Text(), DATE) << c.name;
        EXPECT_TRUE(e.model.edit2Visible()) << c.name;

        e.model.setDateChecked(false);
        EXPECT_EQ(e.model.Memo1.text(), c.dateOffMemo) << c.name;
        EXPECT_FALSE(e.model.edit2Visible()) << c.name;
        EXPECT_EQ(e.model.edit2Text(), DATE) << c.name; // hidden, text kept
        EXPECT_EQ(e.model.Line2Work, c.workWhenOff) << c.name;

        Entry b(c.memo);
        b.model.setDateChecked(true);
        std::string line2 = b.model.Memo1.line(2);
        if (!line2.empty())
            line2.pop_back();
        b.model.Memo1.replaceLine(2, line2);
        b.model.Memo1KeyUp(8);
        EXPECT_FALSE(b.model.dateChecked() || b.model.edit2Visible()) << c.name;
        EXPECT_EQ(b.model.edit2Text(), "") << c.name;
        EXPECT_EQ(b.model.Memo1.line(2), c.afterBackspace) << c.name;
        EXPECT_EQ(b.model.Line2Text, c.afterBackspace) << c.name;
        EXPECT_EQ(b.model.Line2Work, c.afterBackspace) << c.name;
        EXPECT_EQ(b.model.Line1Text, b.model.Memo1.line(1)) << c.name;
    }
}

// One line 2 through the date's life: counted with its date line, typed over while the date is on,
// switched off and on again, the date field edited, and cleared as a print run leaves it.
TEST(EntryModel, DateLineThroughEditsAndRecheck) {
    Entry e("HELLO\r\nABC");
    e.model.setDateChecked(true);
    EXPECT_EQ(e.model.panel2().bytes, 25);
    EXPECT_FALSE(e.model.panel2().red);
    // Line2Work is left alone while the date is on; the typed text is overwritten from it when it goes off.
    e.model.Memo1.setText("HELLO\r\nXYZ");
    EXPECT_EQ(e.model.Line2Text, "XYZ");
    EXPECT_EQ(e.model.Line2Work, "ABC" + blanks(13));
    e.model.setDateChecked(false);
    EXPECT_EQ(e.model.Memo1.line(2), "ABC" + blanks(13));
    EXPECT_EQ(e.model.panel2().bytes, 16);
    // Edit2 already holds the date, so no date field change runs; the date line is composed anyway.
    e.model.setDateChecked(true);
    EXPECT_EQ(e.model.Memo1.line(2), "ABC" + blanks(14) + DATE);
    EXPECT_EQ(e.model.Line1Text, "HELLO");
    // Keys other than Backspace change nothing.
    e.model.Memo1KeyUp(46); // Delete
    e.model.Memo1KeyUp(65);
    EXPECT_EQ(e.model.Memo1.line(2), "ABC" + blanks(14) + DATE);
    EXPECT_TRUE(e.model.dateChecked());

    e.model.setEdit2Text("XMAS");
    EXPECT_EQ(e.model.Line2Work, "ABC" + blanks(13));
    EXPECT_EQ(e.model.Memo1.line(2), "ABC" + blanks(14) + "XMAS");
    EXPECT_EQ(e.model.Line2Text, "ABC" + blanks(14) + "XMAS");
    // Setting the same text again runs nothing: line 2 typed over stays as typed.
    e.model.Memo1.replaceLine(2, "TYPED");
    e.model.setEdit2Text("XMAS");
    EXPECT_EQ(e.model.Memo1.line(2), "TYPED");

    // After a print run: date off, field cleared; Backspace without the date does nothing.
    e.model.setDateChecked(false);
    e.model.setEdit2Text("");
    e.model.Memo1KeyUp(8);
    EXPECT_EQ(e.model.Memo1.line(2), "ABC" + blanks(14));
    EXPECT_EQ(e.model.panel2().bytes, 17);
}

// Every line after line 2 is blanked as it comes, line 12 too (a paste of many lines); the breaks stay.
TEST(EntryModel, OnlyTwoLinesKept) {
    const std::pair<std::string, std::string> cases[] = {{"P\r\nQ\r\nR\r\nS", "P\r\nQ\r\n\r\n"},
                                                         {"P\r\nQ\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\nK\r\nL",
                                                          "P\r\nQ\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n"}};
    for (const auto& [typed, kept] : cases) {
        Entry e(typed);
        EXPECT_EQ(e.model.Memo1.text(), kept);
        EXPECT_EQ(e.model.Line1Text + "|" + e.model.Line2Text + "|" + e.model.Line2Work, "P|Q|Q");
    }
}

// Each line's counter: its bytes, red from 30 on, with single- and double-byte text.
TEST(EntryModel, Counters) {
    std::string jp14;
    for (int i = 0; i < 14; ++i)
        jp14 += NI;
    const std::tuple<std::string, int, bool> cases[] = {{std::string(29, 'A'), 29, false},
                                                        {std::string(30, 'A'), 30, true},
                                                        {jp14 + "A", 29, false},
                                                        {jp14 + HON, 30, true}};
    for (const auto& [line, bytes, red] : cases) {
        Entry first(line), second("HELLO\r\n" + line);
        EXPECT_EQ(std::pair(first.model.panel1().bytes, first.model.panel1().red), std::pair(bytes, red));
        EXPECT_EQ(std::pair(second.model.panel2().bytes, second.model.panel2().red), std::pair(bytes, red));
        EXPECT_EQ(second.model.panel1().bytes, 5);
    }
}

TEST(EntryModel, NumberingAndLists) {
    Entry e;
    e.model.CheckBox3Click(true);
    e.model.ListBox1Click(999);
    EXPECT_TRUE(e.model.NumberingOn && e.model.listBox1Visible());
    e.model.CheckBox3Click(false);
    EXPECT_FALSE(e.model.NumberingOn || e.model.listBox1Visible());
    EXPECT_EQ(e.model.FirstNumber, 1000); // kept for the next time
    e.model.ListBox4Click(9);
    e.model.ListBox4Click(-1); // no selection
    EXPECT_EQ(e.model.SampleCount, 10);
}

} // namespace
