// The ledger's files on Windows. A name that is a reparse point (a symbolic link or a junction) or a
// folder is refused, and every open asks not to follow one. The copy is opened sharing reading only:
// while a spreadsheet keeps it open against writers the open fails with a sharing violation, which
// the caller reports; the database holds the rows.
#include "services/LedgerFile.h"

#include "settings/SystemCalls.h"
#include "settings/WidePathWin.h"

#include <algorithm>

namespace kb::ledgerfile {

namespace {

std::string systemError(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                              FORMAT_MESSAGE_IGNORE_INSERTS,
                                          nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string out = length ? utf8Path(text, length) : "error " + std::to_string(error);
    ::LocalFree(text);
    while (!out.empty() &&
           (out.back() == '\n' || out.back() == '\r' || out.back() == ' ' || out.back() == '.'))
        out.pop_back();
    return out;
}

std::string attributeRefusal(DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return "a symbolic link";
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return "a folder";
    return {};
}

HANDLE openFile(const std::string& path, DWORD access, std::string& why) {
    const std::wstring wide = widePath(path);
    const HANDLE h =
        ::CreateFileW(wide.c_str(), access, FILE_SHARE_READ | (access & GENERIC_READ ? FILE_SHARE_WRITE : 0),
                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        why = systemError(::GetLastError());
        return h;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileType(h) != FILE_TYPE_DISK || !::GetFileInformationByHandle(h, &info) ||
        !(why = attributeRefusal(info.dwFileAttributes)).empty()) {
        if (why.empty())
            why = "not a regular file";
        ::CloseHandle(h);
        return INVALID_HANDLE_VALUE;
    }
    return h;
}

} // namespace

std::string refusal(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesW(widePath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? std::string()
                                                                              : systemError(error);
    }
    return attributeRefusal(attributes);
}

std::string prepare(const std::string& path, const std::string&, Stamp& stamp, bool& readOnly) {
    readOnly = false;
    std::string why;
    const HANDLE h = openFile(path, GENERIC_READ | GENERIC_WRITE, why);
    if (h == INVALID_HANDLE_VALUE)
        return why;
    ::CloseHandle(h);
    stamp = stampOf(path);
    return {};
}

Stamp stampOf(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(widePath(path).c_str(), GetFileExInfoStandard, &data))
        return {};
    const auto wide = [](DWORD high, DWORD low) {
        return static_cast<std::int64_t>((static_cast<std::uint64_t>(high) << 32) | low);
    };
    // Windows gives no identity by name alone; the size and the time tell a copy someone else wrote.
    return Stamp{wide(data.nFileSizeHigh, data.nFileSizeLow),
                 wide(data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime), 0};
}

std::string readWhole(const std::string& path) {
    if (!refusal(path).empty())
        return {};
    const HANDLE h = ::CreateFileW(widePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return {};
    std::string text;
    if (::GetFileType(h) == FILE_TYPE_DISK) {
        char buffer[1 << 16];
        DWORD n = 0;
        while (::ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n > 0)
            text.append(buffer, n);
    }
    ::CloseHandle(h);
    return text;
}

// The start file's own link followed as its hold is, so that a start file named through a link has
// its ledger beside the file itself, where the hold and every other run find it. (SQLite on Windows
// does not refuse links on the way.)
std::string realPath(const std::string& path) {
    std::string target;
    return realSystemCalls().followLinks(path, target) == 0 ? target : path;
}

CopyWriter::~CopyWriter() {
    if (m_handle != -1)
        ::CloseHandle(reinterpret_cast<HANDLE>(m_handle));
}

std::string CopyWriter::open(const std::string& path, const std::string&, std::int64_t offset) {
    std::string why;
    const HANDLE h = openFile(path, GENERIC_WRITE, why);
    if (h == INVALID_HANDLE_VALUE)
        return why;
    m_handle = reinterpret_cast<std::intptr_t>(h);
    LARGE_INTEGER at{};
    at.QuadPart = offset;
    if (!::SetFilePointerEx(h, at, nullptr, FILE_BEGIN) || !::SetEndOfFile(h))
        return systemError(::GetLastError());
    return {};
}

std::string CopyWriter::write(std::string_view bytes) {
    while (!bytes.empty()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
        if (!::WriteFile(reinterpret_cast<HANDLE>(m_handle), bytes.data(), chunk, &written, nullptr) ||
            written == 0)
            return systemError(::GetLastError());
        bytes.remove_prefix(written);
    }
    return {};
}

std::string CopyWriter::close() {
    const HANDLE h = reinterpret_cast<HANDLE>(m_handle);
    m_handle = -1;
    const bool flushed = ::FlushFileBuffers(h);
    const DWORD error = ::GetLastError();
    ::CloseHandle(h);
    return flushed ? std::string() : systemError(error);
}

namespace {

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

} // namespace

std::string besideOf(const std::string& path, const std::string& name) {
    return folderOf(path) + "\\" + name;
}

} // namespace kb::ledgerfile
