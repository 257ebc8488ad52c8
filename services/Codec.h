// The one place where Unicode text of the widgets meets the Shift-JIS bytes of the label rules.
#pragma once
#include <QString>
#include <optional>
#include <string>

namespace kb {

// False when the platform has no Shift-JIS (code page 932) codec; checked once at start-up.
bool sjisAvailable();
// The Shift-JIS bytes of text, or nothing when a character has no Shift-JIS form.
std::optional<std::string> toSjis(const QString& text);
// Shift-JIS bytes as text.
QString fromSjis(const std::string& bytes);
// True when every character of text has a Shift-JIS form.
bool sjisCanEncode(const QString& text);

} // namespace kb
