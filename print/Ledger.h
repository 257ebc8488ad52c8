// The print ledger: every label that reached a printer, kept for good in PrintLog.db beside the start
// file, and what a run asks of it (has this serial number been printed before, where does a series
// stand, which sheets are still waiting for their job's end). This header is what the print service
// sees: plain values and an interface; the database behind it lives in services/LedgerSqlite.
// Texts are UTF-8, both lines exactly as on paper.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "print/PrintLog.h"

namespace kb {

// One label as it went onto the sheet.
struct LedgerLabel {
    std::int32_t position = 0; // 1..30 on its sheet
    std::string line1, line2;  // as on paper, serial number and date included
    std::string stem;          // the text in front of "-N"; empty when the run is not numbered
    std::optional<std::int32_t> serial;
    std::int32_t row = 0;           // the list row it came from; 0 for a typed run
    std::string codeKind, codeText; // the label's 2D code; empty when it carries none
    bool operator==(const LedgerLabel&) const = default;
};

enum class SheetState { Queued, Printed, Failed, Unknown };
const char* sheetStateName(SheetState state); // "queued", "printed", "failed", "unknown"
// The state a name stands for; queued for a name that is none of them (the job's end still to learn).
SheetState sheetStateNamed(std::string_view name);

// One sheet the print queue took, with its labels, as the ledger records it (state: queued).
struct SheetRecord {
    std::string time;    // local time with its UTC offset: 2026-12-09T13:05:12+09:00
    std::string program; // "window" or "command"
    std::string printer;
    std::string job;        // the spooler's job number ("0": none named)
    std::string run;        // the same for every sheet of one run
    std::int32_t sheet = 0; // the sheet's number in its run, from 1
    std::vector<LedgerLabel> labels;
};

// A numbered label of a run about to print, as the repeat check compares it: the date and the rest
// of line 2 do not count, a serial number being the sample's identity.
struct SeriesKey {
    std::string line1;
    std::string stem;
    std::int32_t serial = 0;
};

// Where a label was printed before.
struct PrintedBefore {
    std::size_t index = 0; // of the run's key that repeats
    std::string time, printer;
    std::int32_t position = 0;
    std::string line1, line2; // as printed then
    SheetState state = SheetState::Printed;
};

// A sheet whose job's end the ledger does not know yet.
struct WaitingSheet {
    std::int64_t id = 0;
    std::string printer, job;
};

// A sheet of the history.
struct HistorySheet {
    std::string time, program, printer, job;
    LedgerLabel first, last; // its first and last label, by position
    SheetState state = SheetState::Queued;
    std::string detail;
};

// What became of bringing PrintLog.csv up to date.
struct CopyOutcome {
    bool upToDate = false;
    std::string problem; // why it could not be written; the next update writes what it missed
};

// A ledger never throws into a run: a call that fails gives false or nothing, and problem() says why
// (the first failure; the run tells it once).
class Ledger {
  public:
    virtual ~Ledger() = default;
    virtual const std::string& problem() const = 0;

    // The sheet's labels, committed to the disk before it returns (the caller then stores the
    // position after them); the sheet's id for setState.
    virtual std::optional<std::int64_t> recordSheet(const SheetRecord& sheet) = 0;
    // The end of a sheet's job, in place. `time`: when it became known.
    virtual bool setState(std::int64_t sheet, SheetState state, const std::string& detail,
                          const std::string& time) = 0;

    // The first of `keys` (in their order) that the ledger holds as printed, queued or unknown. Nothing
    // also when the ledger cannot be read: problem() then says why, and the run says the check was
    // not made.
    virtual std::optional<PrintedBefore> firstRepeat(const std::vector<SeriesKey>& keys) = 0;
    // The number after the highest serial of (line 1, stem) that is not on a failed sheet; nothing
    // when the series has none.
    virtual std::optional<std::int32_t> nextFreeSerial(const std::string& line1, const std::string& stem) = 0;
    // The sheets still queued, oldest first, so that a run can ask the scheduler how they ended.
    virtual std::vector<WaitingSheet> waitingSheets() = 0;

    // The last `count` sheets, oldest first; only those are read.
    virtual std::vector<HistorySheet> lastSheets(std::size_t count) = 0;
    // The whole ledger as CSV, one row per label, handed to `write` piece by piece (false stops).
    virtual bool exportCsv(const std::function<bool(std::string_view)>& write) = 0;
    // Brings PrintLog.csv beside the database up to date.
    virtual CopyOutcome updateCopy() = 0;
};

// The copy's columns, in order: its header row.
const std::vector<std::string>& ledgerCopyColumns();
// A cell of the copy: a text that a spreadsheet would take for a formula (first character =, +, -,
// @, tab or carriage return) gets a leading apostrophe, so that it shows as the text it is.
std::string copyCell(std::string_view text);

// Who may read and write the ledger and its copy: its owner always, others as they may the start
// file (permission bits of the start file in, of the ledger out).
unsigned ledgerMode(unsigned startFileMode);

// The sheets of the last version's PrintLog.1.csv and PrintLog.csv rows (older first), as the ledger
// holds them: each with the state its job ended in and, where the first and last serial numbers show
// how the labels between ran, every label; otherwise its first and last.
struct ImportedSheet {
    SheetRecord record;
    SheetState state = SheetState::Queued;
    std::string detail;
};
std::vector<ImportedSheet> importedSheets(const std::vector<LedgerRow>& rows);

} // namespace kb
