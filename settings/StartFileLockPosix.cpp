// The start file's lock on POSIX systems: an exclusive flock() on the start file itself. A write
// replaces the file by a new one, so the holder locks the new file before it takes the name (the
// lock follows the file from one write to the next); a rewrite in place keeps the file. flock() needs
// no write access, so a read-only start file can be held too. The window marks the file it holds with
// a shared open-file-description lock on one byte, which tells a command beside it that the holder is
// the window (it holds for good: no use waiting) rather than another command (which ends soon).
#include "settings/StartFileLock.h"

#include "settings/Error.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kb {

namespace {

constexpr off_t WindowMarkByte = 1;

[[noreturn]] void throwIo(int error) {
    throw IoError(ioErrorCodeFromErrno(error));
}

bool sameFile(int fd, const std::string& path) {
    struct stat open {
    }, named{};
    return ::fstat(fd, &open) == 0 && ::stat(path.c_str(), &named) == 0 && open.st_dev == named.st_dev &&
           open.st_ino == named.st_ino;
}

// The byte that the window marks, as a lock request of the given type.
struct flock windowMark(short type) {
    struct flock mark {};
    mark.l_type = type;
    mark.l_whence = SEEK_SET;
    mark.l_start = WindowMarkByte;
    mark.l_len = 1;
    return mark;
}

bool windowMarked(int fd) {
    struct flock probe = windowMark(F_WRLCK);
    return ::fcntl(fd, F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
}

int markWindow(int fd) {
    struct flock mark = windowMark(F_RDLCK);
    return ::fcntl(fd, F_OFD_SETLK, &mark) == 0 ? 0 : errno;
}

int openForLock(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0 && (errno == EACCES || errno == EPERM || errno == EROFS || errno == ETXTBSY))
        fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    return fd;
}

} // namespace

StartFileLock::~StartFileLock() {
    abandonReplace();
    release();
}

StartFileLock::Outcome StartFileLock::take(const std::string& path, Kind kind) {
    release();
    // A writer that replaces the file between our open and our lock leaves us holding a file that has
    // no name any more: open the new one and try again. The holder locks each new file before it takes
    // the name, so this settles at once.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int fd = openForLock(path);
        if (fd < 0)
            throwIo(errno);
        struct stat info {};
        if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
            ::close(fd);
            throwIo(EACCES);
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            if (error == EWOULDBLOCK) {
                const Outcome holder = windowMarked(fd) ? Outcome::HeldByWindow : Outcome::HeldByRun;
                ::close(fd);
                return holder;
            }
            ::close(fd);
            throwIo(error);
        }
        if (!sameFile(fd, path)) {
            ::close(fd);
            continue;
        }
        if (kind == Kind::Window) {
            if (const int error = markWindow(fd)) {
                ::close(fd);
                throwIo(error);
            }
        }
        m_path = path;
        m_kind = kind;
        m_handle = fd;
        return Outcome::Taken;
    }
    throwIo(EBUSY);
}

bool StartFileLock::confirm() {
    if (!held())
        return false;
    if (sameFile(static_cast<int>(m_handle), m_path))
        return true;
    const std::string path = m_path;
    const Kind kind = m_kind;
    try {
        return take(path, kind) == Outcome::Taken;
    } catch (const IoError&) {
        return false;
    }
}

void StartFileLock::release() {
    if (m_handle != -1)
        ::close(static_cast<int>(m_handle));
    m_handle = -1;
}

int StartFileLock::prepareReplace(int fd) {
    if (!held())
        return 0;
    abandonReplace();
    // A second descriptor of the same open file keeps its locks once the writer closes its own.
    const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0)
        return errno;
    int error = 0;
    if (::flock(copy, LOCK_EX | LOCK_NB) != 0)
        error = errno == EWOULDBLOCK ? EBUSY : errno;
    else if (m_kind == Kind::Window)
        error = markWindow(copy);
    if (error) {
        ::close(copy);
        return error;
    }
    m_pending = copy;
    return 0;
}

void StartFileLock::commitReplace() {
    if (m_pending == -1)
        return;
    release();
    m_handle = m_pending;
    m_pending = -1;
}

void StartFileLock::abandonReplace() {
    if (m_pending != -1)
        ::close(static_cast<int>(m_pending));
    m_pending = -1;
}

} // namespace kb
