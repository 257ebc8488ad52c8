// A list of labels read from disk: the file's bytes, the platform's code page 932 for the reader
// (content/ListReader.h), and the names the command's --encoding= takes.
#pragma once
#include <QString>
#include <optional>
#include <string>
#include <string_view>

#include "content/ListReader.h"

namespace kb {

// Code page 932 through the program's one Shift-JIS codec (services/Codec.h).
class SjisListCodec final : public ListCodec {
  public:
    std::string decodeCp932(std::string_view bytes) const override;
    std::optional<std::string> encodeCp932(std::string_view utf8) const override;
};

// No list of labels comes near this; a larger file is refused before it is read into memory.
constexpr qint64 kMaxListFileBytes = 64 * 1024 * 1024;

// The list in the file at path. The refusals name the file as path gives it (native separators).
ListReading readListFile(const QString& path, ListEncoding encoding = ListEncoding::Detect);

// "utf-8", "utf-16" (little-endian, as Excel writes it), "utf-16le", "utf-16be", "cp932" (also
// "shift_jis", "sjis", "windows-31j"), "auto"; upper or lower case. Nothing for another name.
std::optional<ListEncoding> listEncodingNamed(const QString& name);

} // namespace kb
