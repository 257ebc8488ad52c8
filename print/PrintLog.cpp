#include "print/PrintLog.h"

#include <algorithm>
#include <charconv>
#include <deque>
#include <unordered_map>

namespace kb {

const std::vector<std::string>& ledgerColumns() {
    static const std::vector<std::string> columns{
        "time",        "program",    "printer",    "job",          "sheet",       "positions", "first_line1",
        "first_line2", "last_line1", "last_line2", "first_serial", "last_serial", "state",     "detail"};
    return columns;
}

namespace {

std::vector<std::string> fieldsOf(const LedgerRow& r) {
    return {r.time,       r.program,   r.printer,   r.job,         r.sheet,      r.positions, r.firstLine1,
            r.firstLine2, r.lastLine1, r.lastLine2, r.firstSerial, r.lastSerial, r.state,     r.detail};
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

namespace {

// Calls `record` with the fields of each whole record, as views that live until it returns: into the
// text itself, or, for a quoted field with doubled quotes, into a buffer of their own. Reading a long
// ledger so costs no allocation per field.
template <typename F> void forEachRecord(std::string_view text, F&& record) {
    if (text.starts_with(Bom))
        text.remove_prefix(Bom.size());
    std::vector<std::string_view> fields;
    // The fields that needed their quotes undoubled; a deque, so that a view into one stays valid while
    // later ones are added (a vector would move them, and short strings keep their text inside).
    std::deque<std::string> unquoted;
    std::size_t count = 0, buffers = 0;
    std::size_t i = 0;
    const std::size_t n = text.size();
    const auto fieldEnd = [&](std::size_t from) {
        while (from < n && text[from] != ',' && text[from] != '\r' && text[from] != '\n')
            ++from;
        return from;
    };
    while (i < n) {
        // Blank lines are no records.
        if (count == 0 && (text[i] == '\r' || text[i] == '\n')) {
            ++i;
            continue;
        }
        std::string_view field;
        if (text[i] == '"') {
            // Quoted: up to the quote that no second quote follows; doubled quotes are one.
            const std::size_t open = ++i;
            std::string* own = nullptr;
            for (;;) {
                const std::size_t q = text.find('"', i);
                if (q == std::string_view::npos)
                    return; // cut short by a crash: not a whole record
                if (q + 1 < n && text[q + 1] == '"') {
                    if (!own) {
                        if (buffers == unquoted.size())
                            unquoted.emplace_back();
                        own = &unquoted[buffers++];
                        own->assign(text.substr(open, q - open));
                    } else {
                        own->append(text.substr(i, q - i));
                    }
                    *own += '"';
                    i = q + 2;
                    continue;
                }
                if (own)
                    own->append(text.substr(i, q - i));
                field = own ? std::string_view(*own) : text.substr(open, q - open);
                i = q + 1;
                break;
            }
            // Anything written after the closing quote is dropped with it: such a field is not ours.
            i = fieldEnd(i);
        } else {
            const std::size_t end = fieldEnd(i);
            field = text.substr(i, end - i);
            i = end;
        }
        if (count == fields.size())
            fields.emplace_back();
        fields[count++] = field;
        if (i >= n)
            return; // a last record without its line end was cut by a crash
        if (text[i] == ',') {
            if (++i >= n)
                return;
            continue;
        }
        // A line end closes the record.
        if (text[i] == '\r' && i + 1 < n && text[i + 1] == '\n')
            ++i;
        ++i;
        record(fields, count);
        count = 0;
        buffers = 0;
    }
}

constexpr std::size_t Columns = 14;
enum Column : std::size_t {
    Time,
    Program,
    Printer,
    Job,
    Sheet,
    Positions,
    FirstLine1,
    FirstLine2,
    LastLine1,
    LastLine2,
    FirstSerial,
    LastSerial,
    State,
    Detail
};

// The queued sheet of each job, by printer and job number, so that a later row of the same job gives
// it the state its job ended in. A job the spooler never named ("0") has no later row.
class JobIndex {
  public:
    void queued(std::string_view printer, std::string_view job, std::size_t sheet) {
        if (job != "0")
            m_sheets[key(printer, job)] = sheet;
    }
    std::optional<std::size_t> find(std::string_view printer, std::string_view job) {
        const auto it = m_sheets.find(key(printer, job));
        return it == m_sheets.end() ? std::nullopt : std::optional(it->second);
    }

  private:
    const std::string& key(std::string_view printer, std::string_view job) {
        return m_key.assign(printer).append(1, '\n').append(job);
    }
    std::unordered_map<std::string, std::size_t> m_sheets;
    std::string m_key; // kept, so that a look-up allocates nothing
};

bool isHeader(const std::vector<std::string_view>& f) {
    return f[Time] == "time" && f[Program] == "program";
}

LedgerRow rowOf(const std::vector<std::string_view>& f) {
    const auto s = [&](Column c) { return std::string(f[c]); };
    return LedgerRow{s(Time),        s(Program),    s(Printer),    s(Job),       s(Sheet),
                     s(Positions),   s(FirstLine1), s(FirstLine2), s(LastLine1), s(LastLine2),
                     s(FirstSerial), s(LastSerial), s(State),      s(Detail)};
}

} // namespace

std::vector<LedgerRow> ledgerRows(std::string_view text) {
    std::vector<LedgerRow> rows;
    forEachRecord(text, [&](const std::vector<std::string_view>& f, std::size_t count) {
        if (count == Columns && !isHeader(f))
            rows.push_back(rowOf(f));
    });
    return rows;
}

std::vector<LedgerSheet> ledgerSheets(const std::vector<LedgerRow>& rows) {
    std::vector<LedgerSheet> sheets;
    JobIndex jobs;
    for (const LedgerRow& r : rows) {
        if (r.state == "queued") {
            jobs.queued(r.printer, r.job, sheets.size());
            sheets.push_back(LedgerSheet{r, r.state, r.detail});
        } else if (const auto i = jobs.find(r.printer, r.job)) {
            sheets[*i].state = r.state;
            sheets[*i].detail = r.detail;
        }
    }
    return sheets;
}

} // namespace kb
