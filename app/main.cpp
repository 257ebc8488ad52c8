// Start-up: one running copy per executable name, then the main window and the About box, and the
// message loop until the main window has closed.
#include <QApplication>
#include <QFileInfo>
#include <QIcon>

#include "app/AboutBox.h"
#include "app/Pictures.h"
#include "app/QtPause.h"
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

    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            kb::platformDialogs().error(activeWindow(), kb::errorBoxText(QString::fromUtf8(e.what())));
        }
        return false;
    }
};

} // namespace

int main(int argc, char** argv) {
    kb::keepStandardDescriptors();
    Application app(argc, argv);
    QApplication::setWindowIcon(QIcon(QPixmap::fromImage(kb::picture("icon"))));

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

    const int result = app.exec();
    guard.release();
    return result;
}
