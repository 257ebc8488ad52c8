// Any bytes as a list of labels, read in the encoding the first byte picks (or detected), then
// composed with options from the second. The reader's promises:
// - a refused list names where (row and column within the file) and composes nothing; its wording in
//   both languages is well-formed UTF-8;
// - an accepted list's rows carry well-formed one-line Shift-JIS, counts and serial numbers within
//   their limits, no more labels than one run holds, and, written back as a quoted CSV, read back as
//   the same rows;
// - the composed run has as many labels as the rows ask for, each from its row in file order, with
//   serial numbers counting up from the row's first, and well-formed lines.
// The code page 932 converter is a stand-in that gives every well-formed Shift-JIS character a
// private code point of its own (plane 15) and back, so that no platform codec is needed.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzChecks.h"
#include "content/ListLabels.h"
#include "content/ListReader.h"

namespace {

using kbfuzz::require;

constexpr char32_t kPrivate = 0xF0000;

class StandInCodec final : public kb::ListCodec {
  public:
    std::string decodeCp932(std::string_view bytes) const override {
        std::string out;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            const auto c = static_cast<unsigned char>(bytes[i]);
            if (c < 0x80) {
                out.push_back(static_cast<char>(c));
            } else if (c >= 0xA1 && c <= 0xDF) {
                kb::appendUtf8(out, kPrivate + c);
            } else if (((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) && i + 1 < bytes.size() &&
                       isTrail(static_cast<unsigned char>(bytes[i + 1]))) {
                kb::appendUtf8(out, kPrivate + (c << 8 | static_cast<unsigned char>(bytes[i + 1])));
                ++i;
            } else {
                kb::appendUtf8(out, 0xFFFD);
            }
        }
        return out;
    }
    std::optional<std::string> encodeCp932(std::string_view utf8) const override {
        std::string out;
        for (const char32_t cp : codePoints(utf8)) {
            const char32_t code = cp - kPrivate;
            const auto lead = static_cast<unsigned char>(code >> 8), trail = static_cast<unsigned char>(code);
            if (cp < 0x80)
                out.push_back(static_cast<char>(cp));
            else if (cp >= kPrivate + 0xA1 && cp <= kPrivate + 0xDF)
                out.push_back(static_cast<char>(code));
            else if (cp >= kPrivate && code <= 0xFFFF && ((lead >= 0x81 && lead <= 0x9F) || lead >= 0xE0) &&
                     lead <= 0xFC && isTrail(trail)) {
                out.push_back(static_cast<char>(lead));
                out.push_back(static_cast<char>(trail));
            } else
                return std::nullopt;
        }
        return out;
    }

    static bool isTrail(unsigned char t) { return (t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFC); }
    // The code points of well-formed UTF-8 (the reader hands on nothing else).
    static std::vector<char32_t> codePoints(std::string_view s) {
        std::vector<char32_t> out;
        for (std::size_t i = 0; i < s.size();) {
            const auto c = static_cast<unsigned char>(s[i]);
            const std::size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
            char32_t cp = n == 1 ? c : c & (0x7F >> n);
            for (std::size_t k = 1; k < n && i + k < s.size(); ++k)
                cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
            out.push_back(cp);
            i += n;
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

std::string describe(const kb::ListReading& r) {
    std::string s;
    for (const kb::ListRow& row : r.rows)
        s += std::to_string(row.row) + "|" + row.line1 + "|" + row.line2 + "|" + std::to_string(row.count) +
             "|" +
             (row.firstSerial ? std::to_string(*row.firstSerial) + "/" + std::to_string(row.serialWidth)
                              : "") +
             "\n";
    return s;
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
    const kb::ListEncoding encoding = encodings[data[0] % 6];
    kb::ListOptions options;
    options.date = data[1] & 1;
    if (data[1] & 2)
        options.dateField = "XMAS";
    options.digits = (data[1] >> 2) % 8;
    const std::string bytes(reinterpret_cast<const char*>(data) + 2, size - 2);
    const StandInCodec codec;
    const kb::ListReading reading = kb::readList(bytes, encoding, codec, "list.csv");
    const FixedClock clock;
    const kb::ListComposition run = kb::composeList(reading, options, clock);

    if (!reading.refusals.empty()) {
        require(run.labels.size() == 0 && run.refusals == reading.refusals,
                "a refused list composes nothing");
        for (const kb::ListRefusal& r : reading.refusals) {
            require(r.file == "list.csv" && r.row >= 0 && r.column >= 0, "a refusal names the file", bytes);
            require(kbfuzz::utf8Length(kb::englishText(r)) >= 0 &&
                        kbfuzz::utf8Length(kb::japaneseText(r)) >= 0,
                    "a refusal's wording is UTF-8", bytes);
        }
        return 0;
    }
    std::int64_t labels = 0;
    std::int32_t lastRow = 0;
    for (const kb::ListRow& row : reading.rows) {
        require(row.row > lastRow, "rows in file order", bytes);
        lastRow = row.row;
        require(kbfuzz::isSjisLine(row.line1) && kbfuzz::isSjisLine(row.line2),
                "lines are one-line Shift-JIS", describe(reading));
        require(!(row.line1.empty() && row.line2.empty()), "a row holds text", describe(reading));
        require(row.count >= 1 && row.count <= kb::kMaxRowCount, "the count is within its limits",
                describe(reading));
        if (row.firstSerial)
            require(*row.firstSerial >= 1 && *row.firstSerial + row.count - 1 <= kb::kMaxListSerial &&
                        row.serialWidth >= 1 && row.serialWidth <= kb::kMaxSerialWidth,
                    "serial numbers within their limits", describe(reading));
        labels += row.count;
    }
    require(labels == reading.labels && labels <= kb::kMaxRunLabels, "no more labels than a run holds");

    // The rows written back as a quoted UTF-8 CSV read back the same (numbered from 1, in order).
    std::string csv = "\xEF\xBB\xBF";
    kb::ListReading expected = reading;
    std::int32_t n = 0;
    for (kb::ListRow& row : expected.rows) {
        row.row = ++n;
        csv += quoted(codec.decodeCp932(row.line1)) + "," + quoted(codec.decodeCp932(row.line2)) + "," +
               std::to_string(row.count) + ",";
        if (row.firstSerial) {
            const std::string digits = std::to_string(*row.firstSerial);
            csv += std::string(static_cast<std::size_t>(row.serialWidth) -
                                   std::min<std::size_t>(digits.size(), row.serialWidth),
                               '0') +
                   digits;
        }
        csv += "\r\n";
    }
    const kb::ListReading again = kb::readList(csv, kb::ListEncoding::Detect, codec, "list.csv");
    require(again.refusals.empty() && again.rows == expected.rows, "the rows written back read the same",
            describe(reading) + "---\n" + describe(again));

    if (!run.refusals.empty()) {
        for (const kb::ListRefusal& r : run.refusals)
            require(r.problem == kb::ListProblem::SerialTooWide || r.problem == kb::ListProblem::Repeated,
                    "the composition refuses only what it checks", bytes);
        return 0;
    }
    require(static_cast<std::int64_t>(run.labels.size()) == labels, "every label of every row");
    // The run's first and last labels of each row (all of them would make a fuzz run crawl).
    std::size_t begin = 0;
    for (const kb::ListRow& row : reading.rows) {
        const std::size_t end = begin + static_cast<std::size_t>(row.count);
        for (const std::size_t i : {begin, end - 1}) {
            const kb::ListLabel l = run.labels.at(i);
            require(l.row == row.row, "each label from its row", describe(reading));
            require(l.serial.has_value() == row.firstSerial.has_value() &&
                        (!l.serial || *l.serial == *row.firstSerial + static_cast<std::int32_t>(i - begin)),
                    "serial numbers count up from the row's first", describe(reading));
            require(kbfuzz::isSjisLine(l.lines.line1) && kbfuzz::isSjisLine(l.lines.line2),
                    "labels are well-formed Shift-JIS", describe(reading));
        }
        begin = end;
    }
    return 0;
}
