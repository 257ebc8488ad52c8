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
#include <QStyleHints>
#include <QTest>
#include <QTimer>

#include "WindowFixture.h"
#include "app/EntryWidgets.h"
#include "services/Codec.h"

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
    // The counter's text and whether it is drawn red (else black).
    void expectCounter(QLabel* panel, const char* text, bool red) {
        EXPECT_EQ(panel->text(), QString::fromLatin1(text));
        EXPECT_EQ(panel->palette().color(QPalette::WindowText), red ? QColor(255, 0, 0) : QColor(0, 0, 0))
            << text;
    }
    void click(QAbstractButton* box) {
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
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
    expectCounter(w->Panel1, "29", false);
    type(w->Memo1, QStringLiteral("A"));
    expectCounter(w->Panel1, "30", true);

    type(w->Memo1, QStringLiteral("\n") + JP15.left(14) + QStringLiteral("A"));
    expectCounter(w->Panel2, "29", false);
    QTest::keyClick(w->Memo1, Qt::Key_Backspace);
    type(w->Memo1, JP15.right(1));
    expectCounter(w->Panel2, "30", true);
    EXPECT_EQ(w->entry.Line2Text, *kb::toSjis(JP15));
}

// Only two lines are kept, also after a paste of many lines; a line wider than the memo stays one
// line, and Tab leaves the memo.
TEST_F(EntryScreen, TwoUnwrappedLinesAndTabLeaves) {
    type(w->Memo1, QStringLiteral("P\nQ\nR"));
    EXPECT_EQ(w->Memo1->toPlainText(), "P\nQ\n");
    QApplication::clipboard()->setText(QStringLiteral("R\nS\nT\nU\nV\nW\nX\nY\nZ\n1\n2\n3")); // lines 3 to 14
    w->Memo1->paste();
    EXPECT_EQ(w->Memo1->toPlainText(), QStringLiteral("P\nQ") + QString(12, QLatin1Char('\n')));
    w->Memo1->clear();
    type(w->Memo1, QString(60, QLatin1Char('W')) + QStringLiteral("\nABC"));
    EXPECT_EQ(w->entry.Line2Text, "ABC");
    EXPECT_EQ(w->Panel1->text(), "60");
    QTest::keyClick(w->Memo1, Qt::Key_Tab);
    EXPECT_FALSE(w->Memo1->hasFocus());
    EXPECT_EQ(w->entry.Line2Text, "ABC");
}

// A line of any length is taken whole; its counter shows the count, or, too wide for the panel, the
// widest "9...9+" that fits, with the exact count in its tool tip.
TEST_F(EntryScreen, CountersStayReadableForAnyLength) {
    for (const auto& [bytes, shown] : {std::pair(30, "30"), std::pair(100000, "9+")}) {
        w->Memo1->clear();
        QApplication::clipboard()->setText(QStringLiteral("HELLO\n") + QString(bytes, QLatin1Char('A')));
        w->Memo1->paste();
        const QString text = w->Panel2->text();
        EXPECT_EQ(w->entry.Line2Text.size(), std::size_t(bytes));
        EXPECT_TRUE(text.endsWith(QLatin1String(shown)) &&
                    w->Panel2->fontMetrics().horizontalAdvance(text) <= w->Panel2->contentsRect().width())
            << text.toStdString();
        EXPECT_EQ(w->Panel2->toolTip(), QStringLiteral("%1 バイト").arg(bytes));
    }
}

// Every blink repaints the whole line, so a long pasted line would keep the idle window busy: left
// alone, the memo's cursor stops blinking (it stays shown); a key, or leaving the memo, undoes that.
TEST_F(EntryScreen, CursorStopsBlinkingWhenLeftAlone) {
    QStyleHints* hints = QGuiApplication::styleHints();
    const int flash = hints->cursorFlashTime();
    auto* timeout = w->Memo1->findChild<QTimer*>(QStringLiteral("blinkTimeout"));
    ASSERT_TRUE(flash > 0 && timeout);
    timeout->setInterval(10); // instead of five seconds
    for (const Qt::Key key : {Qt::Key_A, Qt::Key_Tab}) {
        QTRY_COMPARE(hints->cursorFlashTime(), 0);
        QTest::keyClick(w->Memo1, key);
        EXPECT_EQ(hints->cursorFlashTime(), flash);
    }
    EXPECT_FALSE(timeout->isActive());
}

TEST_F(EntryScreen, DateLineInTheMemo) {
    type(w->Memo1, QStringLiteral("HELLO\nABC"));
    click(w->CheckBox1);
    EXPECT_EQ(w->Memo1->toPlainText(), "HELLO\nABC" + blanks(14) + "26/12/07");
    EXPECT_TRUE(w->Edit2->isVisible());
    EXPECT_EQ(w->Edit2->text(), "26/12/07");
    EXPECT_EQ(w->Panel2->text(), "25");

    click(w->CheckBox1);
    EXPECT_EQ(w->Memo1->toPlainText(), "HELLO\nABC" + blanks(13));
    EXPECT_FALSE(w->Edit2->isVisible());
    EXPECT_EQ(w->Panel2->text(), "16");

    // Backspace at the end of the date line drops the date; typing goes on where the cursor was left.
    click(w->CheckBox1);
    w->Memo1->setFocus();
    w->Memo1->moveCursor(QTextCursor::End);
    QTest::keyClick(w->Memo1, Qt::Key_Backspace);
    EXPECT_FALSE(w->CheckBox1->isChecked() || w->Edit2->isVisible());
    EXPECT_EQ(w->Edit2->text(), "");
    type(w->Memo1, QStringLiteral("Z"));
    EXPECT_EQ(w->Memo1->toPlainText(), "HELLO\nABC" + blanks(10) + "Z");
}

TEST_F(EntryScreen, DateFieldUpperCaseAndByteLimit) {
    type(w->Memo1, QStringLiteral("HELLO\nAB"));
    click(w->CheckBox1);
    w->Edit2->setFocus();
    w->Edit2->selectAll();
    type(w->Edit2, QStringLiteral("x\U0001F600mas")); // no Shift-JIS form: refused
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

// Characters without a Shift-JIS form are refused however they reach the memo; the rest stays.
TEST_F(EntryScreen, CharactersWithoutShiftJisAreRefused) {
    type(w->Memo1, QStringLiteral("A\U0001F600B\uD55CC"));
    QApplication::clipboard()->setText(QStringLiteral("x\U0001F600y\r\nz"));
    w->Memo1->paste();
    QInputMethodEvent composed;
    composed.setCommitString(QStringLiteral("日\U0001F600本"));
    QApplication::sendEvent(w->Memo1, &composed);
    EXPECT_EQ(w->Memo1->toPlainText(), "ABCxy\nz日本");
    EXPECT_EQ(w->entry.Memo1.text(), "ABCxy\r\n" + *kb::toSjis(QStringLiteral("z日本")));
}

// Click and keyboard set the counts alike.
TEST_F(EntryScreen, ListsByClickAndKeyboard) {
    w->ListBox4->setFocus();
    QTest::keyClick(w->ListBox4, Qt::Key_Down);
    EXPECT_EQ(w->entry.SampleCount, 2);

    click(w->CheckBox3);
    EXPECT_TRUE(w->entry.NumberingOn && w->ListBox1->isVisible());
    clickRow(w->ListBox1, 4);
    EXPECT_EQ(w->entry.FirstNumber, 5);
    w->ListBox1->setFocus();
    QTest::keyClick(w->ListBox1, Qt::Key_Down);
    EXPECT_EQ(w->entry.FirstNumber, 6);

    // Unchecking "Number" switches numbering off and hides the list; the first number stays.
    click(w->CheckBox3);
    EXPECT_FALSE(w->entry.NumberingOn || w->ListBox1->isVisible());
    EXPECT_EQ(w->entry.FirstNumber, 6);
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
