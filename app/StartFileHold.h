// The window's hold on the start file: taken when the window is made and kept while it runs. When a
// command held the file then, the window takes it as soon as the command lets go, with what the
// command stored. Each second, and before each action that needs the file, it looks whether the file
// at the start file's path still holds what the window last read or wrote there: a file saved by an
// editor (even one renamed over it, or deleted and made again) is read, and the window goes on from it.
#pragma once
#include <QObject>
#include <QString>
#include <functional>

#include "settings/StartFile.h"

class QTimer;

namespace kb {

class StartFileHold : public QObject {
    Q_OBJECT
  public:
    enum class State {
        Held,           // held, and the values are the file's
        Moved,          // taken late: another run moved the start position since the window read it
        ChangedOutside, // changed outside the program since the window read or wrote it; values read
        HeldByWindow,
        HeldByRun,
        HeldByReader
    };

    // values: the window's StartPosition and saved offsets, which the file's changes come into.
    // busy: while it says so (a print run under way), the look each second leaves the file alone.
    StartFileHold(StartFile& file, StartFileLock& lock, StartValues& values, std::function<bool()> busy,
                  QObject* parent);

    // At window creation, before the file is read: takes the file when it is free; otherwise, or when
    // it cannot be locked now, the window starts on what it reads and the look each second takes it.
    void begin();
    // Before an action: the file taken (again) and looked at. Throws Error when the changed file cannot
    // be read.
    State take();

  signals:
    // The look each second brought in new values: what another run stored, or a change made outside.
    void valuesChanged(kb::StartFileHold::State why);

  private:
    State takeLock();
    void look();

    StartFile& m_file;
    StartFileLock& m_lock;
    StartValues& m_values;
    std::function<bool()> m_busy;
    bool m_readUnheld = false; // the values were read while another run held the file
    QTimer* m_timer = nullptr;
};

// What the window tells the user when an action finds the start file in this state (nothing for Held).
QString holdMessage(StartFileHold::State state, std::int32_t startPosition);

} // namespace kb
