// The one place where Unicode text of the widgets meets the Shift-JIS bytes of the label rules. The
// same bytes on every platform: ASCII as itself, the rest through code page 932 (SjisConverter.h).
#pragma once
#include <QString>
#include <optional>
#include <string>

namespace kb {

// False when the platform has no Shift-JIS (code page 932) codec; checked once at start-up.
bool sjisAvailable();
// The Shift-JIS bytes of text, or nothing when a character has no Shift-JIS form.
std::optional<std::string> toSjis(const QString& text);
// Shift-JIS bytes as text; a byte that begins no character, or a character not in the code page,
// reads as U+FFFD.
QString fromSjis(const std::string& bytes);
// True when every character of text has a Shift-JIS form.
bool sjisCanEncode(const QString& text);

} // namespace kb
