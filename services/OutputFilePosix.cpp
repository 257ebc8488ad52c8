// The checks and the final step of writing a run's PDF file on POSIX systems.
#include "services/OutputFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kb::outputfile {

namespace {

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

QString refusal(const QString& path) {
    struct stat info {};
    // The name itself, not what a link there leads to.
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return errno == ENOENT ? QString() : systemError(errno);
    if (S_ISREG(info.st_mode))
        return QString();
    if (S_ISLNK(info.st_mode))
        return QStringLiteral("シンボリックリンクです（リンク先には書き込みません）");
    if (S_ISDIR(info.st_mode))
        return QStringLiteral("フォルダーです");
    if (S_ISFIFO(info.st_mode))
        return QStringLiteral("名前付きパイプです");
    if (S_ISCHR(info.st_mode) || S_ISBLK(info.st_mode))
        return QStringLiteral("デバイスです");
    return QStringLiteral("通常のファイルではありません");
}

bool flushToDisk(const QString& path, QString& why) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        why = systemError(errno);
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    ::close(fd);
    return true;
}

} // namespace kb::outputfile
