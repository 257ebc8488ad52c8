// The platform's code page 932 converter behind Codec.h: Qt's windows-31j codec (ICU) on Linux, the
// system's code page calls on Windows. It sees only text without ASCII and whole byte characters.
#pragma once
#include <QString>
#include <QStringView>
#include <optional>
#include <string>
#include <string_view>

namespace kb::sjis {

// False when the platform has no code page 932.
bool available();
// The bytes of text, or nothing when a character has no form in the code page.
std::optional<std::string> encode(QStringView text);
// The text of whole characters (single bytes 0xA1..0xDF, or a lead byte and a trail byte), or nothing
// when one of them has no character in the code page.
std::optional<QString> decode(std::string_view bytes);

} // namespace kb::sjis
