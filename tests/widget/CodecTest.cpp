// The Shift-JIS codec, the same on every platform: Qt's windows-31j (ICU) on Linux and the system's
// code page 932 calls on Windows (this test runs in both builds, the Windows one under Wine) must give
// the same bytes and the same text, character by character and over the whole code page.
#include "services/Codec.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>

#include <string>

namespace {

QString text(std::u16string_view units) {
    return QString(reinterpret_cast<const QChar*>(units.data()), static_cast<qsizetype>(units.size()));
}

TEST(Codec, SameBytesBothWays) {
    ASSERT_TRUE(kb::sjisAvailable());
    const std::pair<std::u16string_view, std::string_view> cases[] = {
        {u"A\\~", "A\\~"},
        // Control characters stay themselves, also inside Japanese text.
        {u"\u65e5\x1a\x7f", "\x93\xfa\x1a\x7f"},
        {u"\u3042\uff71", "\x82\xa0\xb1"},                                 // あ, half-width ｱ
        {u"\uff5e\uff0d\u2225\u2015", "\x81\x60\x81\x7c\x81\x61\x81\x5c"}, // ～ － ∥ ―
        {u"\uffe0\uffe1\uffe2\uff3c", "\x81\x91\x81\x92\x81\xca\x81\x5f"}, // ￠ ￡ ￢ ＼
        {u"\u2160\u2170\u2252", "\x87\x54\xfa\x40\x81\xe0"},               // Ⅰ ⅰ ≒
        {u"\u9ad9\ue000\ue757", "\xfb\xfc\xf0\x40\xf9\xfc"},               // 髙, the user-defined area
    };
    for (const auto& [unicode, bytes] : cases) {
        EXPECT_EQ(kb::toSjis(text(unicode)), std::string(bytes)) << std::string(bytes);
        EXPECT_EQ(kb::fromSjis(std::string(bytes)), text(unicode)) << std::string(bytes);
    }
}

// Look-alikes outside the code page have no form (no best fit), nor has what the system's code page
// maps to bytes that begin no character, nor ICU's one-way U+F86F.
TEST(Codec, RefusesWhatHasNoForm) {
    for (const char16_t c :
         std::initializer_list<char16_t>{0x00a5, 0x203e, 0x00ac, 0x2212, 0x301c, 0x2016, 0x2014, 0x00a2,
                                         0x0080, 0xf8f0, 0xf86f, 0xe758, 0xd83d}) {
        EXPECT_FALSE(kb::sjisCanEncode(QStringLiteral("A") + QChar(c))) << int(c);
        EXPECT_FALSE(kb::toSjis(QStringLiteral("\u65e5") + QChar(c)).has_value()) << int(c);
    }
    EXPECT_FALSE(kb::sjisCanEncode(QString::fromUcs4(U"\U0001F600", 1)));
}

TEST(Codec, BrokenBytesReadAsReplacement) {
    const std::pair<std::string_view, std::u16string_view> cases[] = {
        {"A\x82", u"A\ufffd"},                 // a lead byte at the end
        {"\x81 B", u"\ufffd B"},               // a lead byte before a byte that cannot follow it
        {"\x85\x40\x82\xa0", u"\ufffd\u3042"}, // a pair the code page leaves empty
        {"\x80\xa0\xfd\xfe\xff", u"\ufffd\ufffd\ufffd\ufffd\ufffd"},
        {"\xfa\x4a\xed\x40", u"\u2160\u7e8a"}, // duplicates read as their one character
    };
    for (const auto& [bytes, unicode] : cases)
        EXPECT_EQ(kb::fromSjis(std::string(bytes)), text(unicode)) << std::string(bytes);
}

// Every character of the Basic Multilingual Plane to bytes, and every byte and byte pair to text:
// the digests are those of the Linux build's codec, so the Windows build must agree with it.
TEST(Codec, WholeCodePageAsOnLinux) {
    QCryptographicHash encoded(QCryptographicHash::Sha1);
    QCryptographicHash decoded(QCryptographicHash::Sha1);
    int encodable = 0;
    int pairs = 0; // byte pairs that read as one character
    for (char32_t c = 0x80; c < 0x10000; ++c) {
        if (c >= 0xD800 && c < 0xE000)
            continue;
        const std::optional<std::string> bytes = kb::toSjis(QString::fromUcs4(&c, 1));
        encodable += bytes ? 1 : 0;
        encoded.addData(bytes ? QByteArrayView(bytes->data(), qsizetype(bytes->size())) : "-");
        encoded.addData("|");
    }
    for (int first = 0x80; first < 0x100; ++first) {
        for (int second = 0x3f; second < 0x100; ++second) {
            const std::string bytes =
                second == 0x3f ? std::string(1, char(first)) : std::string{char(first), char(second)};
            const QString read = kb::fromSjis(bytes);
            pairs +=
                bytes.size() == 2 && read.size() == 1 && read != QChar(QChar::ReplacementCharacter) ? 1 : 0;
            decoded.addData(QByteArrayView(reinterpret_cast<const char*>(read.utf16()), read.size() * 2));
            decoded.addData("|");
        }
    }
    EXPECT_EQ(encodable, 9270);
    EXPECT_EQ(pairs, 9604); // JIS X 0208, the NEC and IBM rows, the user-defined area
    EXPECT_EQ(encoded.result().toHex().toStdString(), "2fd21536c5761f4a52e728ad4094a4d90428530f");
    EXPECT_EQ(decoded.result().toHex().toStdString(), "01373d53adca46e4e87206512b8492217bdbbb1f");
}

} // namespace
