// The single-instance guard's steps, the same on every platform; the sockets themselves are in
// InstanceGuardPosix.cpp and InstanceGuardWin.cpp.
#include "services/InstanceGuard.h"

#include <QLockFile>

#include "services/InstanceGuardTransport.h"

namespace kb {

namespace {

// Two copies started at the same moment take turns; a copy that died holding the lock is noticed by
// QLockFile itself.
constexpr int LockTimeoutMs = 5000;

} // namespace

InstanceGuard::InstanceGuard(QObject* parent) : QObject(parent) {}

InstanceGuard::~InstanceGuard() {
    release();
}

QString InstanceGuard::serverName(const QString& exeFileName, QString* why) {
    return guard::registrationName(exeFileName, why);
}

InstanceGuard::Result InstanceGuard::start(const QString& exeFileName) {
    release();
    m_failure.clear();
    QString why;
    const QString name = serverName(exeFileName, &why);
    if (name.isEmpty())
        return failed(why);
    const auto lock = lockRegistration(name);

    switch (guard::call(name, guard::RestoreRequest)) {
    case guard::Peer::Answered:
        return Result::HandedOver;
    case guard::Peer::Silent:
        // A copy that does not answer is closing (or hangs): it will show no window, so this copy
        // starts as the first and takes the name from it.
    case guard::Peer::Stale:
        guard::removeStale(name);
        break;
    case guard::Peer::None:
        break;
    }
    // Listening fails while anything is still at the name, so a registration that answers is never
    // taken over.
    m_listener = guard::listen(
        name,
        [this](const QByteArray& request) {
            if (guard::asksToRestore(request))
                emit restoreRequested();
        },
        why);
    if (!m_listener)
        return failed(QStringLiteral("%1: %2").arg(name, why));
    return Result::Registered;
}

void InstanceGuard::release() {
    m_listener.reset();
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

} // namespace kb
