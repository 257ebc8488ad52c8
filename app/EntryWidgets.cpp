#include "app/EntryWidgets.h"

#include <QKeyEvent>

namespace kb {

MemoEdit::MemoEdit(QWidget* parent) : QPlainTextEdit(parent) {}

void MemoEdit::keyReleaseEvent(QKeyEvent* event) {
    QPlainTextEdit::keyReleaseEvent(event);
    if (!event->isAutoRepeat())
        emit keyReleased(event->key() == Qt::Key_Backspace ? 8 : event->key());
}

DateEdit::DateEdit(QWidget* parent) : QLineEdit(parent) {}

} // namespace kb
