#include "print/PrintLog.h"

#include <algorithm>
#include <charconv>
#include <unordered_map>

namespace kb {

const std::vector<std::string>& ledgerColumns() {
    static const std::vector<std::string> columns{
        "time",        "program",     "printer",    "job",       "sheet",        "positions", "first_line1",
        "first_line2", "last_line1",  "last_line2", "first_serial", "last_serial", "state",     "detail"};
    return columns;
}

namespace {

std::vector<std::string> fieldsOf(const LedgerRow& r) {
    return {r.time,      r.program,   r.printer,     r.job,        r.sheet, r.positions, r.firstLine1,
            r.firstLine2, r.lastLine1, r.lastLine2, r.firstSerial, r.lastSerial, r.state, r.detail};
}

std::optional<std::int32_t> number(const std::string& text) {
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

constexpr std::string_view Bom = "\xEF\xBB\xBF";

} // namespace

std::string csvRecord(const std::vector<std::string>& fields) {
    std::string out;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i)
            out += ',';
        const std::string& f = fields[i];
        if (f.find_first_of(",\"\r\n") == std::string::npos) {
            out += f;
            continue;
        }
        out += '"';
        for (const char c : f) {
            if (c == '"')
                out += '"';
            out += c;
        }
        out += '"';
    }
    return out + "\r\n";
}

std::string csvRecord(const LedgerRow& row) {
    return csvRecord(fieldsOf(row));
}

std::vector<std::vector<std::string>> parseCsv(std::string_view text) {
    if (text.starts_with(Bom))
        text.remove_prefix(Bom.size());
    std::vector<std::vector<std::string>> records;
    std::vector<std::string> record;
    std::string field;
    bool quoted = false;     // inside a quoted field
    bool anything = false;   // the record has begun
    std::size_t i = 0;
    const auto endRecord = [&] {
        record.push_back(std::move(field));
        field.clear();
        records.push_back(std::move(record));
        record.clear();
        anything = false;
    };
    while (i < text.size()) {
        const char c = text[i];
        if (quoted) {
            if (c == '"') {
                if (i + 1 < text.size() && text[i + 1] == '"') {
                    field += '"';
                    i += 2;
                    continue;
                }
                quoted = false;
            } else {
                field += c;
            }
            ++i;
            continue;
        }
        if (c == '"') {
            quoted = true;
            anything = true;
        } else if (c == ',') {
            record.push_back(std::move(field));
            field.clear();
            anything = true;
        } else if (c == '\r' || c == '\n') {
            if (anything || !field.empty())
                endRecord();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            field += c;
            anything = true;
        }
        ++i;
    }
    // A last record without its line end was cut by a crash: it is not a whole row.
    return records;
}

std::vector<LedgerRow> ledgerRows(std::string_view text) {
    std::vector<LedgerRow> rows;
    const std::size_t width = ledgerColumns().size();
    for (std::vector<std::string>& f : parseCsv(text)) {
        if (f.size() != width || f == ledgerColumns())
            continue;
        rows.push_back(LedgerRow{std::move(f[0]), std::move(f[1]), std::move(f[2]), std::move(f[3]),
                                 std::move(f[4]), std::move(f[5]), std::move(f[6]), std::move(f[7]),
                                 std::move(f[8]), std::move(f[9]), std::move(f[10]), std::move(f[11]),
                                 std::move(f[12]), std::move(f[13])});
    }
    return rows;
}

std::vector<LedgerSheet> ledgerSheets(const std::vector<LedgerRow>& rows) {
    std::vector<LedgerSheet> sheets;
    // The later row of a job names the queued row by printer and job.
    std::unordered_map<std::string, std::size_t> byJob;
    for (const LedgerRow& r : rows) {
        const std::string key = r.printer + '\n' + r.job;
        if (r.state == "queued") {
            if (r.job != "0")
                byJob[key] = sheets.size();
            sheets.push_back(LedgerSheet{r, r.state, r.detail});
            continue;
        }
        if (const auto it = byJob.find(key); it != byJob.end()) {
            sheets[it->second].state = r.state;
            sheets[it->second].detail = r.detail;
        }
    }
    return sheets;
}

std::string historyLine(const LedgerSheet& s) {
    const LedgerRow& r = s.row;
    std::string line = r.time + "  " + r.printer + "  positions " + r.positions + "  " + r.firstLine1 + " / " +
                       r.firstLine2;
    if (r.firstLine1 != r.lastLine1 || r.firstLine2 != r.lastLine2)
        line += " – " + r.lastLine1 + " / " + r.lastLine2;
    line += "  " + s.state;
    if (!s.detail.empty())
        line += " (" + s.detail + ")";
    return line;
}

std::optional<Repeat> firstRepeat(const std::vector<LedgerSheet>& sheets, std::int32_t first, std::int32_t last,
                                  const std::function<LabelText(std::int32_t serial)>& labelFor) {
    std::optional<Repeat> found;
    for (const LedgerSheet& s : sheets) {
        if (s.state == "failed")
            continue;
        const auto a = number(s.row.firstSerial), b = number(s.row.lastSerial);
        if (!a || !b || *a > *b)
            continue;
        const std::int32_t from = std::max(*a, first), to = std::min(*b, last);
        if (from > to || (found && found->serial <= from))
            continue;
        // The sheet's labels are this run's labels when its first and last are what this run would
        // print for their serial numbers: the same lines, stem, date and number.
        if (labelFor(*a) != LabelText{s.row.firstLine1, s.row.firstLine2} ||
            labelFor(*b) != LabelText{s.row.lastLine1, s.row.lastLine2})
            continue;
        found = Repeat{from, labelFor(from), s};
    }
    return found;
}

} // namespace kb
