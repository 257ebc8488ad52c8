// kestrelbox-print: the command-line front end beside the window.
#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdio>
#include <exception>

#include "cli/PrintCommand.h"
#include "cli/StopRequest.h"
#include "services/LocalClock.h"

namespace {

void write(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
}

// Qt's own notes (a missing XDG_RUNTIME_DIR under cron, say) would mix with the command's messages on
// standard error, where scripts read them: only its errors get through.
void qtMessages(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        write(stderr, QStringLiteral("kestrelbox-print: %1\n").arg(text));
}

} // namespace

int main(int argc, char** argv) {
    qInstallMessageHandler(qtMessages);
    // Fonts, the codec and the PDF writer need a QGuiApplication, not a display: the command never shows
    // a window, so a platform taken from the desktop's environment (xcb without a display, in a job
    // started over ssh or from cron) could only make it fail. The build names the platform: offscreen
    // on Linux; on Windows the system's own, since Qt's offscreen platform finds no faces there.
    qputenv("QT_QPA_PLATFORM", KB_COMMAND_PLATFORM);
    QGuiApplication app(argc, argv);
    kb::cli::watchStopRequests();
    const kb::cli::Environment env{kb::platformClock(), QCoreApplication::applicationDirPath(),
                                   [](const QString& text) { write(stdout, text); },
                                   [](const QString& text) { write(stderr, text); }, kb::cli::stopRequest};
    int status = kb::cli::Failed;
    try {
        status = kb::cli::runCommand(QCoreApplication::arguments().mid(1), env);
    } catch (const std::exception& e) {
        write(stderr, QStringLiteral("kestrelbox-print: %1\n").arg(QString::fromUtf8(e.what())));
    }
    std::fflush(stdout);
    return status;
}
