#include "print/Ledger.h"

#include <algorithm>
#include <charconv>

namespace kb {

const char* sheetStateName(SheetState state) {
    switch (state) {
    case SheetState::Queued:
        return "queued";
    case SheetState::Printed:
        return "printed";
    case SheetState::Failed:
        return "failed";
    case SheetState::Unknown:
        break;
    }
    return "unknown";
}

SheetState sheetStateNamed(std::string_view name) {
    for (const SheetState s : {SheetState::Printed, SheetState::Failed, SheetState::Unknown})
        if (name == sheetStateName(s))
            return s;
    return SheetState::Queued;
}

const std::vector<std::string>& ledgerCopyColumns() {
    static const std::vector<std::string> columns{
        "time",  "program", "printer", "job", "run",       "sheet",     "position", "line1",
        "line2", "stem",    "serial",  "row", "code_kind", "code_text", "state",    "detail"};
    return columns;
}

std::string copyCell(std::string_view text) {
    if (!text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos)
        return "'" + std::string(text);
    return std::string(text);
}

unsigned ledgerMode(unsigned startFileMode) {
    return (startFileMode & 0666u) | 0600u;
}

namespace {

std::optional<std::int32_t> number(std::string_view text) {
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Where a label's serial number stands: "-N" in one of its lines, with the stem in front of it.
struct NumberPlace {
    int line = 0; // 1 or 2
    std::size_t at = 0;
};

// The last "-N" in `text` that no further digit follows (a stem may itself hold a hyphen and digits).
std::optional<std::size_t> numberAt(const std::string& text, std::int32_t serial) {
    const std::string mark = "-" + std::to_string(serial);
    for (std::size_t at = text.rfind(mark); at != std::string::npos; at = text.rfind(mark, at - 1)) {
        const std::size_t end = at + mark.size();
        if (end == text.size() || !isDigit(text[end]))
            return at;
        if (at == 0)
            break;
    }
    return std::nullopt;
}

std::size_t digits(std::int32_t n) {
    return std::to_string(n).size();
}

// The line with another serial number in the place of `first`'s. A line 2 with the date is padded with
// blanks to a fixed width before the date: a longer number takes blanks from the padding, keeping at
// least the one blank in front of the date.
std::string withSerial(const std::string& text, std::size_t at, std::int32_t first, std::int32_t serial) {
    const std::size_t end = at + 1 + digits(first);
    std::string tail = text.substr(end);
    const std::size_t blanks = std::min(tail.find_first_not_of(' '), tail.size());
    if (blanks > 1 && blanks < tail.size()) {
        const std::size_t padding = blanks - 1;
        const std::size_t grown = digits(serial) - digits(first);
        tail = std::string((padding > grown ? padding - grown : 0) + 1, ' ') + tail.substr(blanks);
    }
    return text.substr(0, at) + "-" + std::to_string(serial) + tail;
}

LedgerLabel labelFor(const LedgerRow& r, const NumberPlace& p, std::int32_t first, std::int32_t serial) {
    LedgerLabel label;
    label.line1 = r.firstLine1;
    label.line2 = r.firstLine2;
    std::string& numbered = p.line == 1 ? label.line1 : label.line2;
    label.stem = numbered.substr(0, p.at);
    numbered = withSerial(numbered, p.at, first, serial);
    label.serial = serial;
    return label;
}

std::vector<LedgerLabel> labelsOf(const LedgerRow& r) {
    std::int32_t from = 0, to = 0;
    if (const std::size_t dash = r.positions.find('-'); dash == std::string::npos) {
        from = to = number(r.positions).value_or(0);
    } else {
        from = number(r.positions.substr(0, dash)).value_or(0);
        to = number(r.positions.substr(dash + 1)).value_or(0);
    }
    if (from < 1 || to < from || to > 30)
        from = to = 0; // positions unknown: the first and last label still count
    const auto a = number(r.firstSerial), b = number(r.lastSerial);
    std::vector<LedgerLabel> labels;
    if (!a || !b) {
        // Not numbered: every label of the sheet printed the same two lines.
        const bool same = r.firstLine1 == r.lastLine1 && r.firstLine2 == r.lastLine2;
        for (std::int32_t p = from; p <= to && same && from; ++p)
            labels.push_back(LedgerLabel{p, r.firstLine1, r.firstLine2, "", std::nullopt, 0, "", ""});
        if (labels.empty()) {
            labels.push_back(LedgerLabel{from, r.firstLine1, r.firstLine2, "", std::nullopt, 0, "", ""});
            labels.push_back(LedgerLabel{to, r.lastLine1, r.lastLine2, "", std::nullopt, 0, "", ""});
        }
        return labels;
    }
    std::optional<NumberPlace> place, verified;
    for (const int line : {2, 1}) {
        const auto at = numberAt(line == 1 ? r.firstLine1 : r.firstLine2, *a);
        if (!at)
            continue;
        const NumberPlace p{line, *at};
        if (!place)
            place = p;
        const LedgerLabel last = labelFor(r, p, *a, *b);
        if (!verified && last.line1 == r.lastLine1 && last.line2 == r.lastLine2)
            verified = p;
    }
    if (verified && from && *b - *a == to - from) {
        for (std::int32_t s = *a; s <= *b; ++s) {
            labels.push_back(labelFor(r, *verified, *a, s));
            labels.back().position = from + (s - *a);
        }
        return labels;
    }
    // The labels between cannot be told from the first and the last: those two are kept.
    LedgerLabel first{from, r.firstLine1, r.firstLine2, "", *a, 0, "", ""};
    LedgerLabel last{to, r.lastLine1, r.lastLine2, "", *b, 0, "", ""};
    if (place) {
        first.stem = labelFor(r, *place, *a, *a).stem;
        if (const auto at = numberAt(place->line == 1 ? r.lastLine1 : r.lastLine2, *b))
            last.stem = (place->line == 1 ? r.lastLine1 : r.lastLine2).substr(0, *at);
    }
    labels.push_back(first);
    if (*b != *a || to != from)
        labels.push_back(last);
    return labels;
}

} // namespace

std::vector<ImportedSheet> importedSheets(const std::vector<LedgerRow>& rows) {
    std::vector<ImportedSheet> sheets;
    for (const LedgerSheet& s : ledgerSheets(rows)) {
        const LedgerRow& r = s.row;
        ImportedSheet sheet;
        sheet.record =
            SheetRecord{r.time, r.program, r.printer, r.job, "", number(r.sheet).value_or(0), labelsOf(r)};
        sheet.state = sheetStateNamed(s.state);
        sheet.detail = s.detail;
        sheets.push_back(std::move(sheet));
    }
    return sheets;
}

} // namespace kb
