// The start file in a folder whose name is not ASCII, on Windows: its path reaches the start file as
// UTF-8 or, as Qt's QFile::encodeName gives it there, in the ANSI code page; both find the same file.
#include "settings/StartFile.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace fs = std::filesystem;

namespace {

// The name in the code page, or nothing when the code page cannot hold it.
std::string encoded(const std::wstring& name, UINT codePage) {
    BOOL lost = FALSE;
    const bool ansi = codePage != CP_UTF8;
    const int size =
        ::WideCharToMultiByte(codePage, ansi ? WC_NO_BEST_FIT_CHARS : 0, name.data(),
                              static_cast<int>(name.size()), nullptr, 0, nullptr, ansi ? &lost : nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(codePage, ansi ? WC_NO_BEST_FIT_CHARS : 0, name.data(),
                          static_cast<int>(name.size()), out.data(), size, nullptr, ansi ? &lost : nullptr);
    return lost ? std::string() : out;
}

TEST(StartFileWin, FolderNamesInUtf8AndTheAnsiCodePage) {
    const std::wstring base = fs::temp_directory_path().wstring() + L"\\";
    int written = 0;
    for (const std::wstring name : {L"\u30e9\u30d9\u30eb\u7528", L"caf\u00e9"}) { // ラベル用, café
        for (const UINT codePage : {UINT(CP_UTF8), UINT(CP_ACP)}) {
            const std::string folder = encoded(base + name, codePage);
            if (folder.empty())
                continue; // this code page has no such characters
            const fs::path wideFolder = base + name;
            fs::create_directory(wideFolder);
            kb::StartFile file(folder + "\\StartFile.txt");
            file.shortWrite({7, 9, 11});
            std::ifstream in(wideFolder / L"StartFile.txt", std::ios::binary);
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "07\r\n09\r\n11\r\n") << codePage;
            in.close();
            kb::StartValues back{};
            EXPECT_TRUE(file.read(back)) << codePage;
            EXPECT_EQ(back.SavedOffsetRight, 11) << codePage;
            fs::remove_all(wideFolder);
            ++written;
        }
    }
    EXPECT_GE(written, 3) << "UTF-8 for both names and at least one in the ANSI code page";
}

} // namespace
