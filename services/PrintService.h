// The print service both front ends use: from "these labels, this printer, this start file" to "what
// became of every sheet". It composes a typed run's labels, takes the start file's hold for a run,
// checks the ledger for labels printed before, runs the sheets (each sheet's ledger rows and the
// position after it on disk the moment the queue holds it, any pause after that), and follows the
// jobs until each has printed or not. It reports in plain values; the window words them in Japanese
// message boxes, the command in English lines and exit statuses.
#pragma once
#include <QPrinter>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "content/EntryModel.h"
#include "print/Ledger.h"
#include "print/PrintLog.h"
#include "print/PrintRun.h"
#include "print/RunLabels.h"
#include "services/CodeCheck.h"
#include "services/PrinterCheck.h"
#include "services/QtPrintSurface.h"
#include "settings/StartFile.h"
#include "settings/StartFileLock.h"

namespace kb {

// ---- the labels ----

// The entry screen driven as a user would for the entry, then "PrintSet": what every label prints.
std::shared_ptr<const TypedLabels> composeTypedRun(const TypedEntry& entry, const Clock& clock);
// The same labels from the number after the highest the ledger beside the start file holds of their
// series (from 1 when it holds none).
std::shared_ptr<const TypedLabels> fromNextFree(const std::string& startFile, TypedEntry entry,
                                                const TypedLabels& labels, const Clock& clock);

// ---- the ledger as a run uses it ----

// A label of the run that the ledger holds as printed before: the run's index of it, and where.
struct LabelRepeat {
    std::int64_t label = 0;
    PrintedBefore before;
};

class RunLedger {
  public:
    virtual ~RunLedger() = default;
    virtual QString path() const = 0;
    // Why the run's labels are not recorded; empty while they are.
    virtual QString problem() const = 0;
    // The first of the run's numbered labels that was printed before (failed sheets aside).
    virtual std::optional<LabelRepeat> firstRepeat(const RunLabels& labels) = 0;
    // The number after the highest printed serial of the series of the run's first label.
    virtual std::optional<std::int32_t> nextFreeSerial(const RunLabels& labels) = 0;
    // Brings the copy for people up to date; why it could not be, or nothing.
    virtual std::optional<QString> updateCopy() = 0;
    // Sheets that earlier runs left queued, followed up (see followUpWaiting): those that failed.
    virtual std::vector<HistorySheet> followUpEarlier() = 0;

    // The problem, the first time it is asked for once there is one: a run tells it once.
    std::optional<QString> untoldProblem() {
        if (m_problemTold || problem().isEmpty())
            return std::nullopt;
        m_problemTold = true;
        return problem();
    }

    // The rows of a sheet the queue holds, on disk before this returns.
    virtual void taken(const TakenSheet& sheet) = 0;
    // The end of the job of the run's sheet (its index in the run).
    virtual void ended(std::size_t sheet, const JobStatus& status) = 0;

  private:
    bool m_problemTold = false;
};

// The ledger beside the start file for a run of `program` ("window" or "command") on `printer`:
// opened afresh for every run, so that one that could not be written is tried again by the next.
struct PrintOrder;
std::shared_ptr<RunLedger> ledgerFor(const std::string& startFile, const QString& program,
                                     const QString& printer, const PrintOrder& order);

// The sheets an earlier run left queued (ended during the hold, --no-wait): the scheduler is asked how
// each ended, and what it knows is recorded. Those that failed, for the front end to tell.
std::vector<HistorySheet> followUpWaiting(Ledger& ledger);
// The ledger's last `count` sheets as lines for people (time, printer, positions, labels first–last,
// state), oldest first, after asking after the sheets earlier runs left queued; `problem` says why
// the ledger could not be read.
QStringList ledgerHistory(const std::string& startFile, std::size_t count, QString& problem);
// The whole ledger as CSV, one row per label; false (with why) when it was not written whole.
bool exportLedger(const std::string& startFile, QIODevice& out, QString& problem);

// ---- the hold ----

enum class HoldEnd {
    Taken,
    Missing,      // no start file
    NotOpened,    // the start file or its hold file cannot be opened (why; holdFile when it is that)
    HeldByReader, // someone who may only read the start file locks it, and no hold file can be made
    HeldByWindow, // the window holds it
    StillHeld,    // another run still held it after the wait
    Stopped,      // a stop request during the wait (signal)
};
struct HoldResult {
    HoldEnd end = HoldEnd::Taken;
    QString why;
    QString holdFile; // NotOpened: the hold file that could not be opened; empty when it is the start file
    int signal = 0;
};
// Takes the start file for one run, waiting up to waitSeconds for another run to finish with it
// (`waiting` is called once when it starts to wait).
HoldResult takeStartFile(StartFileLock& lock, const QString& path, int waitSeconds,
                         const std::function<void()>& waiting, const std::function<int()>& stopRequest,
                         const std::function<void(int ms)>& sleep);

// ---- the destination ----

// Where a front end's printer (the print dialog's choice, or the command's queue or file) prints:
// its surface and, for a queue, the spooler queue that the run checks and the watch asks.
class PrintTarget {
  public:
    // The print dialog's choice: its queue, or the file it names.
    explicit PrintTarget(QPrinter& printer);
    // The queue asked for by name (empty: the default queue, which may be none); `known` false: Qt
    // would print elsewhere for the name, so the queue counts as missing. Without a queue, the file
    // the printer names.
    PrintTarget(QPrinter& printer, std::optional<QString> queue, bool known);
    // Without a print dialog: the queue named (empty: the system's default, which may be none), or the
    // PDF file when `file` is given; A4 and in colour whatever the queue's defaults.
    static PrintTarget named(QPrinter& printer, const QString& queue, const QString& file);
    bool toFile() const { return !m_toQueue; }
    QtPrintSurface& surface() { return m_surface; }
    const QString& queueName() const { return m_queue.name(); }
    // The printer as the user knows it: the queue, or the file the PDF goes to.
    QString label() const { return m_surface.printerLabel(); }
    QString paperName() const { return m_surface.paperName(); }
    RunQueue* queue() { return toFile() ? nullptr : &m_queue; }
    // For the watch after the run, which outlives the printer.
    std::unique_ptr<RunQueue> detachedQueue() const { return std::make_unique<SpoolerQueue>(m_queue); }

  private:
    QtPrintSurface m_surface;
    SpoolerQueue m_queue;
    bool m_toQueue;
};

// ---- the run ----

struct PrintOrder {
    std::shared_ptr<const RunLabels> labels;
    std::int32_t startPosition = 1;
    std::uint32_t backColour = 0x00FFFFFF;
    std::uint32_t fontColour = 0x00000000;
    std::int32_t offsetRightIndex = kNoShiftIndex; // the offsets the labels are drawn with
    std::int32_t offsetDownIndex = kNoShiftIndex;
    // The 2D code beside each label's text; none by default.
    LabelCode code;
    // The offsets stored with each position, as the start file keeps them after a run.
    std::int32_t storedDown = kNoShiftIndex;
    std::int32_t storedRight = kNoShiftIndex;
};

class RunFollow;

// What a run needs besides its order. `queue` null: a file. `startFile` null: nothing is stored (the
// command's file). `ledger` null: no ledger is kept (a file is no label on paper).
struct RunParts {
    RunSurface& surface;
    RunQueue* queue = nullptr;
    StartFile* startFile = nullptr;
    StartValues* values = nullptr;
    std::shared_ptr<RunLedger> ledger;
    Pause* pause = nullptr;
    std::function<int()> stopRequest = [] { return 0; };
};

class PrintService {
  public:
    explicit PrintService(RunParts parts) : m_parts(std::move(parts)) {}

    // The first numbered label of the order that the ledger holds as printed; none for a run that is
    // not numbered (the same plain label printed every day is no mistake) or keeps no ledger.
    std::optional<LabelRepeat> repeat(const PrintOrder& order) const;
    // Where the series of the order's first label stands: the number after its highest printed one.
    std::optional<std::int32_t> nextFreeSerial(const PrintOrder& order) const;

    // The first label that cannot carry its code beside its text at the printer's resolution; none
    // when every label can (or the run has no code). Checked before anything prints.
    std::optional<LabelCodeRefusal> codeRefusal(const PrintOrder& order) const;

    // Called after each sheet the queue took (done of total).
    std::function<void(std::size_t done, std::size_t total)> progress;

    RunAccount run(const PrintOrder& order);
    // Why the last run could not bring the copy for people (PrintLog.csv) up to date: it is open in
    // Excel, read-only... The database has every label; the next run writes the copy.
    const std::optional<QString>& copyProblem() const { return m_copyProblem; }

  private:
    RunParts m_parts;
    std::optional<QString> m_copyProblem;
};

// ---- after the run: the jobs ----

// One sheet of a run as a report names it.
struct SheetNote {
    std::size_t sheet = 0; // in the run, from 0
    SheetRange range{};
    RunStretch stretch{};
    int job = 0;
    JobStatus status;
};

// What one look at a run's jobs found that had not been told before.
struct FollowNews {
    std::vector<SheetNote> held;    // the scheduler holds the job until someone releases it
    std::vector<SheetNote> blocked; // the job waits for the printer, which reports why (reasons)
    std::vector<SheetNote> failed;  // stopped, cancelled or aborted: its labels are not on paper
    std::vector<SheetNote> lost;    // the print system can no longer be asked: printed or not unknown
    // The printer stopped or reports something new (all its reasons for the user, and those that keep
    // the labels from the paper until someone acts), with the sheets that wait for it.
    bool printerChanged = false;
    bool printerStopped = false;
    std::vector<std::string> printerReasons;
    std::vector<std::string> blockingReasons;
    std::vector<SheetNote> waiting;
    // The run's ledger could not record a job's end, told once (the ledger's problem).
    std::optional<QString> ledgerProblem;
    bool any() const {
        return !held.empty() || !blocked.empty() || !failed.empty() || !lost.empty() || printerChanged ||
               ledgerProblem;
    }
};

// Follows the jobs of the sheets a queue took until each has printed, failed or been lost, and writes
// each end to the run's ledger.
class RunFollow {
  public:
    RunFollow(std::unique_ptr<RunQueue> queue, std::shared_ptr<RunLedger> ledger, const RunAccount& account,
              std::int32_t startPosition, std::shared_ptr<const RunLabels> labels);
    // One look; nowMs is any clock in milliseconds.
    FollowNews poll(std::int64_t nowMs);
    // Looks every intervalMs, each look's news to `news`, until every job is over, a stop request
    // comes (its signal), or limitMs has passed (-1: no limit).
    enum class WaitEnd { Over, Stopped, TimedOut };
    struct Waited {
        WaitEnd end = WaitEnd::Over;
        int signal = 0;
    };
    Waited waitUntilOver(int intervalMs, std::int64_t limitMs, const std::function<void(int ms)>& sleep,
                         const std::function<int()>& stopRequest,
                         const std::function<void(const FollowNews&)>& news);
    bool over() const { return m_watch.over(); }
    std::size_t done() const { return m_watch.done(); }
    std::size_t size() const { return m_watch.size(); }
    std::vector<SheetNote> open() const;
    SheetNote note(std::size_t sheet) const;
    const RunLabels& labels() const { return *m_labels; }
    const std::shared_ptr<RunLedger>& ledger() const { return m_ledger; }
    // The position the run stored after its last sheet.
    std::int32_t storedNext() const { return m_storedNext; }

  private:
    std::unique_ptr<RunQueue> m_queue;
    std::shared_ptr<RunLedger> m_ledger;
    JobWatch m_watch;
    std::vector<SheetRange> m_ranges; // the sheets of the jobs, in the same order
    std::int32_t m_startPosition;
    std::int32_t m_storedNext;
    std::shared_ptr<const RunLabels> m_labels;
};

// ---- wording shared by both front ends ----

// "7" or "7-9" (the command) / "7～9" (the window).
QString span(std::int64_t first, std::int64_t last, const QString& dash);
// The spooler's reasons in the front end's words, joined by `separator`.
QString reasonText(const std::vector<std::string>& reasons, Wording wording, const QString& separator);
// The serial numbers of a stretch of the run, as `span` names them; empty when not numbered.
QString serialSpan(const RunLabels& labels, const RunStretch& stretch, const QString& dash);

} // namespace kb
