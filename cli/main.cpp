// kestrelbox-print: the command-line front end beside the window.
#include <QCoreApplication>
#include <QGuiApplication>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>

#include "cli/CommandLine.h"
#include "cli/ConsoleOutput.h"
#include "cli/PrintCommand.h"
#include "cli/StopRequest.h"
#include "services/LocalClock.h"
#include "settings/StandardDescriptors.h"

namespace {

// The first failure to write standard output (a full disk, a closed pipe): a run whose output was lost
// must not end as if it had been given.
int outputError = 0;

void write(std::FILE* stream, const QString& text) {
    if (const int error = kb::cli::writeText(stream, text); error && stream == stdout && !outputError)
        outputError = error;
}

// Standard output written whole, up to the last byte; otherwise why not.
int finishOutput() {
    if (std::fflush(stdout) != 0 && !outputError)
        outputError = errno ? errno : EIO;
    if (std::ferror(stdout) && !outputError)
        outputError = EIO;
    return outputError;
}

// Qt's own notes (a missing XDG_RUNTIME_DIR under cron, say) would mix with the command's messages on
// standard error, where scripts read them: only its errors get through.
void qtMessages(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        write(stderr, QStringLiteral("kestrelbox-print: %1\n").arg(text));
}

} // namespace

int main(int argc, char** argv) {
    kb::keepStandardDescriptors();
    qInstallMessageHandler(qtMessages);
    // Before the application object takes Qt's own options out of argv.
    QStringList undecodable;
    const QStringList args = kb::cli::commandArguments(argc, argv, &undecodable);
    // Fonts, the codec and the PDF writer need a QGuiApplication, not a display: the command never shows
    // a window, so a platform taken from the desktop's environment (xcb without a display, in a job
    // started over ssh or from cron) could only make it fail. The build names the platform: offscreen
    // on Linux; on Windows the system's own, since Qt's offscreen platform finds no faces there.
    qputenv("QT_QPA_PLATFORM", KB_COMMAND_PLATFORM);
    QGuiApplication app(argc, argv);
    kb::cli::watchStopRequests();
    // Parsed once, here; the output's code page is known before the first line is written, whatever else
    // the arguments hold.
    kb::cli::Parsed parsed = kb::cli::parseArguments(args);
    // Bytes that are no UTF-8 became U+FFFD on the way in: refused for what they are, not for a
    // character that no Shift-JIS holds.
    if (!undecodable.isEmpty())
        parsed.error = QStringLiteral("the argument \"%1\" is not valid UTF-8").arg(undecodable.first());
    kb::cli::setUtf8Output(parsed.options.utf8);
    const kb::cli::Environment env{kb::platformClock(), QCoreApplication::applicationDirPath(),
                                   [](const QString& text) { write(stdout, text); },
                                   [](const QString& text) { write(stderr, kb::cli::shownSafely(text)); },
                                   kb::cli::stopRequest};
    int status = kb::cli::Failed;
    try {
        status = kb::cli::runCommand(parsed, env);
    } catch (const std::exception& e) {
        write(stderr, kb::cli::shownSafely(
                          QStringLiteral("kestrelbox-print: %1\n").arg(QString::fromUtf8(e.what()))));
    }
    if (const int error = finishOutput()) {
        write(stderr, QStringLiteral("kestrelbox-print: standard output: %1\n")
                          .arg(QString::fromLocal8Bit(std::strerror(error))));
        if (status == kb::cli::Printed)
            status = kb::cli::Failed;
    }
    return status;
}
