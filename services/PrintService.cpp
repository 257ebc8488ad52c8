#include "services/PrintService.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPageSize>
#include <QPrinterInfo>
#include <QStringList>
#include <utility>

#include "services/Codec.h"
#include "services/PrintLogFile.h"
#include "services/SystemPath.h"
#include "settings/Error.h"

namespace kb {

// ---- the labels ----

std::shared_ptr<const TypedLabels> composeTypedRun(const TypedEntry& e, const Clock& clock) {
    return std::make_shared<const TypedLabels>(compose(printSetInputFor(e, clock)).label, e.numbering,
                                               e.firstNumber, e.count);
}

// ---- the ledger ----

namespace {

// The ledger file of the last version, PrintLog.csv: one row per sheet with its first and last label.
class CsvLedger final : public RunLedger {
  public:
    CsvLedger(const QString& folder, LedgerRun run) : m_file(folder), m_run(std::move(run)) {}
    QString path() const override { return m_file.path(); }
    QString problem() const override { return m_file.problem(); }
    std::optional<Repeat> firstRepeat(const RunLabels& labels) override { return m_file.firstRepeat(labels); }
    void taken(const TakenSheet& sheet) override {
        m_rows.push_back(queuedRow(m_run, sheet));
        m_file.append(m_rows.back());
    }
    void ended(std::size_t sheet, const JobStatus& status) override {
        if (sheet < m_rows.size())
            m_file.append(endedRow(m_rows[sheet], status));
    }

  private:
    PrintLogFile m_file;
    LedgerRun m_run;
    std::vector<LedgerRow> m_rows; // the queued row of each sheet taken, in order
};

// The run's store: each sheet's ledger rows, then the position after it.
class LedgeredStore final : public RunStore {
  public:
    LedgeredStore(RunStore& inner, RunLedger* ledger) : m_inner(inner), m_ledger(ledger) {}
    void check() override { m_inner.check(); }
    void taken(const TakenSheet& sheet) override {
        if (m_ledger)
            m_ledger->taken(sheet);
        m_inner.taken(sheet);
    }

  private:
    RunStore& m_inner;
    RunLedger* m_ledger;
};

} // namespace

std::shared_ptr<RunLedger> ledgerFor(const QString& startFolder, const QString& program,
                                     const QString& printer, std::shared_ptr<const RunLabels> labels) {
    return std::make_shared<CsvLedger>(startFolder, LedgerRun{program, printer, std::move(labels)});
}

// ---- the hold ----

HoldResult takeStartFile(StartFileLock& lock, const QString& path, int waitSeconds,
                         const std::function<void()>& waiting, const std::function<int()>& stopRequest,
                         const std::function<void(int ms)>& sleep) {
    constexpr int StepMs = 200;
    const int tries = waitSeconds * 1000 / StepMs;
    for (int i = 0;; ++i) {
        StartFileLock::Outcome outcome = StartFileLock::Outcome::Taken;
        try {
            outcome = lock.take(systemPath(path), StartFileLock::Kind::Run);
        } catch (const HoldFileError& e) {
            return {HoldEnd::NotOpened, QString::fromUtf8(e.what()), QString::fromStdString(e.path()), 0};
        } catch (const IoError& e) {
            if (e.code() == 2)
                return {HoldEnd::Missing, {}, {}, 0};
            return {HoldEnd::NotOpened, QString::fromUtf8(e.what()), {}, 0};
        }
        switch (outcome) {
        case StartFileLock::Outcome::Taken:
            return {};
        case StartFileLock::Outcome::HeldByReader:
            return {HoldEnd::HeldByReader, {}, {}, 0};
        case StartFileLock::Outcome::HeldByWindow:
            return {HoldEnd::HeldByWindow, {}, {}, 0};
        case StartFileLock::Outcome::HeldByRun:
            break;
        }
        if (i == 0 && waiting)
            waiting();
        if (const int signal = stopRequest())
            return {HoldEnd::Stopped, {}, {}, signal};
        if (i >= tries)
            return {HoldEnd::StillHeld, {}, {}, 0};
        sleep(StepMs);
    }
}

// ---- the destination ----

PrintTarget::PrintTarget(QPrinter& printer)
    : PrintTarget(printer,
                  printer.outputFormat() == QPrinter::PdfFormat ? std::nullopt
                                                                : std::optional(printer.printerName()),
                  true) {}

PrintTarget::PrintTarget(QPrinter& printer, std::optional<QString> queue, bool known)
    : m_surface(printer), m_queue(queue.value_or(QString()), known), m_toQueue(queue.has_value()) {}

PrintTarget PrintTarget::named(QPrinter& printer, const QString& queue, const QString& file) {
    std::optional<QString> name;
    bool known = false;
    if (file.isEmpty()) {
        // No name (no default queue, or no print system to ask) is refused by the run's queue check.
        name = queue.isEmpty() ? QPrinterInfo::defaultPrinterName() : queue;
        if (!name->isEmpty())
            printer.setPrinterName(*name);
        // Qt stays on another queue (or on a file) for a name it does not know: judged by the name asked for.
        known = !name->isEmpty() && printer.outputFormat() == QPrinter::NativeFormat &&
                printer.printerName() == *name;
    } else {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
    }
    // The label sheet is A4 whatever the queue's default paper.
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setColorMode(QPrinter::Color);
    return PrintTarget(printer, name, known);
}

// ---- the run ----

std::optional<Repeat> PrintService::repeat(const PrintOrder& order) const {
    if (!m_parts.ledger || !order.labels || order.labels->size() == 0 || !order.labels->at(0).serial)
        return std::nullopt;
    return m_parts.ledger->firstRepeat(*order.labels);
}

namespace {

SheetJob sheetJobOf(const PrintOrder& order) {
    SheetJob job;
    job.backColour = order.backColour;
    job.fontColour = order.fontColour;
    job.offsetRightIndex = order.offsetRightIndex;
    job.offsetDownIndex = order.offsetDownIndex;
    job.startPosition = order.startPosition;
    job.labels = order.labels;
    job.code = order.code;
    return job;
}

} // namespace

std::optional<LabelCodeRefusal> PrintService::codeRefusal(const PrintOrder& order) const {
    if (order.code.kind == CodeKind::None || !order.labels)
        return std::nullopt;
    return firstCodeRefusal(sheetJobOf(order), splitRun(order.startPosition, order.labels->size()),
                            m_parts.surface.dpiX(), m_parts.surface.dpiY());
}

RunAccount PrintService::run(const PrintOrder& order) {
    const SheetJob job = sheetJobOf(order);
    std::optional<StartFileStore> file;
    if (m_parts.startFile)
        file.emplace(*m_parts.startFile, *m_parts.values, order.storedDown, order.storedRight);
    std::optional<LedgeredStore> store;
    if (file)
        store.emplace(*file, m_parts.ledger.get());
    struct NoPause : Pause {
        void pause(int) override {}
    } noPause;
    PrintRun run(m_parts.surface, m_parts.queue, store ? &*store : nullptr,
                 m_parts.pause ? *m_parts.pause : noPause, m_parts.stopRequest);
    run.progress = progress;
    return run.run(job, splitRun(order.startPosition, job.labels ? job.labels->size() : 0));
}

// ---- the jobs ----

namespace {

// A job the scheduler holds until someone releases it, as against one that waits because the
// printer cannot take it yet ("resources-are-not-ready"): only the first is called held.
bool heldByScheduler(const JobStatus& status) {
    if (status.state != JobState::Held)
        return false;
    if (status.reasons.empty())
        return true; // the Windows spooler's paused job says no more
    for (const std::string& r : status.reasons)
        if (r.starts_with("job-hold") || r.starts_with("job-held"))
            return true;
    return false;
}

} // namespace

RunFollow::RunFollow(std::unique_ptr<RunQueue> queue, std::shared_ptr<RunLedger> ledger,
                     const RunAccount& account, std::int32_t startPosition,
                     std::shared_ptr<const RunLabels> labels)
    : m_queue(std::move(queue)), m_ledger(std::move(ledger)), m_watch(account.jobs),
      m_ranges(account.ranges.begin(), account.ranges.begin() + static_cast<std::ptrdiff_t>(account.taken)),
      m_startPosition(startPosition), m_storedNext(account.next), m_labels(std::move(labels)) {}

SheetNote RunFollow::note(std::size_t sheet) const {
    return SheetNote{sheet, m_ranges[sheet], stretchOf(m_ranges, sheet, sheet + 1, m_startPosition),
                     m_watch.jobs()[sheet], m_watch.status(sheet)};
}

std::vector<SheetNote> RunFollow::open() const {
    std::vector<SheetNote> notes;
    for (std::size_t i : m_watch.open())
        notes.push_back(note(i));
    return notes;
}

FollowNews RunFollow::poll(std::int64_t nowMs) {
    const WatchNews news = m_watch.poll(*m_queue, nowMs);
    FollowNews out;
    for (std::size_t i : news.ended) {
        const JobStatus& status = m_watch.status(i);
        if (m_ledger)
            m_ledger->ended(i, status);
        if (jobFailed(status.state))
            out.failed.push_back(note(i));
        else if (status.state == JobState::Lost)
            out.lost.push_back(note(i));
    }
    for (std::size_t i : news.held)
        (heldByScheduler(m_watch.status(i)) ? out.held : out.blocked).push_back(note(i));
    if (news.printerChanged) {
        out.printerChanged = true;
        out.printerStopped = news.printer.stopped;
        out.printerReasons = news.printer.reasons;
        out.blockingReasons = blockingReasons(news.printer.reasons);
        if (out.printerStopped || !out.blockingReasons.empty())
            out.waiting = open();
    }
    return out;
}

RunFollow::Waited RunFollow::waitUntilOver(int intervalMs, std::int64_t limitMs,
                                           const std::function<void(int ms)>& sleep,
                                           const std::function<int()>& stopRequest,
                                           const std::function<void(const FollowNews&)>& news) {
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        news(poll(clock.elapsed()));
        if (over())
            return {WaitEnd::Over, 0};
        if (const int signal = stopRequest())
            return {WaitEnd::Stopped, signal};
        if (limitMs >= 0 && clock.elapsed() >= limitMs)
            return {WaitEnd::TimedOut, 0};
        sleep(intervalMs);
    }
}

// ---- wording ----

QString span(std::int64_t first, std::int64_t last, const QString& dash) {
    return first == last ? QString::number(first) : QString::number(first) + dash + QString::number(last);
}

QString reasonText(const std::vector<std::string>& reasons, Wording wording, const QString& separator) {
    QStringList words;
    for (const std::string& word : reasonWords(reasons, wording))
        words << QString::fromStdString(word);
    return words.join(separator);
}

QString serialSpan(const RunLabels& labels, const RunStretch& stretch, const QString& dash) {
    if (stretch.labels == 0 || stretch.last >= labels.size())
        return {};
    const auto first = labels.at(stretch.first).serial, last = labels.at(stretch.last).serial;
    if (!first || !last)
        return {};
    return span(*first, *last, dash);
}

} // namespace kb
