// The queue check on the Windows spooler: how status and attribute bits read, and the real spooler
// calls against printers made in Wine's spooler (Wine keeps a printer's attributes but always reports
// status 0, so the status bits are checked through the reading alone).
#include "services/PrintQueueWin.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <winspool.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

using State = std::tuple<bool, bool, bool>; // exists, stopped, acceptingJobs

State asTuple(const kb::QueueState& s) {
    return {s.exists, s.stopped, s.acceptingJobs};
}

TEST(PrintQueueWin, StatusAndAttributes) {
    const std::tuple<const char*, DWORD, DWORD, State> cases[] = {
        {"ready", 0, 0, {true, false, true}},
        {"printing and busy", PRINTER_STATUS_PRINTING | PRINTER_STATUS_BUSY, 0, {true, false, true}},
        {"paused", PRINTER_STATUS_PAUSED, 0, {true, true, true}},
        {"error", PRINTER_STATUS_ERROR, 0, {true, true, true}},
        {"offline", PRINTER_STATUS_OFFLINE, 0, {true, true, true}},
        {"pending deletion", PRINTER_STATUS_PENDING_DELETION, 0, {true, false, false}},
        {"paused and pending deletion",
         PRINTER_STATUS_PAUSED | PRINTER_STATUS_PENDING_DELETION,
         0,
         {true, true, false}},
        {"work offline", 0, PRINTER_ATTRIBUTE_WORK_OFFLINE, {true, true, true}},
        {"queued, shared, local",
         0,
         PRINTER_ATTRIBUTE_QUEUED | PRINTER_ATTRIBUTE_SHARED | PRINTER_ATTRIBUTE_LOCAL |
             PRINTER_ATTRIBUTE_ENABLE_DEVQ,
         {true, false, true}},
    };
    for (const auto& [name, status, attributes, expected] : cases)
        EXPECT_EQ(asTuple(kb::queueStateFromPrinter(status, attributes)), expected) << name;
}

bool underWine() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

// Printers added to Wine's spooler for one test and deleted after it.
class WinePrinters {
  public:
    WinePrinters() {
        DRIVER_INFO_3W driver{};
        driver.cVersion = 3;
        driver.pName = const_cast<LPWSTR>(DriverName);
        driver.pEnvironment = const_cast<LPWSTR>(L"Windows x64");
        driver.pDriverPath = const_cast<LPWSTR>(L"wineps.drv");
        driver.pDataFile = const_cast<LPWSTR>(L"generic.ppd");
        driver.pConfigFile = const_cast<LPWSTR>(L"wineps.drv");
        driver.pDefaultDataType = const_cast<LPWSTR>(L"RAW");
        EXPECT_TRUE(::AddPrinterDriverExW(nullptr, 3, reinterpret_cast<LPBYTE>(&driver),
                                          APD_COPY_NEW_FILES | APD_COPY_FROM_DIRECTORY))
            << ::GetLastError();
    }
    ~WinePrinters() {
        for (const auto& name : m_names)
            remove(name);
    }
    void add(const std::wstring& name, DWORD attributes) {
        remove(name); // left by a run that crashed
        PRINTER_INFO_2W info{};
        info.pPrinterName = const_cast<LPWSTR>(name.c_str());
        info.pPortName = const_cast<LPWSTR>(L"FILE:");
        info.pDriverName = const_cast<LPWSTR>(DriverName);
        info.pPrintProcessor = const_cast<LPWSTR>(L"WinPrint");
        info.pDatatype = const_cast<LPWSTR>(L"RAW");
        info.Attributes = attributes;
        HANDLE printer = ::AddPrinterW(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
        ASSERT_NE(printer, nullptr) << ::GetLastError();
        m_names.push_back(name);
        ::ClosePrinter(printer);
    }

  private:
    static void remove(const std::wstring& name) {
        HANDLE printer = nullptr;
        PRINTER_DEFAULTSW access{nullptr, nullptr, PRINTER_ALL_ACCESS};
        if (::OpenPrinterW(const_cast<LPWSTR>(name.c_str()), &printer, &access)) {
            ::DeletePrinter(printer);
            ::ClosePrinter(printer);
        }
    }
    static constexpr const wchar_t* DriverName = L"Wine PostScript Driver";
    std::vector<std::wstring> m_names;
};

TEST(PrintQueueWin, WineSpooler) {
    if (!underWine())
        GTEST_SKIP() << "adds printers to the spooler: run under Wine only";
    WinePrinters printers;
    printers.add(L"kb ready", PRINTER_ATTRIBUTE_LOCAL);
    printers.add(L"kb offline", PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_WORK_OFFLINE);
    printers.add(L"\u30e9\u30d9\u30eb\u7528", PRINTER_ATTRIBUTE_LOCAL); // ラベル用
    const std::pair<std::string, State> cases[] = {
        {"kb ready", {true, false, true}}, {"kb offline", {true, true, true}},
        {"ラベル用", {true, false, true}}, {"kb missing", {false, false, true}},
        {"", {false, false, true}},        {"kb \xff", {false, false, true}}, // not UTF-8
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(asTuple(kb::queryQueue(name)), expected) << name;

    // A document being spooled is found by its name, and only then. Wine's spooler lists no jobs
    // (its EnumJobsW is a stub): there the lookup finds none, and the run watches no job.
    HANDLE printer = nullptr;
    ASSERT_TRUE(::OpenPrinterW(const_cast<LPWSTR>(L"kb ready"), &printer, nullptr));
    wchar_t folder[MAX_PATH];
    ::GetTempPathW(MAX_PATH, folder);
    const std::wstring output = std::wstring(folder) + L"kb-spooled.ps";
    DOC_INFO_1W document{const_cast<LPWSTR>(L"Kestrelbox (2)"), const_cast<LPWSTR>(output.c_str()), nullptr};
    const DWORD job = ::StartDocPrinterW(printer, 1, reinterpret_cast<LPBYTE>(&document));
    ASSERT_NE(job, 0u) << ::GetLastError();
    DWORD needed = 0, count = 0;
    const bool listsJobs = ::EnumJobsW(printer, 0, 16, 1, nullptr, 0, &needed, &count) || needed > 0;
    EXPECT_EQ(kb::spooledJob("kb ready", "Kestrelbox (2)"), listsJobs ? int(job) : 0);
    EXPECT_EQ(kb::spooledJob("kb ready", "Kestrelbox (1)"), 0);
    EXPECT_EQ(kb::spooledJob("kb offline", "Kestrelbox (2)"), 0);
    ::EndDocPrinter(printer);
    ::ClosePrinter(printer);
    ::DeleteFileW(output.c_str());
}

} // namespace
