// The last version's ledger rules that the database still uses: CSV records, reading them back, and
// the final state of each sheet (the import).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "print/PrintLog.h"

using namespace kb;

namespace {

LedgerRow row(std::string job, std::string state, std::string first = "1", std::string last = "6",
              std::string line2 = "ABC-", std::string detail = "") {
    LedgerRow r;
    r.time = "2026-12-09T10:00:00+09:00";
    r.program = "command";
    r.printer = "kbtest";
    r.job = std::move(job);
    r.sheet = "1";
    r.positions = "9-14";
    r.firstLine1 = r.lastLine1 = "HELLO";
    r.firstLine2 = first.empty() ? line2 : line2 + first;
    r.lastLine2 = last.empty() ? line2 : line2 + last;
    r.firstSerial = first;
    r.lastSerial = last;
    r.state = std::move(state);
    r.detail = std::move(detail);
    return r;
}

} // namespace

// Fields that need quotes get them (quotes doubled), the record ends in CR LF, and a row reads back
// field for field: commas, quotes, line breaks and Japanese in its label lines, several in one record.
TEST(PrintLog, CsvRecordsRoundTrip) {
    const std::pair<std::string, std::string> fields[] = {
        {"ab", "ab"},
        {"", ""},
        {"1,2", "\"1,2\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\r\nlines", "\"two\r\nlines\""},
        {"lf\nonly", "\"lf\nonly\""},
        {"検体", "検体"},
    };
    for (const auto& [field, text] : fields) {
        EXPECT_EQ(csvRecord(std::vector<std::string>{field, "x"}), text + ",x\r\n");
        LedgerRow r = row("1", "queued");
        r.firstLine1 = r.lastLine2 = field;
        r.detail = field + " and a much longer \"text\" that needs memory of its own";
        EXPECT_EQ(ledgerRows("\xEF\xBB\xBF" + csvRecord(r)), std::vector<LedgerRow>{r}) << field;
    }
    // A record that a crash cut short (no line end; inside a quoted field) is no row; one before it
    // stays. Blank lines are no records.
    LedgerRow quoted = row("1", "queued");
    quoted.detail = "a,b";
    const std::string whole = csvRecord(quoted);
    for (const std::size_t cut : {2u, 4u})
        EXPECT_EQ(ledgerRows(whole + whole.substr(0, whole.size() - cut)), std::vector<LedgerRow>{quoted});
    EXPECT_EQ(ledgerRows("\r\n\r\n" + whole), std::vector<LedgerRow>{quoted});
}

// The header and records of another width are skipped; each sheet ends with the state of its job's
// later row, matched by printer and job; a job the spooler never named keeps its queued state.
TEST(PrintLog, SheetsTakeTheirJobsEnd) {
    std::string text = csvRecord(ledgerColumns());
    const LedgerRow rows[] = {row("11", "queued"),
                              row("12", "queued"),
                              row("0", "queued"),
                              row("11", "printed"),
                              row("12", "failed", "1", "6", "ABC-", "aborted"),
                              row("0", "printed")};
    for (const LedgerRow& r : rows)
        text += csvRecord(r);
    text += "too,few,fields\r\n";
    const std::vector<LedgerRow> read = ledgerRows(text);
    ASSERT_EQ(read.size(), 6u);
    const std::vector<LedgerSheet> sheets = ledgerSheets(read);
    ASSERT_EQ(sheets.size(), 3u);
    EXPECT_EQ(sheets[0].state, "printed");
    EXPECT_EQ(sheets[1].detail, "aborted");
    EXPECT_EQ(sheets[2].state, "queued");
}
