// The start file StartFile.txt: next sheet position and the two saved print offsets, kept between runs.
// The byte format is fixed (users' files must keep working): "00" numbers, CR LF after every line.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "settings/StartFileLock.h"
#include "settings/SystemCalls.h"

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
    // folder where no new file can be made is rewritten in place (there a failed write may leave it
    // partly written). Temporary files that an interrupted write left behind are removed first.
    // With `lock` (held on this file), the new file is taken before it takes the name.
    void replaceWhole(const std::string& path, const std::string& bytes, StartFileLock* lock = nullptr);

  private:
    void writeInPlace(const std::string& path, const std::string& bytes);
    void removeLeftovers(const std::string& target);

    SystemCalls& m_calls;
};

FileOps& realFileOps();

// The three values as read from the start file's bytes. A line the file lacks gives position 1 or
// no shift (10). A UTF-8 byte-order mark at the start is skipped. Throws Error when line 1, 2 or 3 is
// not an integer (the values of the lines before it are set by then), and when the file is UTF-16
// (a message naming the file as name, values untouched).
void parseStartFile(const std::string& bytes, StartValues& values,
                    const std::string& name = "スタートファイル");

class StartFile {
  public:
    explicit StartFile(std::string path, FileOps& ops = realFileOps());

    const std::string& path() const { return m_path; }
    // The lock that this program holds on the file, if any: the writes keep it held across their
    // replace of the file.
    void setLock(StartFileLock* lock) { m_lock = lock; }

    // False when no file exists (nothing changes). Otherwise sets the values from the file (a line it
    // lacks: position 1, no shift) and returns true; StartPosition ends up in 1..30. Throws Error /
    // IoError on failure.
    bool read(StartValues& values);

    // Three lines: StartPosition, SavedOffsetDown, SavedOffsetRight.
    void shortWrite(const StartValues& values);

    // Whether a store would succeed, found out by making one: the file's own bytes written back the
    // way every write is made (the replace beside it, or the rewrite in place), so that nothing
    // changes. Throws Error / IoError as the store would.
    void checkStorable();

    // Kind 1, 2, 3 sets StartPosition, SavedOffsetDown, SavedOffsetRight to value (other kinds set
    // nothing), then writes five lines: the three values, an empty line and "0".
    void SaveStartFile(std::int32_t kind, std::int32_t value, StartValues& values);

    // Whether the file at the path still holds the bytes that this object last read or wrote there:
    // false once someone changed, replaced or removed it outside the program (an editor saving it);
    // true before anything was read or written. Throws IoError when what is there cannot be read.
    bool unchanged();

  private:
    void wrote(std::string bytes);

    std::string m_path;
    FileOps& m_ops;
    StartFileLock* m_lock = nullptr;
    std::string m_known; // what the file held when this object last read or wrote it
    bool m_knows = false;
};

} // namespace kb
