#include "settings/StartFile.h"

#include "content/Sjis.h"
#include "settings/Error.h"
#include "sheet/SheetRules.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <utility>

namespace kb {

namespace {

const char* const LineEnd = "\r\n";

// Byte-order marks that text editors put at the start of a file.
constexpr std::string_view Utf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view Utf16LeMark = "\xFF\xFE";
constexpr std::string_view Utf16BeMark = "\xFE\xFF";

// The characters read from the file, made fit for a UTF-8 message: printable ASCII as it is, control
// bytes as "?" (a NUL would end the message there, a tab or an escape shows nothing the user can
// find), half-width katakana converted, a double-byte character (or half of one, cut by the
// two-character read) shown as one replacement character, never as broken UTF-8.
std::string shownText(const std::string& bytes) {
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x20 || c == 0x7F) {
            out += '?';
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (isHalfWidthKana(c)) {
            const unsigned code = 0xFF61 + (c - 0xA1u);
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            if (isLeadByte(c) && i + 1 < bytes.size())
                ++i;
            out += "\xEF\xBF\xBD";
        }
    }
    return out;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// One line of the file from pos: its characters without the line end, a lone CR dropped. pos moves to
// the start of the next line (or to end).
std::string takeLine(const std::string& bytes, std::size_t end, std::size_t& pos) {
    std::string line;
    while (pos < end) {
        const char c = bytes[pos++];
        if (c == '\n')
            break;
        if (c == '\r') {
            if (pos < end && bytes[pos] == '\n') {
                ++pos;
                break;
            }
            continue;
        }
        line += c;
    }
    return line;
}

// The first three lines, which both writes share.
std::string valueLines(const StartValues& values) {
    return formatNumber00(values.StartPosition) + LineEnd + formatNumber00(values.SavedOffsetDown) + LineEnd +
           formatNumber00(values.SavedOffsetRight) + LineEnd;
}

void clampStartPosition(StartValues& values) {
    // The sheet has positions 1..30; anything else restarts at the first one.
    if (values.StartPosition < 1 || values.StartPosition > 30)
        values.StartPosition = 1;
}

} // namespace

std::string formatNumber00(std::int32_t value) {
    const std::int64_t wide = value;
    std::string digits = std::to_string(wide < 0 ? -wide : wide);
    if (digits.size() < 2)
        digits.insert(0, 2 - digits.size(), '0');
    return wide < 0 ? "-" + digits : digits;
}

std::int32_t strToInt(const std::string& text) {
    const auto fail = [&text]() { return Error("'" + shownText(text) + "' は整数ではありません"); };
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
    }
    if (i == text.size())
        throw fail();
    // Magnitude up to 2^31, so that the most negative value can be written.
    const std::int64_t limit = negative ? std::int64_t{1} << 31 : (std::int64_t{1} << 31) - 1;
    std::int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const int digit = hexDigit(text[i]);
        if (digit < 0 || digit >= base)
            throw fail();
        magnitude = magnitude * base + digit;
        if (magnitude > limit)
            throw fail();
    }
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

void parseStartFile(const std::string& bytes, StartValues& values, const std::string& name) {
    // Notepad saves "UTF-16" with its byte-order mark first. Its digits are two bytes each, a NUL among
    // them: read as bytes they would be a wrong number or none, so the file is refused as a whole.
    if (bytes.starts_with(Utf16LeMark) || bytes.starts_with(Utf16BeMark))
        throw Error(name + " は UTF-16 で保存されています。メモ帳で開き、文字コードを ANSI"
                           "（Shift-JIS）にして保存し直してください");
    // Ctrl+Z marks the end of a text file, whatever follows it.
    std::size_t end = bytes.find('\x1A');
    if (end == std::string::npos)
        end = bytes.size();
    // Notepad's "UTF-8 (BOM 付き)" puts a byte-order mark before the first line; the digits after it
    // are the same bytes in UTF-8 and Shift-JIS. The next write leaves the mark out.
    std::size_t pos = bytes.starts_with(Utf8Mark) ? Utf8Mark.size() : 0;
    int lines = 0;
    for (int n = 1; pos < end; ++n) {
        std::string line = takeLine(bytes, end, pos);
        lines = n;
        const bool shortField = n <= 3 || n == 5;
        if (!shortField)
            continue;
        // Only the first two characters count; the rest of the line is never looked at.
        line.resize(std::min<std::size_t>(line.size(), 2));
        if (n == 1) {
            values.StartPosition = strToInt(line);
            clampStartPosition(values);
        } else if (n == 2) {
            values.SavedOffsetDown = strToInt(line);
        } else if (n == 3) {
            values.SavedOffsetRight = strToInt(line);
        }
    }
    // A line the file lacks (an empty file, a cut one) is no reason to move the print: an offset left
    // at 0 would shift every label 5 mm up or to the left without a word.
    if (lines < 1)
        values.StartPosition = 1;
    if (lines < 2)
        values.SavedOffsetDown = kNoShiftIndex;
    if (lines < 3)
        values.SavedOffsetRight = kNoShiftIndex;
}

// ---- file operations ----

namespace {

[[noreturn]] void throwIo(int error) {
    throw IoError(ioErrorCodeFromErrno(error));
}

#ifdef _WIN32
const char* const FolderSeparators = "/\\";
#else
const char* const FolderSeparators = "/";
#endif

// The program's own temporary names only (see tempNameStem); a name a person could have chosen
// (StartFile.txt.backup) never matches.
bool isLeftoverName(const std::string& entry, const std::string& name) {
    const std::string stem = tempNameStem(name);
    if (entry.size() != stem.size() + TempRandomLength || entry.compare(0, stem.size(), stem) != 0)
        return false;
    return std::all_of(entry.end() - TempRandomLength, entry.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    });
}

} // namespace

bool FileOps::exists(const std::string& path) {
    return m_calls.exists(path);
}

std::string FileOps::readStart(const std::string& path) {
    std::string bytes;
    if (const int error = m_calls.readFile(path, StartFileReadLimit, bytes))
        throwIo(error);
    return bytes;
}

void FileOps::replaceWhole(const std::string& path, const std::string& bytes, StartFileLock* lock) {
    std::string target;
    if (const int error = m_calls.followLinks(path, target))
        throwIo(error);
    // A file the user has made read-only keeps its contents; a missing one is created.
    const int writable = m_calls.checkWritable(target);
    if (writable != 0 && writable != ENOENT)
        throwIo(writable);
    removeLeftovers(target);

    int fd = -1;
    std::string tempPath;
    if (const int error = m_calls.createTemp(target, fd, tempPath)) {
        // No new file can be made beside it (an installation folder owned by another user), but the
        // file itself may be written: rewriting it in place is the only way to keep the position.
        if (writable == 0 && (error == EACCES || error == EPERM)) {
            writeInPlace(target, bytes);
            return;
        }
        throwIo(error);
    }
    const auto giveUp = [&](int error, bool open) {
        if (lock)
            lock->abandonReplace();
        if (open)
            (void)m_calls.close(fd);
        (void)m_calls.remove(tempPath);
        throwIo(error);
    };
    if (const int error = m_calls.write(fd, bytes.data(), bytes.size()))
        giveUp(error, true);
    if (const int error = m_calls.flush(fd))
        giveUp(error, true);
    if (lock) {
        if (const int error = lock->prepareReplace(fd))
            giveUp(error, true);
    }
    if (const int error = m_calls.close(fd))
        giveUp(error, false);
    if (const int error = m_calls.rename(tempPath, target))
        giveUp(error, false);
    if (lock)
        lock->commitReplace();
}

void FileOps::writeInPlace(const std::string& path, const std::string& bytes) {
    int fd = -1;
    if (const int error = m_calls.openInPlace(path, fd))
        throwIo(error);
    // Written over the old contents first and cut to length after, so that the file is never empty.
    int error = m_calls.write(fd, bytes.data(), bytes.size());
    if (!error)
        error = m_calls.truncate(fd, bytes.size());
    if (!error)
        error = m_calls.flush(fd);
    const int closeError = m_calls.close(fd);
    if (error || closeError)
        throwIo(error ? error : closeError);
}

void FileOps::removeLeftovers(const std::string& target) {
    const std::size_t slash = target.find_last_of(FolderSeparators);
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string name = target.substr(folder.size());
    std::vector<std::string> names;
    // Nothing here stops the write: a leftover that cannot go now goes with a later write.
    if (m_calls.listFolder(folder.empty() ? "." : folder, names) != 0)
        return;
    for (const std::string& entry : names)
        if (isLeftoverName(entry, name))
            (void)m_calls.removeLeftover(folder + entry);
}

FileOps& realFileOps() {
    static FileOps ops;
    return ops;
}

// ---- the start file ----

StartFile::StartFile(std::string path, FileOps& ops) : m_path(std::move(path)), m_ops(ops) {}

bool StartFile::read(StartValues& values) {
    if (!m_ops.exists(m_path))
        return false;
    std::string bytes = m_ops.readStart(m_path);
    parseStartFile(bytes, values, m_path);
    m_known = std::move(bytes);
    m_knows = true;
    return true;
}

void StartFile::shortWrite(const StartValues& values) {
    wrote(valueLines(values));
}

void StartFile::wrote(std::string bytes) {
    m_ops.replaceWhole(m_path, bytes, m_lock);
    m_known = std::move(bytes);
    m_knows = true;
}

bool StartFile::unchanged() {
    if (!m_knows)
        return true;
    if (!m_ops.exists(m_path))
        return false;
    return m_ops.readStart(m_path) == m_known;
}

void StartFile::checkStorable() {
    m_ops.replaceWhole(m_path, m_ops.readStart(m_path), m_lock);
}

void StartFile::SaveStartFile(std::int32_t kind, std::int32_t value, StartValues& values) {
    switch (kind) {
    case 1:
        values.StartPosition = value;
        break;
    case 2:
        values.SavedOffsetDown = value;
        break;
    case 3:
        values.SavedOffsetRight = value;
        break;
    default:
        break;
    }
    // Lines 4 and 5 are reserved: an empty line and "0".
    wrote(valueLines(values) + LineEnd + "0" + LineEnd);
}

} // namespace kb
