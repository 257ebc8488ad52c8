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
std::string breaks(int n) {
    std::string s;
    for (int i = 0; i < n; ++i)
        s += "\r\n";
    return s;
}

struct TestClock : kb::Clock {
    std::string text = DATE;
    std::string todayText() const override { return text; }
};

struct Entry {
    TestClock clock;
    kb::EntryModel model{clock};
    explicit Entry(const std::string& memoText = {}) { model.Memo1.setText(memoText); }
};

// The date switched on and off again for each kind of line 2.
TEST(EntryModel, DateOnAndOff) {
    struct Case {
        const char* name;
        std::string memo;
        std::string dateOnMemo;
        std::string workWhileOn;
        std::string dateOffMemo;
        std::string workWhenOff;
    };
    const std::string twenty = "ABCDEFGHIJKLMNOPQRST";
    // Japanese from byte 2: the 16th byte is the lead byte of a character, so the field stops at 15
    // bytes and a blank keeps the date in its column.
    const std::string jp = "A" + NI + HON + GO + NI + HON + GO + NI + HON;
    const std::string jpField = "A" + NI + HON + GO + NI + HON + GO + NI + " ";
    const Case cases[] = {
        {"short", "HELLO\r\nABC", "HELLO\r\nABC" + blanks(14) + DATE, "ABC" + blanks(13),
         "HELLO\r\nABC" + blanks(13), "ABC" + blanks(13)},
        {"long", "HELLO\r\n" + twenty, "HELLO\r\nABCDEFGHIJKLMNOP " + DATE, twenty,
         "HELLO\r\nABCDEFGHIJKLMNOP", "ABCDEFGHIJKLMNOP"},
        {"missing line 2", "HELLO", "HELLO\r\n" + blanks(16) + DATE, blanks(26), "HELLO\r\n", ""},
        {"empty line 2", "HELLO\r\n", "HELLO\r\n" + blanks(16) + DATE + "\r\n", blanks(26), "HELLO\r\n", ""},
        // Nothing to insert into or delete from: only the date field shows the date.
        {"empty memo", "", "", blanks(26), "", blanks(26)},
        {"double-byte at the field's end", "HELLO\r\n" + jp, "HELLO\r\n" + jpField + " " + DATE, jp,
         "HELLO\r\n" + jpField, jpField},
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
    }
}

TEST(EntryModel, DateLineCountsAndRecheck) {
    Entry e("HELLO\r\nABC");
    e.model.setDateChecked(true);
    EXPECT_EQ(e.model.panel2().bytes, 25);
    EXPECT_FALSE(e.model.panel2().red);
    e.model.setDateChecked(false);
    EXPECT_EQ(e.model.panel2().bytes, 16);
    // Edit2 already holds the date, so no date field change runs; the date line is composed anyway.
    e.model.setDateChecked(true);
    EXPECT_EQ(e.model.Memo1.line(2), "ABC" + blanks(14) + DATE);
    EXPECT_EQ(e.model.Line1Text, "HELLO");
}

TEST(EntryModel, DateFieldEdited) {
    Entry e("HELLO\r\nAB");
    e.model.setDateChecked(true);
    EXPECT_EQ(e.model.Line2Work, "AB" + blanks(13));
    e.model.setEdit2Text("XMAS");
    EXPECT_EQ(e.model.Line2Work, "AB" + blanks(13));
    EXPECT_EQ(e.model.Memo1.line(2), "AB" + blanks(14) + "XMAS");
    EXPECT_EQ(e.model.Line2Text, "AB" + blanks(14) + "XMAS");

    // Setting the same text again runs nothing: line 2 typed over stays as typed.
    e.model.Memo1.replaceLine(2, "TYPED");
    e.model.setEdit2Text("XMAS");
    EXPECT_EQ(e.model.Memo1.line(2), "TYPED");
}

TEST(EntryModel, BackspaceWithDateOn) {
    struct Case {
        std::string line2;
        std::string after;
    };
    const Case cases[] = {
        {"ABC", "ABC" + blanks(10)},
        {"ABCDEFGHIJKLMNOPQRST", "ABCDEFGHIJKLM"},
        // The 13th byte starts a character: the cut stops before it.
        {NI + HON + GO + NI + HON + GO + NI + HON, NI + HON + GO + NI + HON + GO},
    };
    for (const auto& c : cases) {
        Entry e("HELLO\r\n" + c.line2);
        e.model.setDateChecked(true);
        // The keystroke takes the date's last character before the key comes up.
        std::string line2 = e.model.Memo1.line(2);
        line2.pop_back();
        e.model.Memo1.setText("HELLO\r\n" + line2);
        e.model.Memo1KeyUp(8);
        EXPECT_FALSE(e.model.dateChecked()) << c.line2;
        EXPECT_FALSE(e.model.edit2Visible()) << c.line2;
        EXPECT_EQ(e.model.edit2Text(), "") << c.line2;
        EXPECT_EQ(e.model.Memo1.text(), "HELLO\r\n" + c.after) << c.line2;
        EXPECT_EQ(e.model.Line2Text, c.after) << c.line2;
        EXPECT_EQ(e.model.Line2Work, c.after) << c.line2;
        EXPECT_EQ(e.model.Line1Text, "HELLO") << c.line2;
    }
}

TEST(EntryModel, OtherKeysAndBackspaceWithoutDateDoNothing) {
    Entry off("HELLO\r\nABC");
    off.model.Memo1KeyUp(8);
    EXPECT_EQ(off.model.Memo1.text(), "HELLO\r\nABC");

    Entry on("HELLO\r\nABC");
    on.model.setDateChecked(true);
    const std::string before = on.model.Memo1.text();
    on.model.Memo1KeyUp(46); // Delete
    on.model.Memo1KeyUp(65);
    EXPECT_EQ(on.model.Memo1.text(), before);
    EXPECT_TRUE(on.model.dateChecked());
}

TEST(EntryModel, AfterPrintRunClearsTheDate) {
    Entry e("HELLO\r\nABC");
    e.model.setDateChecked(true);
    e.model.setDateChecked(false);
    e.model.setEdit2Text("");
    EXPECT_EQ(e.model.Memo1.line(2), "ABC" + blanks(14));
    EXPECT_EQ(e.model.panel2().bytes, 17);
}

TEST(EntryModel, OnlyTwoLinesKept) {
    struct Case {
        std::string typed;
        std::string kept;
    };
    const Case cases[] = {
        {"P\r\nQ\r\nR\r\nS", "P\r\nQ\r\n\r\n"},
        // Line 11 is the last one blanked; line 12 is not looked at.
        {"P\r\nQ" + breaks(9) + "K\r\nL", "P\r\nQ" + breaks(9) + "\r\nL"},
        {"P\r\nQ", "P\r\nQ"},
    };
    for (const auto& c : cases) {
        Entry e(c.typed);
        EXPECT_EQ(e.model.Memo1.text(), c.kept) << c.typed;
        EXPECT_EQ(e.model.Line1Text, "P");
        EXPECT_EQ(e.model.Line2Text, "Q");
        EXPECT_EQ(e.model.Line2Work, "Q");
    }
}

TEST(EntryModel, Counters) {
    struct Case {
        std::string line;
        int bytes;
        bool red;
    };
    std::string jp14, jp15;
    for (int i = 0; i < 14; ++i)
        jp14 += NI;
    jp15 = jp14 + HON;
    const Case cases[] = {
        {"", 0, false},
        {std::string(29, 'A'), 29, false},
        {std::string(30, 'A'), 30, true},
        {jp14 + "A", 29, false},
        {jp15, 30, true},
    };
    for (const auto& c : cases) {
        Entry first(c.line);
        EXPECT_EQ(first.model.panel1().bytes, c.bytes);
        EXPECT_EQ(first.model.panel1().red, c.red);
        Entry second("HELLO\r\n" + c.line);
        EXPECT_EQ(second.model.panel2().bytes, c.bytes);
        EXPECT_EQ(second.model.panel2().red, c.red);
        EXPECT_EQ(second.model.panel1().bytes, 5);
    }
}

TEST(EntryModel, Line2WorkIsLeftAloneWhileDateOn) {
    Entry e("HELLO\r\nABC");
    e.model.setDateChecked(true);
    e.model.Memo1.setText("HELLO\r\nXYZ");
    EXPECT_EQ(e.model.Line2Text, "XYZ");
    EXPECT_EQ(e.model.Line2Work, "ABC" + blanks(13));
    // Typed text is overwritten from Line2Work when the date goes off.
    e.model.setDateChecked(false);
    EXPECT_EQ(e.model.Memo1.line(2), "ABC" + blanks(13));
}

TEST(EntryModel, NumberingAndLists) {
    Entry e;
    e.model.CheckBox3Click(true);
    EXPECT_TRUE(e.model.NumberingOn);
    EXPECT_TRUE(e.model.listBox1Visible());
    EXPECT_EQ(e.model.LabelsPerSample, 1);
    e.model.ListBox1Click(999);
    EXPECT_EQ(e.model.FirstNumber, 1000);
    e.model.CheckBox3Click(false);
    EXPECT_FALSE(e.model.NumberingOn);
    EXPECT_FALSE(e.model.listBox1Visible());
    EXPECT_EQ(e.model.FirstNumber, 1000);
    e.model.ListBox4Click(9);
    EXPECT_EQ(e.model.SampleCount, 10);
    e.model.ListBox4Click(-1); // no selection
    EXPECT_EQ(e.model.SampleCount, 10);
}

} // namespace
