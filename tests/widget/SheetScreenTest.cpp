// The sheet screen in the real window: "PrintSet" and its guard, the map click with its start-file
// write, the sheet selector, the offset lists by keyboard and mouse, and the colour lists with the
// colour dialog.
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
#include "services/Colours.h"
#include "sheet/SheetRules.h"
#include "tests/widget/WindowFixture.h"

namespace {

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
    void clickItem(QListWidget* list, int row) {
        list->scrollToItem(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
    }
    // Clicks the map picture inside the band of a position (column 2's band starts at x = 146).
    void clickCell(int position) {
        QTest::mouseClick(w().Image2, Qt::LeftButton, {},
                          QPoint(position % 2 ? 16 : 150, 8 + 24 * ((position - 1) / 2)));
    }
    bool onSheetScreen() { return w().pnlRect->isVisible() && !w().pnlMain->isVisible(); }

    kbtest::WindowFixture f;
};

TEST(SheetScreen, PrintSetGuardKeepsEntryScreen) {
    // No text at all, or two empty lines, is nothing to print; one line break, or three, is text.
    const std::pair<std::string, bool> cases[] = {
        {"", false}, {"\r\n\r\n", false}, {"\r\n", true}, {"\r\n\r\n\r\n", true}};
    for (const auto& [text, opens] : cases) {
        Sheet s;
        s.printSet(text);
        EXPECT_EQ(s.onSheetScreen(), opens) << text.size();
        EXPECT_EQ(s.w().cmdExit->isHidden(), !opens) << text.size();
        EXPECT_TRUE(opens || s.w().Memo2->toPlainText() == QStringLiteral("Memo2")) << text.size();
    }
}

// Typed lines with "Number" and "Date" clicked reach the preview and the numbered labels; the sheet
// screen opens with a one-sheet selector and the run painted red.
TEST(SheetScreen, TypedEntryReachesPreviewAndMap) {
    Sheet s;
    auto& w = s.w();
    QTest::keyClicks(w.Memo1, QStringLiteral("HELLO"));
    QTest::keyClick(w.Memo1, Qt::Key_Return);
    QTest::keyClicks(w.Memo1, QStringLiteral("ABC"));
    QTest::mouseClick(w.CheckBox3, Qt::LeftButton, {}, QPoint(5, w.CheckBox3->height() / 2));
    QTest::mouseClick(w.CheckBox1, Qt::LeftButton, {}, QPoint(5, w.CheckBox1->height() / 2));
    s.clickItem(w.ListBox4, 2); // 3 labels
    s.clickItem(w.ListBox1, 8); // first number 9
    QTest::mouseClick(w.cmdPrintSet, Qt::LeftButton);
    ASSERT_TRUE(s.onSheetScreen());
    EXPECT_EQ(w.Memo2->toPlainText(), QStringLiteral("HELLO\nABC-9") + QString(10, QChar(' ')) + "26/12/07");
    EXPECT_EQ(w.numberedLabel.linesFor(10).line2, "ABC-10" + std::string(9, ' ') + "26/12/07");
    EXPECT_EQ(w.cmdEnd->x(), 168);
    EXPECT_EQ(w.ListBox3->count(), 1);
    EXPECT_EQ(s.cells(), "rrr" + std::string(27, 'w'));
}

TEST(SheetScreen, TwoSheetsAndSelector) {
    Sheet s("30\r\n10\r\n10\r\n");
    s.clickItem(s.w().ListBox4, 1); // 2 labels: positions 30 and 1 of the next sheet
    s.printSet("HELLO");
    ASSERT_EQ(s.w().ListBox3->count(), 2);
    EXPECT_EQ(s.w().ListBox3->currentRow(), 0);
    EXPECT_EQ(s.cells(), std::string(29, 'g') + "r");
    s.clickItem(s.w().ListBox3, 1);
    EXPECT_EQ(s.cells(), "r" + std::string(29, 'w'));

    // A click on the map while sheet 2 is shown brings back sheet 1 of the new run.
    s.clickCell(29);
    EXPECT_EQ(s.w().ListBox3->count(), 1);
    EXPECT_EQ(s.cells(), std::string(28, 'g') + "rr");
    EXPECT_EQ(s.f.readStartFile(), "29\r\n10\r\n10\r\n");
}

// A click on a cell makes it the first position, rewrites the start file with three lines (the saved
// offsets, not the lists' current ones) and repaints. The cell is the one under the click, whatever
// the last move reported; a click between the cells changes nothing.
TEST(SheetScreen, MapClickUsesClickPositionAndWritesStartFile) {
    Sheet s("01\r\n12\r\n08\r\n\r\n0\r\n");
    s.printSet("HELLO");
    ASSERT_TRUE(s.onSheetScreen());
    QTest::keyClick(s.w().ListBox7, Qt::Key_Down);
    ASSERT_EQ(s.w().OffsetDownIndex, 13);

    for (const QPoint p : {QPoint(130, 8), QPoint(50, 30), QPoint(16, 23)})
        QTest::mouseClick(s.w().Image2, Qt::LeftButton, {}, p);
    EXPECT_EQ(s.w().start.StartPosition, 1);
    EXPECT_EQ(s.f.readStartFile(), "01\r\n12\r\n08\r\n\r\n0\r\n");

    s.w().FormMouseMove(170, 10);
    QTest::mouseMove(s.w().Image2, QPoint(150, 10)); // over the cell of position 2
    QTest::mouseClick(s.w().Image2, Qt::LeftButton, {}, QPoint(20, 8 + 24 * 2 + 3)); // position 5
    EXPECT_EQ(s.w().start.StartPosition, 5);
    EXPECT_EQ(s.f.readStartFile(), "05\r\n12\r\n08\r\n");
    EXPECT_EQ(s.cells(), "ggggr" + std::string(25, 'w'));
    EXPECT_TRUE(s.f.dialogs.errors.empty());

    // A folder in the start file's place: the write fails, is reported, and the map stays as it was.
    ASSERT_TRUE(QFile::remove(s.f.startFilePath()));
    ASSERT_TRUE(QDir(s.f.folder).mkdir(QStringLiteral("StartFile.txt")));
    s.clickCell(2);
    EXPECT_EQ(s.f.dialogs.errors.size(), 1u);
    EXPECT_EQ(s.cells(), "ggggr" + std::string(25, 'w'));
}

// The offset lists start on the saved offsets (an index without an item: "0", index 10, shown and in
// force) and follow the user's clicks.
TEST(SheetScreen, OffsetListsAtStartupAndByUser) {
    for (const auto& [file, down, right] :
         {std::tuple{"01\r\n12\r\n08\r\n", 12, 8}, {"01\r\n25\r\n21\r\n", 10, 10}}) {
        Sheet s(file);
        EXPECT_EQ(std::tuple(s.w().ListBox7->currentRow(), s.w().ListBox6->currentRow(),
                             s.w().OffsetDownIndex, s.w().OffsetRightIndex),
                  std::tuple(down, right, down, right));
    }
    Sheet s; // by mouse here; the print run tests move them by keyboard
    s.printSet("HELLO");
    s.clickItem(s.w().ListBox7, 21);
    s.clickItem(s.w().ListBox6, 5);
    EXPECT_EQ(std::pair(s.w().OffsetDownIndex, s.w().OffsetRightIndex), std::pair(21, 5));
}

// No list can be left without a selection: Ctrl+click and Ctrl+Space on the selected item, or a click
// below the last item, keep it and its value in force; Ctrl+Down still moves the selection as a click.
TEST(SheetScreen, EveryListKeepsItsSelection) {
    Sheet s;
    auto& w = s.w();
    QTest::mouseClick(w.CheckBox3, Qt::LeftButton, {}, QPoint(5, w.CheckBox3->height() / 2));
    // Each list with the row clicked and the value that row puts in force.
    const std::tuple<QListWidget*, int, std::function<int()>> lists[] = {
        {w.ListBox1, 6, [&] { return w.entry.FirstNumber - 1; }},
        {w.ListBox4, 3, [&] { return w.entry.SampleCount - 1; }},
        {w.ListBox3, 0, [&] { return w.ListBox3->currentRow(); }},
        {w.ListBox7, 4, [&] { return w.OffsetDownIndex; }},
        {w.ListBox6, 15, [&] { return w.OffsetRightIndex; }},
        {w.ListBox10, 2, [&] { return w.TextColorIndex; }},
        {w.ListBox11, 5, [&] { return w.BackColorIndex; }}};
    for (const auto& [list, row, value] : lists) {
        if (list == w.ListBox3)
            s.printSet("HELLO"); // the sheet screen's lists from here on
        const auto shown = [list = list, value = value] {
            const QList<QListWidgetItem*> items = list->selectedItems();
            return std::tuple(items.size() == 1 ? list->row(items.front()) : -1, list->currentRow(), value());
        };
        s.clickItem(list, row);
        const QPoint item = list->visualItemRect(list->item(row)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, item);
        QTest::keyClick(list, Qt::Key_Space, Qt::ControlModifier);
        if (list == w.ListBox3) // one sheet: room below its only item
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              QPoint(5, list->viewport()->height() - 2));
        EXPECT_EQ(shown(), std::tuple(row, row, row)) << list->objectName().toStdString();
        QTest::keyClick(list, Qt::Key_Down, Qt::ControlModifier);
        const int next = std::min(row + 1, list->count() - 1);
        EXPECT_EQ(shown(), std::tuple(next, next, next)) << list->objectName().toStdString();
    }
}

TEST(SheetScreen, ColourListsAndFreeColour) {
    Sheet s;
    s.printSet("HELLO");
    auto& w = s.w();
    const std::uint32_t initialFont = w.previewFontColour();
    s.clickItem(w.ListBox11, 3); // Skyblue
    EXPECT_EQ(w.previewBackColour(), 0x00FFFFCCu);

    // "Free" cancelled: the list returns to Skyblue, the colour stays; the dialog opened on the
    // ground in use, not on black.
    s.clickItem(w.ListBox11, 8);
    EXPECT_EQ(s.f.dialogs.colourInitials, std::vector<QColor>{QColor(0xCC, 0xFF, 0xFF)});
    EXPECT_EQ(w.ListBox11->currentRow(), 3);
    EXPECT_EQ(w.previewBackColour(), 0x00FFFFCCu);
    // The same by keyboard: once the key has been handled, Skyblue is the one item shown selected.
    w.ListBox11->setFocus();
    QTest::keyClick(w.ListBox11, Qt::Key_End);
    QCoreApplication::processEvents();
    const QList<QListWidgetItem*> shown = w.ListBox11->selectedItems();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(w.ListBox11->row(shown.front()), 3);
    EXPECT_EQ(w.ListBox11->currentRow(), 3);

    // "Free" accepted: applied at once; "Free" in the text list opens on the text's colour in use.
    s.f.dialogs.colourAnswers.push_back(QColor(10, 20, 30));
    s.clickItem(w.ListBox11, 8);
    EXPECT_EQ(w.previewBackColour(), 0x001E140Au);
    s.clickItem(w.ListBox10, 6);
    ASSERT_EQ(s.f.dialogs.colourInitials.size(), 4u);
    EXPECT_EQ(s.f.dialogs.colourInitials[3], w.Memo2->palette().color(QPalette::Text));
    EXPECT_EQ(kb::rgbFromColour(s.f.dialogs.colourInitials[3]), initialFont);
    EXPECT_EQ(w.ListBox10->currentRow(), 0); // cancelled
    EXPECT_EQ(w.previewFontColour(), initialFont);

    // A fixed text colour colours the preview's text and leaves its ground.
    s.clickItem(w.ListBox10, 2); // Yellow
    EXPECT_EQ(w.Memo2->palette().color(QPalette::Text), QColor(255, 255, 0));
    EXPECT_EQ(w.previewBackColour(), 0x001E140Au);
}

} // namespace
