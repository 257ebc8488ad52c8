// The start file's lock on Windows: a named mutex in the global namespace, named after the start
// file's final path (links and drive mappings resolved, case folded), so that every run of either
// front end, in any session, meets the same object however it names the file. The file itself is
// replaced at every write and cannot carry the lock. The window also keeps a second named object
// while it holds the file, which tells a command beside it that the holder is the window. A mutex
// whose holder ended without releasing it is taken over, as a stale lock should be.
#include "settings/StartFileLock.h"

#include "settings/Error.h"
#include "settings/WidePathWin.h"

#include <windows.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>

namespace kb {

namespace {

[[noreturn]] void throwIo(int error) {
    throw IoError(ioErrorCodeFromErrno(error));
}

int errnoFrom(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
        return ENOENT;
    case ERROR_PATH_NOT_FOUND:
        return ENOTDIR;
    case ERROR_ACCESS_DENIED:
        return EACCES;
    default:
        return EIO;
    }
}

// The names of the two objects for the file at path: a hash of its final path, upper-cased.
std::wstring objectKey(const std::string& path) {
    const std::wstring name = widePath(path);
    HANDLE file = ::CreateFileW(name.c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throwIo(errnoFrom(::GetLastError()));
    std::wstring final(MAX_PATH, L'\0');
    DWORD size = ::GetFinalPathNameByHandleW(file, final.data(), static_cast<DWORD>(final.size()), 0);
    if (size >= final.size()) {
        final.resize(size + 1);
        size = ::GetFinalPathNameByHandleW(file, final.data(), static_cast<DWORD>(final.size()), 0);
    }
    ::CloseHandle(file);
    if (size == 0 || size >= final.size()) {
        // Without the final path the full path still names the file for every caller that names it
        // alike.
        final.assign(MAX_PATH, L'\0');
        size = ::GetFullPathNameW(name.c_str(), static_cast<DWORD>(final.size()), final.data(), nullptr);
        if (size == 0 || size >= final.size())
            throwIo(EINVAL);
    }
    final.resize(size);
    ::CharUpperBuffW(final.data(), static_cast<DWORD>(final.size()));
    std::uint64_t hash = 1469598103934665603ull; // FNV-1a over the UTF-16 units
    for (const wchar_t c : final) {
        hash ^= static_cast<std::uint16_t>(c);
        hash *= 1099511628211ull;
    }
    wchar_t hex[17];
    std::swprintf(hex, 17, L"%016llx", static_cast<unsigned long long>(hash));
    return hex;
}

std::wstring runName(const std::wstring& key) {
    return L"Global\\Kestrelbox-StartFile-" + key;
}
std::wstring windowName(const std::wstring& key) {
    return L"Global\\Kestrelbox-StartFile-Window-" + key;
}

HANDLE handleOf(std::intptr_t value) {
    return reinterpret_cast<HANDLE>(value);
}

// Whether the window's object exists: one that another user's window made may be closed to this
// user, which still tells that it is there.
bool windowHolds(const std::wstring& key) {
    HANDLE window = ::OpenMutexW(SYNCHRONIZE, FALSE, windowName(key).c_str());
    if (window) {
        ::CloseHandle(window);
        return true;
    }
    return ::GetLastError() == ERROR_ACCESS_DENIED;
}

} // namespace

StartFileLock::~StartFileLock() {
    release();
}

StartFileLock::Outcome StartFileLock::take(const std::string& path, Kind kind) {
    release();
    const std::wstring key = objectKey(path);
    HANDLE run = ::CreateMutexW(nullptr, FALSE, runName(key).c_str());
    if (!run) {
        // Another user's run made the object (its default access is that user's own): the file is in
        // use, and only the holder's ending frees it.
        const DWORD error = ::GetLastError();
        if (error == ERROR_ACCESS_DENIED)
            return windowHolds(key) ? Outcome::HeldByWindow : Outcome::HeldByRun;
        throwIo(errnoFrom(error));
    }
    const DWORD waited = ::WaitForSingleObject(run, 0);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        ::CloseHandle(run);
        return windowHolds(key) ? Outcome::HeldByWindow : Outcome::HeldByRun;
    }
    if (kind == Kind::Window) {
        HANDLE window = ::CreateMutexW(nullptr, FALSE, windowName(key).c_str());
        if (!window) {
            const DWORD error = ::GetLastError();
            ::ReleaseMutex(run);
            ::CloseHandle(run);
            throwIo(errnoFrom(error));
        }
        m_marker = reinterpret_cast<std::intptr_t>(window);
    }
    m_path = path;
    m_kind = kind;
    m_handle = reinterpret_cast<std::intptr_t>(run);
    return Outcome::Taken;
}

bool StartFileLock::confirm() {
    // The object is named after the path, not the file: a file replaced behind the program's back is
    // still the one held.
    return held();
}

void StartFileLock::release() {
    if (m_marker != -1)
        ::CloseHandle(handleOf(m_marker));
    m_marker = -1;
    if (m_handle != -1) {
        ::ReleaseMutex(handleOf(m_handle));
        ::CloseHandle(handleOf(m_handle));
    }
    m_handle = -1;
}

int StartFileLock::prepareReplace(int) {
    return 0;
}
void StartFileLock::commitReplace() {}
void StartFileLock::abandonReplace() {}

} // namespace kb
