// One running copy per executable name and user: a later start hands over to the running copy (which
// then restores and raises its main window) and ends. Registration is a local socket named after the
// executable's file name.
#pragma once
#include <QObject>
#include <QString>

class QLocalServer;

namespace kb {

class InstanceGuard : public QObject {
    Q_OBJECT
  public:
    enum class Result { Registered, HandedOver, Failed };

    explicit InstanceGuard(QObject* parent = nullptr);
    ~InstanceGuard() override;

    // Hands over to a running copy registered under exeFileName (HandedOver), or registers this copy,
    // taking over a registration that a dead copy left behind (Registered). Failed: neither was possible.
    Result start(const QString& exeFileName);
    // Ends the registration; a later start under the same name registers afresh.
    void release();

    // Where the registration of exeFileName lives: on Unix a socket path in the user's runtime folder
    // ($XDG_RUNTIME_DIR, else the temporary folder) with the user id in its name.
    static QString serverName(const QString& exeFileName);

  signals:
    // A later start asked this copy to show its main window.
    void restoreRequested();

  private:
    void acceptConnections();

    QLocalServer* m_server = nullptr;
};

} // namespace kb
