// The sheet screen in the real window: "PrintSet" and its guard, the map click with its start-file
// write, the offset lists at start-up and by keyboard, and the colour lists with the colour dialog.
#include <QCheckBox>
#include <QDir>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include "app/EntryWidgets.h"
#include "app/SheetWidgets.h"
#include "sheet/SheetRules.h"
#include "tests/widget/WindowFixture.h"

namespace {

using kbtest::WindowFixture;

struct Sheet {
    explicit Sheet(std::optional<std::string> startFile = std::string("01\r\n10\r\n10\r\n")) : f(startFile) {
        EXPECT_TRUE(w().FormCreate());
    }
    kb::Tfrmmain& w() { return *f.window; }

    void printSet(const std::string& memoText) {
        w().entry.Memo1.setText(memoText);
        QTest::mouseClick(w().cmdPrintSet, Qt::LeftButton);
    }
    // 'g' grey, 'r' red, 'w' white for positions 1..30.
    std::string cells() {
        std::string out;
        for (int p = 1; p <= 30; ++p) {
            const auto fill = w().RectShapes[static_cast<std::size_t>(p)]->fill();
            out += fill == kb::kGrey ? 'g' : fill == kb::kRed ? 'r' : fill == kb::kWhite ? 'w' : '?';
        }
        return out;
    }
    QStringList items(QListWidget* list) {
        QStringList out;
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
        return out;
    }
    void clickItem(QListWidget* list, int row) {
        list->scrollToItem(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
    }
    bool onSheetScreen() { return w().pnlRect->isVisible() && !w().pnlMain->isVisible(); }

    WindowFixture f;
};

TEST(SheetScreen, PrintSetGuardKeepsEntryScreen) {
    for (const std::string& text : {std::string(), std::string("\r\n\r\n")}) {
        Sheet s;
        s.printSet(text);
        EXPECT_FALSE(s.onSheetScreen());
        EXPECT_TRUE(s.w().pnlMain->isVisible());
        EXPECT_TRUE(s.w().cmdExit->isHidden());
        EXPECT_EQ(s.w().cmdEnd->x(), 88);
        EXPECT_EQ(s.w().Memo2->toPlainText(), QStringLiteral("Memo2"));
    }
    // One line break, or three, is text to print.
    for (const std::string& text : {std::string("\r\n"), std::string("\r\n\r\n\r\n")}) {
        Sheet s;
        s.printSet(text);
        EXPECT_TRUE(s.onSheetScreen()) << text.size();
    }
}

TEST(SheetScreen, PrintSetComposesAndShowsSheet) {
    Sheet s;
    s.w().entry.CheckBox3Click(true);
    s.w().entry.ListBox1Click(8); // first number 9
    s.w().entry.ListBox4Click(2); // 3 labels
    s.w().entry.Line2Work = "ABC  ";
    s.printSet("HELLO\r\nABC");
    ASSERT_TRUE(s.onSheetScreen());
    EXPECT_EQ(s.w().Memo2->toPlainText(), QStringLiteral("HELLO\nABC-9"));
    EXPECT_EQ(s.w().memo2Model.text(), "HELLO\r\nABC-9");
    EXPECT_EQ(s.w().entry.Line2Work, "ABC");
    EXPECT_EQ(s.w().numberedLabel.linesFor(10), (kb::LabelLines{"HELLO", "ABC-10"}));
    EXPECT_TRUE(s.w().cmdExit->isVisible());
    EXPECT_EQ(s.w().cmdExit->x(), 88);
    EXPECT_EQ(s.w().cmdEnd->x(), 168);
    EXPECT_EQ(s.items(s.w().ListBox3), QStringList{"1"});
    EXPECT_EQ(s.w().ListBox3->currentRow(), 0);
    EXPECT_EQ(s.cells(), "rrr" + std::string(27, 'w'));
}

TEST(SheetScreen, TypedEntryReachesPreview) {
    Sheet s;
    auto& w = s.w();
    QTest::keyClicks(w.Memo1, QStringLiteral("HELLO"));
    QTest::keyClick(w.Memo1, Qt::Key_Return);
    QTest::keyClicks(w.Memo1, QStringLiteral("ABC"));
    QTest::mouseClick(w.CheckBox3, Qt::LeftButton, {}, QPoint(5, w.CheckBox3->height() / 2));
    QTest::mouseClick(w.CheckBox1, Qt::LeftButton, {}, QPoint(5, w.CheckBox1->height() / 2));
    ASSERT_TRUE(w.entry.NumberingOn);
    ASSERT_TRUE(w.entry.dateChecked());
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    ASSERT_TRUE(s.onSheetScreen());
    EXPECT_EQ(w.Memo2->toPlainText(), QStringLiteral("HELLO\nABC-1") + QString(10, QChar(' ')) + "26/12/07");
    EXPECT_EQ(w.numberedLabel.linesFor(10).line2, "ABC-10" + std::string(9, ' ') + "26/12/07");
}

TEST(SheetScreen, TwoSheetsAndSelector) {
    Sheet s("30\r\n10\r\n10\r\n");
    s.w().entry.ListBox4Click(1); // 2 labels: positions 30 and 1 of the next sheet
    s.printSet("HELLO");
    ASSERT_TRUE(s.onSheetScreen());
    EXPECT_EQ(s.items(s.w().ListBox3), (QStringList{"1", "2"}));
    EXPECT_EQ(s.w().ListBox3->currentRow(), 0);
    EXPECT_EQ(s.cells(), std::string(29, 'g') + "r");
    s.clickItem(s.w().ListBox3, 1);
    EXPECT_EQ(s.cells(), "r" + std::string(29, 'w'));

    // A click on the map while sheet 2 is shown brings back sheet 1 of the new run.
    QTest::mouseClick(s.w().Image2, Qt::LeftButton, {}, QPoint(16, 8 + 24 * 14)); // position 29
    EXPECT_EQ(s.w().start.StartPosition, 29);
    EXPECT_EQ(s.items(s.w().ListBox3), QStringList{"1"});
    EXPECT_EQ(s.w().ListBox3->currentRow(), -1);
    EXPECT_EQ(s.cells(), std::string(28, 'g') + "rr");
    EXPECT_EQ(s.f.readStartFile(), "29\r\n10\r\n10\r\n");
}

TEST(SheetScreen, MapClickUsesClickPositionAndWritesStartFile) {
    Sheet s("01\r\n12\r\n08\r\n\r\n0\r\n");
    s.printSet("HELLO");
    ASSERT_TRUE(s.onSheetScreen());
    // The offsets written are the saved ones, not the lists' current selections.
    QTest::keyClick(s.w().ListBox7, Qt::Key_Down);
    ASSERT_EQ(s.w().OffsetDownIndex, 13);

    // A move elsewhere (over the bare window, then over the cell of position 2) does not decide the cell.
    s.w().FormMouseMove(170, 10);
    QTest::mouseMove(s.w().Image2, QPoint(150, 10));
    QTest::mouseClick(s.w().Image2, Qt::LeftButton, {}, QPoint(20, 8 + 24 * 2 + 3)); // row 3, column 1
    EXPECT_EQ(s.w().start.StartPosition, 5);
    EXPECT_EQ(s.f.readStartFile(), "05\r\n12\r\n08\r\n");
    EXPECT_EQ(s.cells(), "ggggr" + std::string(25, 'w'));
    EXPECT_TRUE(s.f.dialogs.errors.empty());
}

TEST(SheetScreen, ClickOutsideBandsChangesNothing) {
    Sheet s("03\r\n10\r\n10\r\n\r\n0\r\n");
    s.printSet("HELLO");
    const std::string cellsBefore = s.cells();
    for (const QPoint p : {QPoint(130, 8), QPoint(50, 30), QPoint(97, 8), QPoint(200, 358), QPoint(16, 23)}) {
        QTest::mouseClick(s.w().Image2, Qt::LeftButton, {}, p);
        EXPECT_EQ(s.w().start.StartPosition, 3) << p.x() << "," << p.y();
    }
    EXPECT_EQ(s.cells(), cellsBefore);
    EXPECT_EQ(s.f.readStartFile(), "03\r\n10\r\n10\r\n\r\n0\r\n");
}

TEST(SheetScreen, StartFileWriteErrorIsReportedAndMapKept) {
    Sheet s("03\r\n10\r\n10\r\n");
    s.printSet("HELLO");
    const std::string cellsBefore = s.cells();
    // A folder in the start file's place: the file cannot be replaced.
    ASSERT_TRUE(QFile::remove(s.f.startFilePath()));
    ASSERT_TRUE(QDir(s.f.folder).mkdir(QStringLiteral("StartFile.txt")));
    QTest::mouseClick(s.w().Image2, Qt::LeftButton, {}, QPoint(150, 8)); // position 2
    ASSERT_EQ(s.f.dialogs.errors.size(), 1u);
    EXPECT_EQ(s.w().start.StartPosition, 2);
    EXPECT_EQ(s.cells(), cellsBefore);
}

TEST(SheetScreen, OffsetListsByKeyboardAndMouse) {
    Sheet s;
    s.printSet("HELLO");
    EXPECT_EQ(s.w().ListBox7->count(), 22);
    EXPECT_EQ(s.w().ListBox6->count(), 21);
    EXPECT_EQ(s.w().ListBox7->currentRow(), 10);
    QTest::keyClick(s.w().ListBox7, Qt::Key_Down);
    EXPECT_EQ(s.w().ListBox7->currentRow(), 11);
    EXPECT_EQ(s.w().OffsetDownIndex, 11);
    QTest::keyClick(s.w().ListBox7, Qt::Key_Up);
    QTest::keyClick(s.w().ListBox7, Qt::Key_Up);
    EXPECT_EQ(s.w().OffsetDownIndex, 9);
    s.clickItem(s.w().ListBox7, 21);
    EXPECT_EQ(s.w().OffsetDownIndex, 21);
    s.clickItem(s.w().ListBox6, 5);
    EXPECT_EQ(s.w().OffsetRightIndex, 5);
    QTest::keyClick(s.w().ListBox6, Qt::Key_Down);
    EXPECT_EQ(s.w().OffsetRightIndex, 6);
}

TEST(SheetScreen, SavedOffsetsAtStartup) {
    struct Case {
        std::string file;
        int down, right;
    };
    const Case cases[] = {
        {"01\r\n12\r\n08\r\n", 12, 8},
        {"01\r\n25\r\n10\r\n", 10, 10}, // no item 25: "0" is shown and in force
        {"01\r\n21\r\n21\r\n", 21, 10}, // only the vertical list has the 22nd item
    };
    for (const auto& c : cases) {
        Sheet s(c.file);
        EXPECT_EQ(s.w().ListBox7->currentRow(), c.down) << c.file;
        EXPECT_EQ(s.w().ListBox6->currentRow(), c.right) << c.file;
        EXPECT_EQ(s.w().OffsetDownIndex, c.down) << c.file;
        EXPECT_EQ(s.w().OffsetRightIndex, c.right) << c.file;
    }
}

TEST(SheetScreen, ColourListsAndFreeColour) {
    Sheet s;
    s.printSet("HELLO");
    auto& w = s.w();
    EXPECT_EQ(s.items(w.ListBox10), (QStringList{"Black", "White", "Yellow", "Blue", "Red", "Gray", "Free"}));
    EXPECT_EQ(s.items(w.ListBox11),
              (QStringList{"White", "Yellow", "Cream", "Skyblue", "Pink", "Blue", "Red", "Gray", "Free"}));
    EXPECT_EQ(w.ListBox10->currentRow(), 0);
    EXPECT_EQ(w.ListBox11->currentRow(), 0);
    const std::uint32_t initialFont = w.previewFontColour();
    EXPECT_EQ(initialFont, kb::rgbFromColour(w.palette().color(QPalette::Text)));

    s.clickItem(w.ListBox11, 3); // Skyblue
    EXPECT_EQ(w.previewBackColour(), 0x00FFFFCCu);
    EXPECT_EQ(w.BackColorIndex, 3);

    // "Free" cancelled: the list returns to Skyblue, the colour stays; the dialog opened on black.
    s.clickItem(w.ListBox11, 8);
    ASSERT_EQ(s.f.dialogs.colourInitials.size(), 1u);
    EXPECT_EQ(s.f.dialogs.colourInitials[0], QColor(Qt::black));
    EXPECT_EQ(w.ListBox11->currentRow(), 3);
    EXPECT_EQ(w.BackColorIndex, 3);
    EXPECT_EQ(w.previewBackColour(), 0x00FFFFCCu);

    // "Free" accepted: applied at once; "Free" in the text list then opens on that colour.
    s.f.dialogs.colourAnswers.push_back(QColor(10, 20, 30));
    s.clickItem(w.ListBox11, 8);
    EXPECT_EQ(w.previewBackColour(), 0x001E140Au);
    EXPECT_EQ(w.BackColorIndex, 8);
    s.clickItem(w.ListBox10, 6);
    ASSERT_EQ(s.f.dialogs.colourInitials.size(), 3u);
    EXPECT_EQ(s.f.dialogs.colourInitials[2], QColor(10, 20, 30));
    EXPECT_EQ(w.ListBox10->currentRow(), 0); // cancelled
    EXPECT_EQ(w.previewFontColour(), initialFont);

    // "Free" again while "Free" is the accepted item: cancelled, the list stays on "Free".
    s.clickItem(w.ListBox11, 8);
    EXPECT_EQ(s.f.dialogs.colourInitials.size(), 4u);
    EXPECT_EQ(w.ListBox11->currentRow(), 8);
    EXPECT_EQ(w.previewBackColour(), 0x001E140Au);

    // A fixed text colour by keyboard acts as a click.
    QTest::keyClick(w.ListBox10, Qt::Key_Down); // White
    EXPECT_EQ(w.previewFontColour(), 0x00FFFFFFu);
    EXPECT_EQ(w.TextColorIndex, 1);
    QTest::keyClick(w.ListBox10, Qt::Key_Down); // Yellow
    EXPECT_EQ(w.previewFontColour(), 0x0000FFFFu);
    EXPECT_EQ(w.Memo2->palette().color(QPalette::Text), QColor(255, 255, 0));
}

} // namespace
