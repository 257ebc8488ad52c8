// The entry screen driven like a user: real key and mouse events on the real main window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDate>
#include <QInputMethodEvent>
#include <QLabel>
#include <QListWidget>
#include <QRegularExpression>
#include <QTest>

#include "WindowFixture.h"
#include "app/Codec.h"
#include "app/EntryWidgets.h"

// Readable failure messages for widget texts.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

const QString JP15 = QStringLiteral("日本語の文字を十五字書いてみる"); // 15 characters, 30 bytes

// Types text one key at a time, Japanese included (keyClicks knows only Latin-1); '\n' is Enter.
void type(QWidget* widget, const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('\n')) {
            QTest::keyClick(widget, Qt::Key_Return);
            continue;
        }
        const qsizetype width = text.at(i).isHighSurrogate() ? 2 : 1;
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, text.mid(i, width), Qt::NoModifier);
        i += width - 1;
    }
}

QString blanks(int n) {
    return QString(n, QLatin1Char(' '));
}

class EntryScreen : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(kb::sjisAvailable());
        ASSERT_TRUE(w->FormCreate());
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w));
        w->Memo1->setFocus();
    }
    bool red(QLabel* panel) const {
        return panel->palette().color(QPalette::WindowText) == QColor(255, 0, 0);
    }
    bool black(QLabel* panel) const {
        return panel->palette().color(QPalette::WindowText) == QColor(0, 0, 0);
    }
    void clickDate() {
        QTest::mouseClick(w->CheckBox1, Qt::LeftButton, {}, QPoint(8, w->CheckBox1->height() / 2));
    }
    void clickRow(QListWidget* list, int row) {
        list->scrollToItem(list->item(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(row)).center());
    }

    kbtest::WindowFixture fixture;
    kb::Tfrmmain* w = fixture.window.get();
};

TEST_F(EntryScreen, CountersFollowTypedBytes) {
    type(w->Memo1, QString(29, QLatin1Char('A')));
    EXPECT_EQ(w->Panel1->text(), "29");
    EXPECT_TRUE(black(w->Panel1));
    type(w->Memo1, QStringLiteral("A"));
    EXPECT_EQ(w->Panel1->text(), "30");
    EXPECT_TRUE(red(w->Panel1));

    type(w->Memo1, QStringLiteral("\n") + JP15.left(14) + QStringLiteral("A"));
    EXPECT_EQ(w->Panel2->text(), "29");
    EXPECT_TRUE(black(w->Panel2));
    QTest::keyClick(w->Memo1, Qt::Key_Backspace);
    type(w->Memo1, JP15.right(1));
    EXPECT_EQ(w->Panel2->text(), "30");
    EXPECT_TRUE(red(w->Panel2));
    EXPECT_EQ(w->Memo1->toPlainText(), QString(30, QLatin1Char('A')) + "\n" + JP15);
    EXPECT_EQ(w->entry.Line2Text, *kb::toSjis(JP15));
}

TEST_F(EntryScreen, ThirdLineIsBlankedAndLongLinesDoNotWrap) {
    type(w->Memo1, QStringLiteral("P\nQ\nR"));
    EXPECT_EQ(w->Memo1->toPlainText(), "P\nQ\n");
    // A line far wider than the memo stays one line: line 2 remains line 2.
    w->Memo1->clear();
    type(w->Memo1, QString(60, QLatin1Char('W')) + QStringLiteral("\nABC"));
    EXPECT_EQ(w->entry.Line2Text, "ABC");
    EXPECT_EQ(w->Panel1->text(), "60");
}

TEST_F(EntryScreen, DateLineInTheMemo) {
    type(w->Memo1, QStringLiteral("HELLO\nABC"));
    clickDate();
    EXPECT_TRUE(w->CheckBox1->isChecked());
    EXPECT_EQ(w->Memo1->toPlainText(), "HELLO\nABC" + blanks(14) + "26/12/07");
    EXPECT_TRUE(w->Edit2->isVisible());
    EXPECT_EQ(w->Edit2->text(), "26/12/07");
    EXPECT_EQ(w->Panel2->text(), "25");

    clickDate();
    EXPECT_FALSE(w->CheckBox1->isChecked());
    EXPECT_EQ(w->Memo1->toPlainText(), "HELLO\nABC" + blanks(13));
    EXPECT_FALSE(w->Edit2->isVisible());
    EXPECT_EQ(w->Panel2->text(), "16");
}

TEST_F(EntryScreen, DateFieldUpperCaseAndByteLimit) {
    type(w->Memo1, QStringLiteral("HELLO\nAB"));
    clickDate();
    w->Edit2->setFocus();
    w->Edit2->selectAll();
    type(w->Edit2, QStringLiteral("xmas"));
    EXPECT_EQ(w->Edit2->text(), "XMAS");
    EXPECT_EQ(w->Memo1->toPlainText(), "HELLO\nAB" + blanks(14) + "XMAS");

    type(w->Edit2, QStringLiteral("-and-new-year"));
    EXPECT_EQ(w->Edit2->text(), "XMAS-AND-NEW-Y"); // 14 bytes
    w->Edit2->clear();
    type(w->Edit2, QStringLiteral("A") + JP15);
    EXPECT_EQ(w->Edit2->text(), "A" + JP15.left(6)); // 13 bytes: the next character would make 15
    EXPECT_EQ(w->entry.edit2Text(), *kb::toSjis("A" + JP15.left(6)));

    // A paste keeps what fits and leaves out what has no Shift-JIS form.
    w->Edit2->clear();
    QApplication::clipboard()->setText(QStringLiteral("ab\U0001F600cdefghijklmnopq"));
    w->Edit2->paste();
    EXPECT_EQ(w->Edit2->text(), "ABCDEFGHIJKLMN");
}

TEST_F(EntryScreen, CharactersWithoutShiftJisAreRefused) {
    type(w->Memo1, QStringLiteral("A\U0001F600B\uD55CC"));
    EXPECT_EQ(w->Memo1->toPlainText(), "ABC");
    QApplication::clipboard()->setText(QStringLiteral("x\U0001F600y\r\nz"));
    w->Memo1->paste();
    EXPECT_EQ(w->Memo1->toPlainText(), "ABCxy\nz");
    EXPECT_EQ(w->entry.Memo1.text(), "ABCxy\r\nz");
    // Text composed by an input method.
    QInputMethodEvent composed;
    composed.setCommitString(QStringLiteral("日\U0001F600本"));
    QApplication::sendEvent(w->Memo1, &composed);
    EXPECT_EQ(w->Memo1->toPlainText(), "ABCxy\nz日本");

    clickDate();
    w->Edit2->setFocus();
    w->Edit2->selectAll();
    type(w->Edit2, QStringLiteral("\U0001F600q"));
    EXPECT_EQ(w->Edit2->text(), "Q");
}

TEST_F(EntryScreen, TabMovesTheFocus) {
    type(w->Memo1, QStringLiteral("AB"));
    QTest::keyClick(w->Memo1, Qt::Key_Tab);
    EXPECT_FALSE(w->Memo1->hasFocus());
    EXPECT_EQ(w->Memo1->toPlainText(), "AB");
}

TEST_F(EntryScreen, BackspaceWithTheDateOn) {
    type(w->Memo1, QStringLiteral("HELLO\nABC"));
    clickDate();
    w->Memo1->setFocus();
    w->Memo1->moveCursor(QTextCursor::End);
    QTest::keyClick(w->Memo1, Qt::Key_Backspace);
    EXPECT_FALSE(w->CheckBox1->isChecked());
    EXPECT_FALSE(w->Edit2->isVisible());
    EXPECT_EQ(w->Edit2->text(), "");
    EXPECT_EQ(w->Memo1->toPlainText(), "HELLO\nABC" + blanks(10));
    EXPECT_EQ(w->Panel2->text(), "13");
    // The user goes on typing where the cursor was left.
    type(w->Memo1, QStringLiteral("Z"));
    EXPECT_EQ(w->entry.Line2Text, "ABC" + std::string(10, ' ') + "Z");
}

TEST_F(EntryScreen, ListsByClickAndKeyboard) {
    EXPECT_EQ(w->entry.SampleCount, 1);
    w->ListBox4->setFocus();
    QTest::keyClick(w->ListBox4, Qt::Key_Down);
    EXPECT_EQ(w->entry.SampleCount, 2);
    clickRow(w->ListBox4, 9);
    EXPECT_EQ(w->entry.SampleCount, 10);

    QTest::mouseClick(w->CheckBox3, Qt::LeftButton, {}, QPoint(8, w->CheckBox3->height() / 2));
    EXPECT_TRUE(w->entry.NumberingOn);
    EXPECT_TRUE(w->ListBox1->isVisible());
    clickRow(w->ListBox1, 4);
    EXPECT_EQ(w->entry.FirstNumber, 5);
    w->ListBox1->setFocus();
    QTest::keyClick(w->ListBox1, Qt::Key_Down);
    EXPECT_EQ(w->entry.FirstNumber, 6);
    clickRow(w->ListBox1, 999);
    EXPECT_EQ(w->entry.FirstNumber, 1000);

    // Unchecking "Number" switches numbering off and hides the list; the first number stays.
    QTest::mouseClick(w->CheckBox3, Qt::LeftButton, {}, QPoint(8, w->CheckBox3->height() / 2));
    EXPECT_FALSE(w->entry.NumberingOn);
    EXPECT_FALSE(w->ListBox1->isVisible());
    EXPECT_EQ(w->entry.FirstNumber, 1000);
    // Writing the model back (here after a memo edit) selects nothing and runs no list handler.
    type(w->Memo1, QStringLiteral("X"));
    EXPECT_EQ(w->ListBox1->currentRow(), 999);
    EXPECT_EQ(w->ListBox4->currentRow(), 9);
    EXPECT_TRUE(fixture.dialogs.errors.empty());
}

TEST(PlatformClock, TodayAsTwoDigitYearMonthDay) {
    const QDate before = QDate::currentDate();
    const QString text = kb::fromSjis(kb::platformClock().todayText());
    if (QDate::currentDate() != before)
        GTEST_SKIP() << "the date changed while reading it";
    const auto match = QRegularExpression(QStringLiteral("^(\\d\\d)(\\D+)(\\d\\d)\\2(\\d\\d)$")).match(text);
    ASSERT_TRUE(match.hasMatch()) << text.toStdString();
    EXPECT_EQ(match.captured(1).toInt(), before.year() % 100);
    EXPECT_EQ(match.captured(3).toInt(), before.month());
    EXPECT_EQ(match.captured(4).toInt(), before.day());
}

} // namespace
