// The start file StartFile.txt: next sheet position and the two saved print offsets, kept between runs.
// The byte format is fixed (users' files must keep working): "00" numbers, CR LF after every line.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kb {

struct StartValues {
    std::int32_t StartPosition = 0;
    std::int32_t SavedOffsetDown = 0;
    std::int32_t SavedOffsetRight = 0;

    friend bool operator==(const StartValues&, const StartValues&) = default;
};

// Number format "00": at least two digits, sign in front (5 -> "05", -1 -> "-01", 100 -> "100").
std::string formatNumber00(std::int32_t value);

// Signed integer as the start file stores it: leading blanks, optional sign, decimal digits or
// hex after "$", "x" or "X". Anything else throws Error("'<text>' は整数ではありません").
std::int32_t strToInt(const std::string& text);

// The system calls behind FileOps, one per step, so that a test can make any single step fail (or
// answer as it would for another user) on real files. Each returns 0 or the errno value of the failure.
// The POSIX calls are the default; another system overrides them and FileOps stays as it is.
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
    // Creates a new file "<target>.XXXXXX" beside target, with the permissions of target when it
    // exists. Until it is closed, removeLeftover leaves it alone.
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

// Enough for the five lines the program reads, however they are written; the rest of a longer file
// is ignored as lines 6 and later are.
constexpr std::size_t StartFileReadLimit = 4096;

// The file operations the start file needs; every failing call throws IoError, whose text says why.
class FileOps {
  public:
    explicit FileOps(SystemCalls& calls = realSystemCalls()) : m_calls(calls) {}
    bool exists(const std::string& path);
    // The first StartFileReadLimit bytes of the regular file at path.
    std::string readStart(const std::string& path);
    // Replaces the file at path (or the file its links lead to, so that a link stays a link) with
    // bytes. The new contents go to a temporary file beside it, flushed, and only then replace the old
    // file, so a failed write leaves the old file untouched and removes the temporary file. The file's
    // own permissions decide: a read-only file is refused (access denied), and a writable file in a
    // folder where no new file can be made is rewritten in place. Temporary files that an interrupted
    // write left behind are removed first.
    void replaceWhole(const std::string& path, const std::string& bytes);

  private:
    void writeInPlace(const std::string& path, const std::string& bytes);
    void removeLeftovers(const std::string& target);

    SystemCalls& m_calls;
};

FileOps& realFileOps();

// The three values as read from the start file's bytes. A line the file lacks gives position 1 or
// no shift (10). Throws Error when line 1, 2 or 3 is not an integer; the values of the lines before
// it are set by then.
void parseStartFile(const std::string& bytes, StartValues& values);

class StartFile {
  public:
    explicit StartFile(std::string path, FileOps& ops = realFileOps());

    const std::string& path() const { return m_path; }

    // False when no file exists (nothing changes). Otherwise sets the values from the file (a line it
    // lacks: position 1, no shift) and returns true; StartPosition ends up in 1..30. Throws Error /
    // IoError on failure.
    bool read(StartValues& values);

    // Three lines: StartPosition, SavedOffsetDown, SavedOffsetRight.
    void shortWrite(const StartValues& values);

    // Kind 1, 2, 3 sets StartPosition, SavedOffsetDown, SavedOffsetRight to value (other kinds set
    // nothing), then writes five lines: the three values, an empty line and "0".
    void SaveStartFile(std::int32_t kind, std::int32_t value, StartValues& values);

  private:
    std::string m_path;
    FileOps& m_ops;
};

} // namespace kb
