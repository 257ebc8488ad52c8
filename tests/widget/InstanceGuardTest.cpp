// The single-instance guard, in process: two guard objects stand for two copies of the program.
#include "app/InstanceGuard.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstring>
#include <sys/socket.h>
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
        m_oldRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
    }
    void TearDown() override { qputenv("XDG_RUNTIME_DIR", m_oldRuntime); }

    QTemporaryDir m_runtime;
    QByteArray m_oldRuntime;
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

} // namespace

TEST_F(InstanceGuardTest, SecondStartHandsOverAndFirstIsAskedToRestore) {
    InstanceGuard first;
    QSignalSpy restore(&first, &InstanceGuard::restoreRequested);
    ASSERT_EQ(first.start(QStringLiteral("Kestrelbox")), Result::Registered);
    EXPECT_TRUE(QFile::exists(InstanceGuard::serverName(QStringLiteral("Kestrelbox"))));

    InstanceGuard second;
    EXPECT_EQ(second.start(QStringLiteral("Kestrelbox")), Result::HandedOver);
    ASSERT_TRUE(restore.wait(5000));
    EXPECT_EQ(restore.count(), 1);

    // Each later start asks again; the first copy keeps its registration all along.
    InstanceGuard third;
    EXPECT_EQ(third.start(QStringLiteral("Kestrelbox")), Result::HandedOver);
    ASSERT_TRUE(restore.wait(5000));
    EXPECT_EQ(restore.count(), 2);
}

TEST_F(InstanceGuardTest, OtherExecutableNamesNeverMeet) {
    InstanceGuard first;
    InstanceGuard renamed;
    InstanceGuard otherCase;
    QSignalSpy restore(&first, &InstanceGuard::restoreRequested);
    EXPECT_EQ(first.start(QStringLiteral("Kestrelbox")), Result::Registered);
    EXPECT_EQ(renamed.start(QStringLiteral("Kestrelbox-copy")), Result::Registered);
    EXPECT_EQ(otherCase.start(QStringLiteral("kestrelbox")), Result::Registered);
    EXPECT_NE(InstanceGuard::serverName(QStringLiteral("Kestrelbox")),
              InstanceGuard::serverName(QStringLiteral("Kestrelbox-copy")));
    QCoreApplication::processEvents();
    EXPECT_EQ(restore.count(), 0);
}

TEST_F(InstanceGuardTest, RegistrationOfADeadCopyIsTakenOver) {
    const QString name = InstanceGuard::serverName(QStringLiteral("Kestrelbox"));
    leaveStaleSocket(name);
    ASSERT_TRUE(QFile::exists(name));

    InstanceGuard guard;
    QSignalSpy restore(&guard, &InstanceGuard::restoreRequested);
    ASSERT_EQ(guard.start(QStringLiteral("Kestrelbox")), Result::Registered);
    // And the taken-over registration works: a later start hands over to it.
    InstanceGuard later;
    EXPECT_EQ(later.start(QStringLiteral("Kestrelbox")), Result::HandedOver);
    EXPECT_TRUE(restore.wait(5000));
}

TEST_F(InstanceGuardTest, ReleaseEndsTheRegistration) {
    const QString name = InstanceGuard::serverName(QStringLiteral("Kestrelbox"));
    {
        InstanceGuard first;
        ASSERT_EQ(first.start(QStringLiteral("Kestrelbox")), Result::Registered);
        first.release();
        EXPECT_FALSE(QFile::exists(name));

        InstanceGuard second;
        EXPECT_EQ(second.start(QStringLiteral("Kestrelbox")), Result::Registered);
    } // the destructor releases as well
    EXPECT_FALSE(QFile::exists(name));
    InstanceGuard third;
    EXPECT_EQ(third.start(QStringLiteral("Kestrelbox")), Result::Registered);
}

TEST_F(InstanceGuardTest, RuntimeFolderFallsBackToTheTemporaryFolder) {
    QTemporaryDir temp;
    const QByteArray oldTemp = qgetenv("TMPDIR");
    qunsetenv("XDG_RUNTIME_DIR");
    qputenv("TMPDIR", QFile::encodeName(temp.path()));
    const QString name = InstanceGuard::serverName(QStringLiteral("Kestrelbox"));
    EXPECT_TRUE(name.startsWith(temp.path() + QLatin1Char('/'))) << name.toStdString();
    EXPECT_TRUE(name.contains(QString::number(::getuid()))) << name.toStdString();
    {
        InstanceGuard guard;
        EXPECT_EQ(guard.start(QStringLiteral("Kestrelbox")), Result::Registered);
        EXPECT_TRUE(QFile::exists(name));
    }
    qputenv("TMPDIR", oldTemp);
}

TEST_F(InstanceGuardTest, LongNamesStillRegister) {
    const QString longName(200, QLatin1Char('K'));
    InstanceGuard first;
    InstanceGuard second;
    EXPECT_EQ(first.start(longName), Result::Registered);
    EXPECT_EQ(second.start(longName), Result::HandedOver);
    InstanceGuard other;
    EXPECT_EQ(other.start(longName + QStringLiteral("2")), Result::Registered);
}

TEST_F(InstanceGuardTest, FailsWhenNoRegistrationCanBeMade) {
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path() + QStringLiteral("/missing/folder")));
    InstanceGuard guard;
    EXPECT_EQ(guard.start(QStringLiteral("Kestrelbox")), Result::Failed);
}
