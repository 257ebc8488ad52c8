// The start file StartFile.txt: next sheet position and the two saved print offsets, kept between runs.
// The byte format is fixed (users' files must keep working): "00" numbers, CR LF after every line.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

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

// The system calls behind FileOps, one per step of a write, so that a test can make any single
// step fail on real files. Each returns 0 or the errno value of the failure.
class SystemCalls {
  public:
    virtual ~SystemCalls() = default;
    // False only when nothing is at path; any other trouble shows when the file is read.
    virtual bool exists(const std::string& path);
    virtual int readFile(const std::string& path, std::string& bytes);
    // Creates a new, uniquely named file beside target, with the permissions of target when it exists.
    virtual int createTemp(const std::string& target, int& fd, std::string& tempPath);
    virtual int write(int fd, const char* data, std::size_t size);
    virtual int flush(int fd); // to the disk, not just to the system
    virtual int close(int fd);
    virtual int rename(const std::string& from, const std::string& to);
    virtual int remove(const std::string& path);
};

SystemCalls& realSystemCalls();

// The file operations the start file needs; every failing call throws IoError.
class FileOps {
  public:
    explicit FileOps(SystemCalls& calls = realSystemCalls()) : m_calls(calls) {}
    bool exists(const std::string& path);
    std::string readAll(const std::string& path);
    // Writes bytes to a temporary file beside path, flushes it, and only then replaces path with it,
    // so an interrupted or failed write never leaves a short or empty start file behind: on any
    // failure the old file at path is left untouched and the temporary file is removed.
    void replaceWhole(const std::string& path, const std::string& bytes);

  private:
    SystemCalls& m_calls;
};

FileOps& realFileOps();

// The three values as read from the start file's bytes, over the values given (lines missing from
// the file leave them as they were). Throws Error when line 1, 2 or 3 is not an integer.
void parseStartFile(const std::string& bytes, StartValues& values);

class StartFile {
  public:
    explicit StartFile(std::string path, FileOps& ops = realFileOps());

    const std::string& path() const { return m_path; }

    // False when no file exists (nothing changes). Otherwise sets the values from the lines present
    // and returns true; StartPosition ends up in 1..30. Throws Error / IoError on failure.
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
