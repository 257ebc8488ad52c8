// The single-instance guard's socket on Unix: a socket file of our own in a folder only this user can
// write, served through the event loop (no Qt Network, whose libraries would cost every start-up).
#include "services/InstanceGuardTransport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSocketNotifier>
#include <cerrno>
#include <cstring>
#include <map>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace kb::guard {

namespace {

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// True when this user can make the registration's socket and lock file in folder; otherwise why not.
bool usableFolder(const QString& folder, QString& why, struct stat& info) {
    const QByteArray path = QFile::encodeName(folder);
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

// The runtime folder is trusted only as the user's own, which nobody else may write: in a shared folder
// (XDG_RUNTIME_DIR=/tmp) another user could listen under our name and swallow every hand-over.
bool usableRuntimeFolder(const QString& folder, QString& why) {
    struct stat info {};
    if (!usableFolder(folder, why, info))
        return false;
    if (info.st_uid != ::getuid()) {
        why = QStringLiteral("他のユーザーのフォルダーです");
        return false;
    }
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        why = QStringLiteral("他のユーザーも書き込めるフォルダーです");
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
    return usableFolder(folder, why, info);
}

// A socket address for path; false when the path does not fit (a longer one would be cut short, or
// become a name in the abstract namespace that all users share).
bool socketAddress(const QString& path, sockaddr_un& address) {
    const QByteArray name = QFile::encodeName(path);
    address = sockaddr_un{};
    address.sun_family = AF_UNIX;
    if (name.isEmpty() || static_cast<std::size_t>(name.size()) >= sizeof(address.sun_path))
        return false;
    std::memcpy(address.sun_path, name.constData(), static_cast<std::size_t>(name.size()));
    return true;
}

bool fitsSocketAddress(const QString& path) {
    sockaddr_un address;
    return socketAddress(path, address);
}

// The registration's socket in folder, or empty when even the short name leaves the path too long for
// a socket address. A long executable name goes in as its digest.
QString socketPathIn(const QString& folder, const QString& user, const QString& exeFileName) {
    const QString path = QDir(folder).filePath(QStringLiteral("kestrelbox-%1-%2").arg(user, exeFileName));
    if (fitsSocketAddress(path))
        return path;
    const QByteArray digest =
        QCryptographicHash::hash(exeFileName.toUtf8(), QCryptographicHash::Sha1).toHex().left(24);
    const QString shortPath =
        QDir(folder).filePath(QStringLiteral("kestrelbox-%1-%2").arg(user, QString::fromLatin1(digest)));
    return fitsSocketAddress(shortPath) ? shortPath : QString();
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

// True when the running copy answers the request on fd within AnswerTimeoutMs.
bool readAnswer(int fd) {
    QByteArray answer;
    QElapsedTimer waited;
    waited.start();
    while (answer.size() < RestoreAnswer.size()) {
        const qint64 left = AnswerTimeoutMs - waited.elapsed();
        if (left <= 0 || !waitFor(fd, POLLIN, static_cast<int>(left)))
            return false;
        char buffer[16];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return false; // hung up without an answer
        answer.append(buffer, n);
    }
    return answer.startsWith(RestoreAnswer);
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

// The listening socket and the later starts connected to it, each until it has sent its request.
class SocketListener final : public Listener {
  public:
    SocketListener(int fd, QString path, std::function<void(const QByteArray&)> onRequest)
        : m_fd(fd), m_path(std::move(path)), m_onRequest(std::move(onRequest)),
          m_listening(std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read)) {
        struct stat info {};
        if (::lstat(QFile::encodeName(m_path).constData(), &info) == 0) {
            m_device = info.st_dev;
            m_inode = info.st_ino;
        }
        QObject::connect(m_listening.get(), &QSocketNotifier::activated, m_listening.get(),
                         [this] { acceptConnections(); });
    }

    ~SocketListener() override {
        m_listening.reset();
        for (auto& [fd, client] : m_clients) {
            client.notifier.reset();
            ::close(fd);
        }
        m_clients.clear();
        m_retired.clear();
        ::close(m_fd);
        // Our own socket file: the next start finds the name free. A later start that found this copy
        // silent has put its own socket at the name by now: that one stays.
        struct stat now {};
        const QByteArray path = QFile::encodeName(m_path);
        if (::lstat(path.constData(), &now) == 0 && now.st_dev == m_device && now.st_ino == m_inode)
            ::unlink(path.constData());
    }

  private:
    struct Client {
        QByteArray received;
        std::unique_ptr<QSocketNotifier> notifier;
    };

    void acceptConnections() {
        m_retired.clear();
        for (;;) {
            const int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (fd < 0)
                return;
            Client& client = m_clients[fd];
            client.notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
            QObject::connect(client.notifier.get(), &QSocketNotifier::activated, client.notifier.get(),
                             [this, fd] { readClient(fd); });
            // The request may already be there.
            readClient(fd);
        }
    }

    void readClient(int fd) {
        const auto it = m_clients.find(fd);
        if (it == m_clients.end())
            return;
        Client& client = it->second;
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
            // 0: the caller hung up (after the request, or without one: a look whether we run);
            // EAGAIN: wait for more.
            finished = n == 0 || errno != EAGAIN;
            break;
        }
        if (!finished)
            return;
        const QByteArray received = client.received;
        client.notifier->setEnabled(false);
        // The notifier may be the sender of this call: it is kept until the next connection or the end.
        m_retired.push_back(std::move(client.notifier));
        m_clients.erase(it);
        // The answer first: the caller waits for it only a short time. (Three bytes always fit in an
        // empty socket buffer; a caller that is gone loses nothing.)
        if (asksToRestore(received))
            (void)::send(fd, RestoreAnswer.constData(), static_cast<std::size_t>(RestoreAnswer.size()),
                         MSG_NOSIGNAL);
        ::close(fd);
        m_onRequest(received);
    }

    int m_fd;
    QString m_path;
    dev_t m_device = 0; // the socket file this copy made
    ino_t m_inode = 0;
    std::function<void(const QByteArray&)> m_onRequest;
    std::unique_ptr<QSocketNotifier> m_listening;
    std::map<int, Client> m_clients;
    std::vector<std::unique_ptr<QSocketNotifier>> m_retired;
};

} // namespace

QString registrationName(const QString& exeFileName, QString* why) {
    const QString user = QString::number(::getuid());
    QString reasons, problem;
    const auto note = [&reasons](const QString& folder, const QString& what) {
        reasons += QStringLiteral("\n%1: %2").arg(folder, what);
    };
    const QString tooLong = QStringLiteral("ソケットのパスが長すぎます");
    // The runtime folder first, when it is the user's alone. One that cannot be used (a session set up
    // wrongly, a shared folder) must not keep the program from starting: the private folder serves.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty()) {
        if (!usableRuntimeFolder(runtime, problem))
            note(runtime, problem);
        else if (const QString path = socketPathIn(runtime, user, exeFileName); !path.isEmpty())
            return path;
        else
            note(runtime, tooLong);
    }
    const QString own = QDir(QDir::tempPath()).filePath(QStringLiteral("kestrelbox-%1").arg(user));
    if (usablePrivateFolder(own, problem)) {
        if (const QString path = socketPathIn(own, user, exeFileName); !path.isEmpty())
            return path;
        problem = tooLong;
    }
    note(own, problem);
    if (why)
        *why = reasons.mid(1);
    return QString();
}

Peer call(const QString& name, const QByteArray& request) {
    int error = 0;
    const int fd = connectTo(name, error);
    if (fd < 0) {
        if (error == ETIMEDOUT)
            return Peer::Silent;
        // Nobody listens: whatever is left at the name belongs to a copy that died.
        return error == ECONNREFUSED ? Peer::Stale : Peer::None;
    }
    // Only looking: the running copy reads no request and carries on.
    const bool answered = request.isEmpty() || (writeAll(fd, request) && readAnswer(fd));
    ::close(fd);
    return answered ? Peer::Answered : Peer::Silent;
}

void removeStale(const QString& name) {
    ::unlink(QFile::encodeName(name).constData());
}

std::unique_ptr<Listener> listen(const QString& name, std::function<void(const QByteArray&)> onRequest,
                                 QString& why) {
    sockaddr_un address;
    if (!socketAddress(name, address)) {
        why = systemError(ENAMETOOLONG);
        return nullptr;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        why = systemError(errno);
        return nullptr;
    }
    // Binding fails while anything is still at the name.
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(fd, 16) != 0) {
        why = systemError(errno);
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<SocketListener>(fd, name, std::move(onRequest));
}

} // namespace kb::guard
