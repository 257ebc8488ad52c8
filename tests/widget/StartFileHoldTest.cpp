// The window's hold on the start file: what an action finds after the file was saved outside the
// program, after a command held it at the window's start, and what the look each second brings in.
#include "app/StartFileHold.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <thread>

namespace {

using kb::StartFileHold;
using State = StartFileHold::State;

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// (A file removed and made again is one renamed over: the old one is gone before the new one is there.)
enum class Before { OwnWrite, RenamedOver, InPlace, Removed, RunHeld };

} // namespace

TEST(StartFileHold, ActionsFindChangesMadeElsewhere) {
    const struct Case {
        const char* name;
        Before before;
        State found;        // what the first action finds
        int position;       // StartPosition after it
        bool busy;          // a print run under way: the look each second leaves the file alone
        int toldEachSecond; // how often the look each second told of new values before the action
    } cases[] = {
        {"the window's own write", Before::OwnWrite, State::Held, 4, false, 0},
        {"an editor's file renamed over it", Before::RenamedOver, State::ChangedOutside, 5, true, 0},
        {"edited in place", Before::InPlace, State::ChangedOutside, 6, true, 0},
        {"told each second", Before::RenamedOver, State::Held, 5, false, 1},
        {"removed: the next write makes it again", Before::Removed, State::Held, 1, false, 0},
        {"a command held it at the start", Before::RunHeld, State::Moved, 12, true, 0},
    };
    for (const Case& c : cases) {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("StartFile.txt"));
        writeFile(path, "01\r\n10\r\n10\r\n");
        auto command = std::make_unique<kb::StartFileLock>();
        if (c.before == Before::RunHeld) {
            std::thread([&] { command->take(path.toStdString(), kb::StartFileLock::Kind::Run); }).join();
        }
        kb::StartFile file(path.toStdString());
        kb::StartFileLock lock;
        kb::StartValues values;
        bool busy = c.busy;
        StartFileHold hold(
            file, lock, values, [&] { return busy; }, nullptr);
        QSignalSpy told(&hold, &StartFileHold::valuesChanged);
        hold.begin();
        ASSERT_TRUE(file.read(values)) << c.name;
        switch (c.before) {
        case Before::OwnWrite:
            file.SaveStartFile(1, 4, values);
            break;
        case Before::RenamedOver:
            writeFile(path + QStringLiteral("~"), "05\r\n10\r\n10\r\n");
            QFile::remove(path);
            ASSERT_TRUE(QFile::rename(path + QStringLiteral("~"), path));
            break;
        case Before::InPlace: {
            QFile edit(path);
            ASSERT_TRUE(edit.open(QIODevice::ReadWrite));
            edit.write("06");
            break;
        }
        case Before::Removed:
            QFile::remove(path);
            break;
        case Before::RunHeld:
            // The command stores its next position and lets go.
            writeFile(path, "12\r\n10\r\n10\r\n\r\n0\r\n");
            command.reset();
            break;
        }
        QTest::qWait(c.toldEachSecond || c.busy ? 1300 : 0);
        EXPECT_EQ(told.size(), c.toldEachSecond) << c.name;
        EXPECT_EQ(hold.take(), c.found) << c.name;
        EXPECT_EQ(values.StartPosition, c.position) << c.name;
        EXPECT_EQ(hold.take(), State::Held) << c.name << ": a second action";
        if (c.before == Before::Removed) {
            file.shortWrite(values);
            EXPECT_TRUE(QFile::exists(path)) << c.name;
        }
        // Held: a command beside the window is refused as beside the window.
        kb::StartFileLock other;
        std::thread([&] {
            EXPECT_EQ(other.take(path.toStdString(), kb::StartFileLock::Kind::Run),
                      kb::StartFileLock::Outcome::HeldByWindow)
                << c.name;
        }).join();
    }
}
