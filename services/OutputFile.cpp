// The steps of writing a run's PDF file that every platform shares; the checks of the name and the final
// replacement are the platform's (OutputFilePosix.cpp, OutputFileWin.cpp).
#include "services/OutputFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include "services/SystemPath.h"
#include "settings/Error.h"
#include "settings/SystemCalls.h"

namespace kb {

namespace {

// Beside the file, hidden and marked as ours, as the start file's temporary files are.
QString tempPathBeside(const QString& path) {
    static const char Letters[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    const QFileInfo info(path);
    QString name = QStringLiteral(".%1.kestrelbox-").arg(info.fileName());
    for (int i = 0; i < 6; ++i)
        name += QLatin1Char(Letters[QRandomGenerator::global()->bounded(int(sizeof Letters) - 1)]);
    return QFileInfo(info.dir(), name).filePath();
}

} // namespace

OutputFile::OutputFile(QString path) : m_path(std::move(path)) {}

OutputFile::~OutputFile() {
    cancel();
}

bool OutputFile::fail(const QString& why) {
    m_error = why;
    return false;
}

bool OutputFile::open() {
    if (const QString why = outputfile::refusal(m_path); !why.isEmpty())
        return fail(why);
    // A file the user keeps read-only is not replaced, though its folder would let it be.
    const QFileInfo existing(m_path);
    if (existing.exists() && !existing.isWritable())
        return fail(QStringLiteral("書き込みが許されていないファイルです"));
    // A new file only: a name that someone made meanwhile (a link among them) is never opened.
    for (int attempt = 0; attempt < 100; ++attempt) {
        m_temp.setFileName(tempPathBeside(m_path));
        if (m_temp.open(QIODevice::WriteOnly | QIODevice::NewOnly) || !QFileInfo::exists(m_temp.fileName()))
            break;
    }
    if (!m_temp.isOpen()) {
        const QString why = m_temp.errorString();
        m_temp.setFileName(QString()); // not ours: cancel() must leave it
        return fail(why);
    }
    // The new file keeps the permissions of the one it replaces.
    if (existing.exists())
        m_temp.setPermissions(existing.permissions());
    return true;
}

bool OutputFile::commit() {
    if (!m_temp.isOpen())
        return fail(QStringLiteral("開かれていません"));
    // A write that failed on the way (a full disk) leaves its error until the file is closed, which
    // clears it once the rest is written.
    bool written = m_temp.flush() && m_temp.error() == QFileDevice::NoError;
    QString why = m_temp.errorString();
    m_temp.close();
    if (written && m_temp.error() != QFileDevice::NoError) {
        written = false;
        why = m_temp.errorString();
    }
    if (!written) {
        cancel();
        return fail(why);
    }
    // Looked at once more: something else may have been put at the name since the file was opened.
    why = outputfile::refusal(m_path);
    if (why.isEmpty() && outputfile::flushToDisk(m_temp.fileName(), why)) {
        const int error = realSystemCalls().rename(systemPath(m_temp.fileName()), systemPath(m_path));
        if (!error) {
            m_temp.setFileName(QString());
            return true;
        }
        why = QString::fromStdString(ioErrorText(ioErrorCodeFromErrno(error)));
    }
    cancel();
    return fail(why);
}

void OutputFile::cancel() {
    if (m_temp.fileName().isEmpty())
        return;
    m_temp.close();
    QFile::remove(m_temp.fileName());
    m_temp.setFileName(QString());
}

} // namespace kb
