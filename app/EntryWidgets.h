// Text boxes of the entry screen: the label memo and the date field. They refuse characters that
// have no Shift-JIS form (typed or pasted) and report released keys to the window.
#pragma once
#include <QLineEdit>
#include <QPlainTextEdit>

namespace kb {

class MemoEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit MemoEdit(QWidget* parent = nullptr);

signals:
    void keyReleased(int key); // Windows key code (8 for Backspace)

protected:
    void keyReleaseEvent(QKeyEvent* event) override;
};

class DateEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit DateEdit(QWidget* parent = nullptr);
};

} // namespace kb
