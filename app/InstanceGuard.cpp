#include "app/InstanceGuard.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

#ifdef Q_OS_UNIX
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

QString InstanceGuard::serverName(const QString& exeFileName) {
#ifdef Q_OS_UNIX
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty())
        folder = QDir::tempPath();
    const QString user = QString::number(::getuid());
    const QString path = QDir(folder).filePath(QStringLiteral("kestrelbox-%1-%2").arg(user, exeFileName));
    // A socket path has room for little more than 100 bytes; a long name goes in as its digest.
    if (QFile::encodeName(path).size() <= 100)
        return path;
    const QByteArray digest =
        QCryptographicHash::hash(exeFileName.toUtf8(), QCryptographicHash::Sha1).toHex().left(24);
    return QDir(folder).filePath(QStringLiteral("kestrelbox-%1-%2").arg(user, QString::fromLatin1(digest)));
#else
    // Named pipes are machine-wide: the user name keeps sessions of different users apart, and the
    // names of pipes ignore case, as file names do here.
    return QStringLiteral("kestrelbox-%1-%2").arg(qEnvironmentVariable("USERNAME"), exeFileName.toLower());
#endif
}

InstanceGuard::Result InstanceGuard::start(const QString& exeFileName) {
    release();
    const QString name = serverName(exeFileName);

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
        return Result::Failed;
    }
    const QLocalSocket::LocalSocketError error = socket.error();
    if (error == QLocalSocket::ConnectionRefusedError || error == QLocalSocket::ServerNotFoundError) {
        // Nobody listens: whatever is left at the name belongs to a copy that died.
        QLocalServer::removeServer(name);
    }
    // Listening fails while anything is still at the name, so a live registration is never taken over.

    auto* server = new QLocalServer(this);
    if (!server->listen(name)) {
        delete server;
        return Result::Failed;
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
