// The start file: number format, integer conversion, the reader's line rules, error texts, and writes
// that never damage the old file.
#include "settings/StartFile.h"
#include "settings/Error.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <set>
#include <thread>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kb {
void PrintTo(const StartValues& v, std::ostream* os) {
    *os << "{" << v.StartPosition << ", " << v.SavedOffsetDown << ", " << v.SavedOffsetRight << "}";
}
} // namespace kb

namespace fs = std::filesystem;
using kb::StartValues;

namespace {

std::string notInteger(const std::string& shown) {
    return "'" + shown + "' は整数ではありません";
}

class TempFolder {
  public:
    TempFolder() {
        std::random_device random;
        do
            m_path = fs::temp_directory_path() / ("kb-startfile-" + std::to_string(random()));
        while (!fs::create_directory(m_path));
    }
    ~TempFolder() { fs::remove_all(m_path); }
    fs::path file(const std::string& name) const { return m_path / name; }
    std::size_t entries() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(m_path), {}));
    }

  private:
    fs::path m_path;
};

void writeBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

} // namespace

TEST(StartFileFormat, Number00) {
    const std::pair<std::int32_t, std::string> cases[] = {
        {5, "05"}, {0, "00"}, {-1, "-01"}, {100, "100"}, {-10, "-10"}, {-2147483647 - 1, "-2147483648"}};
    for (const auto& [value, text] : cases)
        EXPECT_EQ(kb::formatNumber00(value), text) << value;
}

TEST(StartFileFormat, StrToInt) {
    const std::pair<std::string, std::int32_t> good[] = {{" 7", 7}, {"  -3", -3}, {"+5", 5},    {"-0", 0},
                                                         {"x1", 1}, {"X1f", 31},  {"-$A", -10}, {"$ff", 255}};
    for (const auto& [text, value] : good)
        EXPECT_EQ(kb::strToInt(text), value) << '"' << text << '"';
    EXPECT_EQ(kb::strToInt("2147483647"), 2147483647);
    EXPECT_EQ(kb::strToInt("-2147483648"), -2147483647 - 1);

    const auto rejects = [](const std::string& text, const std::string& shown) {
        try {
            kb::strToInt(text);
            ADD_FAILURE() << '"' << text << "\" converted";
        } catch (const kb::Error& e) {
            EXPECT_EQ(e.what(), notInteger(shown)) << '"' << text << '"';
        }
    };
    for (const std::string text :
         {"", "-", " ", "7 ", "$", "x", "$G", "1a", "0x1", "- 1", "A", "2147483648", "-2147483649"})
        rejects(text, text);
    // Control bytes show as "?": a NUL would end the message, a tab shows as nothing to look for.
    rejects("\t7", "?7");
    rejects(std::string(1, '\0') + "5", "?5");
    rejects("7\x7F", "7?");
    // Shift-JIS bytes from the file show as valid text: half-width katakana as such, a double-byte
    // character or half of one as the replacement character.
    rejects("\xB1", "ｱ");
    rejects("7\xDF", "7ﾟ");
    rejects("\x82\x50", "\xEF\xBF\xBD");
    rejects("7\x82", "7\xEF\xBF\xBD");
    rejects("\x80", "\xEF\xBF\xBD");
}

TEST(StartFileReader, Lines) {
    struct Case {
        const char* name;
        std::string bytes;
        StartValues before, after;
        std::optional<std::string> error;
    };
    const StartValues fresh{};
    // "\032" is Ctrl+Z.
    const Case cases[] = {
        {"five lines", "05\r\n10\r\n10\r\n\r\n0\r\n", fresh, {5, 10, 10}, {}},
        {"zero", "00\r\n10\r\n10\r\n", fresh, {1, 10, 10}, {}},
        {"negative", "-5\r\n10\r\n10\r\n", fresh, {1, 10, 10}, {}},
        {"two characters only", "123\r\n10\r\n10\r\n", fresh, {12, 10, 10}, {}},
        {"minus one read back", "05\r\n-01\r\n-01\r\n", fresh, {5, 0, 0}, {}},
        {"LF only", "05\n09\n11\n", fresh, {5, 9, 11}, {}},
        {"lone CR skipped", "0\r5\r\n1\r\r1\r\n\r12\r\n", fresh, {5, 11, 12}, {}},
        {"Ctrl+Z inside a line", "05\r\n1\0322\r\n", {0, 0, 3}, {5, 1, 10}, {}},
        {"Ctrl+Z first", "\03205\r\n", {0, 4, 4}, {1, 10, 10}, {}},
        {"lines 4 on not read", "05\r\n10\r\n10\r\nanything\r\nab\r\nmore\r\n\r\nx", fresh, {5, 10, 10}, {}},
        {"last line without end", "05\r\n10\r\n11", fresh, {5, 10, 11}, {}},
        // A missing line is position 1 or no shift (10), whatever the values were before.
        {"fewer than three", "05\r\n", {0, 7, 8}, {5, 10, 10}, {}},
        {"two lines", "05\r\n09", fresh, {5, 9, 10}, {}},
        {"empty file", "", fresh, {1, 10, 10}, {}},
        {"above 30", "31\r\n10\r\n10\r\n", fresh, {1, 10, 10}, {}},
        {"30", "30\r\n10\r\n10\r\n", fresh, {30, 10, 10}, {}},
        {"empty line 1", "\r\n10\r\n10\r\n", fresh, fresh, notInteger("")},
        {"letters on line 2", "05\r\nab\r\n10\r\n", fresh, {5, 0, 0}, notInteger("ab")},
        {"only a lone CR on line 3", "05\r\n10\r\n\r", fresh, {5, 10, 0}, notInteger("")},
        {"NUL on line 1", std::string(1, '\0') + "5\r\n10\r\n10\r\n", fresh, fresh, notInteger("?5")},
        {"UTF-8 mark not at the start",
         "12\r\n\xEF\xBB\xBF"
         "09\r\n",
         fresh,
         {12, 0, 0},
         notInteger("\xEF\xBF\xBD")},
        // A byte-order mark only at the very start is skipped (ReadAndWrite); Notepad's "UTF-16 LE" is
        // refused whole, naming the file.
        {"UTF-16 LE",
         std::string("\xFF\xFE"
                     "1\0"
                     "2\0\r\0\n\0",
                     10),
         {0, 7, 8},
         {0, 7, 8},
         "スタートファイル は UTF-16 で保存されています。メモ帳で開き、文字コードを "
         "ANSI（Shift-JIS）にして保存し直してください"},
    };
    for (const auto& c : cases) {
        StartValues values = c.before;
        try {
            kb::parseStartFile(c.bytes, values);
            EXPECT_FALSE(c.error) << c.name << ": no error";
        } catch (const kb::Error& e) {
            EXPECT_EQ(std::optional<std::string>(e.what()), c.error) << c.name;
        }
        EXPECT_EQ(values, c.after) << c.name;
    }
}

// The I/O error texts and errno codes the failing-step test below does not meet.
TEST(StartFileErrors, Texts) {
    const std::pair<int, std::string> texts[] = {{2, "ファイルが見つかりません"},
                                                 {3, "ファイル名の指定が間違っています"},
                                                 {100, "ファイルの末尾以降を読み込みました"},
                                                 {106, "入力値が数値ではありません"},
                                                 {1, "I/O エラー (1)"},
                                                 {-3, "I/O エラー (-3)"}};
    for (const auto& [code, text] : texts) {
        const kb::IoError error(code);
        EXPECT_EQ(error.what(), text);
        EXPECT_EQ(error.code(), code);
    }
    const std::pair<int, int> codes[] = {{ENOENT, 2},        {ENAMETOOLONG, 3}, {EINVAL, 3},
                                         {ENOTDIR, 3},       {ENFILE, 4},       {EPERM, 5},
                                         {ETXTBSY, ETXTBSY}, {EFBIG, EFBIG},    {EROFS, 19}};
    for (const auto& [errnoValue, code] : codes)
        EXPECT_EQ(kb::ioErrorCodeFromErrno(errnoValue), code) << errnoValue;
}

TEST(StartFileOnDisk, ReadAndWrite) {
    TempFolder folder;
    const fs::path path = folder.file("StartFile.txt");
    kb::StartFile file(path.string());

    StartValues values{0, 7, 8};
    EXPECT_FALSE(file.read(values));
    EXPECT_EQ(values, (StartValues{0, 7, 8}));
    EXPECT_FALSE(fs::exists(path));

    values = {5, 10, 10};
    file.shortWrite(values);
    EXPECT_EQ(readBytes(path), "05\r\n10\r\n10\r\n");

    // Five lines whatever the file held before, the last value set by each call; the replacement
    // keeps the file's permissions.
    writeBytes(path, "01\r\n02\r\n03\r\nold text\r\n1\r\nsix\r\nseven\r\n");
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const fs::perms perms = fs::status(path).permissions(); // as the system keeps them
    // The check before a print run writes the file back as it is.
    file.checkStorable();
    EXPECT_EQ(readBytes(path), "01\r\n02\r\n03\r\nold text\r\n1\r\nsix\r\nseven\r\n");
    EXPECT_EQ(fs::status(path).permissions(), perms);
    file.SaveStartFile(1, 8, values);
    EXPECT_EQ(readBytes(path), "08\r\n10\r\n10\r\n\r\n0\r\n");
    file.SaveStartFile(2, -1, values);
    file.SaveStartFile(3, 100, values);
    file.SaveStartFile(4, 17, values);
    file.SaveStartFile(0, 17, values);
    EXPECT_EQ(values, (StartValues{8, -1, 100}));
    EXPECT_EQ(readBytes(path), "08\r\n-01\r\n100\r\n\r\n0\r\n");
    EXPECT_EQ(fs::status(path).permissions(), perms);

    StartValues back{};
    EXPECT_TRUE(file.read(back));
    EXPECT_EQ(back, (StartValues{8, 0, 10}));
    EXPECT_EQ(folder.entries(), 1u) << "no temporary file left behind";

    // A byte-order mark is read past and not written back.
    writeBytes(path, "\xEF\xBB\xBF"
                     "12\r\n09\r\n11\r\n");
    EXPECT_TRUE(file.read(back));
    EXPECT_EQ(back, (StartValues{12, 9, 11}));
    file.shortWrite(back);
    EXPECT_EQ(readBytes(path), "12\r\n09\r\n11\r\n");

    // A folder where the file should be cannot be read as one.
    fs::remove(path);
    fs::create_directory(path);
    EXPECT_THROW(file.read(back), kb::IoError);
}

namespace {

enum class Step { CreateTemp, Write, Flush, Close, Rename, Read };

#ifdef EDQUOT
constexpr int QuotaExceeded = EDQUOT;
#else
constexpr int QuotaExceeded = ENOSPC; // Windows has no quota error of its own: the disk is full
#endif

// Real system calls, with one step failing with the given errno.
class FailingCalls : public kb::SystemCalls {
  public:
    FailingCalls(Step step, int error) : m_step(step), m_error(error) {}

    int readFile(const std::string& path, std::size_t limit, std::string& bytes) override {
        return m_step == Step::Read ? m_error : SystemCalls::readFile(path, limit, bytes);
    }
    int createTemp(const std::string& target, int& fd, std::string& tempPath) override {
        return m_step == Step::CreateTemp ? m_error : SystemCalls::createTemp(target, fd, tempPath);
    }
    int write(int fd, const char* data, std::size_t size) override {
        if (m_step != Step::Write)
            return SystemCalls::write(fd, data, size);
        // Part of the data reaches the file before the disk fills up.
        SystemCalls::write(fd, data, size / 2);
        return m_error;
    }
    int flush(int fd) override { return m_step == Step::Flush ? m_error : SystemCalls::flush(fd); }
    int close(int fd) override {
        const int result = SystemCalls::close(fd);
        return m_step == Step::Close ? m_error : result;
    }
    int rename(const std::string& from, const std::string& to) override {
        return m_step == Step::Rename ? m_error : SystemCalls::rename(from, to);
    }

  private:
    Step m_step;
    int m_error;
};

} // namespace

// Each step of a write failing in turn (with the short and the five-line write, and the check a print
// run makes before its first sheet), and a failing read: the error's text, the old file byte for byte,
// no temporary file left.
TEST(StartFileOnDisk, FailedStepLeavesOldFileWhole) {
    struct Case {
        Step step;
        int error;
        std::string text;
    };
    const Case cases[] = {
        {Step::CreateTemp, EROFS, "書き込み禁止のディスクです（読み取り専用のファイルシステム）"},
        {Step::CreateTemp, EMFILE, "オープンしたファイルが多すぎます"},
        {Step::Write, ENOSPC, "ディスクがいっぱいです"},
        {Step::Write, EIO, "I/O エラー (1117)"},
        {Step::Flush, EIO, "I/O エラー (1117)"},
        {Step::Close, QuotaExceeded, "ディスクがいっぱいです"},
        {Step::Rename, EROFS, "書き込み禁止のディスクです（読み取り専用のファイルシステム）"},
        {Step::Rename, EXDEV, "I/O エラー (" + std::to_string(EXDEV) + ")"},
        {Step::Read, EACCES, "ファイルへのアクセスが拒否されました"},
    };
    const std::string old = "07\r\n09\r\n11\r\n\r\n0\r\nkept\r\n";
    for (const auto& c : cases) {
        for (const int mode : {0, 1, 2}) { // short write, five-line write, the check
            const bool fiveLines = mode == 1;
            if (mode == 2 && c.step == Step::Read)
                continue;
            const std::string label =
                std::to_string(static_cast<int>(c.step)) + "/" + std::to_string(mode) + "/" + c.text;
            TempFolder folder;
            const fs::path path = folder.file("StartFile.txt");
            writeBytes(path, old);
            FailingCalls calls(c.step, c.error);
            kb::FileOps ops(calls);
            kb::StartFile file(path.string(), ops);
            StartValues values{3, 10, 10};
            try {
                if (c.step == Step::Read)
                    file.read(values);
                else if (fiveLines)
                    file.SaveStartFile(1, 4, values);
                else if (mode == 2)
                    file.checkStorable();
                else
                    file.shortWrite(values);
                ADD_FAILURE() << label << ": no error";
            } catch (const kb::IoError& e) {
                EXPECT_EQ(e.what(), c.text) << label;
            }
            EXPECT_EQ(readBytes(path), old) << label;
            // The file still holds what this program last read: no change from outside to tell.
            EXPECT_TRUE(c.step == Step::Read || file.unchanged()) << label;
            EXPECT_EQ(folder.entries(), 1u) << label << ": temporary file left behind";
            // A failed read changes nothing; a failed five-line write keeps the field's new value.
            const bool setsField = fiveLines && c.step != Step::Read;
            EXPECT_EQ(values, (StartValues{setsField ? 4 : 3, 10, 10})) << label;
        }
    }
}

namespace {

#ifdef _WIN32
// Windows keeps named pipes in a namespace of their own, never at a file's name.
struct FeedingPipe {
    explicit FeedingPipe(const fs::path&) { ADD_FAILURE() << "no named pipe at a file's name on Windows"; }
};
#else
// A named pipe with a program on the way to write a good start file into it. Whatever the reader did,
// the writer is let through and joined at the end (its open waits for a reader).
class FeedingPipe {
  public:
    explicit FeedingPipe(const fs::path& path) : m_path(path) {
        EXPECT_EQ(::mkfifo(path.c_str(), 0644), 0);
        m_writer = std::thread([path] {
            const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
            if (fd >= 0) {
                (void)!::write(fd, "05\r\n10\r\n10\r\n", 12);
                ::close(fd);
            }
        });
    }
    ~FeedingPipe() {
        const int reader = ::open(m_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        m_writer.join();
        ::close(reader);
    }

  private:
    fs::path m_path;
    std::thread m_writer;
};
#endif

// Real system calls that remember the most bytes one read delivered.
struct ReadSizes : kb::SystemCalls {
    std::size_t largest = 0;
    int readFile(const std::string& path, std::size_t limit, std::string& bytes) override {
        const int error = SystemCalls::readFile(path, limit, bytes);
        largest = std::max(largest, bytes.size());
        return error;
    }
};

} // namespace

// Only a regular file is read, and only its start: a pipe, a device or anything else at the name is
// refused with the access-denied text at once, instead of waiting for good or reading without end.
TEST(StartFileOnDisk, OnlyTheStartOfARegularFileIsRead) {
    struct Case {
        const char* name;
        std::string linkTo; // the start file is a link to this
        std::uintmax_t size;
        std::optional<StartValues> values; // nothing: refused
    };
    const Case cases[] = {
#ifndef _WIN32 // no pipe at a file's name, no device files, and Wine makes no links
        {"named pipe", "", 0, {}},
        {"link to /dev/zero", "/dev/zero", 0, {}},
        {"link to /dev/urandom", "/dev/urandom", 0, {}},
        {"link to a file elsewhere", "shared.txt", 0, StartValues{5, 9, 11}},
#endif
        {"200 MB file", "", 200'000'000, StartValues{5, 9, 11}},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        const fs::path path = folder.file("StartFile.txt");
        std::optional<FeedingPipe> pipe;
        writeBytes(folder.file(c.size ? "StartFile.txt" : "shared.txt"), "05\r\n09\r\n11\r\n\r\n0\r\n");
        if (c.size)
            fs::resize_file(path, c.size);
        else if (!c.linkTo.empty())
            fs::create_symlink(c.linkTo, path);
        else
            pipe.emplace(path);
        ReadSizes calls;
        kb::FileOps ops(calls);
        StartValues values{3, 4, 5};
        std::optional<StartValues> got;
        try {
            EXPECT_TRUE(kb::StartFile(path.string(), ops).read(values)) << c.name;
            got = values;
        } catch (const kb::IoError& e) {
            EXPECT_EQ(e.what(), std::string("ファイルへのアクセスが拒否されました")) << c.name;
            EXPECT_EQ(values, (StartValues{3, 4, 5})) << c.name;
        }
        pipe.reset();
        EXPECT_EQ(got, c.values) << c.name;
        EXPECT_LE(calls.largest, 64u * 1024) << c.name;
    }
}

namespace {

bool ownerMay(const fs::path& path) {
    return (fs::status(path).permissions() & fs::perms::owner_write) != fs::perms::none;
}

// The checks the system makes for the owner of the files, made here as well, so that the rows below
// mean the same when the test runs as root (CI), whom the system lets write everything, and under
// Wine, which keeps no permissions on folders (on Windows a folder that takes no new file is a matter
// of its access list). closedFolder takes no new file.
struct OrdinaryUser : kb::SystemCalls {
    explicit OrdinaryUser(fs::path closedFolder) : m_closedFolder(std::move(closedFolder)) {}
    int checkWritable(const std::string& path) override {
        const int error = SystemCalls::checkWritable(path);
        return error || ownerMay(path) ? error : EACCES;
    }
    int createTemp(const std::string& target, int& fd, std::string& tempPath) override {
        const bool closed =
            !m_closedFolder.empty() && fs::equivalent(fs::path(target).parent_path(), m_closedFolder);
        return closed ? EACCES : SystemCalls::createTemp(target, fd, tempPath);
    }

  private:
    fs::path m_closedFolder;
};

std::set<std::string> namesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

} // namespace

// The file's own permissions decide, not its folder's; a link is written through and stays a link;
// temporary files of interrupted writes go, other names and a write still going on stay.
TEST(StartFileOnDisk, WritesFollowTheFileAndItsPermissions) {
    using P = fs::perms;
    const P rw = P::owner_read | P::owner_write, ro = P::owner_read;
    const P folderRw = P::owner_all, folderRo = P::owner_read | P::owner_exec;
    struct Case {
        const char* name;
        P folderMode, fileMode;
        bool link, leftovers; // a link to shared/StartFile.txt; leftovers of interrupted writes beside it
        bool written;         // else refused with access denied
    };
    const Case cases[] = {
        {"writable file, read-only folder", folderRo, rw, false, false, true},
        {"read-only file, writable folder", folderRw, ro, false, false, false},
#ifndef _WIN32 // Wine makes no links (and Windows lets only some users make them)
        {"link to a file elsewhere", folderRw, rw, true, false, true},
        {"link to a file in a read-only folder", folderRo, rw, true, false, true},
#endif
        {"leftovers of interrupted writes", folderRw, rw, false, true, true},
    };
    const std::set<std::string> leftovers = {".StartFile.txt.kestrelbox-a1B2c3",
                                             ".StartFile.txt.kestrelbox-ZZZZZZ"};
    // A user's own files, whatever they look like, and names near the program's own.
    const std::set<std::string> strangers = {
        "StartFile.txt.bak",
        "StartFile.txt.backup",
        "StartFile.txt.2024ab",
        "StartFile.txt.BAK001",
        ".StartFile.txt.a1B2c3",
        ".StartFile.txt.kestrelbox-a1B2c",
        "Other.txt.a1B2c3",
        ".Other.txt.kestrelbox-a1B2c3",
        ".StartFile.txt.kestrelbox-a1-2c3",
        ".StartFile.txt.kestrelbox-lock"}; // the hold file stays for good
    const std::string old = "07\r\n09\r\n11\r\n\r\n0\r\n";
    for (const Case& c : cases) {
        TempFolder top;
        const fs::path install = top.file("install"), shared = top.file("shared");
        fs::create_directories(install), fs::create_directories(shared);
        const fs::path written = (c.link ? shared : install) / "StartFile.txt";
        writeBytes(written, old);
        if (c.link)
            fs::create_symlink("../shared/StartFile.txt", install / "StartFile.txt");
        std::set<std::string> names = strangers;
        if (c.leftovers)
            names.insert(leftovers.begin(), leftovers.end());
        for (const std::string& name : names)
            writeBytes(written.parent_path() / name, "05\r\n");
        int busyFd = -1; // a write still filling its temporary file
        std::string busy;
        ASSERT_EQ(kb::realSystemCalls().createTemp(written.string(), busyFd, busy), 0);
        fs::permissions(written, c.fileMode);
        fs::permissions(written.parent_path(), c.folderMode);
        const fs::perms fileMode = fs::status(written).permissions(); // as the system keeps them

        OrdinaryUser owner(c.folderMode == folderRo ? written.parent_path() : fs::path());
        kb::FileOps ops(owner);
        try {
            kb::StartFile((install / "StartFile.txt").string(), ops).shortWrite({5, 10, 10});
            EXPECT_TRUE(c.written) << c.name << ": written";
        } catch (const kb::IoError& e) {
            EXPECT_EQ(e.what(), std::string(c.written ? "" : "ファイルへのアクセスが拒否されました"))
                << c.name;
        }
        EXPECT_EQ(readBytes(written), c.written ? "05\r\n10\r\n10\r\n" : old) << c.name;
        EXPECT_EQ(fs::status(written).permissions(), fileMode) << c.name;
        EXPECT_EQ(fs::is_symlink(install / "StartFile.txt"), c.link) << c.name;
        std::set<std::string> expected = strangers;
        expected.insert({"StartFile.txt", fs::path(busy).filename().string()});
        EXPECT_EQ(namesIn(written.parent_path()), expected) << c.name;
        kb::realSystemCalls().close(busyFd);
        // Still there once closed (Windows removes a file marked for deletion only at its last close).
        EXPECT_TRUE(fs::exists(busy)) << c.name << ": the file of the write going on was removed";
        fs::permissions(written.parent_path(), folderRw);
        fs::permissions(written, rw); // Windows deletes no read-only file
    }
}

// One holder at a time, across the holder's own writes (a replace gives the start file a new file, a
// rewrite in place keeps it) and a replace behind its back; the window tells itself apart from a run.
// The second taker is another thread, as another program would be (on Windows a thread that holds a
// mutex may take it again).
TEST(StartFileLock, OneHolderAcrossWrites) {
    using Lock = kb::StartFileLock;
    enum class Step { None, Write, WriteInPlace, ReplacedBehind, Released };
    struct Case {
        const char* name;
        Lock::Kind holder;
        Step step;
        Lock::Outcome second;
    };
    const Case cases[] = {
        {"a run holds", Lock::Kind::Run, Step::None, Lock::Outcome::HeldByRun},
        {"the window holds", Lock::Kind::Window, Step::None, Lock::Outcome::HeldByWindow},
        {"the window wrote", Lock::Kind::Window, Step::Write, Lock::Outcome::HeldByWindow},
        {"a run wrote", Lock::Kind::Run, Step::Write, Lock::Outcome::HeldByRun},
        {"written in place", Lock::Kind::Window, Step::WriteInPlace, Lock::Outcome::HeldByWindow},
        {"replaced behind its back", Lock::Kind::Window, Step::ReplacedBehind, Lock::Outcome::HeldByWindow},
        {"released", Lock::Kind::Run, Step::Released, Lock::Outcome::Taken},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        const fs::path path = folder.file("StartFile.txt");
        writeBytes(path, "07\r\n10\r\n10\r\n");
        Lock lock;
        ASSERT_EQ(lock.take(path.string(), c.holder), Lock::Outcome::Taken) << c.name;
        OrdinaryUser owner(c.step == Step::WriteInPlace ? folder.file("") : fs::path());
        kb::FileOps ops(owner);
        kb::StartFile file(path.string(), ops);
        file.setLock(&lock);
        if (c.step == Step::Write || c.step == Step::WriteInPlace)
            file.shortWrite({9, 10, 10});
        if (c.step == Step::ReplacedBehind) {
            writeBytes(folder.file("edited"), "12\r\n");
            fs::rename(folder.file("edited"), path);
            EXPECT_TRUE(lock.confirm()) << c.name;
        }
        if (c.step == Step::Released)
            lock.release();
        Lock::Outcome second = Lock::Outcome::Taken;
        std::thread other([&] {
            Lock lock2;
            second = lock2.take(path.string(), Lock::Kind::Run);
        });
        other.join();
        EXPECT_EQ(second, c.second) << c.name;
        if (c.step == Step::Write || c.step == Step::WriteInPlace) {
            EXPECT_EQ(readBytes(path), "09\r\n10\r\n10\r\n") << c.name;
        }
    }
    Lock missing;
    try {
        missing.take(TempFolder().file("StartFile.txt").string(), Lock::Kind::Run);
        ADD_FAILURE() << "a missing start file was taken";
    } catch (const kb::IoError& e) {
        EXPECT_EQ(e.code(), 2);
    }
}
