// One running copy per executable name and user: a later start hands over to the running copy (which
// then restores and raises its main window) and ends. Registration is a local socket named after the
// executable's file name: on Unix a socket file of our own (no Qt Network, whose libraries would cost
// every start-up), elsewhere Qt's local server.
#pragma once
#include <QObject>
#include <QString>
#include <memory>

class QLockFile;

namespace kb {

namespace guard {
class Listener;
}

class InstanceGuard : public QObject {
    Q_OBJECT
  public:
    enum class Result { Registered, HandedOver, Failed };

    explicit InstanceGuard(QObject* parent = nullptr);
    ~InstanceGuard() override;

    // Hands over to a running copy registered under exeFileName (HandedOver), or registers this copy,
    // taking over a registration that a dead copy left behind (Registered). Failed: neither was
    // possible; failureReason() says why.
    Result start(const QString& exeFileName);
    // Why the last start failed, worded for the user, one line per place tried; empty otherwise.
    QString failureReason() const { return m_failure; }
    // Ends the registration; a later start under the same name registers afresh.
    void release();

    // Where the registration of exeFileName lives: on Unix a socket path, with the user id in its name,
    // in the user's runtime folder ($XDG_RUNTIME_DIR) when that is the user's own and nobody else may
    // write it, or else in a folder of the user's own in the temporary folder (made when missing).
    // A path too long for a socket address goes to the temporary folder too, under a short name.
    // Empty when no folder can be used; why then says so, one line per folder.
    static QString serverName(const QString& exeFileName, QString* why = nullptr);

  signals:
    // A later start asked this copy to show its main window.
    void restoreRequested();

  private:
    Result failed(const QString& why);
    // Two copies started at the same moment take turns.
    static std::unique_ptr<QLockFile> lockRegistration(const QString& name);

    QString m_failure;
    std::unique_ptr<guard::Listener> m_listener;
};

} // namespace kb
