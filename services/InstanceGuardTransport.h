// What the single-instance guard needs of the platform's local sockets: the registration's name, a call
// to the copy registered under it, and listening there for later starts. InstanceGuardPosix.cpp and
// InstanceGuardWin.cpp each give it for one platform; InstanceGuard.cpp holds the steps they share.
#pragma once
#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

namespace kb::guard {

// What a later start sends the running copy, and how long it waits for it to connect and to take it.
inline const QByteArray RestoreRequest = QByteArrayLiteral("restore\n");
constexpr int ConnectTimeoutMs = 2000;
constexpr int WriteTimeoutMs = 2000;
// What the running copy answers once it has taken the request, and how long a later start waits for
// that answer. A copy that is closing (whose event loop has stopped, while the process takes seconds
// to end under Wine) takes the connection but never answers: after this time the later start runs as
// the first instead of ending without a window.
inline const QByteArray RestoreAnswer = QByteArrayLiteral("ok\n");
constexpr int AnswerTimeoutMs = 2500;

// True when what a caller sent asks for the main window; a caller that only looks sends nothing.
inline bool asksToRestore(const QByteArray& received) {
    return received.startsWith(RestoreRequest.trimmed());
}

// Where the registration of exeFileName lives (see InstanceGuard::serverName); empty, with the reason
// for every place tried in why, when no place can hold it.
QString registrationName(const QString& exeFileName, QString* why);

// What a call to the registration found.
enum class Peer {
    None,     // nobody is registered under the name
    Stale,    // the name is left over from a copy that died: it may be taken away
    Answered, // a running copy took the connection, and answered the request when there was one
    Silent,   // something is there but took no connection, or did not answer the request, in time
};

// Connects to the registration at name and sends it request (nothing when empty).
Peer call(const QString& name, const QByteArray& request);

// Takes away what a copy that died left at name.
void removeStale(const QString& name);

// This copy's registration: listens under the name until destroyed, and then frees the name.
class Listener {
  public:
    virtual ~Listener() = default;
};

// Starts listening under name; every request of a later start reaches onRequest. Nothing, with the
// reason in why, when the name cannot be taken (another copy holds it).
std::unique_ptr<Listener> listen(const QString& name, std::function<void(const QByteArray&)> onRequest,
                                 QString& why);

} // namespace kb::guard
