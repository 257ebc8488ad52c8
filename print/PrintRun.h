// One print run for both front ends. Everything that can refuse the run (the queue, the paper, a start
// file that cannot be stored) is checked before the first sheet; then each sheet is sent, and as soon
// as the queue holds it the position after it is stored, before the next sheet goes: a crash at any
// moment leaves a start file that names no position a queued sheet used. The run gives back an account
// of what reached the queue; a watch then follows the jobs until each has printed or not. The front
// ends add only their wording, pauses, dialogs and exit statuses.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "print/PrintRules.h"
#include "print/QueueState.h"

namespace kb {

class StartFile;
struct StartValues;

// Where a run's sheets go: a print queue (one job a sheet) or a file (all sheets as the pages of one
// document, written whole at the end).
class RunSurface : public PrintSurface {
  public:
    virtual bool toFile() const = 0;
    virtual Paper paper() const = 0;
    // The spooler's job of the sheet just taken; 0 when the spooler named none.
    virtual int lastJob() const = 0;
    // A file: written whole now; false when it could not be, and nothing of it counts.
    virtual bool finish() = 0;
    // Why the last sheet or the file failed, in words for the user (UTF-8).
    virtual std::string failureText() const = 0;
};

// The print queue as the run asks it: its state before the first sheet, each job's afterwards.
class RunQueue {
  public:
    virtual ~RunQueue() = default;
    virtual QueueState state() = 0;
    virtual JobStatus job(int id) = 0;
};

// One sheet the queue took.
struct TakenSheet {
    std::size_t index = 0; // in the run, from 0
    SheetRange range{};
    int job = 0;
    RunStretch stretch{}; // its labels; stretch.next is the position after its last
};

// Where the run keeps its place (and, later, what it printed).
class RunStore {
  public:
    virtual ~RunStore() = default;
    // Throws Error when a position could not be stored; changes nothing that matters.
    virtual void check() = 0;
    // Stores the position after the sheet. Throws Error when it could not be.
    virtual void taken(const TakenSheet& sheet) = 0;
};

// The start file as a run's store: the position after each sheet, with the offsets of the run.
class StartFileStore final : public RunStore {
  public:
    StartFileStore(StartFile& file, StartValues& values, std::int32_t offsetDownIndex,
                   std::int32_t offsetRightIndex);
    void check() override;
    void taken(const TakenSheet& sheet) override;

  private:
    StartFile& m_file;
    StartValues& m_values;
    std::int32_t m_down;
    std::int32_t m_right;
};

enum class RunEnd {
    Printed,        // every sheet taken (a file: written whole), and the position after them stored
    QueueRefused,   // nothing sent: the queue is missing, stopped or refuses jobs (account.queue)
    OffPaper,       // nothing sent: labels would lie off the paper (account.offPaper)
    NotStorable,    // nothing sent: the start file cannot be written (account.why)
    SheetRefused,   // sheet `taken` was refused (account.why); the sheets before it are taken
    Stopped,        // a stop request after `taken` sheets (account.signal)
    FileNotWritten, // the file could not be written: nothing of it counts (account.why)
    NotStored,      // `taken` sheets are at the queue, but the position after the last could not be stored
};

struct RunAccount {
    RunEnd end = RunEnd::Printed;
    std::vector<SheetRange> ranges; // every sheet of the run
    std::size_t taken = 0;          // sheets the queue holds, from the first (a file: all or none)
    std::vector<int> jobs;          // the jobs of the sheets taken, in order
    std::int32_t next = 0;          // the position last stored; the run's start when none was
    std::string why;
    QueueState queue;
    std::vector<std::int32_t> offPaper;
    int signal = 0;
};

class PrintRun {
  public:
    // `queue`: null for a file; `store`: null when the run stores nothing (a file of the command).
    // `stopRequest` is asked after each sheet but the last: 0 goes on, a signal stops the run.
    PrintRun(
        RunSurface& surface, RunQueue* queue, RunStore* store, Pause& pause,
        std::function<int()> stopRequest = [] { return 0; });

    // Called after each sheet the queue took (done of total), before the pause after it.
    std::function<void(std::size_t done, std::size_t total)> progress;

    RunAccount run(const SheetJob& job, const std::vector<SheetRange>& ranges);

  private:
    RunSurface& m_surface;
    RunQueue* m_queue;
    RunStore* m_store;
    Pause& m_pause;
    std::function<int()> m_stopRequest;
};

// What one look at a run's jobs found that had not been found before.
// How each ended is in status(): Completed, failed (jobFailed), Unknown (forgotten by the spooler) or
// Lost (it could not be asked, for too long: printed or not is unknown).
struct WatchNews {
    std::vector<std::size_t> ended;   // sheets whose job is now over
    std::vector<std::size_t> held;    // sheets whose job the spooler now holds until it is released
    std::vector<std::size_t> blocked; // sheets whose job it holds back for the printer (its reasons say why)
    bool printerChanged = false;      // the printer stopped or reports trouble (printer says what)
    QueueState printer;
};

// Follows the jobs of the sheets a queue took until each has printed, failed or been lost.
class JobWatch {
  public:
    // How long a job may go unanswered (the spooler restarting) before it counts as lost.
    static constexpr std::int64_t LostAfterMs = 5000;

    explicit JobWatch(std::vector<int> jobs);

    // One look at every job that is not over; while any still waits, at the printer too. nowMs is
    // any clock in milliseconds.
    WatchNews poll(RunQueue& queue, std::int64_t nowMs);
    bool over() const;
    std::size_t done() const; // jobs over (printed, failed or lost)
    std::size_t size() const { return m_jobs.size(); }
    const std::vector<int>& jobs() const { return m_jobs; }
    const JobStatus& status(std::size_t sheet) const { return m_states[sheet]; }
    // The sheets whose jobs are still open (neither over nor lost), in order.
    std::vector<std::size_t> open() const;

  private:
    bool ended(std::size_t sheet) const;

    std::vector<int> m_jobs;
    std::vector<JobStatus> m_states;         // Lost only once a job stayed unanswered too long
    std::vector<std::int64_t> m_silentSince; // when a job was first found unanswered; -1 while it answers
    std::vector<bool> m_heldTold;
    QueueState m_printerTold{true, true, false, true, {}}; // what was told last: at first, a ready printer
};

// The spooler's reason keywords in the user's words, each once and in their order:
// "media-empty-error" is "out of paper" for the command and 「用紙切れ」 for the window. A keyword
// without words of its own is "the printer reports a problem"; none reaches the user raw.
enum class Wording { English, Japanese };
std::vector<std::string> reasonWords(const std::vector<std::string>& reasons, Wording wording);
// The reasons that keep the labels from the paper until someone acts (out of paper, off, a jam, an
// error), without those that are only notes (toner low, a warning or report the user need not act on).
std::vector<std::string> blockingReasons(const std::vector<std::string>& reasons);

} // namespace kb
