#include "app/QtPause.h"

#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace kb {

void QtPause::pause(int milliseconds) {
    // A disabled window drops the clicks and keys made during the pause instead of queuing them
    // for later; it still repaints, since the event loop keeps running.
    QPointer<QWidget> window = m_window;
    const bool wasEnabled = window && window->isEnabled();
    if (window)
        window->setEnabled(false);

    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(milliseconds);
    loop.exec();

    if (window)
        window->setEnabled(wasEnabled);
}

} // namespace kb
