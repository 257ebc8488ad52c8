// Paths between the start file's byte strings and Windows' wide calls. A path arrives as UTF-8 (Qt's
// UTF-16 name converted without loss, services/SystemPath.h) and goes to the system as UTF-16; no
// path passes through the ANSI code page, which cannot hold every folder name (a 𠮷 or an é on a
// Japanese Windows, any Japanese name on an English one), and none is guessed from its bytes.
#pragma once
#include <windows.h>

#include <string>

namespace kb {

// The UTF-16 form of a UTF-8 path. Bytes that are not UTF-8 give an empty name, which every call
// refuses: such a path never names a file by a guess.
inline std::wstring widePath(const std::string& path) {
    const int length = static_cast<int>(path.size());
    const int size = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), length, nullptr, 0);
    if (size <= 0)
        return {};
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path.data(), length, out.data(), size);
    return out;
}

// The UTF-8 form of a UTF-16 name (every UTF-16 name has one).
inline std::string utf8Path(const wchar_t* text, std::size_t length) {
    if (length == 0)
        return {};
    const int size =
        ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), out.data(), size, nullptr, nullptr);
    return out;
}

} // namespace kb
