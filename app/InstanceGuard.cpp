#include "app/InstanceGuard.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kb {

namespace {

const QByteArray RestoreRequest = QByteArrayLiteral("restore\n");
constexpr int ConnectTimeoutMs = 2000;
constexpr int WriteTimeoutMs = 2000;
// Two copies started at the same moment take turns; a copy that died holding the lock is noticed by
// QLockFile itself.
constexpr int LockTimeoutMs = 5000;

} // namespace

InstanceGuard::InstanceGuard(QObject* parent) : QObject(parent) {}

InstanceGuard::~InstanceGuard() {
    release();
}

#ifdef Q_OS_UNIX
namespace {

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// True when this user can make the registration's socket and lock file in folder; otherwise why not.
bool usableFolder(const QString& folder, QString& why) {
    const QByteArray path = QFile::encodeName(folder);
    struct stat info {};
    if (::stat(path.constData(), &info) != 0) {
        why = systemError(errno);
        return false;
    }
    if (!S_ISDIR(info.st_mode)) {
        why = systemError(ENOTDIR);
        return false;
    }
    if (::access(path.constData(), W_OK | X_OK) != 0) {
        why = systemError(errno);
        return false;
    }
    return true;
}

// The user's own folder in the temporary folder, shared with nobody: made when missing, and refused
// when it is anything but a folder of this user (someone else could listen in it under our name).
bool usablePrivateFolder(const QString& folder, QString& why) {
    const QByteArray path = QFile::encodeName(folder);
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST) {
        why = systemError(errno);
        return false;
    }
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0) {
        why = systemError(errno);
        return false;
    }
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::getuid()) {
        why = QStringLiteral("他のユーザーのフォルダーか、フォルダーではありません");
        return false;
    }
    if ((info.st_mode & 077) != 0 && ::chmod(path.constData(), 0700) != 0) {
        why = systemError(errno);
        return false;
    }
    return usableFolder(folder, why);
}

} // namespace
#endif

QString InstanceGuard::serverName(const QString& exeFileName, QString* why) {
#ifdef Q_OS_UNIX
    const QString user = QString::number(::getuid());
    // The runtime folder first: it is the user's own by definition. A runtime folder the user cannot
    // write (a session set up wrongly) must not keep the program from starting.
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    QString reasons, problem;
    if (!folder.isEmpty() && !usableFolder(folder, problem)) {
        reasons += QStringLiteral("\n%1: %2").arg(folder, problem);
        folder.clear();
    }
    if (folder.isEmpty()) {
        folder = QDir(QDir::tempPath()).filePath(QStringLiteral("kestrelbox-%1").arg(user));
        if (!usablePrivateFolder(folder, problem)) {
            reasons += QStringLiteral("\n%1: %2").arg(folder, problem);
            if (why)
                *why = reasons.mid(1);
            return QString();
        }
    }
    const QString path = QDir(folder).filePath(QStringLiteral("kestrelbox-%1-%2").arg(user, exeFileName));
    // A socket path has room for little more than 100 bytes; a long name goes in as its digest.
    if (QFile::encodeName(path).size() <= 100)
        return path;
    const QByteArray digest =
        QCryptographicHash::hash(exeFileName.toUtf8(), QCryptographicHash::Sha1).toHex().left(24);
    return QDir(folder).filePath(QStringLiteral("kestrelbox-%1-%2").arg(user, QString::fromLatin1(digest)));
#else
    (void)why;
    // Named pipes are machine-wide: the user name keeps sessions of different users apart, and the
    // names of pipes ignore case, as file names do here.
    return QStringLiteral("kestrelbox-%1-%2").arg(qEnvironmentVariable("USERNAME"), exeFileName.toLower());
#endif
}

InstanceGuard::Result InstanceGuard::start(const QString& exeFileName) {
    release();
    m_failure.clear();
    const auto fail = [this](const QString& why) {
        m_failure = QStringLiteral("実行中のコピーを確かめる登録ができません。\n") + why;
        return Result::Failed;
    };
    QString why;
    const QString name = serverName(exeFileName, &why);
    if (name.isEmpty())
        return fail(why);

    QLockFile lock(name + QStringLiteral(".lock"));
    // Without the lock (an unwritable folder) the start goes on unguarded against a simultaneous start;
    // listening below decides whether this copy can run.
    lock.tryLock(LockTimeoutMs);

    QLocalSocket socket;
    socket.connectToServer(name);
    if (socket.waitForConnected(ConnectTimeoutMs)) {
        socket.write(RestoreRequest);
        while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(WriteTimeoutMs)) {
        }
        const bool sent = socket.bytesToWrite() == 0;
        socket.disconnectFromServer();
        if (sent)
            return Result::HandedOver;
        // The running copy is there but takes no request: do not start a second one beside it.
        return fail(QStringLiteral("%1: 実行中のコピーが応答しません").arg(name));
    }
    const QLocalSocket::LocalSocketError error = socket.error();
    if (error == QLocalSocket::ConnectionRefusedError || error == QLocalSocket::ServerNotFoundError) {
        // Nobody listens: whatever is left at the name belongs to a copy that died.
        QLocalServer::removeServer(name);
    }
    // Listening fails while anything is still at the name, so a live registration is never taken over.

    auto* server = new QLocalServer(this);
    if (!server->listen(name)) {
        const QString listenError = server->errorString();
        delete server;
        return fail(QStringLiteral("%1: %2").arg(name, listenError));
    }
    m_server = server;
    connect(m_server, &QLocalServer::newConnection, this, &InstanceGuard::acceptConnections);
    return Result::Registered;
}

void InstanceGuard::acceptConnections() {
    while (QLocalSocket* client = m_server->nextPendingConnection()) {
        // The request may arrive with the connection or later, and the caller hangs up right after
        // writing it: read on every arrival and once more at the hang-up.
        auto check = [this, client]() {
            if (client->bytesAvailable() < RestoreRequest.size())
                return;
            if (client->readAll().startsWith(RestoreRequest.trimmed()))
                emit restoreRequested();
            client->disconnectFromServer();
        };
        connect(client, &QLocalSocket::readyRead, this, check);
        connect(client, &QLocalSocket::disconnected, this, [client, check]() {
            check();
            client->deleteLater();
        });
        check();
    }
}

void InstanceGuard::release() {
    if (!m_server)
        return;
    // Closing a listening server removes its socket from the file system.
    m_server->close();
    delete m_server;
    m_server = nullptr;
}

} // namespace kb
