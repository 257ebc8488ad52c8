// The window shell: layout after creation, the screen switch and tool buttons, the About box, the
// self-close after a missing or unreadable start file, the error box text and the caption fonts.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRawFont>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWindow>
#include <gtest/gtest.h>

#include "app/AboutBox.h"
#include "app/EntryWidgets.h"
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

TEST(Shell, LayoutAfterCreation) {
    WindowFixture f;
    ASSERT_TRUE(f.window->FormCreate());
    kb::Tfrmmain& w = *f.window;

    EXPECT_EQ(w.windowTitle(), QStringLiteral("Main"));
    // The outer size; where no frame is drawn, the window itself.
    EXPECT_EQ(w.frameGeometry().size(), QSize(878, 613));
    EXPECT_FALSE(w.windowIcon().isNull());
    EXPECT_EQ(w.font().pixelSize(), 12);

    for (const Bounds& b : kLayout) {
        auto* widget = w.findChild<QWidget*>(QString::fromLatin1(b.name));
        ASSERT_NE(widget, nullptr) << b.name;
        EXPECT_EQ(widget->geometry(), b.rect) << b.name;
    }
    for (const auto& [name, hidden] : kStartHidden)
        EXPECT_EQ(w.findChild<QWidget*>(QString::fromLatin1(name))->isHidden(), hidden) << name;

    // Button pictures at their own size, their ground (the lower-left pixel's colour) transparent.
    const std::pair<QToolButton*, QSize> pictures[] = {
        {w.cmdAbout, {61, 32}}, {w.cmdExit, {32, 32}}, {w.cmdEnd, {32, 32}}, {w.cmdPrint2, {40, 40}}};
    for (const auto& [button, size] : pictures) {
        EXPECT_EQ(button->iconSize(), size) << button->objectName().toStdString();
        const QImage picture = button->icon().pixmap(size).toImage();
        ASSERT_EQ(picture.size(), size) << button->objectName().toStdString();
        EXPECT_EQ(qAlpha(picture.pixel(0, size.height() - 1)), 0) << button->objectName().toStdString();
        EXPECT_EQ(qAlpha(picture.pixel(size.width() / 2, size.height() / 2)), 255)
            << button->objectName().toStdString();
        EXPECT_EQ(button->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
    }

    // The cells are kept by position; the picture above them takes the mouse.
    for (int p = 1; p <= 30; ++p) {
        ASSERT_NE(w.RectShapes[static_cast<std::size_t>(p)], nullptr) << p;
        EXPECT_EQ(w.RectShapes[static_cast<std::size_t>(p)]->geometry().topLeft(),
                  QPoint(p % 2 ? 72 : 176, 24 + 24 * ((p - 1) / 2)))
            << p;
        EXPECT_LT(w.pnlRect->children().indexOf(w.RectShapes[static_cast<std::size_t>(p)]),
                  w.pnlRect->children().indexOf(w.Image2));
    }
    EXPECT_EQ(w.RectShapes[27]->objectName(), QStringLiteral("rect27"));

    // The offset group and the colour lists stay clear of the map, the selector, the preview and Print.
    const QRect taken[] = {w.Image2->geometry(), w.ListBox3->geometry(), w.Shape1->geometry(),
                           w.cmdPrint2->geometry()};
    for (QWidget* free : {static_cast<QWidget*>(w.GroupBox2), static_cast<QWidget*>(w.ListBox10),
                          static_cast<QWidget*>(w.ListBox11), static_cast<QWidget*>(w.Label12),
                          static_cast<QWidget*>(w.Label13)}) {
        EXPECT_TRUE(QRect(0, 0, 777, 385).contains(free->geometry())) << free->objectName().toStdString();
        for (const QRect& r : taken)
            EXPECT_FALSE(free->geometry().intersects(r)) << free->objectName().toStdString();
    }
    EXPECT_EQ(w.ListBox7->size(), QSize(105, 25));
    EXPECT_EQ(w.ListBox6->size(), QSize(105, 25));

    // The lists filled at creation, with the first item selected.
    EXPECT_EQ(w.ListBox1->count(), 1000);
    EXPECT_EQ(w.ListBox1->item(999)->text(), QStringLiteral("1000"));
    EXPECT_EQ(w.ListBox1->currentRow(), 0);
    EXPECT_EQ(w.ListBox4->count(), 10);
    EXPECT_EQ(w.ListBox4->item(9)->text(), QStringLiteral("10"));
    EXPECT_EQ(w.ListBox4->currentRow(), 0);
    ASSERT_EQ(w.ListBox7->count(), 22);
    EXPECT_EQ(w.ListBox7->item(0)->text(), QStringLiteral("-5"));
    EXPECT_EQ(w.ListBox7->item(21)->text(), QString());
    ASSERT_EQ(w.ListBox6->count(), 21);
    EXPECT_EQ(w.ListBox6->item(20)->text(), QStringLiteral("5"));

    // Memo1 keeps each line on one line; Tab leaves it. The preview is read-only and does not wrap.
    EXPECT_EQ(w.Memo1->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_TRUE(w.Memo1->tabChangesFocus());
    EXPECT_EQ(w.Memo2->toPlainText(), QStringLiteral("Memo2"));
    EXPECT_TRUE(w.Memo2->isReadOnly());
    EXPECT_EQ(w.Memo2->lineWrapMode(), QPlainTextEdit::NoWrap);
    EXPECT_EQ(w.Panel1->text(), QStringLiteral("0"));
    EXPECT_EQ(w.Panel2->text(), QStringLiteral("0"));
    EXPECT_TRUE(w.created);
    EXPECT_TRUE(w.isEnabled());
    EXPECT_EQ(w.focusWidget(), w.Memo1);
}

TEST(Shell, ToolButtonsFollowTheScreen) {
    WindowFixture f;
    ASSERT_TRUE(f.window->FormCreate());
    kb::Tfrmmain& w = *f.window;
    struct Expect {
        bool exitShown;
        int endLeft;
        bool entryShown;
    };
    const auto check = [&](const Expect& e, const char* when) {
        EXPECT_EQ(!w.cmdExit->isHidden(), e.exitShown) << when;
        if (e.exitShown) {
            EXPECT_EQ(w.cmdExit->x(), 88) << when;
        }
        EXPECT_EQ(w.cmdEnd->x(), e.endLeft) << when;
        EXPECT_EQ(w.cmdAbout->x(), 8) << when;
        EXPECT_EQ(!w.pnlMain->isHidden(), e.entryShown) << when;
        EXPECT_EQ(!w.pnlRect->isHidden(), !e.entryShown) << when;
        EXPECT_EQ(w.cmdEnd->y(), 8) << when;
    };
    check({false, 88, true}, "after creation");

    // The sequence that opens the sheet screen.
    w.cmdExit->show();
    w.ShowSheetScreen();
    w.ArrangeToolButtons();
    check({true, 168, false}, "sheet screen");

    w.ShowScreen(3);
    w.ShowScreen(0);
    check({true, 168, false}, "ShowScreen with another kind");

    QTest::mouseClick(w.cmdExit, Qt::LeftButton);
    check({false, 88, true}, "after Exit");

    w.ShowScreen(-1);
    check({false, 88, true}, "ShowScreen with another kind on the entry screen");

    w.ShowScreen(2);
    EXPECT_TRUE(w.pnlMain->isHidden());
    EXPECT_FALSE(w.pnlRect->isHidden());
}

TEST(Shell, EndClosesTheWindow) {
    WindowFixture f;
    ASSERT_TRUE(f.window->FormCreate());
    ASSERT_TRUE(f.window->isVisible());
    QTest::mouseClick(f.window->cmdEnd, Qt::LeftButton);
    EXPECT_FALSE(f.window->isVisible());
    EXPECT_TRUE(f.dialogs.messages.empty());
    EXPECT_TRUE(f.dialogs.errors.empty());
}

int aboutBoxes() {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        n += qobject_cast<kb::TAboutBox*>(w) != nullptr;
    return n;
}

TEST(Shell, AboutBoxTakesTheInputWhileShown) {
    WindowFixture f;
    ASSERT_TRUE(f.window->FormCreate());
    kb::Tfrmmain& w = *f.window;
    kb::TAboutBox box(&w);
    w.setAboutBox(&box);
    const int boxesBefore = aboutBoxes();

    EXPECT_EQ(box.windowTitle(), QStringLiteral("バージョン情報"));
    EXPECT_EQ(box.size(), QSize(298, 213));
    EXPECT_EQ(box.OKButton->geometry(), QRect(111, 180, 75, 25));
    EXPECT_TRUE(box.OKButton->isDefault());
    EXPECT_EQ(box.ProductName->text(), QStringLiteral("Finchor/Kestrelbox"));
    EXPECT_EQ(box.Version->text(), QStringLiteral("Version 2.04"));
    EXPECT_EQ(box.ProgramIcon->geometry(), QRect(32, 8, 65, 49));
    EXPECT_FALSE(box.isVisible());

    // Three ways to hide the box; each gives the main window its input back.
    const std::function<void()> ways[] = {
        [&] { QTest::mouseClick(box.OKButton, Qt::LeftButton); },
        [&] { QTest::keyClick(&box, Qt::Key_Return); },
        [&] { box.close(); },
    };
    int way = 0;
    for (const auto& hideBox : ways) {
        QTest::mouseClick(w.cmdAbout, Qt::LeftButton);
        EXPECT_TRUE(box.isVisible()) << way;
        EXPECT_FALSE(w.isEnabled()) << way;
        EXPECT_FALSE(w.Memo1->isEnabled()) << way;
        hideBox();
        EXPECT_FALSE(box.isVisible()) << way;
        EXPECT_TRUE(w.isEnabled()) << way;
        ++way;
    }
    // The same box every time, never a second one.
    EXPECT_EQ(aboutBoxes(), boxesBefore);
}

TEST(Shell, MissingStartFileSaysSoOnceAndCloses) {
    WindowFixture f(std::nullopt);
    EXPECT_FALSE(f.window->FormCreate());
    EXPECT_EQ(f.dialogs.messages, std::vector<QString>{QStringLiteral("スタートファイルがありません。")});
    EXPECT_TRUE(f.dialogs.errors.empty());
    EXPECT_FALSE(f.window->created);
    // Creation stopped at the start file: the lists were never filled.
    EXPECT_EQ(f.window->ListBox1->count(), 0);
    EXPECT_TRUE(f.window->Timer2->isActive());
    EXPECT_FALSE(f.window->isEnabled()); // no handler runs on the unfinished window

    f.window->show(); // as the message loop shows it
    QTRY_VERIFY(!f.window->isVisible());
    EXPECT_FALSE(f.window->Timer2->isActive());
    EXPECT_EQ(f.dialogs.messages.size(), 1u);
    EXPECT_FALSE(QFile::exists(f.startFilePath()));
}

TEST(Shell, UnreadableStartFileIsReportedAndCloses) {
    const std::string bytes = "A1\r\n";
    WindowFixture f(bytes);
    EXPECT_FALSE(f.window->FormCreate());
    EXPECT_TRUE(f.dialogs.messages.empty());
    EXPECT_EQ(f.dialogs.errors, std::vector<QString>{QStringLiteral("'A1' は整数ではありません.")});
    EXPECT_FALSE(f.window->created);
    EXPECT_EQ(f.window->ListBox1->count(), 0);
    EXPECT_FALSE(f.window->isEnabled());

    f.window->show();
    QTRY_VERIFY(!f.window->isVisible());
    EXPECT_EQ(f.dialogs.errors.size(), 1u);
    EXPECT_EQ(f.readStartFile(), bytes);
}

TEST(Shell, ErrorBoxAppendsPeriodAfterCharactersSortingAfterIt) {
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("ファイルが見つかりません"), QStringLiteral("ファイルが見つかりません.")},
        {QStringLiteral("abc"), QStringLiteral("abc.")},
        {QStringLiteral("abc."), QStringLiteral("abc.")},
        {QStringLiteral("a/"), QStringLiteral("a/.")}, // '/' sorts right after '.'
        {QStringLiteral("a-"), QStringLiteral("a-")},
        {QStringLiteral("I/O エラー (7)"), QStringLiteral("I/O エラー (7)")},
        {QStringLiteral("done!"), QStringLiteral("done!")},
        {QStringLiteral("a "), QStringLiteral("a ")},
        {QString(), QString()},
    };
    for (const auto& [message, shown] : cases)
        EXPECT_EQ(kb::errorBoxText(message), shown) << message.toStdString();
}

QStringList captionsOf(const QWidget* root, std::vector<const QWidget*>& owners) {
    QStringList texts;
    const auto add = [&](const QWidget* w, const QString& text) {
        texts << text;
        owners.push_back(w);
    };
    for (const QWidget* w : root->findChildren<QWidget*>()) {
        if (auto* label = qobject_cast<const QLabel*>(w))
            add(w, label->text());
        else if (auto* button = qobject_cast<const QAbstractButton*>(w))
            add(w, button->text());
        else if (auto* group = qobject_cast<const QGroupBox*>(w))
            add(w, group->title());
        else if (auto* list = qobject_cast<const QListWidget*>(w))
            for (int i = 0; i < list->count(); ++i)
                add(w, list->item(i)->text());
    }
    if (auto* memo = root->findChild<QPlainTextEdit*>(QStringLiteral("Memo2")))
        add(memo, memo->toPlainText());
    return texts;
}

TEST(Shell, EveryCaptionIsDrawnInItsOwnFont) {
    WindowFixture f;
    ASSERT_TRUE(f.window->FormCreate());
    kb::TAboutBox box(f.window.get());
    int checked = 0;
    for (const QWidget* root : {static_cast<QWidget*>(f.window.get()), static_cast<QWidget*>(&box)}) {
        std::vector<const QWidget*> owners;
        const QStringList texts = captionsOf(root, owners);
        for (qsizetype i = 0; i < texts.size(); ++i) {
            const QRawFont raw = QRawFont::fromFont(owners[static_cast<std::size_t>(i)]->font());
            ASSERT_TRUE(raw.isValid());
            for (const QChar ch : texts[i]) {
                if (ch.isSpace())
                    continue;
                ++checked;
                EXPECT_TRUE(raw.supportsCharacter(ch))
                    << owners[static_cast<std::size_t>(i)]->objectName().toStdString() << ": U+" << std::hex
                    << int(ch.unicode()) << " not in " << raw.familyName().toStdString();
            }
        }
    }
    EXPECT_GT(checked, 100);
}

} // namespace

TEST(Shell, OnlyMovesOverTheBareWindowAreTheWindows) {
    WindowFixture f;
    ASSERT_TRUE(f.window->FormCreate());
    kb::Tfrmmain& w = *f.window;
    // Through the window system, so that the move goes to the control under the pointer.
    QWindow* window = w.windowHandle();
    ASSERT_NE(window, nullptr);
    QTest::mouseMove(window, QPoint(30, 110)); // between the tool buttons and the screen
    EXPECT_EQ(w.MouseX, 30);
    EXPECT_EQ(w.MouseY, 110);
    // Over a panel, a caption line or a tool button the move belongs to that control.
    for (QWidget* control : {static_cast<QWidget*>(w.pnlMain), static_cast<QWidget*>(w.Label3),
                             static_cast<QWidget*>(w.cmdAbout), static_cast<QWidget*>(w.Label2)}) {
        QTest::mouseMove(window, control->mapTo(&w, QPoint(3, 3)));
        EXPECT_EQ(w.MouseX, 30) << control->objectName().toStdString();
        EXPECT_EQ(w.MouseY, 110) << control->objectName().toStdString();
    }
    QTest::mouseMove(window, QPoint(850, 560)); // below and right of the screen
    EXPECT_EQ(w.MouseX, 850);
    EXPECT_EQ(w.MouseY, 560);
}
