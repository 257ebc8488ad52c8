// A list of labels as Excel or a script writes it (CSV or tab-separated; code page 932, UTF-8 or
// UTF-16): the encoding, the records with their quoting, the four columns, and every check that
// refuses the list before anything prints. The code page 932 conversion comes in as a ListCodec.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "content/ListRefusal.h"

namespace kb {

enum class ListEncoding {
    Detect,  // a byte-order mark, else valid UTF-8, else code page 932
    Utf8,    // with or without a byte-order mark
    Utf16Le, // Excel's 「Unicode テキスト」
    Utf16Be,
    Cp932, // Excel's 「CSV (コンマ区切り)」 and 「テキスト (タブ区切り)」 on a Japanese Windows
};

// The code page 932 converter the reader needs (the platform's, in services/).
class ListCodec {
  public:
    virtual ~ListCodec() = default;
    // The text of code page 932 bytes as UTF-8; a byte that begins no character, or a pair the code page
    // leaves empty, reads as U+FFFD.
    virtual std::string decodeCp932(std::string_view bytes) const = 0;
    // The Shift-JIS bytes of UTF-8 text, or nothing when a character has no Shift-JIS form.
    virtual std::optional<std::string> encodeCp932(std::string_view utf8) const = 0;
};

constexpr std::int32_t kMaxRowCount = 10000;   // labels one row may ask for
constexpr std::int32_t kMaxRunLabels = 100000; // labels of one run, all rows together
constexpr std::int32_t kMaxListSerial = 999999;
constexpr std::int32_t kMaxSerialWidth = 9; // digits a first serial may be written with, zeros included
constexpr std::int32_t kSerialColumn = 4;   // the column of a row's first serial number, from 1

// One row that prints: its columns by position, the lines in Shift-JIS.
struct ListRow {
    std::int32_t row = 0; // the record's number in the file, from 1 (headers and blank rows count)
    std::string line1;
    std::string line2;
    std::int32_t count = 1;                       // blank: 1
    std::optional<std::int32_t> firstSerial = {}; // blank: the row is not numbered
    std::int32_t serialWidth = 0;                 // digits as written, leading zeros included ("0001": 4)
    bool operator==(const ListRow&) const = default;
};

struct ListReading {
    std::string file;                           // as the user named it (UTF-8), for the refusals
    ListEncoding encoding = ListEncoding::Utf8; // as read (Detect never)
    char separator = ',';
    bool header = false; // the first row was a header and was skipped
    std::vector<ListRow> rows;
    std::int64_t labels = 0;           // all rows' counts together
    std::vector<ListRefusal> refusals; // empty: the list may print
    bool moreRefusals = false;         // faults past the first kMaxListRefusals were not named
};

// The list in the file's bytes; encoding Detect finds it. Characters that Japanese text carries in
// their JIS form (U+301C WAVE DASH, U+2212 MINUS SIGN, U+2016, U+2014, U+00A2, U+00A3, U+00AC, U+00A5,
// U+00A6, U+203E) are read as the code page 932 characters a Windows user means (U+FF5E, U+FF0D, ...).
ListReading readList(std::string_view bytes, ListEncoding encoding, const ListCodec& codec,
                     const std::string& file = {});

// The UTF-8 bytes of one code point, appended.
void appendUtf8(std::string& out, char32_t cp);
// C0 and C1 control characters and DEL: nothing a label line can print.
bool isControlCharacter(char32_t cp);

} // namespace kb
