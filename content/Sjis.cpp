#include "content/Sjis.h"

namespace kb {

bool isLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

bool isTrailByte(unsigned char c) {
    return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

bool isHalfWidthKana(unsigned char c) {
    return c >= 0xA1 && c <= 0xDF;
}

std::string safeCut(std::string_view s, std::size_t n) {
    if (s.size() <= n)
        return std::string(s);
    // Walk whole characters from the start: a trail byte can look like a lead byte, so the
    // boundary can only be found by counting from the beginning.
    std::size_t i = 0;
    while (i < n) {
        const std::size_t width = isLeadByte(static_cast<unsigned char>(s[i])) ? 2 : 1;
        if (i + width > n)
            break;
        i += width;
    }
    return std::string(s.substr(0, i));
}

std::string cutField(std::string_view s, std::size_t n) {
    std::string field = safeCut(s, n);
    if (s.size() >= n)
        field.resize(n, ' ');
    return field;
}

std::string padRight(std::string_view s, std::size_t n) {
    std::string padded(s);
    if (padded.size() < n)
        padded.resize(n, ' ');
    return padded;
}

std::string trimRightControl(std::string_view s) {
    std::size_t end = s.size();
    while (end > 0 && static_cast<unsigned char>(s[end - 1]) <= 0x20)
        --end;
    return std::string(s.substr(0, end));
}

} // namespace kb
