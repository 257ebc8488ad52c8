#include "content/ListReader.h"

#include <algorithm>
#include <array>
#include <utility>

namespace kb {

namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr std::size_t kUsedColumns = 4; // line 1, line 2, count, first serial; the rest is ignored
constexpr std::int32_t kLine1Column = 1, kLine2Column = 2, kCountColumn = 3;

// ---- UTF-8 and UTF-16 ----

// The code point at text[i] and its length in bytes; a byte that begins no well-formed sequence
// (overlong, a surrogate, past U+10FFFF, cut short) is U+FFFD of one byte.
std::pair<char32_t, std::size_t> nextCodePoint(std::string_view text, std::size_t i) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = b(i);
    if (c < 0x80)
        return {c, 1};
    std::size_t length = 0;
    char32_t cp = 0;
    char32_t least = 0;
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2, cp = c & 0x1F, least = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3, cp = c & 0x0F, least = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4, cp = c & 0x07, least = 0x10000;
    } else {
        return {kReplacement, 1};
    }
    if (i + length > text.size())
        return {kReplacement, 1};
    for (std::size_t k = 1; k < length; ++k) {
        if ((b(i + k) & 0xC0) != 0x80)
            return {kReplacement, 1};
        cp = (cp << 6) | (b(i + k) & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return {kReplacement, 1};
    return {cp, length};
}

} // namespace

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

bool isControlCharacter(char32_t cp) {
    return cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp <= 0x9F);
}

namespace {

bool isValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto [cp, length] = nextCodePoint(text, i);
        // U+FFFD written out is three bytes; a broken byte reads as U+FFFD of one.
        if (cp == kReplacement && length == 1)
            return false;
        i += length;
    }
    return true;
}

// Every broken sequence as U+FFFD, so that later steps meet only well-formed text.
std::string wellFormedUtf8(std::string_view text) {
    if (isValidUtf8(text))
        return std::string(text);
    std::string out;
    out.reserve(text.size() + 8);
    for (std::size_t i = 0; i < text.size();) {
        const auto [cp, length] = nextCodePoint(text, i);
        appendUtf8(out, cp);
        i += length;
    }
    return out;
}

std::string utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    std::string out;
    out.reserve(bytes.size());
    const auto unit = [&](std::size_t k) -> char32_t {
        const auto lo = static_cast<unsigned char>(bytes[bigEndian ? k + 1 : k]);
        const auto hi = static_cast<unsigned char>(bytes[bigEndian ? k : k + 1]);
        return static_cast<char32_t>(hi << 8 | lo);
    };
    std::size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        const char32_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 3 < bytes.size()) {
            const char32_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        appendUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? kReplacement : u);
    }
    if (i < bytes.size()) // an odd byte at the end
        appendUtf8(out, kReplacement);
    return out;
}

bool startsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";

// The file's text as UTF-8, its byte-order mark dropped.
std::string decode(std::string_view bytes, ListEncoding encoding, const ListCodec& codec) {
    switch (encoding) {
    case ListEncoding::Utf16Le:
        return utf16ToUtf8(startsWith(bytes, kUtf16LeBom) ? bytes.substr(2) : bytes, false);
    case ListEncoding::Utf16Be:
        return utf16ToUtf8(startsWith(bytes, kUtf16BeBom) ? bytes.substr(2) : bytes, true);
    case ListEncoding::Cp932:
        return codec.decodeCp932(bytes);
    case ListEncoding::Utf8:
    case ListEncoding::Detect:
        break;
    }
    return wellFormedUtf8(startsWith(bytes, kUtf8Bom) ? bytes.substr(3) : bytes);
}

// ---- Records ----

struct Record {
    std::int32_t row = 0;
    std::array<std::string, kUsedColumns> cells; // missing cells stay empty
    bool unclosed = false;                       // a quote opened in cellCount's cell is never closed
    std::size_t cellCount = 0;
    bool tabOutsideQuotes = false;
};

// RFC 4180 records over UTF-8 text: a cell that begins with a quote runs to the next lone quote,
// a doubled quote inside it is one quote, separators and line breaks inside it are text. A quote
// anywhere else is text. CR LF, LF and CR each end a record; no backslash escapes. Separators, quotes
// and line breaks are ASCII, which no byte of a UTF-8 sequence can be.
class Records {
  public:
    Records(std::string_view text, char separator) : m_text(text), m_separator(separator) {}

    bool next(Record& r) {
        if (m_pos >= m_text.size())
            return false;
        r.row = ++m_row;
        for (std::string& cell : r.cells)
            cell.clear();
        r.unclosed = false;
        r.tabOutsideQuotes = false;
        r.cellCount = 1;
        std::string* cell = &r.cells[0];
        bool quoted = false;
        bool cellStart = true;
        while (m_pos < m_text.size()) {
            const char c = m_text[m_pos];
            if (quoted) {
                if (c == '"' && m_pos + 1 < m_text.size() && m_text[m_pos + 1] == '"') {
                    append(cell, '"');
                    m_pos += 2;
                    continue;
                }
                if (c == '"')
                    quoted = false;
                else
                    append(cell, c);
                ++m_pos;
                continue;
            }
            if (c == m_separator) {
                ++r.cellCount;
                cell = r.cellCount <= kUsedColumns ? &r.cells[r.cellCount - 1] : nullptr;
                cellStart = true;
                ++m_pos;
                continue;
            }
            if (c == '\r' || c == '\n') {
                ++m_pos;
                if (c == '\r' && m_pos < m_text.size() && m_text[m_pos] == '\n')
                    ++m_pos;
                return true;
            }
            if (c == '"' && cellStart)
                quoted = true;
            else
                append(cell, c);
            r.tabOutsideQuotes = r.tabOutsideQuotes || c == '\t';
            cellStart = false;
            ++m_pos;
        }
        r.unclosed = quoted;
        return true;
    }

  private:
    static void append(std::string* cell, char c) {
        if (cell)
            cell->push_back(c);
    }
    std::string_view m_text;
    char m_separator;
    std::size_t m_pos = 0;
    std::int32_t m_row = 0;
};

// A tab when the first record that holds anything has one outside quotes, else a comma; the quotes
// as a comma-separated reading sees them ("a,b"<tab>X and 5" disk<tab>X hold a tab outside quotes).
char separatorOf(std::string_view text) {
    Records records(text, ',');
    Record r;
    while (records.next(r)) {
        if (r.tabOutsideQuotes)
            return '\t';
        if (r.cellCount > 1 || !r.cells[0].empty())
            break;
    }
    return ',';
}

// ---- Cells ----

std::string_view trimBlanks(std::string_view s) {
    const std::size_t from = s.find_first_not_of(" \t");
    if (from == std::string_view::npos)
        return {};
    return s.substr(from, s.find_last_not_of(" \t") - from + 1);
}

bool allDigits(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The value of a string of digits, or nothing past `limit` (also for more digits than an int holds).
std::optional<std::int64_t> valueOf(std::string_view digits, std::int64_t limit) {
    std::int64_t v = 0;
    for (const char c : digits) {
        v = v * 10 + (c - '0');
        if (v > limit)
            return std::nullopt;
    }
    return v;
}

// The JIS-form characters and the code page 932 characters Windows means by them: the same bytes
// under Shift-JIS (0x8160, 0x8161, 0x817C, 0x815C, 0x8191, 0x8192, 0x81CA) and the JIS X 0201 and
// X 0212 forms of the yen sign, the overline and the broken bar.
constexpr std::pair<char32_t, char32_t> kWindowsForms[] = {
    {0x00A2, 0xFFE0}, // ¢ -> ￠
    {0x00A3, 0xFFE1}, // £ -> ￡
    {0x00A5, 0xFFE5}, // ¥ -> ￥
    {0x00A6, 0xFFE4}, // ¦ -> ￤
    {0x00AC, 0xFFE2}, // ¬ -> ￢
    {0x2014, 0x2015}, // — EM DASH -> ― HORIZONTAL BAR
    {0x2016, 0x2225}, // ‖ DOUBLE VERTICAL LINE -> ∥ PARALLEL TO
    {0x203E, 0xFFE3}, // ‾ OVERLINE -> ￣
    {0x2212, 0xFF0D}, // − MINUS SIGN -> －
    {0x301C, 0xFF5E}, // 〜 WAVE DASH -> ～
};

char32_t windowsForm(char32_t cp) {
    for (const auto& [jis, windows] : kWindowsForms)
        if (cp == jis)
            return windows;
    return cp;
}

class Reader {
  public:
    Reader(const ListCodec& codec, ListReading& out) : m_codec(codec), m_out(out) {}

    void refuse(ListRefusal r) { addRefusal(m_out.refusals, m_out.moreRefusals, std::move(r), m_out.file); }

    // A label line's cell in Shift-JIS, or nothing when it was refused.
    std::optional<std::string> lineCell(const std::string& cell, std::int32_t row, std::int32_t column) {
        std::string mapped;
        mapped.reserve(cell.size());
        for (std::size_t i = 0; i < cell.size();) {
            const auto [cp, length] = nextCodePoint(cell, i);
            if (cp == kReplacement || isControlCharacter(cp)) {
                const ListProblem problem = cp == kReplacement           ? ListProblem::BrokenText
                                            : (cp == '\r' || cp == '\n') ? ListProblem::LineBreak
                                                                         : ListProblem::Character;
                refuse({.problem = problem, .row = row, .column = column, .character = cp});
                return std::nullopt;
            }
            appendUtf8(mapped, windowsForm(cp));
            i += length;
        }
        if (std::optional<std::string> bytes = m_codec.encodeCp932(mapped))
            return bytes;
        // Name the first character without a form: the cell again, one character at a time.
        for (std::size_t i = 0; i < mapped.size();) {
            const auto [cp, length] = nextCodePoint(mapped, i);
            if (!m_codec.encodeCp932(std::string_view(mapped).substr(i, length))) {
                refuse({.problem = ListProblem::Character, .row = row, .column = column, .character = cp});
                return std::nullopt;
            }
            i += length;
        }
        // Each character alone has a form but not the whole (a converter's state): the cell is named.
        refuse({.problem = ListProblem::Character, .row = row, .column = column, .text = mapped});
        return std::nullopt;
    }

    void numberProblem(ListProblem problem, std::int32_t row, std::int32_t column, std::string_view text,
                       std::int32_t serial = 0) {
        refuse(
            {.problem = problem, .row = row, .column = column, .text = std::string(text), .serial = serial});
    }

    void take(const Record& rec) {
        if (std::all_of(rec.cells.begin(), rec.cells.end(),
                        [](const std::string& c) { return trimBlanks(c).empty(); }) &&
            !rec.unclosed)
            return; // a blank row (Excel writes the blank rows inside a sheet as ",,,")
        const bool first = !m_seenRow;
        m_seenRow = true;
        if (rec.unclosed) {
            refuse({.problem = ListProblem::UnclosedQuote,
                    .row = rec.row,
                    .column = static_cast<std::int32_t>(rec.cellCount)});
            return;
        }
        ListRow row;
        row.row = rec.row;
        bool ok = true;
        const std::string_view count = trimBlanks(rec.cells[kCountColumn - 1]);
        if (!count.empty() && !allDigits(count)) {
            if (first) {
                m_out.header = true; // a first row whose count is no number names the columns
                return;
            }
            numberProblem(ListProblem::CountNotNumber, rec.row, kCountColumn, count);
            ok = false;
        } else if (!count.empty()) {
            const auto v = valueOf(count, kMaxRowCount);
            if (!v || *v < 1) {
                numberProblem(ListProblem::CountOutOfRange, rec.row, kCountColumn, count);
                ok = false;
            } else {
                row.count = static_cast<std::int32_t>(*v);
            }
        }
        const std::optional<std::string> line1 = lineCell(rec.cells[kLine1Column - 1], rec.row, kLine1Column);
        const std::optional<std::string> line2 = lineCell(rec.cells[kLine2Column - 1], rec.row, kLine2Column);
        if (line1 && line2 && line1->empty() && line2->empty()) {
            refuse({.problem = ListProblem::EmptyLabel, .row = rec.row});
            ok = false;
        }
        ok = ok && line1 && line2;
        const std::string_view serial = trimBlanks(rec.cells[kSerialColumn - 1]);
        if (!serial.empty() && !allDigits(serial)) {
            numberProblem(ListProblem::SerialNotNumber, rec.row, kSerialColumn, serial);
            ok = false;
        } else if (!serial.empty()) {
            const auto v = valueOf(serial, kMaxListSerial);
            if (!v || *v < 1 || serial.size() > static_cast<std::size_t>(kMaxSerialWidth)) {
                numberProblem(ListProblem::SerialOutOfRange, rec.row, kSerialColumn, serial);
                ok = false;
            } else if (*v + row.count - 1 > kMaxListSerial) {
                // The row's last number would pass the limit: refused rather than wrapped or cut.
                numberProblem(ListProblem::SerialOutOfRange, rec.row, kSerialColumn, serial,
                              static_cast<std::int32_t>(*v + row.count - 1));
                ok = false;
            } else {
                row.firstSerial = static_cast<std::int32_t>(*v);
                row.serialWidth = static_cast<std::int32_t>(serial.size());
            }
        }
        m_out.labels += row.count;
        if (m_out.labels > kMaxRunLabels && !m_tooMany) {
            m_tooMany = true;
            numberProblem(ListProblem::TooManyLabels, rec.row, kCountColumn, count);
        }
        if (ok) {
            row.line1 = *line1;
            row.line2 = *line2;
            m_out.rows.push_back(std::move(row));
        }
    }

  private:
    const ListCodec& m_codec;
    ListReading& m_out;
    bool m_seenRow = false;
    bool m_tooMany = false;
};

// A byte-order mark, else valid UTF-8, else code page 932.
ListEncoding detectListEncoding(std::string_view bytes) {
    if (startsWith(bytes, kUtf8Bom))
        return ListEncoding::Utf8;
    if (startsWith(bytes, kUtf16LeBom))
        return ListEncoding::Utf16Le;
    if (startsWith(bytes, kUtf16BeBom))
        return ListEncoding::Utf16Be;
    return isValidUtf8(bytes) ? ListEncoding::Utf8 : ListEncoding::Cp932;
}

} // namespace

ListReading readList(std::string_view bytes, ListEncoding encoding, const ListCodec& codec,
                     const std::string& file) {
    ListReading out;
    out.file = file;
    out.encoding = encoding == ListEncoding::Detect ? detectListEncoding(bytes) : encoding;
    // Decoded before it is split: a code page 932 trail byte may equal an ASCII byte (0x5C, the
    // backslash, in 表 and ソ), and UTF-16 holds a NUL beside every ASCII character; only the text
    // tells a separator, a quote or a line end from part of a character.
    const std::string text = decode(bytes, out.encoding, codec);
    out.separator = separatorOf(text);
    Reader reader(codec, out);
    Records records(text, out.separator);
    Record rec;
    while (records.next(rec)) {
        reader.take(rec);
        if (rec.unclosed)
            break;
    }
    if (out.rows.empty() && out.refusals.empty())
        reader.refuse({.problem = ListProblem::NoLabels});
    return out;
}

} // namespace kb
