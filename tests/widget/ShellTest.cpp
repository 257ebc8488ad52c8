// The window shell: layout after creation, the screen switch and tool buttons, the About box, the
// self-close after a missing or unreadable start file, the error box text and the caption fonts.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRawFont>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include "app/AboutBox.h"
#include "app/EntryWidgets.h"
#include "app/QtTranslation.h"
#include "app/SheetWidgets.h"
#include "tests/widget/WindowFixture.h"

namespace {

using kbtest::WindowFixture;

struct Bounds {
    const char* name;
    QRect rect; // in the coordinates of the control's parent
};

// Positions from the window's layout tables (window client area; panel-relative on the screens).
const Bounds kLayout[] = {
    {"cmdAbout", {8, 8, 73, 73}},     {"cmdExit", {88, 8, 73, 73}},         {"cmdEnd", {88, 8, 73, 73}},
    {"Label3", {392, 24, 318, 33}},   {"Label8", {552, 64, 255, 19}},       {"pnlMain", {56, 136, 777, 385}},
    {"pnlRect", {56, 136, 777, 385}}, {"Label2", {64, 40, 321, 33}},        {"Memo1", {40, 88, 361, 49}},
    {"Panel1", {400, 88, 33, 25}},    {"Panel2", {400, 112, 33, 25}},       {"Edit2", {72, 200, 145, 24}},
    {"CheckBox1", {64, 240, 73, 25}}, {"Label1", {160, 240, 97, 25}},       {"Label10", {480, 88, 75, 15}},
    {"ListBox4", {472, 120, 81, 49}}, {"CheckBox3", {624, 88, 89, 17}},     {"Label9", {648, 112, 48, 15}},
    {"ListBox1", {632, 128, 73, 57}}, {"cmdPrintSet", {576, 304, 121, 57}}, {"Rect01", {72, 24, 81, 15}},
    {"Rect02", {176, 24, 81, 15}},    {"Rect04", {176, 48, 81, 15}},        {"rect27", {72, 336, 81, 15}},
    {"Rect28", {176, 336, 81, 15}},   {"Rect29", {72, 360, 81, 15}},        {"Rect30", {176, 360, 81, 15}},
    {"Image2", {56, 16, 209, 369}},   {"ListBox3", {352, 40, 57, 41}},      {"Shape1", {278, 102, 343, 53}},
    {"Memo2", {280, 104, 337, 49}},   {"cmdPrint2", {632, 296, 89, 73}},
};

// Start visibility of the controls, as the user sees the window after creation.
const std::pair<const char*, bool> kStartHidden[] = {
    {"cmdExit", true}, {"cmdEnd", false},  {"pnlMain", false}, {"pnlRect", true},    {"Edit2", true},
    {"Label1", true},  {"ListBox1", true}, {"Label9", false},  {"CheckBox1", false}, {"Image2", false},
};

// A caption line shows its whole text: where the face runs wider than designed it grows to the right
// up to the edge given, then its face shrinks; a text that fits keeps the designed bounds and face.
TEST(Shell, CaptionsFitTheirText) {
    struct Case {
        const char* name;
        QString text;
        int pixelSize;
        QRect bounds;
        int rightEdge;
        bool designed; // bounds and face kept
    };
    const QString maker = QStringLiteral("ＦＩＮＣＨＯＲ　ＬＡＢＥＬ　ＷＯＲＫＳ");
    const Case cases[] = {
        {"fits", QStringLiteral("AB"), 14, {552, 64, 255, 19}, 854, true},
        {"wider face: grows to the right", maker, 19, {552, 64, 120, 19}, 854, false},
        {"no room to grow: smaller face", maker, 40, {552, 64, 255, 19}, 854, false},
        {"taller face: grows below", QStringLiteral("AB"), 30, {552, 64, 255, 19}, 854, false},
    };
    QWidget window;
    window.resize(878, 613);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QLabel label(c.text, &window);
        QFont font = label.font();
        font.setPixelSize(c.pixelSize);
        font.setBold(true);
        label.setFont(font);
        label.setGeometry(c.bounds);
        kb::fitCaption(&label, c.rightEdge);
        const QFontMetrics metrics(label.font());
        const QRect ink = metrics.boundingRect(c.text);
        EXPECT_GE(label.width(), std::max(metrics.horizontalAdvance(c.text), ink.right() + 1))
            << "cut at the right";
        EXPECT_GE(label.height(), metrics.ascent() + ink.bottom() + 1) << "cut at the bottom";
        EXPECT_LE(label.geometry().right() + 1, std::max(c.rightEdge, c.bounds.right() + 1));
        EXPECT_EQ(label.pos(), c.bounds.topLeft());
        EXPECT_EQ(label.geometry() == c.bounds && label.font().pixelSize() == c.pixelSize, c.designed);
    }
}

// Qt's own texts in the window's language: the print dialog (Linux), the colour dialog, the buttons of
// the program's questions.
TEST(Shell, QtTextsInJapanese) {
    ASSERT_TRUE(kb::installQtTranslation()) << "qtbase_ja.qm (qt6-translations-l10n) not found";
    QPrinter printer;
    QPrintDialog print(&printer);
    EXPECT_EQ(print.windowTitle(), QStringLiteral("印刷"));
    QColorDialog colour;
    EXPECT_EQ(colour.windowTitle(), QStringLiteral("色を選択"));
    QMessageBox question;
    question.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(question.button(QMessageBox::Yes)->text(), QStringLiteral("はい(&Y)"));
    EXPECT_EQ(question.button(QMessageBox::No)->text(), QStringLiteral("いいえ(&N)"));
}

TEST(Shell, LayoutAfterCreation) {
    WindowFixture f;
    ASSERT_TRUE(f.window->FormCreate());
    kb::Tfrmmain& w = *f.window;
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Main"));
    EXPECT_EQ(w.frameGeometry().size(), QSize(878, 613)); // where no frame is drawn, the window itself
    EXPECT_EQ(w.font().pixelSize(), 12);
    for (const Bounds& b : kLayout) {
        auto* widget = w.findChild<QWidget*>(QString::fromLatin1(b.name));
        ASSERT_NE(widget, nullptr) << b.name;
        // A caption line keeps its place and grows only as far as its text in the system's face needs
        // (CaptionsFitTheirText).
        if (qobject_cast<QLabel*>(widget) && widget->parent() == &w) {
            EXPECT_EQ(widget->pos(), b.rect.topLeft()) << b.name;
            EXPECT_GE(widget->width(), b.rect.width()) << b.name;
            EXPECT_LE(widget->width(), b.rect.width() + 8) << b.name << ": more than the face's difference";
            EXPECT_GE(widget->height(), b.rect.height()) << b.name;
        } else {
            EXPECT_EQ(widget->geometry(), b.rect) << b.name;
        }
    }
    for (const auto& [name, hidden] : kStartHidden)
        EXPECT_EQ(w.findChild<QWidget*>(QString::fromLatin1(name))->isHidden(), hidden) << name;

    // Button pictures at their own size, their ground (the lower-left pixel) transparent.
    const std::pair<QToolButton*, QSize> pictures[] = {
        {w.cmdAbout, {61, 32}}, {w.cmdExit, {32, 32}}, {w.cmdEnd, {32, 32}}, {w.cmdPrint2, {40, 40}}};
    for (const auto& [button, size] : pictures) {
        SCOPED_TRACE(button->objectName().toStdString());
        const QImage picture = button->icon().pixmap(size).toImage();
        ASSERT_EQ(picture.size(), size);
        EXPECT_EQ(qAlpha(picture.pixel(0, size.height() - 1)), 0);
        EXPECT_EQ(qAlpha(picture.pixel(size.width() / 2, size.height() / 2)), 255);
    }
    // The map picture lies above every cell, so that it takes the mouse.
    for (int p = 1; p <= 30; ++p)
        EXPECT_LT(w.pnlRect->children().indexOf(w.RectShapes[std::size_t(p)]),
                  w.pnlRect->children().indexOf(w.Image2))
            << p;

    // The offset group and the colour lists stay clear of the map, the selector, the preview and Print.
    const QRect taken[] = {w.Image2->geometry(), w.ListBox3->geometry(), w.Shape1->geometry(),
                           w.cmdPrint2->geometry()};
    for (QWidget* free :
         std::initializer_list<QWidget*>{w.GroupBox2, w.ListBox10, w.ListBox11, w.Label12, w.Label13}) {
        EXPECT_TRUE(QRect(0, 0, 777, 385).contains(free->geometry())) << free->objectName().toStdString();
        for (const QRect& r : taken)
            EXPECT_FALSE(free->geometry().intersects(r)) << free->objectName().toStdString();
    }

    // The entry lists are filled at creation with the first item selected; the preview neither wraps
    // nor takes input; the memo has the focus.
    for (const auto& [list, count] : {std::pair{w.ListBox1, 1000}, std::pair{w.ListBox4, 10}}) {
        ASSERT_EQ(list->count(), count);
        EXPECT_EQ(list->item(count - 1)->text(), QString::number(count));
        EXPECT_EQ(list->currentRow(), 0);
    }
    EXPECT_TRUE(w.Memo2->isReadOnly() && w.Memo2->lineWrapMode() == QPlainTextEdit::NoWrap);
    EXPECT_TRUE(w.isEnabled());
    EXPECT_EQ(w.focusWidget(), w.Memo1);
}

TEST(Shell, ToolButtonsFollowTheScreenAndEndCloses) {
    WindowFixture f;
    ASSERT_TRUE(f.window->FormCreate());
    kb::Tfrmmain& w = *f.window;
    struct Step {
        const char* what;
        std::function<void()> act;
        bool onEntry; // entry screen: Exit hidden, End at 88; sheet screen: Exit at 88, End at 168
    };
    const Step steps[] = {
        {"after creation", [] {}, true},
        {"sheet screen", [&] { w.cmdExit->show(), w.ShowSheetScreen(), w.ArrangeToolButtons(); }, false},
        {"Exit clicked", [&] { QTest::mouseClick(w.cmdExit, Qt::LeftButton); }, true},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        s.act();
        EXPECT_EQ(w.cmdExit->isHidden(), s.onEntry);
        EXPECT_TRUE(s.onEntry || w.cmdExit->pos() == QPoint(88, 8)) << w.cmdExit->x();
        EXPECT_EQ(w.cmdEnd->pos(), QPoint(s.onEntry ? 88 : 168, 8));
        EXPECT_EQ(w.cmdAbout->pos(), QPoint(8, 8));
        EXPECT_EQ(w.pnlMain->isHidden(), !s.onEntry);
        EXPECT_EQ(w.pnlRect->isHidden(), s.onEntry);
    }

    QTest::mouseClick(w.cmdEnd, Qt::LeftButton);
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(f.dialogs.messages.empty() && f.dialogs.errors.empty());
}

TEST(Shell, AboutBoxTakesTheInputWhileShown) {
    WindowFixture f;
    ASSERT_TRUE(f.window->FormCreate());
    kb::Tfrmmain& w = *f.window;
    kb::TAboutBox box(&w);
    w.setAboutBox(&box);
    const auto aboutBoxes = [] {
        const QWidgetList all = QApplication::topLevelWidgets();
        return std::count_if(all.begin(), all.end(),
                             [](QWidget* t) { return qobject_cast<kb::TAboutBox*>(t); });
    };
    const auto boxesBefore = aboutBoxes();
    EXPECT_FALSE(box.isVisible());

    // Three ways to hide the box; each gives the main window its input back.
    const std::function<void()> ways[] = {
        [&] { QTest::mouseClick(box.OKButton, Qt::LeftButton); },
        [&] { QTest::keyClick(&box, Qt::Key_Return); },
        [&] { box.close(); },
    };
    for (const auto& hideBox : ways) {
        QTest::mouseClick(w.cmdAbout, Qt::LeftButton);
        EXPECT_TRUE(box.isVisible());
        EXPECT_FALSE(w.isEnabled() || w.Memo1->isEnabled());
        hideBox();
        EXPECT_FALSE(box.isVisible());
        EXPECT_TRUE(w.isEnabled());
    }
    EXPECT_EQ(aboutBoxes(), boxesBefore); // the same box every time, never a second one
}

// Return and Enter press the focused button, whichever kind it is.
TEST(Shell, ReturnAndEnterPressTheFocusedButton) {
    WindowFixture f;
    ASSERT_TRUE(f.window->FormCreate());
    kb::Tfrmmain& w = *f.window;
    kb::TAboutBox box(&w);
    w.setAboutBox(&box);
    w.entry.Memo1.setText("HELLO");
    const std::tuple<QAbstractButton*, Qt::Key, std::function<bool()>> steps[] = {
        {w.cmdAbout, Qt::Key_Return, [&] { return box.isVisible(); }},
        {w.cmdPrintSet, Qt::Key_Enter, [&] { return w.pnlRect->isVisible(); }},
        {w.cmdPrint2, Qt::Key_Return, [&] { return f.dialogs.printDialogs == 1; }},
        {w.cmdExit, Qt::Key_Enter, [&] { return w.pnlMain->isVisible(); }},
        {w.cmdEnd, Qt::Key_Return, [&] { return !w.isVisible(); }},
    };
    for (const auto& [button, key, pressed] : steps) {
        box.OKButtonClick(); // the input back after the About box
        button->setFocus();
        QTest::keyClick(button, key);
        EXPECT_TRUE(pressed()) << button->objectName().toStdString();
    }
}

// A missing start file is a message, an unreadable one an error: either way exactly one box, creation
// stops before the lists are filled, the window takes no input, closes itself, and writes nothing.
TEST(Shell, BadStartFileSaysSoOnceAndCloses) {
    struct Case {
        std::optional<std::string> file;
        std::vector<QString> messages, errors;
    };
    const Case cases[] = {
        {std::nullopt, {QStringLiteral("スタートファイルがありません。")}, {}},
        {"A1\r\n", {}, {QStringLiteral("'A1' は整数ではありません.")}},
    };
    for (const Case& c : cases) {
        WindowFixture f(c.file);
        EXPECT_FALSE(f.window->FormCreate());
        EXPECT_EQ(f.window->ListBox1->count(), 0);
        EXPECT_FALSE(f.window->isEnabled());
        f.window->show(); // as the message loop shows it
        QTRY_VERIFY(!f.window->isVisible());
        EXPECT_EQ(f.dialogs.messages, c.messages);
        EXPECT_EQ(f.dialogs.errors, c.errors);
        EXPECT_EQ(f.readStartFile(), c.file);
    }
}

TEST(Shell, ErrorBoxAppendsPeriodAfterCharactersSortingAfterIt) {
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("ファイルが見つかりません"), QStringLiteral("ファイルが見つかりません.")},
        {QStringLiteral("abc."), QStringLiteral("abc.")},
        {QStringLiteral("a/"), QStringLiteral("a/.")}, // '/' sorts right after '.'
        {QStringLiteral("a-"), QStringLiteral("a-")},  // '-' sorts before '.'
        {QStringLiteral("I/O エラー (7)"), QStringLiteral("I/O エラー (7)")},
        {QString(), QString()},
    };
    for (const auto& [message, shown] : cases)
        EXPECT_EQ(kb::errorBoxText(message), shown) << message.toStdString();
}

// Every character of every caption, list item and memo is in the font its control draws with.
TEST(Shell, EveryCaptionIsDrawnInItsOwnFont) {
    WindowFixture f;
    ASSERT_TRUE(f.window->FormCreate());
    kb::TAboutBox box(f.window.get());
    QWidgetList controls = f.window->findChildren<QWidget*>() + box.findChildren<QWidget*>();
    int checked = 0;
    for (const QWidget* c : controls) {
        QStringList texts;
        if (auto* label = qobject_cast<const QLabel*>(c))
            texts << label->text();
        else if (auto* button = qobject_cast<const QAbstractButton*>(c))
            texts << button->text();
        else if (auto* group = qobject_cast<const QGroupBox*>(c))
            texts << group->title();
        else if (auto* memo = qobject_cast<const QPlainTextEdit*>(c))
            texts << memo->toPlainText();
        else if (auto* list = qobject_cast<const QListWidget*>(c))
            for (int i = 0; i < list->count(); ++i)
                texts << list->item(i)->text();
        const QRawFont raw = QRawFont::fromFont(c->font());
        ASSERT_TRUE(raw.isValid());
        const QString characters = texts.join(QString()).remove(QLatin1Char(' '));
        for (const QChar ch : characters) {
            ++checked;
            EXPECT_TRUE(raw.supportsCharacter(ch))
                << c->objectName().toStdString() << ": U+" << std::hex << int(ch.unicode()) << " not in "
                << raw.familyName().toStdString();
        }
    }
    EXPECT_GT(checked, 100);
}

} // namespace
