// Byte-string helpers for label text in the Shift-JIS code page (a Japanese character is 2 bytes).
// Every cut in the program goes through safeCut/cutField so that no character is ever split.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace kb {

// 0x81..0x9F and 0xE0..0xFC start a double-byte character.
bool isLeadByte(unsigned char c);
// 0x40..0x7E and 0x80..0xFC may follow a lead byte.
bool isTrailByte(unsigned char c);
// 0xA1..0xDF are half-width katakana, one byte each.
bool isHalfWidthKana(unsigned char c);

// The first n bytes of s; when byte n would split a double-byte character, stops before it
// (so the result may be n - 1 bytes). s shorter than n is returned whole.
std::string safeCut(std::string_view s, std::size_t n);

// The first n bytes of s as a fixed-width field: like safeCut, but a blank takes the place of a byte
// dropped to avoid a split, so the field is exactly n bytes whenever s has n bytes or more.
std::string cutField(std::string_view s, std::size_t n);

// s followed by blanks up to n bytes (a longer s is returned whole).
std::string padRight(std::string_view s, std::size_t n);

// s without its trailing bytes of value 0x20 or less (blanks and control characters).
std::string trimRightControl(std::string_view s);

// "k when k is even, k - 1 when k is odd".
inline int evenCut(int k) {
    return (k % 2 == 0) ? k : k - 1;
}

} // namespace kb
