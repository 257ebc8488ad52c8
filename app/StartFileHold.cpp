#include "app/StartFileHold.h"

#include <QTimer>

#include "settings/Error.h"

namespace kb {

StartFileHold::StartFileHold(StartFile& file, StartFileLock& lock, StartValues& values,
                             std::function<bool()> busy, QObject* parent)
    : QObject(parent), m_file(file), m_lock(lock), m_values(values), m_busy(std::move(busy)),
      m_timer(new QTimer(this)) {
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &StartFileHold::look);
}

void StartFileHold::begin() {
    try {
        if (takeLock() != State::Held)
            m_readUnheld = true;
    } catch (const IoError&) {
        // Missing, or not lockable now: a missing file is told by the read that follows, anything
        // else when an action needs the file.
        m_readUnheld = true;
    }
    m_file.setLock(&m_lock);
    m_timer->start();
}

StartFileHold::State StartFileHold::takeLock() {
    if (m_lock.held()) {
        if (m_lock.confirm())
            return State::Held;
        // Its hold file removed, or the start file itself replaced, and taken by another run first.
        m_lock.release();
        m_readUnheld = true;
    }
    switch (m_lock.take(m_file.path(), StartFileLock::Kind::Window)) {
    case StartFileLock::Outcome::Taken:
        break;
    case StartFileLock::Outcome::HeldByWindow:
        return State::HeldByWindow;
    case StartFileLock::Outcome::HeldByRun:
        return State::HeldByRun;
    case StartFileLock::Outcome::HeldByReader:
        return State::HeldByReader;
    }
    if (!m_readUnheld)
        return State::Held;
    // What the other run stored is where this window goes on from.
    StartValues now = m_values;
    m_readUnheld = false;
    if (!m_file.read(now))
        return State::Held;
    const bool moved = now.StartPosition != m_values.StartPosition;
    m_values = now;
    return moved ? State::Moved : State::Held;
}

StartFileHold::State StartFileHold::take() {
    const State state = takeLock();
    if (state != State::Held)
        return state;
    // Held, and the file is not what the window last read or wrote: someone saved it outside the
    // program. A file removed for the moment is made again by the window's next write.
    if (m_file.unchanged())
        return State::Held;
    StartValues now = m_values;
    if (!m_file.read(now))
        return State::Held;
    m_values = now;
    return State::ChangedOutside;
}

QString holdMessage(StartFileHold::State state, std::int32_t startPosition) {
    switch (state) {
    case StartFileHold::State::Held:
        break;
    case StartFileHold::State::Moved:
        return QStringLiteral("開始位置は、ほかの印刷によって %1 に進みました。"
                              "シートの図を確かめてから、もう一度操作してください。")
            .arg(startPosition);
    case StartFileHold::State::ChangedOutside:
        return QStringLiteral("スタートファイルがこのプログラムの外で変更されました。開始位置は %1 です。"
                              "シートの図を確かめてから、もう一度操作してください。")
            .arg(startPosition);
    case StartFileHold::State::HeldByWindow:
        return QStringLiteral("スタートファイルは、ほかの Kestrelbox のウィンドウが使っています。"
                              "そちらで印刷するか、そちらを終了してから操作してください。");
    case StartFileHold::State::HeldByRun:
        return QStringLiteral("スタートファイルは、ほかの印刷（kestrelbox-print）が使っています。"
                              "その印刷が終わってから、もう一度操作してください。");
    case StartFileHold::State::HeldByReader:
        return QStringLiteral("スタートファイルは、書き込みの許可のないほかのユーザーがロックしています。"
                              "そのロックが解かれるまで印刷できません。");
    }
    return {};
}

void StartFileHold::look() {
    if (m_busy())
        return;
    // Quietly: a file that cannot be taken or read now is told when an action needs it.
    try {
        const State state = take();
        if (state == State::Moved || state == State::ChangedOutside)
            emit valuesChanged(state);
    } catch (const Error&) {
    }
}

} // namespace kb
