// The ledger of printed labels, PrintLog.csv beside the start file: one row per sheet as the print
// queue takes it, and one more when its job's end becomes known. These are its rules: the row and its
// CSV form (RFC 4180, UTF-8, CR LF), reading rows back, the history shown to people, and the check
// that a numbered run does not print a label that was printed before. Texts are UTF-8.
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

// The history's line of one sheet, for people: time, printer, positions, labels first–last, state.
std::string historyLine(const LedgerSheet& sheet);

// A label as it stands on paper.
struct LabelText {
    std::string line1, line2;
    bool operator==(const LabelText&) const = default;
};

// The first label of a numbered run (serials first..last, each label given by `labelFor`) that the
// ledgers' sheets already hold, both lines as on paper; sheets whose job failed do not count. The
// ledgers are the files' texts, oldest first: read as they are, without making every row, since the
// check runs before each numbered print over what may be thousands of sheets.
struct Repeat {
    std::int32_t serial = 0;     // the first repeated serial
    std::int32_t lastSerial = 0; // the last of this run's serials on the same sheet
    LabelText label;
    LabelText lastLabel;
    LedgerSheet sheet; // where and when it was printed
};
std::optional<Repeat> firstRepeat(const std::vector<std::string_view>& ledgers, std::int32_t first,
                                  std::int32_t last,
                                  const std::function<LabelText(std::int32_t serial)>& labelFor);

} // namespace kb
