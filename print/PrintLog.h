// The ledger file of the last version, PrintLog.csv (one row per sheet as the print queue took it, and
// one more when its job's end became known), as the database reads it in once; and CSV records
// (RFC 4180, UTF-8, CR LF), which the database's copy for people is written in. Texts are UTF-8.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kb {

struct LedgerRow {
    std::string time;    // local time with its UTC offset: 2026-12-09T13:05:12+09:00
    std::string program; // "window" or "command"
    std::string printer;
    std::string job;                                          // the spooler's job number ("0": none named)
    std::string sheet;                                        // the sheet's number in its run, from 1
    std::string positions;                                    // "25-30"
    std::string firstLine1, firstLine2, lastLine1, lastLine2; // the sheet's first and last label as printed
    std::string firstSerial, lastSerial;                      // empty when the run is not numbered
    std::string state;                                        // queued, printed, failed or unknown
    std::string detail; // for failed: aborted, cancelled or stopped; for unknown: why
    bool operator==(const LedgerRow&) const = default;
};

// The column names, in order: the header row.
const std::vector<std::string>& ledgerColumns();

// One record: fields quoted where they hold a comma, a quote or a line break (quotes doubled), CR LF
// at the end.
std::string csvRecord(const std::vector<std::string>& fields);
std::string csvRecord(const LedgerRow& row);

// The rows of a ledger's text (a leading UTF-8 byte-order mark skipped); the header, records of
// another width and a record cut short by the end of the text (a write that a crash interrupted) are
// skipped.
std::vector<LedgerRow> ledgerRows(std::string_view text);

// A sheet as the ledger knows it in the end: its queued row, with the state its job ended in.
struct LedgerSheet {
    LedgerRow row; // the queued row
    std::string state;
    std::string detail;
};
// Every sheet of the rows (oldest first), each with its final state ("queued" while none came).
std::vector<LedgerSheet> ledgerSheets(const std::vector<LedgerRow>& rows);

} // namespace kb
