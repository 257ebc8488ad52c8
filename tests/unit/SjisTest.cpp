// Byte cuts of Shift-JIS label text: no cut may leave half a double-byte character behind.
#include <gtest/gtest.h>

#include "content/Sjis.h"

namespace {

// The trail byte of 日 (0xFA) lies in the lead-byte range, so a boundary can only be found by walking
// from the start.
const std::string NI = "\x93\xFA";  // 日
const std::string HON = "\x96\x7B"; // 本
const std::string KANA = "\xB1";    // ｱ, half-width katakana: one byte

TEST(Sjis, LeadBytes) {
    for (int c = 0; c < 256; ++c) {
        const bool expected = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
        EXPECT_EQ(kb::isLeadByte(static_cast<unsigned char>(c)), expected) << c;
    }
    // The edges of the trail bytes and of the one-byte katakana.
    const std::tuple<int, bool, bool> rows[] = {
        {0x3F, false, false}, {0x40, true, false}, {0x7E, true, false}, {0x7F, false, false},
        {0x80, true, false},  {0xA0, true, false}, {0xA1, true, true},  {0xDF, true, true},
        {0xE0, true, false},  {0xFC, true, false}, {0xFD, false, false}};
    for (const auto& [c, trail, kana] : rows) {
        EXPECT_EQ(kb::isTrailByte(static_cast<unsigned char>(c)), trail) << c;
        EXPECT_EQ(kb::isHalfWidthKana(static_cast<unsigned char>(c)), kana) << c;
    }
}

// safeCut stops before a split character; cutField puts a blank in its place to keep the width.
TEST(Sjis, Cuts) {
    struct Case {
        std::string text;
        std::size_t n;
        std::string safe, field;
    };
    const Case cases[] = {
        {"ABC", 16, "ABC", "ABC"}, // shorter: whole, not padded
        {NI + HON, 4, NI + HON, NI + HON},
        {NI + HON, 3, NI, NI + " "},
        {NI + NI, 2, NI, NI}, // trail byte 0xFA looks like a lead byte
        {KANA + KANA + NI, 3, KANA + KANA, KANA + KANA + " "},
        {KANA + NI + "B", 3, KANA + NI, KANA + NI},
        {NI, 1, "", " "},
        {NI, 0, "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(kb::safeCut(c.text, c.n), c.safe) << c.text << " / " << c.n;
        EXPECT_EQ(kb::cutField(c.text, c.n), c.field) << c.text << " / " << c.n;
    }
}

// Trailing blanks and control bytes go, inner blanks and text stay.
TEST(Sjis, TrimRightControl) {
    EXPECT_EQ(kb::trimRightControl(" A B \t\r\n"), " A B");
    EXPECT_EQ(kb::trimRightControl(NI + "  "), NI);
    EXPECT_EQ(kb::trimRightControl("   "), "");
}

} // namespace
