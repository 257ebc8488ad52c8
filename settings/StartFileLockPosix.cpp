// The start file's hold on POSIX systems: a write lock on the first byte of a hold file beside the
// start file (".StartFile.txt.kestrelbox-lock"), which only those who may write the start file can
// open. A lock on the start file itself would need nothing but a read descriptor, so that any user who
// may read the file could take it and keep every run waiting. The hold file is never replaced, so the
// hold stays put while the start file is replaced at every write (or by an editor).
//
// Where no hold file can be made (a folder that only its owner, not the user, may write, as after an
// installation by root), the start file itself carries the lock: still a write lock, which only a
// descriptor open for writing can take, so a reader cannot pose as a holder, though a reader's lock can
// keep it from being taken (HeldByReader). A write replaces the start file by a new file, so the holder
// locks the new file before it takes the name.
//
// The window marks the file it holds with a write lock on the second byte, which tells a command
// beside it that the holder is the window (it holds for good: no use waiting) rather than another
// command (which ends soon). All locks are open-file-description locks: they belong to the open file,
// not to the process, and go with its last descriptor.
#include "settings/StartFileLock.h"

#include "settings/Error.h"
#include "settings/SystemCalls.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kb {

namespace {

constexpr off_t HoldByte = 0;
constexpr off_t WindowMarkByte = 1;
constexpr int OpenFlags = O_NONBLOCK | O_NOCTTY | O_CLOEXEC | O_NOFOLLOW;

[[noreturn]] void throwIo(int error) {
    throw IoError(ioErrorCodeFromErrno(error));
}

struct flock byteLock(short type, off_t byte) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = byte;
    lock.l_len = 1;
    return lock;
}

int lockByte(int fd, off_t byte) {
    struct flock lock = byteLock(F_WRLCK, byte);
    return ::fcntl(fd, F_OFD_SETLK, &lock) == 0 ? 0 : errno;
}

// The type of a lock that another open file holds on the byte and that would keep a lock of `type`
// from being taken; F_UNLCK when there is none.
short lockOn(int fd, off_t byte, short type) {
    struct flock probe = byteLock(type, byte);
    return ::fcntl(fd, F_OFD_GETLK, &probe) == 0 ? probe.l_type : F_UNLCK;
}

// Who keeps the lock on the hold byte from being taken. A read probe meets only a write lock, so a
// reader's read lock never reads as the window or as a run. Only the start file itself can carry a
// reader's lock: on the hold file, which no reader can open, what looks like one is a holder that let
// go just now.
StartFileLock::Outcome holderOf(int fd, bool readersCanLock) {
    if (lockOn(fd, WindowMarkByte, F_RDLCK) == F_WRLCK)
        return StartFileLock::Outcome::HeldByWindow;
    if (!readersCanLock || lockOn(fd, HoldByte, F_RDLCK) == F_WRLCK)
        return StartFileLock::Outcome::HeldByRun;
    return StartFileLock::Outcome::HeldByReader;
}

bool sameFile(int fd, const std::string& path) {
    struct stat open {
    }, named{};
    return ::fstat(fd, &open) == 0 && ::lstat(path.c_str(), &named) == 0 && open.st_dev == named.st_dev &&
           open.st_ino == named.st_ino;
}

std::string holdFileOf(const std::string& target) {
    const std::size_t slash = target.find_last_of('/') + 1;
    return target.substr(0, slash) + tempNameStem(target.substr(slash)) + "lock";
}

// Who may open the hold file: those who may write the start file, and nobody else.
mode_t holdMode(mode_t startMode) {
    mode_t mode = S_IRUSR | S_IWUSR;
    if (startMode & S_IWGRP)
        mode |= S_IRGRP | S_IWGRP;
    if (startMode & S_IWOTH)
        mode |= S_IROTH | S_IWOTH;
    return mode;
}

// Whether a hold file found beside the start file is one that only its writers can use: made by one
// of them and open to nobody else. One that another user made first (in a folder everybody may write)
// is refused rather than shared with that user.
bool trustworthy(const struct stat& hold, const struct stat& start) {
    if (!S_ISREG(hold.st_mode))
        return false;
    const bool groupWrites = (start.st_mode & S_IWGRP) && hold.st_gid == start.st_gid;
    const bool everybodyWrites = start.st_mode & S_IWOTH;
    const bool madeByWriter = hold.st_uid == start.st_uid || hold.st_uid == 0 || hold.st_uid == ::geteuid() ||
                              groupWrites || everybodyWrites;
    const mode_t groupBits = hold.st_mode & S_IRWXG, otherBits = hold.st_mode & S_IRWXO;
    return madeByWriter && (groupBits == 0 || groupWrites || everybodyWrites) &&
           (otherBits == 0 || everybodyWrites);
}

// Opens the hold file of the start file `start`, making it when it is missing. -1 with errno EACCES,
// EPERM or EROFS when it is missing and cannot be made there.
int openHoldFile(const std::string& holdPath, const struct stat& start) {
    int fd = ::open(holdPath.c_str(), O_RDWR | OpenFlags);
    if (fd < 0 && errno == ENOENT) {
        fd = ::open(holdPath.c_str(), O_RDWR | O_CREAT | O_EXCL | OpenFlags, holdMode(start.st_mode));
        if (fd >= 0) {
            // Whoever makes it, it is the start file's owner's (root printing for the user must not
            // lock the user out), with the start file's group; the mode regardless of the umask.
            if (::geteuid() == 0)
                (void)::fchown(fd, start.st_uid, start.st_gid);
            else if (start.st_mode & S_IWGRP)
                (void)::fchown(fd, static_cast<uid_t>(-1), start.st_gid);
            (void)::fchmod(fd, holdMode(start.st_mode));
        } else if (errno == EEXIST) {
            fd = ::open(holdPath.c_str(), O_RDWR | OpenFlags); // made by another run just now
        } else if (errno == EACCES || errno == EPERM || errno == EROFS) {
            return -1;
        }
    }
    if (fd < 0) {
        // A hold file that exists but cannot be opened is never passed over for the start file: the
        // runs that can open it would hold something else than this one.
        throw HoldFileError(
            ioErrorCodeFromErrno(
                errno == EACCES || errno == EPERM || errno == EROFS || errno == ELOOP ? EACCES : errno),
            holdPath);
    }
    struct stat hold {};
    if (::fstat(fd, &hold) != 0 || !trustworthy(hold, start)) {
        // The owner narrows a hold file left open to others (the start file's mode was narrowed since).
        if (hold.st_uid != ::geteuid() || !S_ISREG(hold.st_mode) ||
            ::fchmod(fd, holdMode(start.st_mode)) != 0 || ::fstat(fd, &hold) != 0 ||
            !trustworthy(hold, start)) {
            ::close(fd);
            throw HoldFileError(ioErrorCodeFromErrno(EACCES), holdPath);
        }
    }
    return fd;
}

// The holder of the start file itself, where a run that could make no hold file locked it.
StartFileLock::Outcome startFileHolder(const std::string& target) {
    const int fd = ::open(target.c_str(), O_RDONLY | OpenFlags);
    if (fd < 0)
        return StartFileLock::Outcome::Taken;
    const StartFileLock::Outcome holder =
        lockOn(fd, HoldByte, F_RDLCK) == F_WRLCK ? holderOf(fd, true) : StartFileLock::Outcome::Taken;
    ::close(fd);
    return holder;
}

} // namespace

StartFileLock::~StartFileLock() {
    abandonReplace();
    release();
}

StartFileLock::Outcome StartFileLock::take(const std::string& path, Kind kind) {
    release();
    std::string target;
    if (const int error = realSystemCalls().followLinks(path, target))
        throwIo(error);
    const std::string holdPath = holdFileOf(target);
    // A start file replaced between our look and our lock leaves us holding a file that has no name
    // any more: look again. The holder locks each new file before it takes the name, so this settles
    // at once.
    for (int attempt = 0; attempt < 100; ++attempt) {
        struct stat start {};
        if (::stat(target.c_str(), &start) != 0)
            throwIo(errno);
        if (!S_ISREG(start.st_mode))
            throwIo(EACCES);
        // Only someone who may write the start file may hold it.
        if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
            throwIo(errno);
        int fd = openHoldFile(holdPath, start);
        const bool inStartFile = fd < 0;
        if (inStartFile) {
            fd = ::open(target.c_str(), O_RDWR | OpenFlags);
            if (fd < 0)
                throwIo(errno);
        }
        if (const int error = lockByte(fd, HoldByte)) {
            const Outcome holder = holderOf(fd, inStartFile);
            ::close(fd);
            if (error == EAGAIN || error == EACCES)
                return holder;
            throwIo(error);
        }
        // Runs of users who can make the hold file and of users who cannot meet here: each looks for
        // the other's lock once its own is taken, so that at most one of them goes on.
        if (!inStartFile) {
            if (const Outcome holder = startFileHolder(target); holder != Outcome::Taken) {
                ::close(fd);
                return holder;
            }
        } else if (::access(holdPath.c_str(), F_OK) == 0) {
            ::close(fd);
            continue; // made since: the next look takes it
        }
        if (!sameFile(fd, inStartFile ? target : holdPath)) {
            ::close(fd);
            continue;
        }
        // Only where the start file itself is locked can the mark be kept from being taken (a reader's
        // read lock on it): the window then holds the file all the same, and a command beside it waits
        // rather than being refused at once.
        if (kind == Kind::Window)
            (void)lockByte(fd, WindowMarkByte);
        m_path = path;
        m_holdPath = inStartFile ? target : holdPath;
        m_kind = kind;
        m_handle = fd;
        return Outcome::Taken;
    }
    throwIo(EBUSY);
}

bool StartFileLock::confirm() {
    if (!held())
        return false;
    if (sameFile(static_cast<int>(m_handle), m_holdPath))
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
    std::string target;
    // Only a lock on the start file itself must follow it to its new file.
    if (!held() || realSystemCalls().followLinks(m_path, target) != 0 || target != m_holdPath)
        return 0;
    abandonReplace();
    // A second descriptor of the same open file keeps its locks once the writer closes its own.
    const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0)
        return errno;
    int error = lockByte(copy, HoldByte);
    if (error == EAGAIN)
        error = EBUSY;
    if (!error && m_kind == Kind::Window)
        (void)lockByte(copy, WindowMarkByte);
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
