// The pauses of a print run: they keep their exact length and the window takes no input while they
// last, but the window keeps painting instead of freezing.
#pragma once
#include "print/PrintRules.h"

class QWidget;

namespace kb {

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
