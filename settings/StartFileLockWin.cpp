// The start file's hold on Windows: a lock (LockFileEx) on the first byte of a hold file beside the
// start file (".StartFile.txt.kestrelbox-lock", hidden), whose access list lets in only those whom the
// start file's own list lets write it. A named object in the global namespace could be made first by
// any other user, who would then keep every run out or pose as the window; a lock on the start file
// itself needs no more than read access. The hold file is never replaced, so the hold stays put while
// the start file is replaced at every write (or by an editor), and links and drive mappings lead every
// run to the same hold file (it lies beside the start file's final path).
//
// Where no hold file can be made (a folder the user may not write), the start file itself carries the
// lock, opened for writing, so that only its writers can take it; a reader's lock on it can still keep
// it from being taken there. Its writes are then made in place, so the lock stays on the file.
//
// The window also locks the second byte while it holds the file, which tells a command beside it that
// the holder is the window. Locks go with the handle, and with the process when it ends.
#include "settings/StartFileLock.h"

#include "settings/Error.h"
#include "settings/WidePathWin.h"

#include <windows.h>

#include <aclapi.h>
#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

namespace kb {

namespace {

constexpr DWORD HoldByte = 0;
constexpr DWORD WindowMarkByte = 1;
constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

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
    case ERROR_SHARING_VIOLATION:
        return EACCES;
    case ERROR_WRITE_PROTECT:
        return EROFS;
    default:
        return EIO;
    }
}

HANDLE handleOf(std::intptr_t value) {
    return reinterpret_cast<HANDLE>(value);
}

bool lockByte(HANDLE file, DWORD byte, bool exclusive) {
    OVERLAPPED at{};
    at.Offset = byte;
    return ::LockFileEx(file, LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0), 0, 1, 0,
                        &at) != 0;
}

void unlockByte(HANDLE file, DWORD byte) {
    OVERLAPPED at{};
    at.Offset = byte;
    ::UnlockFileEx(file, 0, 1, 0, &at);
}

bool windowMarked(HANDLE file) {
    if (!lockByte(file, WindowMarkByte, false))
        return true;
    unlockByte(file, WindowMarkByte);
    return false;
}

// The start file, opened for writing (only its writers can), as its final path: links and drive
// mappings resolved, so that every run finds the same hold file beside it.
std::wstring finalPathOf(const std::string& path, HANDLE& file) {
    file = ::CreateFileW(widePath(path).c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, ShareAll, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        throwIo(errnoFrom(::GetLastError()));
    if (::GetFileType(file) != FILE_TYPE_DISK) {
        ::CloseHandle(file);
        throwIo(EACCES);
    }
    std::wstring final(MAX_PATH, L'\0');
    DWORD size = ::GetFinalPathNameByHandleW(file, final.data(), static_cast<DWORD>(final.size()), 0);
    if (size >= final.size()) {
        final.resize(size + 1);
        size = ::GetFinalPathNameByHandleW(file, final.data(), static_cast<DWORD>(final.size()), 0);
    }
    if (size == 0 || size >= final.size()) {
        // Without the final path the full path still names the file for every caller that names it alike.
        final.assign(MAX_PATH, L'\0');
        size =
            ::GetFullPathNameW(widePath(path).c_str(), static_cast<DWORD>(final.size()), final.data(), nullptr);
        if (size == 0 || size >= final.size()) {
            ::CloseHandle(file);
            throwIo(EINVAL);
        }
    }
    final.resize(size);
    return final;
}

// The hold file's access list: of the start file's entries that apply to it, those that deny, and those
// that allow writing it (each allowing reading and writing the hold file), so that only those who may
// write the start file can open the hold file. Empty when the start file's list cannot be read or lets
// everybody in (no list): the hold file then gets its folder's.
std::vector<BYTE> writersOnly(const std::wstring& start) {
    PACL list = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetNamedSecurityInfoW(start.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                &list, nullptr, &descriptor) != ERROR_SUCCESS)
        return {};
    std::vector<BYTE> out;
    ACL_SIZE_INFORMATION size{};
    if (list && ::GetAclInformation(list, &size, sizeof size, AclSizeInformation)) {
        out.assign(size.AclBytesInUse + sizeof(ACL), 0);
        auto* narrowed = reinterpret_cast<PACL>(out.data());
        bool ok = ::InitializeAcl(narrowed, static_cast<DWORD>(out.size()), ACL_REVISION) != 0;
        for (DWORD i = 0; ok && i < size.AceCount; ++i) {
            void* entry = nullptr;
            if (!::GetAce(list, i, &entry))
                continue;
            const auto* header = static_cast<ACE_HEADER*>(entry);
            if (header->AceFlags & INHERIT_ONLY_ACE)
                continue;
            if (header->AceType == ACCESS_DENIED_ACE_TYPE) {
                ok = ::AddAce(narrowed, ACL_REVISION, MAXDWORD, entry, header->AceSize) != 0;
            } else if (header->AceType == ACCESS_ALLOWED_ACE_TYPE) {
                auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
                if (allowed->Mask & (FILE_WRITE_DATA | GENERIC_WRITE | GENERIC_ALL))
                    ok = ::AddAccessAllowedAce(narrowed, ACL_REVISION, FILE_GENERIC_READ | FILE_GENERIC_WRITE,
                                               reinterpret_cast<PSID>(&allowed->SidStart)) != 0;
            }
        }
        if (!ok)
            out.clear();
    }
    ::LocalFree(descriptor);
    return out;
}

// Opens the hold file beside the start file, making it when it is missing; INVALID_HANDLE_VALUE when it
// is missing and cannot be made there (the folder refuses new files).
HANDLE openHoldFile(const std::wstring& startPath, const std::wstring& holdPath) {
    std::vector<BYTE> list = writersOnly(startPath);
    SECURITY_DESCRIPTOR descriptor{};
    SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, FALSE};
    if (!list.empty() && ::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
        ::SetSecurityDescriptorDacl(&descriptor, TRUE, reinterpret_cast<PACL>(list.data()), FALSE) &&
        ::SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED))
        attributes.lpSecurityDescriptor = &descriptor;
    HANDLE hold = ::CreateFileW(holdPath.c_str(), GENERIC_READ | GENERIC_WRITE, ShareAll, &attributes,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (hold != INVALID_HANDLE_VALUE)
        return hold;
    const DWORD error = ::GetLastError();
    // A hold file that exists but cannot be opened is never passed over for the start file: the runs that
    // can open it would hold something else than this one.
    if (::GetFileAttributesW(holdPath.c_str()) != INVALID_FILE_ATTRIBUTES)
        throwIo(EACCES);
    if (error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT)
        return INVALID_HANDLE_VALUE;
    throwIo(errnoFrom(error));
}

std::wstring holdPathOf(const std::wstring& startPath) {
    const std::size_t slash = startPath.find_last_of(L"\\/") + 1;
    return startPath.substr(0, slash) + L"." + startPath.substr(slash) + L".kestrelbox-lock";
}

} // namespace

StartFileLock::~StartFileLock() {
    release();
}

StartFileLock::Outcome StartFileLock::take(const std::string& path, Kind kind) {
    release();
    // Only someone who may write the start file may hold it: it is opened for writing first.
    HANDLE start = INVALID_HANDLE_VALUE;
    const std::wstring startPath = finalPathOf(path, start);
    const std::wstring holdPath = holdPathOf(startPath);
    HANDLE lock = openHoldFile(startPath, holdPath);
    const bool inStartFile = lock == INVALID_HANDLE_VALUE;
    if (inStartFile)
        lock = start;
    else
        ::CloseHandle(start);
    if (!lockByte(lock, HoldByte, true)) {
        const DWORD error = ::GetLastError();
        const bool window = windowMarked(lock);
        ::CloseHandle(lock);
        if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING)
            return window ? Outcome::HeldByWindow : Outcome::HeldByRun;
        throwIo(errnoFrom(error));
    }
    // A hold file made since the look above (the folder's permissions changed) is the one to hold. No
    // look the other way: a lock on the start file itself may be any reader's here, where locks carry
    // no kind that only writers can take.
    if (inStartFile && ::GetFileAttributesW(holdPath.c_str()) != INVALID_FILE_ATTRIBUTES) {
        ::CloseHandle(lock);
        return take(path, kind);
    }
    if (kind == Kind::Window)
        (void)lockByte(lock, WindowMarkByte, true);
    m_path = path;
    m_kind = kind;
    m_handle = reinterpret_cast<std::intptr_t>(lock);
    return Outcome::Taken;
}

bool StartFileLock::confirm() {
    // The hold file is never replaced; a start file locked itself is written in place.
    return held();
}

void StartFileLock::release() {
    if (m_handle != -1)
        ::CloseHandle(handleOf(m_handle)); // its locks go with it
    m_handle = -1;
}

int StartFileLock::prepareReplace(int) {
    return 0;
}
void StartFileLock::commitReplace() {}
void StartFileLock::abandonReplace() {}

} // namespace kb
