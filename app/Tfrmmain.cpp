// The main window's shell: both screens laid out as designed, window creation, the screen switch,
// the tool buttons, the About box and the self-close after a start file that could not be read.
#include "app/Tfrmmain.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolButton>
#include <algorithm>

#include "app/AboutBox.h"
#include "app/CodeChoice.h"
#include "app/EntryWidgets.h"
#include "app/Pictures.h"
#include "app/SheetWidgets.h"
#include "app/UserSelection.h"
#include "services/Fonts.h"
#include "services/SystemPath.h"
#include "settings/Error.h"
#include "sheet/SheetRules.h"

namespace kb {

namespace {

constexpr int kOuterWidth = 878;
constexpr int kOuterHeight = 613;
// Room kept right of a caption that grows: the frame a window manager or Windows draws, and a gap.
constexpr int kCaptionMargin = 24;
constexpr int kToolSlots[] = {88, 168}; // left positions of the right-hand tool buttons

const QColor kBlue(0, 0, 255);
const QColor kGreen(0, 128, 0);
const QColor kBlack(0, 0, 0);

void setTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::ButtonText, colour);
    palette.setColor(QPalette::Text, colour);
    widget->setPalette(palette);
}

template <typename W> W* place(W* widget, const char* name, int left, int top, int width, int height) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(left, top, width, height);
    return widget;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, QRect bounds, const QFont& font,
                  const QColor& colour) {
    auto* label =
        place(new QLabel(text, parent), name, bounds.x(), bounds.y(), bounds.width(), bounds.height());
    label->setFont(font);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setTextColour(label, colour);
    // A move over a label is the label's own, not the bare window's.
    label->setAttribute(Qt::WA_NoMousePropagation);
    return label;
}

QCheckBox* makeCheckBox(QWidget* parent, const char* name, const QString& text, QRect bounds) {
    auto* box =
        place(new QCheckBox(text, parent), name, bounds.x(), bounds.y(), bounds.width(), bounds.height());
    box->setFont(uiFont(Face::PGothic, 15, true));
    setTextColour(box, kBlue);
    return box;
}

// Item height is part of the layout, whoever fills the list later.
QListWidget* makeList(QWidget* parent, const char* name, QRect bounds, int itemHeight) {
    auto* list =
        place(new QListWidget(parent), name, bounds.x(), bounds.y(), bounds.width(), bounds.height());
    list->setUniformItemSizes(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setStyleSheet(QStringLiteral("QListWidget::item { height: %1px; padding: 0px; }").arg(itemHeight));
    return list;
}

// A button picture with its transparent colour taken from the lower-left pixel.
QPixmap buttonPicture(const char* name) {
    QImage image = picture(name).convertToFormat(QImage::Format_ARGB32);
    if (image.isNull())
        return {};
    const QRgb ground = image.pixel(0, image.height() - 1);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (line[x] == ground)
                line[x] = qRgba(0, 0, 0, 0);
        }
    }
    return QPixmap::fromImage(image);
}

QToolButton* makeToolButton(QWidget* parent, const char* name, const QString& caption, const char* picture,
                            QRect bounds) {
    auto* button =
        place(new QToolButton(parent), name, bounds.x(), bounds.y(), bounds.width(), bounds.height());
    button->setText(caption);
    const QPixmap pixmap = buttonPicture(picture);
    button->setIcon(QIcon(pixmap));
    button->setIconSize(pixmap.size());
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAttribute(Qt::WA_NoMousePropagation);
    return button;
}

QLabel* makeCounter(QWidget* parent, const char* name, QRect bounds, QPalette::ColorRole ground) {
    auto* panel = new QLabel(QStringLiteral("0"), parent);
    place(panel, name, bounds.x(), bounds.y(), bounds.width(), bounds.height());
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setLineWidth(2);
    panel->setAlignment(Qt::AlignCenter);
    panel->setFont(uiFont(Face::PGothic, 13, true));
    panel->setAutoFillBackground(true);
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, palette.color(ground));
    palette.setColor(QPalette::WindowText, kBlack);
    panel->setPalette(palette);
    return panel;
}

QString cellName(int position) {
    // The 27th cell has always carried a lower-case name; the sheet map looks cells up by these names.
    return position == 27 ? QStringLiteral("rect27")
                          : QStringLiteral("Rect%1").arg(position, 2, 10, QChar('0'));
}

} // namespace

QString errorBoxText(const QString& message) {
    if (!message.isEmpty() && message.back() > QChar(u'.'))
        return message + QChar(u'.');
    return message;
}

void fitCaption(QLabel* label, int rightEdge) {
    QFont font = label->font();
    const QString text = label->text();
    // The ink as well as the advance: an italic face leans out past its last advance. Below, the ink
    // counts (the text stands at the top, its baseline at the face's ascent), not the line's spacing.
    const auto needed = [&text](const QFont& f) {
        const QFontMetrics metrics(f);
        const QRect ink = metrics.boundingRect(text);
        return QSize(std::max(metrics.horizontalAdvance(text), ink.right() + 1),
                     metrics.ascent() + std::max(0, ink.bottom()) + 1);
    };
    QSize size = needed(font);
    if (size.width() <= label->width() && size.height() <= label->height())
        return;
    const int room = rightEdge - label->x();
    while (size.width() > room && font.pixelSize() > 6) {
        font.setPixelSize(font.pixelSize() - 1);
        size = needed(font);
    }
    label->setFont(font);
    label->resize(std::max(label->width(), std::min(size.width(), room)),
                  std::max(label->height(), size.height()));
}

Tfrmmain::Tfrmmain(const Services& services, QWidget* parent)
    : QWidget(parent), entry(services.clock), m_services(services),
      m_startFile(systemPath(services.appFolder + QStringLiteral("StartFile.txt"))) {
    setObjectName(QStringLiteral("frmmain"));
    setWindowTitle(QStringLiteral("Main"));
    setWindowIcon(QIcon(QPixmap::fromImage(picture("icon"))));
    setFont(uiFont(Face::PGothic, 12));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Button));
    setPalette(palette);
    setAutoFillBackground(true);
    setMouseTracking(true);
    // Without a window frame the window itself has the outer size; showEvent corrects for a frame.
    resize(kOuterWidth, kOuterHeight);

    buildControls();
    connectHandlers();
}

Tfrmmain::~Tfrmmain() = default;

bool Tfrmmain::holdStartFile() {
    StartFileHold::State state = StartFileHold::State::Held;
    try {
        state = m_hold->take();
    } catch (const HoldFileError& e) {
        // The hold file, not the start file, is what cannot be opened: named so the user looks there.
        throw Error(
            QStringLiteral("スタートファイルのロックファイル「%1」を開けません：%2")
                .arg(QDir::toNativeSeparators(QString::fromStdString(e.path())), QString::fromUtf8(e.what()))
                .toStdString());
    }
    if (state == StartFileHold::State::Held)
        return true;
    if (state == StartFileHold::State::Moved || state == StartFileHold::State::ChangedOutside)
        UpdateSheetCount();
    m_services.dialogs.message(this, holdMessage(state, start.StartPosition));
    return false;
}

void Tfrmmain::buildControls() {
    cmdAbout = makeToolButton(this, "cmdAbout", QStringLiteral("Finchor"), "logo61", {8, 8, 73, 73});
    cmdExit = makeToolButton(this, "cmdExit", QStringLiteral("Exit"), "exit", {88, 8, 73, 73});
    cmdExit->hide();
    cmdEnd = makeToolButton(this, "cmdEnd", QStringLiteral("End"), "stop", {168, 8, 73, 73});

    Label3 = makeLabel(this, "Label3", QStringLiteral("Finchor /Kestrelbox  "), {392, 24, 318, 33},
                       uiFont(Face::PGothic, 32, true, true), kBlue);
    Label8 = makeLabel(this, "Label8", QStringLiteral("ＦＩＮＣＨＯＲ　ＬＡＢＥＬ　ＷＯＲＫＳ"),
                       {552, 64, 255, 19}, uiFont(Face::PGothic, 19, true), kGreen);
    // Both caption lines whole in whatever face the system has (Wine's bold ran wider than designed).
    for (QLabel* caption : {Label3, Label8})
        fitCaption(caption, kOuterWidth - kCaptionMargin);

    pnlMain = place(new QFrame(this), "pnlMain", 56, 136, 777, 385);
    pnlMain->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pnlMain->setLineWidth(5);
    // A move over a panel belongs to the panel, not to the bare window behind it.
    pnlMain->setAttribute(Qt::WA_NoMousePropagation);

    pnlRect = place(new QFrame(this), "pnlRect", 56, 136, 777, 401);
    pnlRect->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pnlRect->setLineWidth(6); // two lowered bevels of 3 pixels
    pnlRect->setAttribute(Qt::WA_NoMousePropagation);
    pnlRect->hide();

    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(10);
    m_hold = new StartFileHold(
        m_startFile, m_lock, start, [this] { return m_busy; }, this);

    buildEntryScreen();
    buildSheetScreen();

    // Keyboard order: the entry screen first, then the tool buttons, then the sheet screen.
    const QList<QWidget*> order = {Memo1,     Edit2,        CheckBox1, ListBox4,    CheckBox3,
                                   ListBox1,  cmdListClear, cmdList,   cmdPrintSet, cmdAbout,
                                   cmdExit,   cmdEnd,       ListBox3,  ListBox7,    ListBox6,
                                   ListBox10, ListBox11,    ListBox12, cmdPrint2};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void Tfrmmain::buildEntryScreen() {
    QWidget* p = pnlMain;
    const QFont bold15 = uiFont(Face::PGothic, 15, true);

    Label2 = makeLabel(p, "Label2", QStringLiteral("印刷する文字を入力してください"), {64, 40, 321, 33},
                       uiFont(Face::PGothic, 19, true), kBlack);

    Memo1 = place(new MemoEdit(p), "Memo1", 40, 88, 361, 49);
    Memo1->setFont(uiFont(Face::PGothic, 19, true));
    // No scroll bars: at this height a horizontal bar would cover line 2. The view still follows
    // the cursor, so a long line scrolls sideways as it is typed.
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    Panel1 = makeCounter(p, "Panel1", {400, 88, 33, 25}, QPalette::HighlightedText);
    Panel2 = makeCounter(p, "Panel2", {400, 112, 33, 25}, QPalette::HighlightedText);

    Edit2 = place(new DateEdit(p), "Edit2", 72, 200, 145, 24);
    Edit2->setFont(uiFont(Face::PGothic, 16, true));
    Edit2->hide();

    CheckBox1 = makeCheckBox(p, "CheckBox1", QStringLiteral("Date"), {64, 240, 73, 25});
    Label1 = makeLabel(p, "Label1", QStringLiteral("付加記入欄"), {160, 240, 97, 25}, bold15, kBlue);
    Label1->hide();

    Label10 = makeLabel(p, "Label10", QStringLiteral("サンプル数"), {480, 88, 75, 15}, bold15, kBlue);
    ListBox4 = makeList(p, "ListBox4", {472, 120, 81, 49}, 15);
    ListBox4->setFont(bold15);

    CheckBox3 = makeCheckBox(p, "CheckBox3", QStringLiteral("Number"), {624, 88, 89, 17});
    Label9 = makeLabel(p, "Label9", QStringLiteral("初期値"), {648, 112, 48, 15}, bold15, kBlue);
    ListBox1 = makeList(p, "ListBox1", {632, 128, 73, 57}, 15);
    ListBox1->setFont(bold15);
    ListBox1->hide();

    cmdPrintSet = place(new QPushButton(QStringLiteral("PrintSet"), p), "cmdPrintSet", 576, 304, 121, 57);
    cmdPrintSet->setFont(uiFont(Face::Gothic, 19, true, true));
    setTextColour(cmdPrintSet, kBlue);

    // A list of labels: the buttons sit in the free space left of "PrintSet"; the list's summary takes
    // the place of the memo, the date and the numbering controls, which stand aside while it is loaded.
    cmdList = place(new QPushButton(QStringLiteral("List"), p), "cmdList", 440, 304, 113, 57);
    cmdList->setFont(uiFont(Face::Gothic, 19, true, true));
    setTextColour(cmdList, kBlue);
    cmdListClear = place(new QPushButton(QStringLiteral("Clear"), p), "cmdListClear", 304, 304, 113, 57);
    cmdListClear->setFont(uiFont(Face::Gothic, 19, true, true));
    setTextColour(cmdListClear, kBlue);
    cmdListClear->hide();
    LabelList =
        makeLabel(p, "LabelList", QString(), {40, 88, 513, 137}, uiFont(Face::PGothic, 15, true), kBlack);
    LabelList->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    LabelList->setWordWrap(true);
    LabelList->hide();
    setAcceptDrops(true);
}

void Tfrmmain::buildSheetScreen() {
    QWidget* p = pnlRect;
    const QFont labelFont = uiFont(Face::PGothic, 13, true);

    // The sheet map: a cell for each position of the sheet, with the picture that takes the mouse above them.
    for (int position = 1; position <= kPositionsPerSheet; ++position) {
        auto* cell = new CellShape(p);
        cell->setObjectName(cellName(position));
        cell->setGeometry(72 + 104 * positionColumn(position), 24 + 24 * positionRow(position), 81, 15);
    }
    Image2 = place(new MapPicture(p), "Image2", 56, 16, 209, 369);
    Image2->raise();

    Label6 = makeLabel(p, "Label6", QStringLiteral("枚数"), {352, 20, 57, 17}, labelFont, kBlue);
    ListBox3 = makeList(p, "ListBox3", {352, 40, 57, 41}, 16);

    // The preview: the white frame lies behind the borderless memo and outlines it.
    Shape1 = place(new PreviewFrame(p), "Shape1", 278, 102, 343, 53);
    Shape1->setFill(0x00FFFFFF);
    Memo2 = place(new QPlainTextEdit(p), "Memo2", 280, 104, 337, 49);
    Memo2->setFrameStyle(QFrame::NoFrame);
    Memo2->setReadOnly(true);
    Memo2->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo2->setFont(uiFont(Face::Mincho, 19, true));
    memo2Model.setText("Memo2");
    Memo2->setPlainText(QStringLiteral("Memo2"));

    cmdPrint2 = makeToolButton(p, "cmdPrint2", QStringLiteral("Print"), "printer", {632, 296, 89, 73});

    // Offsets and colours sit in the free space under the preview, left of "Print".
    GroupBox2 = place(new QGroupBox(QStringLiteral("OffSet(単位　ｍｍ)"), p), "GroupBox2", 280, 176, 340, 92);
    GroupBox2->setFont(labelFont);
    setTextColour(GroupBox2, kBlue);
    Label4 = makeLabel(GroupBox2, "Label4", QStringLiteral("縦方向（＋は下）に移動"), {16, 26, 156, 17},
                       labelFont, kBlue);
    ListBox7 = makeList(GroupBox2, "ListBox7", {16, 50, 105, 25}, 16);
    Label5 = makeLabel(GroupBox2, "Label5", QStringLiteral("横方向（＋は右）に移動"), {180, 26, 156, 17},
                       labelFont, kBlue);
    ListBox6 = makeList(GroupBox2, "ListBox6", {180, 50, 105, 25}, 16);
    for (const auto& [list, vertical] : {std::pair{ListBox7, true}, std::pair{ListBox6, false}}) {
        list->setFont(font());
        setTextColour(list, kBlack);
        for (const std::string& text : offsetItems(vertical))
            list->addItem(QString::fromStdString(text));
    }

    Label12 = makeLabel(p, "Label12", QStringLiteral("文字の色"), {296, 284, 105, 17}, labelFont, kBlue);
    ListBox10 = makeList(p, "ListBox10", {296, 304, 105, 52}, 16);
    Label13 = makeLabel(p, "Label13", QStringLiteral("背景の色"), {460, 284, 105, 17}, labelFont, kBlue);
    ListBox11 = makeList(p, "ListBox11", {460, 304, 105, 52}, 16);

    // The labels' code, in the free space right of the offsets and above "Print"; its picture right of
    // the preview, as the first label will carry it.
    Label14 = makeLabel(p, "Label14", QStringLiteral("コード"), {640, 180, 105, 17}, labelFont, kBlue);
    ListBox12 = makeList(p, "ListBox12", {640, 200, 105, 52}, 16);
    ListBox12->setFont(font());
    setTextColour(ListBox12, kBlack);
    for (const CodeKindName& item : CodeKindNames)
        ListBox12->addItem(QString::fromLatin1(item.shown));
    Image3 = place(new CodePicture(p), "Image3", 640, 96, 64, 64);
    Image3->hide();
}

void Tfrmmain::connectHandlers() {
    connect(cmdAbout, &QToolButton::clicked, this, [this] { guarded([this] { cmdAboutClick(); }); });
    connect(cmdExit, &QToolButton::clicked, this, [this] { guarded([this] { cmdExitClick(); }); });
    connect(cmdEnd, &QToolButton::clicked, this, [this] { guarded([this] { cmdEndClick(); }); });
    connect(Timer2, &QTimer::timeout, this, [this] { guarded([this] { Timer2Timer(); }); });
    connect(m_hold, &StartFileHold::valuesChanged, this, [this](StartFileHold::State why) {
        guarded([&] {
            UpdateSheetCount();
            // What another run stored comes in quietly; a change made outside the program is told once.
            if (why == StartFileHold::State::ChangedOutside)
                m_services.dialogs.message(this, holdMessage(why, start.StartPosition));
        });
    });
    // A button reached with Tab is pressed with Return or Enter as well as with Space.
    for (QAbstractButton* button : std::initializer_list<QAbstractButton*>{
             cmdAbout, cmdExit, cmdEnd, cmdPrintSet, cmdPrint2, cmdList, cmdListClear})
        pressOnReturn(button);
    connectEntryHandlers();
    connectListHandlers();
    connectSheetHandlers();
    connectPrintHandlers();
}

bool Tfrmmain::FormCreate() {
    try {
        // 1. The cells of the sheet map, by position.
        for (int position = 1; position <= kPositionsPerSheet; ++position)
            RectShapes[static_cast<std::size_t>(position)] =
                pnlRect->findChild<CellShape*>(cellName(position));
        // 2.
        AppFolder = m_services.appFolder;
        // 3. The start file is this window's from now on; while a run of the command holds it, the window
        // starts on what it reads and takes the file (and what the run stored) once the run is over.
        // A file that cannot be locked is reported when a click needs it; a missing one just below.
        m_hold->begin();
        // Without a start file the program cannot keep its place on the sheet: say so and close.
        if (!m_startFile.read(start)) {
            m_services.dialogs.message(this, QStringLiteral("スタートファイルがありません。"));
            closeUnfinished();
            return false;
        }
        // 4. The saved offsets are in force.
        startupOffsets();
        // 5.
        entry.LabelsPerSample = 1;
        SheetCount = 1;
        entry.FirstNumber = 1;
        entry.SampleCount = 1;
        // 6.
        UpdateSheetCount();
        // 7.
        ShowScreen(1);
        // 8, 9. Filling and selecting from here is not the user's choice: no click handler runs.
        {
            const QSignalBlocker blockFirst(ListBox1);
            ListBox1->clear();
            for (int n = 1; n <= 1000; ++n)
                ListBox1->addItem(QString::number(n));
            ListBox1->setCurrentRow(0);
        }
        {
            const QSignalBlocker blockCount(ListBox4);
            ListBox4->clear();
            for (int n = 1; n <= 10; ++n)
                ListBox4->addItem(QString::number(n));
            ListBox4->setCurrentRow(0);
        }
        // 10.
        fillColourLists();
        // The code chosen in the last run, from its own setting file.
        startupCodeChoice();
        // 11. Both screens share one place; the sheet screen was designed taller.
        pnlRect->setGeometry(pnlMain->geometry());
        // 12.
        ArrangeToolButtons();
        // 13.
        hide();
        show();
        // 14.
        Memo1->setFocus();
        return true;
    } catch (const std::exception& e) {
        // A start file that cannot be read (or any other failure on the way) leaves a window that the
        // later handlers cannot work on: report it and close, as for a missing file.
        showError(e);
        closeUnfinished();
        return false;
    }
}

void Tfrmmain::closeUnfinished() {
    // The window is still shown for the moment until Timer2 closes it, but takes no input: no handler
    // may run on a window whose creation did not finish.
    setEnabled(false);
    Timer2->start();
}

void Tfrmmain::ShowScreen(std::int32_t kind) {
    if (kind == 1) {
        pnlMain->show();
        pnlRect->hide();
    } else if (kind == 2) {
        pnlMain->hide();
        pnlRect->show();
    }
}

void Tfrmmain::ShowSheetScreen() {
    pnlMain->hide();
    pnlRect->show();
}

void Tfrmmain::ArrangeToolButtons() {
    // "Visible" is the button's own flag: it holds while the window itself is still hidden.
    cmdEnd->setHidden(false);
    int k = 0;
    for (QToolButton* button : {cmdExit, cmdEnd}) {
        if (button->isHidden())
            continue;
        button->move(kToolSlots[k], button->y());
        ++k;
    }
}

void Tfrmmain::cmdExitClick() {
    ShowScreen(1);
    cmdExit->hide();
    ArrangeToolButtons();
}

void Tfrmmain::cmdEndClick() {
    close();
}

void Tfrmmain::cmdAboutClick() {
    if (!AboutBox)
        return;
    setEnabled(false);
    AboutBox->show();
    AboutBox->raise();
    AboutBox->activateWindow();
}

void Tfrmmain::Timer2Timer() {
    Timer2->stop();
    close();
}

void Tfrmmain::showError(const std::exception& e) {
    m_services.dialogs.error(this, errorBoxText(QString::fromUtf8(e.what())));
}

void Tfrmmain::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    guarded([&] { FormMouseMove(p.x(), p.y()); });
}

void Tfrmmain::closeEvent(QCloseEvent* event) {
    // A print run in progress is never cut off half-way: its sheets and the start file stay consistent.
    if (m_busy) {
        event->ignore();
        return;
    }
    if (AboutBox)
        AboutBox->hide();
    event->accept();
}

void Tfrmmain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The designed size is the outer size of the frame; the frame is known once the window is shown,
    // with some window managers only a little after it has been mapped. Where no frame is drawn, the
    // window itself keeps the outer size.
    const auto fit = [this] {
        if (m_sizedToFrame || !isVisible())
            return;
        const QSize frame = frameGeometry().size() - geometry().size();
        if (frame.width() > 0 || frame.height() > 0) {
            m_sizedToFrame = true;
            resize(kOuterWidth - frame.width(), kOuterHeight - frame.height());
        }
        if (!m_centred || m_sizedToFrame) {
            m_centred = true;
            if (const QScreen* screen = this->screen()) {
                const QRect area = screen->availableGeometry();
                move(area.x() + (area.width() - kOuterWidth) / 2,
                     area.y() + (area.height() - kOuterHeight) / 2);
            }
        }
    };
    if (m_sizedToFrame)
        return;
    fit();
    QTimer::singleShot(100, this, fit);
}

} // namespace kb
