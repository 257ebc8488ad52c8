// The ledger's files on POSIX systems. Every open is O_NOFOLLOW and non-blocking, and what it opened is
// checked with fstat: a neighbour who may write the folder cannot turn the ledger into a link to
// another of the owner's files, nor stop a run on a pipe.
#include "services/LedgerFile.h"

#include "print/Ledger.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kb::ledgerfile {

namespace {

constexpr int OpenFlags = O_NONBLOCK | O_NOCTTY | O_CLOEXEC | O_NOFOLLOW;

std::string systemError(int error) {
    return std::strerror(error);
}

std::string kindRefusal(mode_t mode) {
    if (S_ISREG(mode))
        return {};
    if (S_ISLNK(mode))
        return "a symbolic link";
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISFIFO(mode))
        return "a named pipe";
    return "not a regular file";
}

Stamp stampOfStat(const struct stat& info) {
    return Stamp{static_cast<std::int64_t>(info.st_size),
                 static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec,
                 (static_cast<std::uint64_t>(info.st_dev) << 40) ^ static_cast<std::uint64_t>(info.st_ino)};
}

// Opens (making it when missing) a file of the ledger: made with the ledger's mode for the start file
// `start`, owned as the hold file is; an existing one of ours gets that mode again.
int openLedgerFile(const std::string& path, const struct stat& start, int access, std::string& why) {
    const mode_t mode = static_cast<mode_t>(ledgerMode(start.st_mode & 0777));
    int fd = ::open(path.c_str(), access | O_CREAT | O_EXCL | OpenFlags, mode);
    if (fd >= 0) {
        // Root printing for the user must not lock the user out; colleagues who may write the start
        // file share its group.
        if (::geteuid() == 0)
            (void)::fchown(fd, start.st_uid, start.st_gid);
        else if (start.st_mode & S_IWGRP)
            (void)::fchown(fd, static_cast<uid_t>(-1), start.st_gid);
        (void)::fchmod(fd, mode);
    } else if (errno == EEXIST) {
        fd = ::open(path.c_str(), access | OpenFlags);
    }
    if (fd < 0) {
        why = errno == ELOOP ? "a symbolic link" : errno == EISDIR ? "a folder" : systemError(errno);
        return -1;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !(why = kindRefusal(info.st_mode)).empty()) {
        ::close(fd);
        return -1;
    }
    if (info.st_uid == ::geteuid() && (info.st_mode & 0777) != mode)
        (void)::fchmod(fd, mode);
    return fd;
}

} // namespace

std::string refusal(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return errno == ENOENT ? std::string() : systemError(errno);
    return kindRefusal(info.st_mode);
}

std::string prepare(const std::string& path, const std::string& startFile, Stamp& stamp, bool& readOnly) {
    struct stat start {};
    if (::stat(startFile.c_str(), &start) != 0)
        return systemError(errno);
    std::string why;
    int fd = openLedgerFile(path, start, O_RDWR, why);
    struct stat info {};
    readOnly = false;
    if (fd < 0) {
        const int readable = ::open(path.c_str(), O_RDONLY | OpenFlags);
        if (readable < 0)
            return why;
        if (::fstat(readable, &info) != 0 || !kindRefusal(info.st_mode).empty()) {
            ::close(readable);
            return why;
        }
        fd = readable;
        readOnly = true;
    }
    (void)::fstat(fd, &info);
    stamp = stampOfStat(info);
    ::close(fd);
    return {};
}

Stamp stampOf(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0)
        return {};
    return stampOfStat(info);
}

std::string readWhole(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | OpenFlags);
    if (fd < 0)
        return {};
    struct stat info {};
    std::string text;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        char buffer[1 << 16];
        ssize_t n;
        while ((n = ::read(fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
            if (n > 0)
                text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return text;
}

std::string realPath(const std::string& path) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real)
        return path;
    std::string out = real;
    std::free(real);
    return out;
}

CopyWriter::~CopyWriter() {
    if (m_handle >= 0)
        ::close(static_cast<int>(m_handle));
}

std::string CopyWriter::open(const std::string& path, const std::string& startFile, std::int64_t offset) {
    struct stat start {};
    if (::stat(startFile.c_str(), &start) != 0)
        return systemError(errno);
    std::string why;
    const int fd = openLedgerFile(path, start, O_WRONLY, why);
    if (fd < 0)
        return why;
    m_handle = fd;
    if (::ftruncate(fd, offset) != 0 || ::lseek(fd, offset, SEEK_SET) != offset)
        return systemError(errno);
    return {};
}

std::string CopyWriter::write(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(static_cast<int>(m_handle), bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return systemError(n < 0 ? errno : ENOSPC);
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return {};
}

std::string CopyWriter::close() {
    const int fd = static_cast<int>(m_handle);
    m_handle = -1;
    const bool synced = ::fsync(fd) == 0;
    const int error = errno;
    if (::close(fd) != 0 || !synced)
        return systemError(synced ? errno : error);
    return {};
}

namespace {

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
}

} // namespace

std::string besideOf(const std::string& path, const std::string& name) {
    const std::string folder = folderOf(path);
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

} // namespace kb::ledgerfile
