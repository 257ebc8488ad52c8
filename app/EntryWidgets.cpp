#include "app/EntryWidgets.h"

#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QStringView>
#include <QStyleHints>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>
#include <QValidator>
#include <algorithm>

#include "services/Codec.h"

namespace kb {

namespace {

// Splits text into whole characters (a surrogate pair stays together).
template <typename F> void forEachCharacter(const QString& text, F&& f) {
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype width = (text.at(i).isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
        f(text.mid(i, width));
        i += width;
    }
}

qsizetype sjisBytes(const QString& text) {
    const auto bytes = toSjis(text);
    return bytes ? static_cast<qsizetype>(bytes->size()) : 0;
}

// Keeps the date field upper case, Shift-JIS only and within its byte limit. It works on the part of
// the text that the last edit put in (found against the text it last accepted), so typing, pasting,
// dropping and composing all meet the same rules, and a paste keeps its first characters that fit.
class DateValidator : public QValidator {
  public:
    DateValidator(int maxBytes, QObject* parent) : QValidator(parent), m_maxBytes(maxBytes) {}

    State validate(QString& input, int& pos) const override {
        const QString& old = m_accepted;
        // The edit put its text just before the cursor: what follows the cursor is old text.
        qsizetype suffix = input.size() - pos;
        if (suffix < 0 || suffix > old.size() ||
            QStringView(input).right(suffix) != QStringView(old).right(suffix))
            suffix = 0;
        qsizetype prefix = 0;
        const qsizetype prefixMax = std::min(input.size() - suffix, old.size() - suffix);
        while (prefix < prefixMax && input.at(prefix) == old.at(prefix))
            ++prefix;
        const QString head = input.left(prefix);
        const QString tail = input.right(suffix);
        const QString inserted = input.mid(prefix, input.size() - prefix - suffix);

        qsizetype bytes = sjisBytes(head) + sjisBytes(tail);
        QString kept;
        bool full = false;
        forEachCharacter(inserted, [&](const QString& ch) {
            if (full)
                return;
            const QString upper = ch.toUpper();
            const auto encoded = toSjis(upper);
            if (!encoded)
                return; // no Shift-JIS form: left out, the rest goes in
            if (bytes + static_cast<qsizetype>(encoded->size()) > m_maxBytes) {
                full = true;
                return;
            }
            bytes += static_cast<qsizetype>(encoded->size());
            kept += upper;
        });
        input = head + kept + tail;
        pos = static_cast<int>(head.size() + kept.size());
        m_accepted = input;
        return Acceptable;
    }

  private:
    int m_maxBytes;
    mutable QString m_accepted;
};

} // namespace

QString withoutNonSjis(const QString& text) {
    if (sjisCanEncode(text))
        return text;
    QString kept;
    forEachCharacter(text, [&](const QString& ch) {
        if (ch.size() == 1 && ch.at(0).unicode() < 0x20)
            kept += ch;
        else if (sjisCanEncode(ch))
            kept += ch;
    });
    return kept;
}

MemoEdit::MemoEdit(QWidget* parent)
    : QPlainTextEdit(parent), m_blinkTimeout(new QTimer(this)),
      m_flashTime(QGuiApplication::styleHints()->cursorFlashTime()) {
    m_blinkTimeout->setObjectName(QStringLiteral("blinkTimeout"));
    m_blinkTimeout->setSingleShot(true);
    m_blinkTimeout->setInterval(blinkTimeoutMs);
    connect(m_blinkTimeout, &QTimer::timeout, this, [this] { blink(false); });
    // A line is a line as typed: wrapping would push the real line 2 down to where it gets blanked.
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setTabChangesFocus(true);
    // A line is shaped once and kept: otherwise every blink of the cursor shapes the whole line again,
    // and a pasted line of many kilobytes keeps the idle window busy.
    connect(document(), &QTextDocument::contentsChanged, this, [this] {
        for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
            if (QTextLayout* layout = block.layout())
                layout->setCacheEnabled(true);
        }
    });
}

MemoEdit::~MemoEdit() {
    blink(true);
}

bool MemoEdit::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::FocusIn:
    case QEvent::KeyPress:
    case QEvent::InputMethod:
    case QEvent::MouseButtonPress:
    case QEvent::Wheel:
        // Input: the cursor blinks again, until the memo has been left alone for a while.
        blink(true);
        m_blinkTimeout->start();
        break;
    case QEvent::FocusOut:
        // The flash time is the whole program's: the other text boxes blink as the desktop says.
        m_blinkTimeout->stop();
        blink(true);
        break;
    default:
        break;
    }
    return QPlainTextEdit::event(event);
}

void MemoEdit::blink(bool on) {
    if (m_blinkStopped == !on)
        return;
    m_blinkStopped = !on;
    // A flash time of 0 leaves the cursor shown without blinking.
    QGuiApplication::styleHints()->setCursorFlashTime(on ? m_flashTime : 0);
}

void MemoEdit::keyPressEvent(QKeyEvent* event) {
    const QString text = event->text();
    if (!text.isEmpty()) {
        const QString kept = withoutNonSjis(text);
        if (kept.isEmpty()) {
            event->accept();
            return;
        }
        if (kept != text) {
            QKeyEvent filtered(event->type(), event->key(), event->modifiers(), kept, event->isAutoRepeat(),
                               static_cast<quint16>(event->count()));
            QPlainTextEdit::keyPressEvent(&filtered);
            event->setAccepted(filtered.isAccepted());
            return;
        }
    }
    QPlainTextEdit::keyPressEvent(event);
}

void MemoEdit::keyReleaseEvent(QKeyEvent* event) {
    QPlainTextEdit::keyReleaseEvent(event);
    if (!event->isAutoRepeat())
        emit keyReleased(event->key() == Qt::Key_Backspace ? 8 : event->key());
}

void MemoEdit::inputMethodEvent(QInputMethodEvent* event) {
    const QString kept = withoutNonSjis(event->commitString());
    if (kept == event->commitString()) {
        QPlainTextEdit::inputMethodEvent(event);
        return;
    }
    QInputMethodEvent filtered(event->preeditString(), event->attributes());
    filtered.setCommitString(kept, event->replacementStart(), event->replacementLength());
    QPlainTextEdit::inputMethodEvent(&filtered);
}

void MemoEdit::insertFromMimeData(const QMimeData* source) {
    if (!source || !source->hasText()) {
        QPlainTextEdit::insertFromMimeData(source);
        return;
    }
    QString text = source->text();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMimeData plain;
    plain.setText(withoutNonSjis(text));
    QPlainTextEdit::insertFromMimeData(&plain);
}

DateEdit::DateEdit(QWidget* parent) : QLineEdit(parent) {
    setValidator(new DateValidator(maxBytes, this));
}

} // namespace kb
