// The single-instance guard, in process: guard objects stand for copies of the program.
#include "services/InstanceGuard.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <future>
#include <iostream>
#include <optional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using kb::InstanceGuard;
using Result = InstanceGuard::Result;

namespace {

// Every test gets its own runtime folder, so no other guard (a running Kestrelbox, another test) is met.
class InstanceGuardTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_runtime.isValid());
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
    }
    void TearDown() override { qputenv("XDG_RUNTIME_DIR", m_oldRuntime); }

    QTemporaryDir m_runtime;
    QByteArray m_oldRuntime = qgetenv("XDG_RUNTIME_DIR");
};

// A socket file that nobody listens on, as a copy killed without cleaning up leaves it.
void leaveStaleSocket(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(static_cast<std::size_t>(name.size()), sizeof(address.sun_path));
    std::memcpy(address.sun_path, name.constData(), static_cast<std::size_t>(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(::listen(fd, 1), 0);
    ::close(fd);
}

// A start made as another copy would make it, in a thread of its own, while this one's event loop runs
// (the running copy answers a hand-over from there).
Result startElsewhere(const QString& name) {
    auto later = std::async(std::launch::async, [name] { return InstanceGuard().start(name); });
    while (later.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready)
        QCoreApplication::processEvents();
    return later.get();
}

} // namespace

// The first copy registers; every later start under its name hands over and asks it to restore, while
// copies under another name (or another case, or one of a name too long for a plain socket path)
// register on their own and never meet it.
TEST_F(InstanceGuardTest, LaterStartsHandOverAndOtherNamesNeverMeet) {
    for (const QString& name : {QStringLiteral("Kestrelbox"), QString(200, QLatin1Char('K'))}) {
        SCOPED_TRACE(name.size());
        InstanceGuard first;
        QSignalSpy restore(&first, &InstanceGuard::restoreRequested);
        ASSERT_EQ(first.start(name), Result::Registered);
        for (int later = 1; later <= 2; ++later) {
            EXPECT_EQ(startElsewhere(name), Result::HandedOver);
            // The request is taken (and answered) while the later start waits.
            ASSERT_TRUE(restore.count() == later || restore.wait(5000));
            EXPECT_EQ(restore.count(), later);
        }
        InstanceGuard renamed, otherCase;
        EXPECT_EQ(renamed.start(name + QStringLiteral("-copy")), Result::Registered);
        EXPECT_EQ(otherCase.start(name.toLower()), Result::Registered);
        QCoreApplication::processEvents();
        EXPECT_EQ(restore.count(), 2);
    }
}

TEST_F(InstanceGuardTest, RegistrationOfADeadCopyIsTakenOver) {
    leaveStaleSocket(InstanceGuard::serverName(QStringLiteral("Kestrelbox")));
    InstanceGuard guard;
    QSignalSpy restore(&guard, &InstanceGuard::restoreRequested);
    ASSERT_EQ(guard.start(QStringLiteral("Kestrelbox")), Result::Registered);
    // the taken-over registration works
    EXPECT_EQ(startElsewhere(QStringLiteral("Kestrelbox")), Result::HandedOver);
    EXPECT_TRUE(restore.count() == 1 || restore.wait(5000));
}

// A copy that takes the connection but does not answer (its event loop has stopped: it is closing)
// gives no window: a later start runs as the first after a short wait, and keeps its registration when
// the silent copy ends.
TEST_F(InstanceGuardTest, ASilentCopyIsTakenOver) {
    const QString exe = QStringLiteral("Kestrelbox");
    auto closing = std::make_unique<InstanceGuard>();
    ASSERT_EQ(closing->start(exe), Result::Registered);
    InstanceGuard next;
    QSignalSpy restore(&next, &InstanceGuard::restoreRequested);
    QElapsedTimer waited;
    waited.start();
    // No event loop runs during the call: the first copy never answers.
    EXPECT_EQ(next.start(exe), Result::Registered);
    EXPECT_LT(waited.elapsed(), 5000) << "the wait for an answer is short";
    closing.reset();
    EXPECT_TRUE(QFile::exists(InstanceGuard::serverName(exe))) << "the silent copy's end removed the new one";
    EXPECT_EQ(startElsewhere(exe), Result::HandedOver);
    EXPECT_TRUE(restore.count() == 1 || restore.wait(5000));
}

// Released by release() (the main window closed) and by the destructor alike: the next start registers.
TEST_F(InstanceGuardTest, ReleaseEndsTheRegistration) {
    const QString name = InstanceGuard::serverName(QStringLiteral("Kestrelbox"));
    {
        InstanceGuard first;
        ASSERT_EQ(first.start(QStringLiteral("Kestrelbox")), Result::Registered);
        EXPECT_TRUE(QFile::exists(name));
        first.release();
        EXPECT_FALSE(QFile::exists(name));
        InstanceGuard second;
        EXPECT_EQ(second.start(QStringLiteral("Kestrelbox")), Result::Registered);
    } // the destructor releases as well
    EXPECT_FALSE(QFile::exists(name));
}

// A runtime folder that is unset, that the user cannot write, that others may write or own, or whose path
// leaves no room for the socket's name: the registration lives in a folder of the user's own in the
// temporary folder, where later starts find it. When that cannot be used either, the start fails and
// says why, naming each folder tried.
TEST_F(InstanceGuardTest, RuntimeFolderFallbackAndFailure) {
    const QString uid = QString::number(::getuid());
    QTemporaryDir temp;
    QFile file(temp.filePath(QStringLiteral("a-file")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const auto folder = [&temp](const QString& name, mode_t mode) {
        const QString path = temp.filePath(name);
        EXPECT_TRUE(QDir().mkpath(path));
        ::chmod(QFile::encodeName(path).constData(), mode);
        return path;
    };
    const QString readOnly = folder(QStringLiteral("read-only"), 0500);
    const QString shared = folder(QStringLiteral("shared"), 01777);
    const QString groupWritable = folder(QStringLiteral("group"), 0770);
    const QString others = folder(QStringLiteral("others"), 0700);
    // As root, a folder of another user's that root may still write; otherwise the row is left out.
    const bool othersOwned =
        ::geteuid() == 0 && ::chown(QFile::encodeName(others).constData(), 65534, 65534) == 0;
    // 104 bytes: the socket's name no longer fits into an address (108 bytes with its end).
    const QString tooLong = folder(QString(103 - temp.path().size(), QLatin1Char('d')), 0700);
    ASSERT_EQ(QFile::encodeName(tooLong).size(), 104);
    struct Case {
        const char* name;
        std::optional<QString> runtime; // XDG_RUNTIME_DIR, or unset
        QString tempFolder;             // TMPDIR
        bool registers;
    };
    const Case cases[] = {
        {"unset", std::nullopt, temp.path(), true},
        {"missing", m_runtime.filePath(QStringLiteral("missing/folder")), temp.path(), true},
        {"a file", file.fileName(), temp.path(), true},
        {"read-only", readOnly, temp.path(), true},
        {"shared like /tmp", shared, temp.path(), true},
        {"group may write", groupWritable, temp.path(), true},
        {"another user's", others, temp.path(), true},
        {"104-byte path", tooLong, temp.path(), true},
        {"missing, temporary folder a file", m_runtime.filePath(QStringLiteral("missing")), file.fileName(),
         false},
    };
    const QByteArray oldTemp = qgetenv("TMPDIR");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if ((c.runtime == readOnly && ::geteuid() == 0) || (c.runtime == others && !othersOwned)) {
            std::cout << "[ SKIPPED  ] runtime folder \"" << c.name
                      << "\": needs root (to give a folder away) or not root (to be refused writing)\n";
            continue;
        }
        c.runtime ? qputenv("XDG_RUNTIME_DIR", QFile::encodeName(*c.runtime)) : qunsetenv("XDG_RUNTIME_DIR");
        qputenv("TMPDIR", QFile::encodeName(c.tempFolder));
        InstanceGuard guard;
        if (c.registers) {
            const QString own = c.tempFolder + QStringLiteral("/kestrelbox-") + uid + QLatin1Char('/');
            EXPECT_TRUE(InstanceGuard::serverName(QStringLiteral("Kestrelbox")).startsWith(own));
            EXPECT_EQ(guard.start(QStringLiteral("Kestrelbox")), Result::Registered);
            EXPECT_EQ(startElsewhere(QStringLiteral("Kestrelbox")), Result::HandedOver);
            EXPECT_EQ(QFile::permissions(own) & 0x0077, QFile::Permissions()) << "shared with others";
        } else {
            EXPECT_EQ(guard.start(QStringLiteral("Kestrelbox")), Result::Failed);
            const QString why = guard.failureReason();
            EXPECT_TRUE(why.contains(*c.runtime + QStringLiteral(": ")) && why.contains(c.tempFolder))
                << why.toStdString();
        }
    }
    qputenv("TMPDIR", oldTemp);
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}
