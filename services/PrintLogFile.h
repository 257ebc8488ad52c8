// The ledger file, PrintLog.csv beside the start file: a sheet's row is written before the position
// after it is stored, so that after a crash the ledger names at least every sheet the start file
// counts as used. A ledger that cannot be written never stops a run; the run says once why.
#pragma once
#include <QString>
#include <memory>
#include <optional>
#include <vector>

#include "print/PrintLog.h"
#include "print/PrintRun.h"

namespace kb {

class PrintLogFile {
  public:
    // At this size the ledger becomes PrintLog.1.csv (the older one goes) and a new one begins.
    static constexpr qint64 RotateAt = 5'000'000;

    // `folder`: the start file's folder.
    explicit PrintLogFile(const QString& folder);
    QString path() const { return m_path; }

    // Appends the row, flushed to the disk before it returns. After the first failure every later
    // row is skipped, and problem() says why.
    bool append(const LedgerRow& row);
    const QString& problem() const { return m_problem; }

    // Every row of the older file, then of the current one; missing files hold none.
    std::vector<LedgerRow> readAll() const;
    // The first label of the numbered run (serials following each other) that the ledger holds as
    // printed (see firstRepeat in print/PrintLog.h).
    std::optional<Repeat> firstRepeat(const RunLabels& labels) const;

  private:
    bool fail(const QString& why);

    QString m_path;
    QString m_older;
    QString m_problem;
};

// Local time with its UTC offset, as the ledger's rows carry it.
QString ledgerTime();

// What a run's rows have in common.
struct LedgerRun {
    QString program; // "window" or "command"
    QString printer;
    std::shared_ptr<const RunLabels> labels;
};

// The row of a sheet the queue took.
LedgerRow queuedRow(const LedgerRun& run, const TakenSheet& sheet);
// The row that gives the end of a sheet's job, after its queued row.
LedgerRow endedRow(const LedgerRow& queued, const JobStatus& status);

} // namespace kb
