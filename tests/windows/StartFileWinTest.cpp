// The start file in folders whose names the ANSI code page may not hold, on Windows: the path reaches
// the system calls as UTF-8 of its UTF-16 name (as Qt's path does through kb::systemPath) and finds the
// same file whatever the code page; bytes that are not UTF-8 name no file at all, never one guessed
// from another code page.
#include "services/SystemPath.h"
#include "settings/Error.h"
#include "settings/StartFile.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <QString>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string readWide(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(StartFileWin, FoldersOfEveryKind) {
    struct Case {
        const char* name;
        std::wstring folder;
    };
    const Case cases[] = {
        {"Japanese (outside 1252)", L"\u30e9\u30d9\u30eb\u7528"},                // ラベル用
        {"e acute (outside 932)", L"Caf\u00e9"},                                 // Café
        {"outside 16 bits (outside every ANSI code page)", L"\U00020BB7\u91ce"}, // 𠮷野
        // Half-width katakana whose code page 932 bytes (C3 BD C4 B1) are also UTF-8 ("ýı").
        {"half-width katakana", L"\uff83\uff7d\uff84\uff71"},                    // ﾃｽﾄｱ
        {"a user's desktop", L"Users\\\u5c71\u7530\u3000\u82b1\u5b50\\Desktop"}, // 山田　花子
    };
    const fs::path base = fs::temp_directory_path() / L"kb-startfile-win";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path folder = base / c.folder;
        fs::create_directories(folder);
        // The path as the window and the command make it: Qt's folder with "/" and the file's name.
        const QString qtPath = QString::fromStdWString((folder / L"StartFile.txt").generic_wstring());
        const std::string path = kb::systemPath(qtPath);
        EXPECT_EQ(path.find('/'), std::string::npos) << "backslashes between folders";
        kb::StartFile file(path);
        kb::StartValues values{};
        EXPECT_FALSE(file.read(values)) << "no file yet";
        file.shortWrite({7, 9, 11});
        EXPECT_EQ(readWide(folder / L"StartFile.txt"), "07\r\n09\r\n11\r\n");
        EXPECT_TRUE(file.read(values));
        EXPECT_EQ(values, (kb::StartValues{7, 9, 11}));
        file.SaveStartFile(1, 8, values);
        EXPECT_EQ(readWide(folder / L"StartFile.txt"), "08\r\n09\r\n11\r\n\r\n0\r\n");
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 1) << "no temporary file left";
    }
    fs::remove_all(base);
}

TEST(StartFileWin, BytesThatAreNotUtf8NameNoFile) {
    const fs::path folder = fs::temp_directory_path() / L"kb-caf\u00e9";
    fs::create_directories(folder);
    std::ofstream(folder / L"StartFile.txt", std::ios::binary) << "05\r\n10\r\n10\r\n";
    // "é" in code page 1252 (E9): once guessed as the ANSI code page, now no name at all.
    const std::string ansi = fs::temp_directory_path().string() + "\\kb-caf\xE9\\StartFile.txt";
    kb::StartFile file(ansi);
    kb::StartValues values{};
    EXPECT_FALSE(file.read(values));
    EXPECT_THROW(file.shortWrite({1, 10, 10}), kb::IoError);
    EXPECT_EQ(readWide(folder / L"StartFile.txt"), "05\r\n10\r\n10\r\n") << "the file is untouched";
    fs::remove_all(folder);
}

} // namespace
