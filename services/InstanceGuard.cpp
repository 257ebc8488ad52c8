#include "services/InstanceGuard.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLockFile>

#ifdef Q_OS_UNIX
#include <QSocketNotifier>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#else
#include <QLocalServer>
#include <QLocalSocket>
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

QString InstanceGuard::prepareStart(const QString& exeFileName) {
    release();
    m_failure.clear();
    QString why;
    const QString name = serverName(exeFileName, &why);
    if (name.isEmpty())
        failed(why);
    return name;
}

InstanceGuard::Result InstanceGuard::failed(const QString& why) {
    m_failure = QStringLiteral("実行中のコピーを確かめる登録ができません。\n") + why;
    return Result::Failed;
}

std::unique_ptr<QLockFile> InstanceGuard::lockRegistration(const QString& name) {
    auto lock = std::make_unique<QLockFile>(name + QStringLiteral(".lock"));
    // Without the lock (an unwritable folder) the start goes on unguarded against a simultaneous start;
    // listening decides whether this copy can run.
    lock->tryLock(LockTimeoutMs);
    return lock;
}

#ifdef Q_OS_UNIX

namespace {

// A socket address for path; false when the path does not fit (serverName keeps it short).
bool socketAddress(const QString& path, sockaddr_un& address) {
    const QByteArray name = QFile::encodeName(path);
    address = sockaddr_un{};
    address.sun_family = AF_UNIX;
    if (static_cast<std::size_t>(name.size()) >= sizeof(address.sun_path))
        return false;
    std::memcpy(address.sun_path, name.constData(), static_cast<std::size_t>(name.size()));
    return true;
}

// Waits until fd is ready for events, at most timeoutMs; false on time-out or error.
bool waitFor(int fd, short events, int timeoutMs) {
    pollfd p{fd, events, 0};
    int n;
    do {
        n = ::poll(&p, 1, timeoutMs);
    } while (n < 0 && errno == EINTR);
    return n == 1 && (p.revents & events) != 0;
}

// Connects to the registration at path. Returns the connected socket, or -1 with the errno value of the
// failure in error (ECONNREFUSED: a socket file nobody listens on; ENOENT: nothing there; ETIMEDOUT:
// a running copy that takes no connection).
int connectTo(const QString& path, int& error) {
    sockaddr_un address;
    if (!socketAddress(path, address)) {
        error = ENAMETOOLONG;
        return -1;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    // A copy whose backlog is full answers "try again": give it the time a busy copy needs.
    for (int tries = 0;; ++tries) {
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0)
            return fd;
        error = errno;
        if (error == EINPROGRESS && waitFor(fd, POLLOUT, ConnectTimeoutMs)) {
            int result = 0;
            socklen_t size = sizeof(result);
            ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &result, &size);
            if (result == 0)
                return fd;
            error = result;
        }
        if (error != EAGAIN || tries >= ConnectTimeoutMs / 20)
            break;
        ::usleep(20 * 1000);
    }
    if (error == EAGAIN || error == EINPROGRESS)
        error = ETIMEDOUT;
    ::close(fd);
    return -1;
}

// Writes all of data to the non-blocking socket fd within the time allowed.
bool writeAll(int fd, const QByteArray& data) {
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n =
            ::send(fd, data.constData() + done, static_cast<std::size_t>(data.size() - done), MSG_NOSIGNAL);
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN && waitFor(fd, POLLOUT, WriteTimeoutMs)) {
            continue;
        } else {
            return false;
        }
    }
    return true;
}

} // namespace

// A later start that connected: what it has sent so far.
struct InstanceGuard::Client {
    QByteArray received;
    std::unique_ptr<QSocketNotifier> notifier;
};

bool InstanceGuard::isRunning(const QString& exeFileName) {
    const QString name = serverName(exeFileName);
    if (name.isEmpty())
        return false;
    int error = 0;
    const int fd = connectTo(name, error);
    if (fd < 0)
        return error == ETIMEDOUT;
    ::close(fd); // the running copy reads no request and carries on
    return true;
}

InstanceGuard::Result InstanceGuard::start(const QString& exeFileName) {
    const auto fail = [this](const QString& why) { return failed(why); };
    const QString name = prepareStart(exeFileName);
    if (name.isEmpty())
        return Result::Failed;
    const auto lock = lockRegistration(name);

    int error = 0;
    const int peer = connectTo(name, error);
    if (peer >= 0) {
        const bool sent = writeAll(peer, RestoreRequest);
        ::close(peer);
        if (sent)
            return Result::HandedOver;
        // The running copy is there but takes no request: do not start a second one beside it.
        return fail(QStringLiteral("%1: 実行中のコピーが応答しません").arg(name));
    }
    if (error == ETIMEDOUT)
        return fail(QStringLiteral("%1: 実行中のコピーが応答しません").arg(name));
    const QByteArray path = QFile::encodeName(name);
    if (error == ECONNREFUSED) {
        // Nobody listens: whatever is left at the name belongs to a copy that died.
        ::unlink(path.constData());
    }

    // Binding fails while anything is still at the name, so a live registration is never taken over.
    sockaddr_un address;
    socketAddress(name, address);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return fail(QStringLiteral("%1: %2").arg(name, systemError(errno)));
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(fd, 16) != 0) {
        const int bindError = errno;
        ::close(fd);
        return fail(QStringLiteral("%1: %2").arg(name, systemError(bindError)));
    }
    m_listenFd = fd;
    m_path = name;
    m_listening = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(m_listening.get(), &QSocketNotifier::activated, this, &InstanceGuard::acceptConnections);
    return Result::Registered;
}

void InstanceGuard::acceptConnections() {
    m_retired.clear();
    for (;;) {
        const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            return;
        auto client = std::make_unique<Client>();
        client->notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        connect(client->notifier.get(), &QSocketNotifier::activated, this, [this, fd] { readClient(fd); });
        m_clients[fd] = std::move(client);
        // The request may already be there.
        readClient(fd);
    }
}

void InstanceGuard::readClient(int fd) {
    const auto it = m_clients.find(fd);
    if (it == m_clients.end())
        return;
    Client& client = *it->second;
    char buffer[64];
    bool finished = false;
    for (;;) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n > 0) {
            client.received.append(buffer, n);
            // A caller never sends more than the request; anything longer is not one of ours.
            if (client.received.size() >= RestoreRequest.size() || client.received.size() > 256) {
                finished = true;
                break;
            }
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // 0: the caller hung up (after the request, or without one: a look whether we run); EAGAIN:
        // wait for more.
        finished = n == 0 || errno != EAGAIN;
        break;
    }
    if (!finished)
        return;
    const bool restore = client.received.startsWith(RestoreRequest.trimmed());
    client.notifier->setEnabled(false);
    // The notifier may be the sender of this call: it is kept until the next connection or release.
    m_retired.push_back(std::move(client.notifier));
    m_clients.erase(it);
    ::close(fd);
    if (restore)
        emit restoreRequested();
}

void InstanceGuard::release() {
    if (m_listenFd < 0)
        return;
    m_listening.reset();
    for (auto& [fd, client] : m_clients) {
        client->notifier.reset();
        ::close(fd);
    }
    m_clients.clear();
    m_retired.clear();
    ::close(m_listenFd);
    m_listenFd = -1;
    // Our own socket file: the next start finds the name free.
    ::unlink(QFile::encodeName(m_path).constData());
    m_path.clear();
}

#else

bool InstanceGuard::isRunning(const QString& exeFileName) {
    QLocalSocket socket;
    socket.connectToServer(serverName(exeFileName));
    return socket.waitForConnected(ConnectTimeoutMs);
}

InstanceGuard::Result InstanceGuard::start(const QString& exeFileName) {
    const auto fail = [this](const QString& why) { return failed(why); };
    const QString name = prepareStart(exeFileName);
    if (name.isEmpty())
        return Result::Failed;
    const auto lock = lockRegistration(name);

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

#endif

} // namespace kb
