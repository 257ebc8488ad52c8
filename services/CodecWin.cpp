// Code page 932 through the system's own conversion calls (Qt for Windows is built without ICU).
// Nothing is guessed: no best-fit character on the way to bytes, no default character either way.
#include "services/SjisConverter.h"

#include <windows.h>

namespace kb::sjis {

namespace {

constexpr UINT ShiftJis = 932;

// The system's code page also maps U+0080 and U+F8F0..U+F8F3 to the single bytes 0x80, 0xA0 and
// 0xFD..0xFF, which begin no Shift-JIS character: such bytes could not be read back as text.
bool outsideShiftJis(QChar c) {
    return c.unicode() == 0x80 || (c.unicode() >= 0xF8F0 && c.unicode() <= 0xF8F3);
}

} // namespace

bool available() {
    return ::IsValidCodePage(ShiftJis) != 0;
}

std::optional<std::string> encode(QStringView text) {
    for (QChar c : text)
        if (outsideShiftJis(c))
            return std::nullopt;
    const auto* wide = reinterpret_cast<const wchar_t*>(text.utf16());
    const int length = static_cast<int>(text.size());
    BOOL usedDefault = FALSE;
    const int size = ::WideCharToMultiByte(ShiftJis, WC_NO_BEST_FIT_CHARS, wide, length, nullptr, 0, nullptr,
                                           &usedDefault);
    if (size <= 0 || usedDefault)
        return std::nullopt;
    std::string bytes(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(ShiftJis, WC_NO_BEST_FIT_CHARS, wide, length, bytes.data(), size, nullptr,
                          &usedDefault);
    if (usedDefault)
        return std::nullopt;
    return bytes;
}

std::optional<QString> decode(std::string_view bytes) {
    const int length = static_cast<int>(bytes.size());
    const int size = ::MultiByteToWideChar(ShiftJis, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
    if (size <= 0)
        return std::nullopt;
    QString text(size, Qt::Uninitialized);
    ::MultiByteToWideChar(ShiftJis, MB_ERR_INVALID_CHARS, bytes.data(), length,
                          reinterpret_cast<wchar_t*>(text.data()), size);
    return text;
}

} // namespace kb::sjis
