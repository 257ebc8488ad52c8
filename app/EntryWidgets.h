// Text boxes of the entry screen: the label memo and the date field. They refuse characters that
// have no Shift-JIS form (typed, pasted or composed) and the memo reports released keys to the window.
#pragma once
#include <QLineEdit>
#include <QPlainTextEdit>

class QTimer;

namespace kb {

// text without the characters that have no Shift-JIS form (control characters stay).
QString withoutNonSjis(const QString& text);

class MemoEdit : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit MemoEdit(QWidget* parent = nullptr);
    ~MemoEdit() override;

    // After this long without input the text cursor stops blinking and stays shown: every blink
    // repaints the whole line, which for a pasted line of many kilobytes keeps the idle window busy.
    static constexpr int blinkTimeoutMs = 5000;

  signals:
    void keyReleased(int key); // Windows key code (8 for Backspace)

  protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

  private:
    void blink(bool on);

    QTimer* m_blinkTimeout;
    int m_flashTime; // the desktop's cursor flash time
    bool m_blinkStopped = false;
};

// The date field: letters become capitals as they are typed, and the text never exceeds
// maxBytes Shift-JIS bytes (whatever would go beyond is refused; a paste keeps what fits).
class DateEdit : public QLineEdit {
    Q_OBJECT
  public:
    static constexpr int maxBytes = 14;
    explicit DateEdit(QWidget* parent = nullptr);
};

} // namespace kb
