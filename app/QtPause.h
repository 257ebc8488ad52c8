// The pauses of a print run: they keep their exact length and the window takes no input while they
// last, but the window keeps painting, and keeps its look, instead of freezing or greying out.
#pragma once
#include <memory>

#include "print/PrintRules.h"

class QObject;
class QWidget;

namespace kb {

// While it lives, the user's mouse, keyboard, wheel, touch and drops never reach `window` or its
// controls: they are dropped, not kept for later. The window stays enabled, so it repaints exactly as
// it looked, and the busy cursor shows over the program. Holds may nest.
class InputHold {
  public:
    explicit InputHold(QWidget* window);
    ~InputHold();
    InputHold(const InputHold&) = delete;
    InputHold& operator=(const InputHold&) = delete;

  private:
    std::unique_ptr<QObject> m_filter;
};

class QtPause final : public Pause {
  public:
    explicit QtPause(QWidget* window = nullptr) : m_window(window) {}
    // The window is made after the services it is given, so it is named here afterwards.
    void setWindow(QWidget* window) { m_window = window; }

    void pause(int milliseconds) override;

  private:
    QWidget* m_window;
};

} // namespace kb
