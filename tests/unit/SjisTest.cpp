// Byte cuts of Shift-JIS label text: no cut may leave half a double-byte character behind.
#include <gtest/gtest.h>

#include "content/Sjis.h"

namespace {

// Shift-JIS bytes of a few Japanese characters. The trail byte of 日 (0xFA) and of 語 (0xEA) lies in
// the lead-byte range, so a boundary can only be found by walking from the start.
const std::string NI = "\x93\xFA";  // 日
const std::string HON = "\x96\x7B"; // 本
const std::string GO = "\x8C\xEA";  // 語
const std::string KANA = "\xB1";    // ｱ, half-width katakana: one byte

TEST(Sjis, LeadBytes) {
    for (int c = 0; c < 256; ++c) {
        const bool expected = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
        EXPECT_EQ(kb::isLeadByte(static_cast<unsigned char>(c)), expected) << c;
    }
}

TEST(Sjis, Cuts) {
    struct Case {
        std::string text;
        std::size_t n;
        std::string safe;
        std::string field;
    };
    const Case cases[] = {
        {"ABCDEFGHIJKLMNOPQRST", 16, "ABCDEFGHIJKLMNOP", "ABCDEFGHIJKLMNOP"},
        {"ABC", 16, "ABC", "ABC"}, // shorter: whole, not padded
        {"", 13, "", ""},
        {NI + HON, 4, NI + HON, NI + HON},
        {NI + HON, 3, NI, NI + " "}, // cut would end inside 本
        {NI + NI, 2, NI, NI},        // trail byte 0xFA looks like a lead byte
        {"A" + NI + NI, 4, "A" + NI, "A" + NI + " "},
        {"A" + NI + HON + GO + NI + HON + GO + NI + HON, 16, "A" + NI + HON + GO + NI + HON + GO + NI,
         "A" + NI + HON + GO + NI + HON + GO + NI + " "},
        {KANA + KANA + NI, 3, KANA + KANA, KANA + KANA + " "},
        {KANA + NI + "B", 3, KANA + NI, KANA + NI},
        {NI + HON + GO + NI + HON + GO + NI + HON, 13, NI + HON + GO + NI + HON + GO,
         NI + HON + GO + NI + HON + GO + " "},
        {NI, 1, "", " "},
        {NI, 0, "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(kb::safeCut(c.text, c.n), c.safe) << c.text << " / " << c.n;
        EXPECT_EQ(kb::cutField(c.text, c.n), c.field) << c.text << " / " << c.n;
    }
}

TEST(Sjis, PadAndTrim) {
    EXPECT_EQ(kb::padRight("AB", 5), "AB   ");
    EXPECT_EQ(kb::padRight("ABCDEF", 5), "ABCDEF");
    EXPECT_EQ(kb::trimRightControl("AB  \t\r\n "), "AB");
    EXPECT_EQ(kb::trimRightControl(" A B "), " A B");
    EXPECT_EQ(kb::trimRightControl(NI + "  "), NI);
    EXPECT_EQ(kb::trimRightControl("   "), "");
    EXPECT_EQ(kb::evenCut(13), 12);
    EXPECT_EQ(kb::evenCut(12), 12);
}

} // namespace
