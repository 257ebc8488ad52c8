// Entry screen of the main window: the user's edits go to the entry model, whose handlers run the
// label rules; the model is then shown in the widgets with their signals blocked, so that only the
// user's own actions ever reach a handler.
#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QListWidget>
#include <QPalette>
#include <QSignalBlocker>
#include <QTextCursor>

#include "app/EntryWidgets.h"
#include "app/Tfrmmain.h"
#include "app/UserSelection.h"
#include "services/Codec.h"

namespace kb {

namespace {

// The memo keeps CR LF line breaks in the model; the widget has plain line feeds.
QString memoForWidget(const std::string& bytes) {
    return fromSjis(bytes).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QString memoFromWidget(const QString& text) {
    QString crlf = text;
    return crlf.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
}

// The byte count as the counter panel can show it whole: the number when it fits, else the longest run
// of nines with a plus sign that fits ("999+"), as a full counter reads. The exact count is in the
// panel's tool tip either way.
QString counterText(const QLabel* panel, int bytes) {
    const QFontMetrics metrics(panel->font());
    const int room = panel->contentsRect().width();
    QString text = QString::number(bytes);
    for (qsizetype nines = text.size() - 1; nines > 0 && metrics.horizontalAdvance(text) > room; --nines)
        text = QString(nines, QLatin1Char('9')) + QLatin1Char('+');
    return text;
}

void showCounter(QLabel* panel, const ByteCounter& counter) {
    panel->setText(counterText(panel, counter.bytes));
    panel->setToolTip(QStringLiteral("%1 バイト").arg(counter.bytes));
    QPalette palette = panel->palette();
    palette.setColor(QPalette::WindowText, counter.red ? QColor(0xFF, 0x00, 0x00) : QColor(0x00, 0x00, 0x00));
    panel->setPalette(palette);
}

// Writes `wanted` into the memo by replacing only the part that differs, so the user's cursor and
// the scroll position stay where they were unless the change reaches them.
void writeMemo(QPlainTextEdit* memo, const QString& wanted) {
    const QString shown = memo->toPlainText();
    if (shown == wanted)
        return;
    qsizetype prefix = 0;
    const qsizetype shorter = std::min(shown.size(), wanted.size());
    while (prefix < shorter && shown.at(prefix) == wanted.at(prefix))
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix &&
           shown.at(shown.size() - 1 - suffix) == wanted.at(wanted.size() - 1 - suffix))
        ++suffix;
    const QSignalBlocker blocker(memo);
    QTextCursor cursor(memo->document());
    cursor.setPosition(static_cast<int>(prefix));
    cursor.setPosition(static_cast<int>(shown.size() - suffix), QTextCursor::KeepAnchor);
    cursor.insertText(wanted.mid(prefix, wanted.size() - prefix - suffix));
}

} // namespace

void Tfrmmain::connectEntryHandlers() {
    connect(Memo1, &QPlainTextEdit::textChanged, this, [this] { Memo1Change(); });
    connect(Memo1, &MemoEdit::keyReleased, this, [this](int key) { Memo1KeyUp(key); });
    // clicked and textEdited come from the user only; the window's own writes stay silent.
    connect(CheckBox1, &QCheckBox::clicked, this, [this] { CheckBox1Click(); });
    connect(Edit2, &QLineEdit::textEdited, this, [this] { Edit2Change(); });
    connect(CheckBox3, &QCheckBox::clicked, this, [this] { CheckBox3Click(); });
    // A click and a keyboard selection act alike; code selects with signals blocked, so a
    // selection made by the program runs no handler.
    onUserSelection(ListBox1, [this] { ListBox1Click(); });
    onUserSelection(ListBox4, [this] { ListBox4Click(); });
}

void Tfrmmain::Memo1Change() {
    guarded([&] {
        // Typing and the line operations both end in the model's Memo1Change.
        if (const auto bytes = toSjis(memoFromWidget(Memo1->toPlainText())))
            entry.Memo1.setText(*bytes);
        // A character without a Shift-JIS form that slipped past the memo is dropped again here.
        showEntryModel();
    });
}

void Tfrmmain::Memo1KeyUp(int key) {
    guarded([&] {
        entry.Memo1KeyUp(key);
        showEntryModel();
    });
}

void Tfrmmain::CheckBox1Click() {
    guarded([&] {
        entry.setDateChecked(CheckBox1->isChecked());
        showEntryModel();
    });
}

void Tfrmmain::Edit2Change() {
    guarded([&] {
        if (const auto bytes = toSjis(Edit2->text()))
            entry.setEdit2Text(*bytes);
        showEntryModel();
    });
}

void Tfrmmain::CheckBox3Click() {
    guarded([&] {
        entry.CheckBox3Click(CheckBox3->isChecked());
        showEntryModel();
    });
}

void Tfrmmain::ListBox1Click() {
    guarded([&] { entry.ListBox1Click(ListBox1->currentRow()); });
}

void Tfrmmain::ListBox4Click() {
    guarded([&] { entry.ListBox4Click(ListBox4->currentRow()); });
}

void Tfrmmain::showEntryModel() {
    writeMemo(Memo1, memoForWidget(entry.Memo1.text()));
    showCounter(Panel1, entry.panel1());
    showCounter(Panel2, entry.panel2());
    {
        const QSignalBlocker blocker(CheckBox1);
        CheckBox1->setChecked(entry.dateChecked());
    }
    {
        const QSignalBlocker blocker(CheckBox3);
        CheckBox3->setChecked(entry.numberChecked());
    }
    const QString date = fromSjis(entry.edit2Text());
    if (Edit2->text() != date) {
        const QSignalBlocker blocker(Edit2);
        Edit2->setText(date);
    }
    Edit2->setVisible(entry.edit2Visible());
    ListBox1->setVisible(entry.listBox1Visible());
}

} // namespace kb
