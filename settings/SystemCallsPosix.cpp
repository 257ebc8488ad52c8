// The start file's system calls on POSIX systems (Linux, macOS); Windows has its own in
// SystemCallsWin.cpp. The build picks one of the two.
#include "settings/SystemCalls.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kb {

bool SystemCalls::exists(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0)
        return true;
    return errno != ENOENT && errno != ENOTDIR;
}

int SystemCalls::readFile(const std::string& path, std::size_t limit, std::string& bytes) {
    // Looked at before it is opened: opening a device can have effects of its own, and a named pipe
    // without a writer would keep the open waiting for good.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return errno;
    if (!S_ISREG(info.st_mode))
        return EACCES;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    // Whatever was swapped in at the name since the look above.
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return EACCES;
    }
    bytes.assign(limit, '\0');
    std::size_t total = 0;
    while (total < limit) {
        const ssize_t got = ::read(fd, bytes.data() + total, limit - total);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            ::close(fd);
            bytes.clear();
            return error;
        }
        if (got == 0)
            break;
        total += static_cast<std::size_t>(got);
    }
    bytes.resize(total);
    return ::close(fd) == 0 ? 0 : errno;
}

int SystemCalls::followLinks(const std::string& path, std::string& target) {
    // As many links as the system itself follows before it gives up with ELOOP.
    constexpr int MaxLinks = 40;
    std::string current = path;
    for (int hop = 0; hop <= MaxLinks; ++hop) {
        struct stat info {};
        if (::lstat(current.c_str(), &info) != 0) {
            if (errno != ENOENT)
                return errno;
            target = current; // a missing file (or a link to one) is created where it is named
            return 0;
        }
        if (!S_ISLNK(info.st_mode)) {
            target = current;
            return 0;
        }
        std::string link(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 255) + 1, '\0');
        const ssize_t size = ::readlink(current.c_str(), link.data(), link.size());
        if (size < 0)
            return errno;
        if (static_cast<std::size_t>(size) >= link.size())
            return ENAMETOOLONG; // the link changed under us; it is not worth a second try
        link.resize(static_cast<std::size_t>(size));
        // A relative link is relative to the folder that holds it.
        if (link.empty() || link.front() != '/')
            link = current.substr(0, current.find_last_of('/') + 1) + link;
        current = link;
    }
    return ELOOP;
}

int SystemCalls::checkWritable(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return errno;
    if (!S_ISREG(info.st_mode))
        return EACCES;
    return ::access(path.c_str(), W_OK) == 0 ? 0 : errno;
}

int SystemCalls::createTemp(const std::string& target, int& fd, std::string& tempPath) {
    static_assert(TempRandomLength == 6, "mkstemp fills in six X");
    const std::size_t slash = target.find_last_of('/') + 1; // 0 without a folder
    std::string name =
        target.substr(0, slash) + tempNameStem(target.substr(slash)) + std::string(TempRandomLength, 'X');
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        return errno;
    tempPath = name;
    // Held until the file is closed: the clean-up of another copy's next write must not take a file
    // that this write is still filling.
    (void)::flock(fd, LOCK_EX | LOCK_NB);
    // mkstemp makes the file private to the owner; the replacement keeps the old file's permissions.
    // Should this fail the file is still the user's own and fully usable, so the write goes on.
    struct stat info {};
    if (::stat(target.c_str(), &info) == 0)
        (void)::fchmod(fd, info.st_mode & 07777);
    else
        (void)::fchmod(fd, 0644);
    return 0;
}

int SystemCalls::openInPlace(const std::string& path, int& fd) {
    fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    return fd < 0 ? errno : 0;
}

int SystemCalls::write(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t done = ::write(fd, data, size);
        if (done < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += done;
        size -= static_cast<std::size_t>(done);
    }
    return 0;
}

int SystemCalls::truncate(int fd, std::size_t size) {
    return ::ftruncate(fd, static_cast<off_t>(size)) == 0 ? 0 : errno;
}

int SystemCalls::flush(int fd) {
    return ::fsync(fd) == 0 ? 0 : errno;
}

int SystemCalls::close(int fd) {
    return ::close(fd) == 0 ? 0 : errno;
}

int SystemCalls::rename(const std::string& from, const std::string& to) {
    if (::rename(from.c_str(), to.c_str()) != 0)
        return errno;
    // Make the new name itself durable. The file is already replaced, so a failure here changes
    // nothing the user could act on.
    std::string folder = to.substr(0, to.find_last_of('/') + 1);
    if (folder.empty())
        folder = ".";
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        (void)::fsync(dirFd);
        ::close(dirFd);
    }
    return 0;
}

int SystemCalls::remove(const std::string& path) {
    return ::unlink(path.c_str()) == 0 ? 0 : errno;
}

int SystemCalls::listFolder(const std::string& folder, std::vector<std::string>& names) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return errno;
    names.clear();
    errno = 0;
    while (const dirent* entry = ::readdir(dir))
        names.emplace_back(entry->d_name);
    const int error = errno;
    ::closedir(dir);
    return error;
}

int SystemCalls::removeLeftover(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    struct stat info {};
    int error = 0;
    if (::fstat(fd, &info) != 0)
        error = errno;
    else if (!S_ISREG(info.st_mode))
        error = EACCES;
    else if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        error = errno == EWOULDBLOCK ? EBUSY : errno;
    else if (::unlink(path.c_str()) != 0)
        error = errno;
    ::close(fd);
    return error;
}

SystemCalls& realSystemCalls() {
    static SystemCalls calls;
    return calls;
}

} // namespace kb
