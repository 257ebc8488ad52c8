// The ledger file, PrintLog.csv beside the start file, and the run's store that writes a sheet's row
// before the position after it: after a crash the ledger names at least every sheet the start file
// counts as used. A ledger that cannot be written never stops a run; the run says once why.
#pragma once
#include <QString>
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
    // The first label of the numbered run (its label, serials first..last) that the ledger holds as
    // printed (see firstRepeat in print/PrintLog.h).
    std::optional<Repeat> firstRepeat(const NumberedLabel& label, std::int32_t first,
                                      std::int32_t last) const;
    // The rows that give the ends a look at a run's jobs found (`queued`: the run's queued rows).
    void appendEnded(const std::vector<LedgerRow>& queued, const JobWatch& watch, const WatchNews& news);

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
    const SheetJob* job = nullptr;
    bool numbering = false;
};

// The row of a sheet the queue took.
LedgerRow queuedRow(const LedgerRun& run, const TakenSheet& sheet);
// The row that gives the end of a sheet's job, after its queued row.
LedgerRow endedRow(const LedgerRow& queued, const JobStatus& status);

// A run's store that writes each sheet's ledger row, then stores its position.
class LoggedStore final : public RunStore {
  public:
    LoggedStore(RunStore& inner, PrintLogFile& log, LedgerRun run)
        : m_inner(inner), m_log(log), m_run(std::move(run)) {}
    void check() override { m_inner.check(); }
    void taken(const TakenSheet& sheet) override;
    // The queued rows written (or meant to be), one a sheet taken, in order.
    const std::vector<LedgerRow>& rows() const { return m_rows; }

  private:
    RunStore& m_inner;
    PrintLogFile& m_log;
    LedgerRun m_run;
    std::vector<LedgerRow> m_rows;
};

} // namespace kb
