#include "app/QtPause.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace kb {

namespace {

bool isUserInput(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    // Hover would light up the button under the pointer: the window keeps its look.
    case QEvent::Enter:
    case QEvent::Leave:
    case QEvent::HoverEnter:
    case QEvent::HoverMove:
    case QEvent::HoverLeave:
        return true;
    default:
        return false;
    }
}

// Sits in front of every object of the application and drops the user's input to one window.
class InputFilter final : public QObject {
  public:
    explicit InputFilter(QWidget* window) : m_window(window) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!m_window || !watched->isWidgetType() || !isUserInput(event->type()))
            return false;
        auto* widget = static_cast<QWidget*>(watched);
        return widget == m_window || m_window->isAncestorOf(widget);
    }

  private:
    QPointer<QWidget> m_window;
};

} // namespace

InputHold::InputHold(QWidget* window) {
    if (!window)
        return;
    m_filter = std::make_unique<InputFilter>(window);
    qApp->installEventFilter(m_filter.get());
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

InputHold::~InputHold() {
    if (!m_filter)
        return;
    qApp->removeEventFilter(m_filter.get());
    QApplication::restoreOverrideCursor();
}

void QtPause::pause(int milliseconds) {
    // The event loop keeps running so the window repaints; the hold drops the clicks and keys made
    // meanwhile instead of queuing them for later.
    const InputHold hold(m_window);
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(milliseconds);
    loop.exec();
}

} // namespace kb
