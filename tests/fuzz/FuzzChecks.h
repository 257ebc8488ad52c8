// What the fuzz targets check on every input: a failed check prints what broke and aborts, which
// libFuzzer reports as a crash and keeps the input that caused it.
#pragma once
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace kbfuzz {

[[noreturn]] inline void fail(const char* what, std::string_view detail) {
    std::fprintf(stderr, "invariant broken: %s\n  [", what);
    for (unsigned char c : detail)
        std::fprintf(stderr, c >= 0x20 && c < 0x7F ? "%c" : "\\x%02X", c);
    std::fprintf(stderr, "]\n");
    std::abort();
}

inline void require(bool ok, const char* what, std::string_view detail = {}) {
    if (!ok)
        fail(what, detail);
}

// Well-formed Shift-JIS (code page 932) of one line: single bytes 0x20..0x7E and half-width katakana
// 0xA1..0xDF; double-byte characters as a lead byte 0x81..0x9F / 0xE0..0xFC with a trail byte
// 0x40..0x7E / 0x80..0xFC. A lead byte at the end, or followed by anything else, is a split character.
inline bool isSjisLine(std::string_view s) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if ((c >= 0x20 && c <= 0x7E) || (c >= 0xA1 && c <= 0xDF))
            continue;
        if (!((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) || i + 1 == s.size())
            return false;
        const auto t = static_cast<unsigned char>(s[++i]);
        if (!((t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFC)))
            return false;
    }
    return true;
}

// Number of code points when s is well-formed UTF-8 (no overlong forms, no surrogates), else -1.
inline int utf8Length(std::string_view s) {
    int count = 0;
    for (std::size_t i = 0; i < s.size(); ++count) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size())
            return -1;
        unsigned cp = n == 1 ? c : c & (0x7F >> n);
        for (std::size_t k = 1; k < n; ++k) {
            const auto t = static_cast<unsigned char>(s[i + k]);
            if ((t & 0xC0) != 0x80)
                return -1;
            cp = (cp << 6) | (t & 0x3F);
        }
        static const unsigned least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < least[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return -1;
        i += n;
    }
    return count;
}

} // namespace kbfuzz
