// The ledger on Windows: a copy that another program holds open against writers, as a spreadsheet
// does, is told and brought up to date once it is let go; the database went on meanwhile.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "services/LedgerSqlite.h"

using namespace kb;
namespace fs = std::filesystem;

TEST(LedgerWin, CopyHeldOpenByASpreadsheet) {
    const fs::path folder =
        fs::temp_directory_path() / ("kb-ledger-" + std::to_string(::GetCurrentProcessId()));
    fs::create_directories(folder);
    std::ofstream(folder / "StartFile.txt") << "1\r\n10\r\n10\r\n\r\n0\r\n";
    const auto read = [&] {
        std::ifstream in(folder / "PrintLog.csv", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    {
        auto ledger = openSqliteLedger((folder / "StartFile.txt").string());
        const auto sheet = [](int serial) {
            return SheetRecord{
                "2026-12-09T10:00:00+09:00",
                "window",
                "kbtest",
                "1",
                "r",
                1,
                {LedgerLabel{1, "HELLO", "ABC-" + std::to_string(serial), "ABC", serial, 0, "", ""}}};
        };
        ASSERT_TRUE(ledger->recordSheet(sheet(1))) << ledger->problem();
        ASSERT_TRUE(ledger->updateCopy().upToDate);
        // Open for reading, others allowed to read only.
        const HANDLE held = ::CreateFileW((folder / "PrintLog.csv").wstring().c_str(), GENERIC_READ,
                                          FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        ASSERT_TRUE(ledger->recordSheet(sheet(2))) << ledger->problem();
        const CopyOutcome refused = ledger->updateCopy();
        EXPECT_FALSE(refused.upToDate);
        EXPECT_FALSE(refused.problem.empty());
        EXPECT_TRUE(ledger->firstRepeat({{"HELLO", "ABC", 2}}));
        ::CloseHandle(held);
        ASSERT_TRUE(ledger->updateCopy().upToDate);
        std::string all;
        ledger->exportCsv([&](std::string_view s) { return all.append(s), true; });
        EXPECT_EQ(read(), all);
        EXPECT_NE(all.find("ABC-2"), std::string::npos);
    }
    fs::remove_all(folder);
}
