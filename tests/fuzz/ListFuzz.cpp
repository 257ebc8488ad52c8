// Any bytes as a list of labels, read in the encoding the first byte picks (or detected), then
// composed with options from the second. The reader's promises:
// - a refused list names the file and composes nothing; its wording in both languages is UTF-8;
// - an accepted list's rows carry well-formed one-line Shift-JIS, counts and serial numbers within
//   their limits, no more labels than one run holds, and, written back as a quoted CSV, read back as
//   the same rows;
// - the composed run has as many labels as the rows ask for, each from its row in file order, with
//   serial numbers counting up from the row's first, and well-formed lines.
// The code page 932 converter is a stand-in that gives every well-formed Shift-JIS character a
// private code point of its own (plane 15) and back, so that no platform codec is needed.
#include <cstdint>
#include <string>

#include "FuzzChecks.h"
#include "content/ListLabels.h"
#include "content/ListReader.h"
#include "content/Sjis.h"

namespace {

using kbfuzz::require;

constexpr char32_t kPrivate = 0xF0000;

class StandInCodec final : public kb::ListCodec {
  public:
    std::string decodeCp932(std::string_view bytes) const override {
        std::string out;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            const auto c = static_cast<unsigned char>(bytes[i]);
            const auto t = i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) : 0;
            if (c < 0x80)
                out.push_back(static_cast<char>(c));
            else if (kb::isHalfWidthKana(c))
                kb::appendUtf8(out, kPrivate + c);
            else if (kb::isLeadByte(c) && kb::isTrailByte(t)) {
                kb::appendUtf8(out, kPrivate + (c << 8 | t));
                ++i;
            } else
                kb::appendUtf8(out, 0xFFFD);
        }
        return out;
    }
    // The reader hands on only well-formed UTF-8: its lead byte tells each sequence's length.
    std::optional<std::string> encodeCp932(std::string_view s) const override {
        std::string out;
        for (std::size_t i = 0; i < s.size();) {
            const auto c = static_cast<unsigned char>(s[i]);
            const std::size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
            char32_t cp = n == 1 ? c : c & (0x7F >> n);
            for (std::size_t k = 1; k < n && i + k < s.size(); ++k)
                cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
            i += n;
            const char32_t code = cp - kPrivate;
            const auto lead = static_cast<unsigned char>(code >> 8), trail = static_cast<unsigned char>(code);
            if (cp < 0x80)
                out.push_back(static_cast<char>(cp));
            else if (cp >= kPrivate && code <= 0xFF && kb::isHalfWidthKana(trail))
                out.push_back(static_cast<char>(trail));
            else if (cp >= kPrivate && code <= 0xFFFF && kb::isLeadByte(lead) && kb::isTrailByte(trail))
                out += {static_cast<char>(lead), static_cast<char>(trail)};
            else
                return std::nullopt;
        }
        return out;
    }
};

// A cell quoted as RFC 4180 writes it.
std::string quoted(const std::string& utf8) {
    std::string out = "\"";
    for (const char c : utf8)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

struct FixedClock final : kb::Clock {
    std::string todayText() const override { return "26/12/07"; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    const kb::ListEncoding encodings[] = {kb::ListEncoding::Detect,  kb::ListEncoding::Detect,
                                          kb::ListEncoding::Utf8,    kb::ListEncoding::Utf16Le,
                                          kb::ListEncoding::Utf16Be, kb::ListEncoding::Cp932};
    kb::ListOptions options;
    options.date = data[1] & 1;
    if (data[1] & 2)
        options.dateField = "XMAS";
    options.digits = (data[1] >> 2) % 8;
    const std::string bytes(reinterpret_cast<const char*>(data) + 2, size - 2);
    const StandInCodec codec;
    const kb::ListReading reading = kb::readList(bytes, encodings[data[0] % 6], codec, "list.csv");
    const kb::ListComposition run = kb::composeList(reading, options, FixedClock{});

    if (!reading.refusals.empty()) {
        require(run.labels.size() == 0 && run.refusals == reading.refusals,
                "a refused list composes nothing");
        for (const kb::ListRefusal& r : reading.refusals)
            require(r.file == "list.csv" && r.row >= 0 && r.column >= 0 &&
                        kbfuzz::utf8Length(kb::englishText(r)) >= 0 &&
                        kbfuzz::utf8Length(kb::japaneseText(r)) >= 0,
                    "a refusal names the file in UTF-8", bytes);
        return 0;
    }
    // Every row checked, and written back as a quoted UTF-8 CSV (its rows numbered from 1, in order).
    std::int64_t labels = 0;
    std::int32_t lastRow = 0, n = 0;
    std::string csv = "\xEF\xBB\xBF";
    kb::ListReading expected = reading;
    for (kb::ListRow& row : expected.rows) {
        const auto serial = row.firstSerial.value_or(1);
        require(row.row > lastRow && kbfuzz::isSjisLine(row.line1) && kbfuzz::isSjisLine(row.line2) &&
                    !(row.line1.empty() && row.line2.empty()) && row.count >= 1 &&
                    row.count <= kb::kMaxRowCount && serial >= 1 &&
                    serial + row.count - 1 <= kb::kMaxListSerial &&
                    (row.serialWidth >= 1) == row.firstSerial.has_value() &&
                    row.serialWidth <= kb::kMaxSerialWidth,
                "rows in file order, of one-line Shift-JIS text, within their limits", bytes);
        lastRow = row.row;
        labels += row.count;
        row.row = ++n;
        std::string digits = row.firstSerial ? std::to_string(serial) : "";
        if (digits.size() < static_cast<std::size_t>(row.serialWidth))
            digits.insert(0, static_cast<std::size_t>(row.serialWidth) - digits.size(), '0');
        csv += quoted(codec.decodeCp932(row.line1)) + "," + quoted(codec.decodeCp932(row.line2)) + "," +
               std::to_string(row.count) + "," + digits + "\r\n";
    }
    require(labels == reading.labels && labels <= kb::kMaxRunLabels, "no more labels than a run holds",
            bytes);
    const kb::ListReading again = kb::readList(csv, kb::ListEncoding::Detect, codec, "list.csv");
    require(again.refusals.empty() && again.rows == expected.rows, "the rows written back read the same",
            bytes);

    for (const kb::ListRefusal& r : run.refusals)
        require(r.problem == kb::ListProblem::SerialTooWide || r.problem == kb::ListProblem::Repeated,
                "the composition refuses only what it checks", bytes);
    if (!run.refusals.empty())
        return 0;
    require(static_cast<std::int64_t>(run.labels.size()) == labels, "every label of every row", bytes);
    // The run's first and last labels of each row (all of them would make a fuzz run crawl).
    std::size_t begin = 0;
    for (const kb::ListRow& row : reading.rows) {
        const std::size_t end = begin + static_cast<std::size_t>(row.count);
        for (const std::size_t i : {begin, end - 1}) {
            const kb::ListLabel l = run.labels.at(i);
            require(l.row == row.row && l.serial.has_value() == row.firstSerial.has_value() &&
                        (!l.serial || *l.serial == *row.firstSerial + static_cast<std::int32_t>(i - begin)) &&
                        kbfuzz::isSjisLine(l.lines.line1) && kbfuzz::isSjisLine(l.lines.line2),
                    "each label from its row, numbered up from its first, in well-formed Shift-JIS", bytes);
        }
        begin = end;
    }
    return 0;
}
