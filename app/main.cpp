// Start-up: one running copy per executable name, then the main window and the About box, and the
// message loop until the main window has closed.
#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <functional>
#include <utility>

#include "app/AboutBox.h"
#include "app/Pictures.h"
#include "app/QtPause.h"
#include "app/QtTranslation.h"
#include "app/Tfrmmain.h"
#include "services/Codec.h"
#include "services/InstanceGuard.h"
#include "settings/StandardDescriptors.h"

namespace {

// The last line of defence: an error that escapes a handler without going through the window's own
// error box is still shown in the application error box, and the program keeps running.
class Application final : public QApplication {
  public:
    using QApplication::QApplication;

    // Called once the main window has accepted to close, before anything slow of the way out.
    void onMainWindowClosing(QWidget* window, std::function<void()> closing) {
        m_mainWindow = window;
        m_closing = std::move(closing);
    }

    bool notify(QObject* receiver, QEvent* event) override {
        try {
            const bool result = QApplication::notify(receiver, event);
            if (event->type() == QEvent::Close && receiver == m_mainWindow && event->isAccepted() &&
                m_closing)
                std::exchange(m_closing, nullptr)();
            return result;
        } catch (const std::exception& e) {
            kb::platformDialogs().error(activeWindow(), kb::errorBoxText(QString::fromUtf8(e.what())));
        }
        return false;
    }

  private:
    QWidget* m_mainWindow = nullptr;
    std::function<void()> m_closing;
};

// The status of a window that ended because of its start file (missing, unreadable, in a form it does
// not read): the command's status for the same cause, so that a script sees the failure.
constexpr int StartFileStatus = 6;

} // namespace

int main(int argc, char** argv) {
    kb::keepStandardDescriptors();
    Application app(argc, argv);
    QApplication::setWindowIcon(QIcon(QPixmap::fromImage(kb::picture("icon"))));
    kb::installQtTranslation();

    // Label texts are Shift-JIS bytes; without the code page nothing typed could be printed right.
    if (!kb::sjisAvailable()) {
        kb::platformDialogs().message(nullptr,
                                      QStringLiteral("Shift-JIS (windows-31j) の文字コードが使えません。"));
        return 1;
    }

    kb::InstanceGuard guard;
    switch (guard.start(QFileInfo(QCoreApplication::applicationFilePath()).fileName())) {
    case kb::InstanceGuard::Result::HandedOver:
        return 0;
    case kb::InstanceGuard::Result::Failed:
        kb::platformDialogs().message(nullptr, QStringLiteral("起動できません。\n") + guard.failureReason());
        return 1;
    case kb::InstanceGuard::Result::Registered:
        break;
    }

    // The application title captions every message box from here on. (The display name is left
    // alone: some platforms would append it to the main window's caption.)
    QCoreApplication::setApplicationName(QStringLiteral("Kestrelbox"));

    kb::QtPause pause;
    const kb::Services services{kb::platformDialogs(), kb::platformClock(), pause,
                                QCoreApplication::applicationDirPath() + QStringLiteral("/")};
    kb::Tfrmmain frmmain(services);
    pause.setWindow(&frmmain);
    bool created = false;
    frmmain.guarded([&] { created = frmmain.FormCreate(); });
    // A window whose creation stopped early is still shown; its timer closes it a moment later.
    if (!created)
        frmmain.show();

    kb::TAboutBox aboutBox(&frmmain);
    aboutBox.hide();
    frmmain.setAboutBox(&aboutBox);

    QObject::connect(&guard, &kb::InstanceGuard::restoreRequested, &frmmain, [&frmmain] {
        frmmain.setWindowState(frmmain.windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
        frmmain.showNormal();
        frmmain.raise();
        frmmain.activateWindow();
    });

    // A copy that is closing takes no more hand-overs: a start from now on opens its own window, even
    // while this process still takes its time to end.
    app.onMainWindowClosing(&frmmain, [&guard] { guard.release(); });

    const int result = app.exec();
    guard.release();
    return created ? result : StartFileStatus;
}
