// The system calls the start file is read and written through.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kb {

// A write's temporary file beside the file called name: ".<name>.kestrelbox-" and six letters or
// digits. Hidden, and marked as the program's own, so that no file a person keeps beside the start
// file (StartFile.txt.backup, StartFile.txt.BAK001) is ever taken for the leftover of a write.
constexpr std::string_view TempMarker = ".kestrelbox-";
constexpr std::size_t TempRandomLength = 6;
inline std::string tempNameStem(const std::string& name) {
    return "." + name + std::string(TempMarker);
}

// The system calls behind the start file's FileOps, one per step, so that a test can make any single
// step fail (or answer as it would for another user) on real files. Each returns 0 or the errno value
// of the failure (a port maps its own error codes onto errno values: ENOENT, EACCES, ENOSPC, ...).
// The defaults are the system's own calls: POSIX at the end of StartFile.cpp, Windows in
// SystemCallsWin.cpp; FileOps above them stays the same everywhere.
class SystemCalls {
  public:
    virtual ~SystemCalls() = default;
    // False only when nothing is at path; any other trouble shows when the file is read.
    virtual bool exists(const std::string& path);
    // At most limit bytes from the start of the file at path. Anything but a regular file (a named
    // pipe, a device, a folder) is refused with EACCES, and the open never waits for a writer.
    virtual int readFile(const std::string& path, std::size_t limit, std::string& bytes);
    // The file path names once its symbolic links are followed (path itself when it is no link); the
    // file need not exist.
    virtual int followLinks(const std::string& path, std::string& target);
    // 0 when this user may write the regular file at path, ENOENT when nothing is there, otherwise
    // why not (EACCES for anything but a regular file).
    virtual int checkWritable(const std::string& path);
    // Creates a new file beside target, named tempNameStem(its name) and TempRandomLength random
    // letters or digits, with the permissions of target when it exists. Until it is closed,
    // removeLeftover leaves it alone.
    virtual int createTemp(const std::string& target, int& fd, std::string& tempPath);
    // Opens the existing file at path for writing, without emptying it.
    virtual int openInPlace(const std::string& path, int& fd);
    virtual int write(int fd, const char* data, std::size_t size);
    virtual int truncate(int fd, std::size_t size);
    virtual int flush(int fd); // to the disk, not just to the system
    virtual int close(int fd);
    virtual int rename(const std::string& from, const std::string& to);
    virtual int remove(const std::string& path);
    // The names of the entries of folder.
    virtual int listFolder(const std::string& folder, std::vector<std::string>& names);
    // Removes the regular file at path unless a write still has it open (EBUSY then).
    virtual int removeLeftover(const std::string& path);
};

SystemCalls& realSystemCalls();

} // namespace kb
