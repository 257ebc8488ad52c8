// The start file's system calls on Windows. Paths arrive with "/" or "\" between folders and go to the
// wide-character calls; the calls' error codes are mapped onto the errno values that FileOps
// and the error texts understand. A write goes to a new file beside the start file, is flushed to the
// disk, and then takes the start file's name in one step (MoveFileExW), so that a crash leaves either
// the old file or the new one.
#include "settings/SystemCalls.h"
#include "settings/WidePathWin.h"

#include <windows.h>

#include <aclapi.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace kb {

namespace {

// The errno value FileOps and the error texts know for a Windows error code.
int errnoFrom(DWORD error) {
    switch (error) {
    case ERROR_SUCCESS:
        return 0;
    case ERROR_FILE_NOT_FOUND:
        return ENOENT;
    case ERROR_PATH_NOT_FOUND: // a missing folder: error 3, as the program has always said on Windows
        return ENOTDIR;
    case ERROR_TOO_MANY_OPEN_FILES:
        return EMFILE;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_CANNOT_MAKE:
        return EACCES;
    case ERROR_WRITE_PROTECT: // a write-protected medium or read-only share is no refused access
        return EROFS;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
    case ERROR_INVALID_PARAMETER:
        return EINVAL;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_NOT_SAME_DEVICE:
        return EXDEV;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    default:
        return EIO;
    }
}

int lastError() {
    return errnoFrom(::GetLastError());
}

// A path FileOps can take apart again: wide characters back to UTF-8, "\" as "/".
std::string portablePath(const std::wstring& path) {
    std::string out = utf8Path(path.data(), path.size());
    for (char& c : out)
        if (c == '\\')
            c = '/';
    return out;
}

// FileOps keeps a file as an int. Windows keeps its kernel handles within 32 bits so that 32- and
// 64-bit programs can pass them to each other: the conversion both ways loses nothing.
int asFd(HANDLE handle) {
    return static_cast<int>(reinterpret_cast<std::intptr_t>(handle));
}
HANDLE asHandle(int fd) {
    return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(fd));
}

// Gives to the file at `to` the access list of the file at `from`, inherited or not as it was there.
void copyAccessList(const std::wstring& from, std::wstring to) {
    PACL list = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetNamedSecurityInfoW(from.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                &list, nullptr, &descriptor) != ERROR_SUCCESS)
        return;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ::GetSecurityDescriptorControl(descriptor, &control, &revision);
    const SECURITY_INFORMATION inheritance = (control & SE_DACL_PROTECTED)
                                                 ? PROTECTED_DACL_SECURITY_INFORMATION
                                                 : UNPROTECTED_DACL_SECURITY_INFORMATION;
    (void)::SetNamedSecurityInfoW(to.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | inheritance, nullptr,
                                  nullptr, list, nullptr);
    ::LocalFree(descriptor);
}

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

} // namespace

bool SystemCalls::exists(const std::string& path) {
    if (::GetFileAttributesW(widePath(path).c_str()) != INVALID_FILE_ATTRIBUTES)
        return true;
    const DWORD error = ::GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND && error != ERROR_INVALID_NAME;
}

int SystemCalls::readFile(const std::string& path, std::size_t limit, std::string& bytes) {
    // A folder cannot be opened without backup semantics: it is refused with access denied.
    const HANDLE file = ::CreateFileW(widePath(path).c_str(), GENERIC_READ, ShareAll, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return lastError();
    // A device ("CON", a serial port) or a pipe would wait for input: only a disk file is read.
    if (::GetFileType(file) != FILE_TYPE_DISK) {
        ::CloseHandle(file);
        return EACCES;
    }
    bytes.clear();
    char buffer[4096];
    int error = 0;
    while (bytes.size() < limit) {
        const DWORD want = static_cast<DWORD>(std::min(sizeof buffer, limit - bytes.size()));
        DWORD got = 0;
        if (!::ReadFile(file, buffer, want, &got, nullptr)) {
            error = lastError();
            break;
        }
        if (got == 0)
            break;
        bytes.append(buffer, got);
    }
    if (!::CloseHandle(file) && !error)
        error = lastError();
    return error;
}

int SystemCalls::followLinks(const std::string& path, std::string& target) {
    const std::wstring name = widePath(path);
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        target = path;
        return 0;
    }
    const HANDLE file =
        ::CreateFileW(name.c_str(), 0, ShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        // A link whose file is missing: the write creates the file where the link is.
        target = path;
        return 0;
    }
    std::wstring final(MAX_PATH, L'\0');
    DWORD length = ::GetFinalPathNameByHandleW(file, final.data(), static_cast<DWORD>(final.size()), 0);
    if (length >= final.size()) {
        final.resize(length);
        length = ::GetFinalPathNameByHandleW(file, final.data(), static_cast<DWORD>(final.size()), 0);
    }
    const int error = length == 0 ? lastError() : 0;
    ::CloseHandle(file);
    if (error)
        return error;
    final.resize(length);
    // "\\?\C:\..." and "\\?\UNC\server\share\..." back to the usual forms.
    if (final.rfind(L"\\\\?\\UNC\\", 0) == 0)
        final = L"\\\\" + final.substr(8);
    else if (final.rfind(L"\\\\?\\", 0) == 0)
        final = final.substr(4);
    target = portablePath(final);
    return 0;
}

int SystemCalls::checkWritable(const std::string& path) {
    const std::wstring name = widePath(path);
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return lastError();
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE | FILE_ATTRIBUTE_READONLY))
        return EACCES;
    // The file's permissions and other programs holding it open answer only to an open for writing.
    const HANDLE file = ::CreateFileW(name.c_str(), GENERIC_WRITE, ShareAll, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return lastError();
    ::CloseHandle(file);
    return 0;
}

int SystemCalls::createTemp(const std::string& target, int& fd, std::string& tempPath) {
    const std::wstring targetName = widePath(target);
    // The replacement takes the old file's attributes (hidden, archive; read-only never reaches here).
    DWORD attributes = ::GetFileAttributesW(targetName.c_str());
    const bool replacing = attributes != INVALID_FILE_ATTRIBUTES;
    attributes = replacing ? attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                           FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED)
                           : 0;
    static const char Letters[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    std::random_device random;
    std::uniform_int_distribution<int> pick(0, static_cast<int>(sizeof Letters) - 2);
    const std::size_t slash = target.find_last_of("/\\") + 1;
    const std::string stem = target.substr(0, slash) + tempNameStem(target.substr(slash));
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = stem;
        for (std::size_t i = 0; i < TempRandomLength; ++i)
            name += Letters[pick(random)];
        // No delete sharing: until the write closes it, nobody (removeLeftover neither) can delete it.
        const HANDLE file =
            ::CreateFileW(widePath(name).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                          attributes ? attributes : FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            if (::GetLastError() == ERROR_FILE_EXISTS)
                continue;
            return lastError();
        }
        // The old file's permissions (its access list) go to the new one. Should that fail the file
        // still has those of its folder and is fully usable, so the write goes on.
        if (replacing)
            copyAccessList(targetName, widePath(name));
        fd = asFd(file);
        tempPath = name;
        return 0;
    }
    return EEXIST;
}

int SystemCalls::openInPlace(const std::string& path, int& fd) {
    const HANDLE file = ::CreateFileW(widePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return lastError();
    fd = asFd(file);
    return 0;
}

int SystemCalls::write(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
        DWORD done = 0;
        if (!::WriteFile(asHandle(fd), data, chunk, &done, nullptr))
            return lastError();
        if (done == 0)
            return EIO;
        data += done;
        size -= done;
    }
    return 0;
}

int SystemCalls::truncate(int fd, std::size_t size) {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    return ::SetFileInformationByHandle(asHandle(fd), FileEndOfFileInfo, &end, sizeof end) ? 0 : lastError();
}

int SystemCalls::flush(int fd) {
    return ::FlushFileBuffers(asHandle(fd)) ? 0 : lastError();
}

int SystemCalls::close(int fd) {
    return ::CloseHandle(asHandle(fd)) ? 0 : lastError();
}

int SystemCalls::rename(const std::string& from, const std::string& to) {
    // One rename over the old file, on the disk before the call returns.
    return ::MoveFileExW(widePath(from).c_str(), widePath(to).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? 0
               : lastError();
}

int SystemCalls::remove(const std::string& path) {
    return ::DeleteFileW(widePath(path).c_str()) ? 0 : lastError();
}

int SystemCalls::listFolder(const std::string& folder, std::vector<std::string>& names) {
    WIN32_FIND_DATAW entry;
    const HANDLE search = ::FindFirstFileW(widePath(folder + "/*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return lastError();
    names.clear();
    do {
        const std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(utf8Path(name.data(), name.size()));
    } while (::FindNextFileW(search, &entry));
    const DWORD error = ::GetLastError();
    ::FindClose(search);
    return error == ERROR_NO_MORE_FILES ? 0 : errnoFrom(error);
}

int SystemCalls::removeLeftover(const std::string& path) {
    const std::wstring name = widePath(path);
    const DWORD attributes = ::GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return lastError();
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE))
        return EACCES;
    if (::DeleteFileW(name.c_str()))
        return 0;
    // A write in progress holds the file open without letting it be deleted.
    return ::GetLastError() == ERROR_SHARING_VIOLATION ? EBUSY : lastError();
}

SystemCalls& realSystemCalls() {
    static SystemCalls calls;
    return calls;
}

} // namespace kb
