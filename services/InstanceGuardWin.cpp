// The single-instance guard's socket on Windows: Qt's local server, a named pipe of the session's user.
#include "services/InstanceGuardTransport.h"

#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>

namespace kb::guard {

namespace {

// The local server and the later starts connected to it, each until it has sent its request.
class PipeListener final : public Listener {
  public:
    PipeListener(std::unique_ptr<QLocalServer> server, std::function<void(const QByteArray&)> onRequest)
        : m_server(std::move(server)), m_onRequest(std::move(onRequest)) {
        QObject::connect(m_server.get(), &QLocalServer::newConnection, m_server.get(),
                         [this] { acceptConnections(); });
    }

    // Closing a listening server frees its pipe name; the connections, its children, go with it.
    ~PipeListener() override { m_server->close(); }

  private:
    void acceptConnections() {
        while (QLocalSocket* client = m_server->nextPendingConnection()) {
            // The request may arrive with the connection or later, and the caller hangs up right after
            // writing it: read on every arrival and once more at the hang-up.
            auto check = [this, client]() {
                if (client->bytesAvailable() < RestoreRequest.size())
                    return;
                const QByteArray received = client->readAll();
                // The answer first: the caller waits for it only a short time.
                if (asksToRestore(received))
                    client->write(RestoreAnswer);
                client->disconnectFromServer(); // once the answer is written
                m_onRequest(received);
            };
            QObject::connect(client, &QLocalSocket::readyRead, m_server.get(), check);
            QObject::connect(client, &QLocalSocket::disconnected, m_server.get(), [client, check]() {
                check();
                client->deleteLater();
            });
            check();
        }
    }

    std::unique_ptr<QLocalServer> m_server;
    std::function<void(const QByteArray&)> m_onRequest;
};

} // namespace

QString registrationName(const QString& exeFileName, QString*) {
    // Named pipes are machine-wide: the user name keeps sessions of different users apart, and the
    // names of pipes ignore case, as file names do here.
    return QStringLiteral("kestrelbox-%1-%2").arg(qEnvironmentVariable("USERNAME"), exeFileName.toLower());
}

Peer call(const QString& name, const QByteArray& request) {
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(ConnectTimeoutMs)) {
        switch (socket.error()) {
        case QLocalSocket::ConnectionRefusedError:
        case QLocalSocket::ServerNotFoundError:
            // Nobody listens: whatever is left at the name belongs to a copy that died.
            return Peer::Stale;
        case QLocalSocket::SocketTimeoutError:
            return Peer::Silent;
        default:
            return Peer::None;
        }
    }
    socket.write(request);
    while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(WriteTimeoutMs)) {
    }
    bool answered = socket.bytesToWrite() == 0;
    if (answered && !request.isEmpty()) {
        QByteArray answer;
        QElapsedTimer waited;
        waited.start();
        while (
            answer.size() < RestoreAnswer.size() && waited.elapsed() < AnswerTimeoutMs &&
            (socket.bytesAvailable() > 0 || socket.waitForReadyRead(int(AnswerTimeoutMs - waited.elapsed()))))
            answer += socket.readAll();
        answered = answer.startsWith(RestoreAnswer);
    }
    socket.abort();
    return answered ? Peer::Answered : Peer::Silent;
}

void removeStale(const QString& name) {
    QLocalServer::removeServer(name);
}

std::unique_ptr<Listener> listen(const QString& name, std::function<void(const QByteArray&)> onRequest,
                                 QString& why) {
    auto server = std::make_unique<QLocalServer>();
    if (!server->listen(name)) {
        why = server->errorString();
        return nullptr;
    }
    return std::make_unique<PipeListener>(std::move(server), std::move(onRequest));
}

} // namespace kb::guard
