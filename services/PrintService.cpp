#include "services/PrintService.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPageSize>
#include <QPrinterInfo>
#include <QStringList>
#include <cstdlib>
#include <utility>

#include "services/Codec.h"
#include "services/LedgerOpen.h"
#include "services/PrintQueue.h"
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

// What a run's rows have in common.
struct LedgerRun {
    QString program; // "window" or "command"
    QString printer;
    std::shared_ptr<const RunLabels> labels;
    LabelCode code;
};

// Local time with its UTC offset, as the ledger's rows carry it.
QString ledgerTime() {
    const QDateTime now = QDateTime::currentDateTime();
    // The offset always as +HH:MM (Qt writes Z for UTC), so that every row reads the same way.
    const int offset = now.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return now.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) +
           QStringLiteral("%1%2:%3")
               .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

// The text a label's series is known by on line 1: line 1 as typed, or nothing where the serial
// number itself stands on line 1 (it differs from label to label, and no series can be told by it).
std::string seriesLine1(const RunLabel& l) {
    const std::string& line1 = l.lines.line1;
    const std::string prefix = l.stem + "-";
    if (line1.size() > prefix.size() && line1.starts_with(prefix) &&
        line1.find_first_not_of("0123456789", prefix.size()) == std::string::npos)
        return {};
    return line1;
}

std::string utf8(const std::string& sjis) {
    return fromSjis(sjis).toStdString();
}

// The print ledger's database beside the start file, as one run writes it.
class DbLedger final : public RunLedger {
  public:
    DbLedger(std::unique_ptr<Ledger> db, QString path, LedgerRun run)
        : m_db(std::move(db)), m_path(std::move(path)), m_run(std::move(run)),
          m_runId(ledgerTime().toStdString() + " " + std::to_string(QCoreApplication::applicationPid())) {}
    QString path() const override { return m_path; }
    QString problem() const override { return QString::fromStdString(m_db->problem()); }
    std::optional<LabelRepeat> firstRepeat(const RunLabels& labels) override {
        std::vector<SeriesKey> keys;
        std::vector<std::int64_t> indexes;
        for (std::int64_t i = 0; i < labels.size(); ++i)
            if (const RunLabel l = labels.at(i); l.serial) {
                keys.push_back({utf8(l.lines.line1), utf8(l.stem), *l.serial});
                indexes.push_back(i);
            }
        if (keys.empty())
            return std::nullopt;
        const auto before = m_db->firstRepeat(keys);
        if (!before)
            return std::nullopt;
        return LabelRepeat{indexes[before->index], *before};
    }
    std::optional<std::int32_t> nextFreeSerial(const RunLabels& labels) override {
        if (labels.size() == 0)
            return std::nullopt;
        const RunLabel l = labels.at(0);
        const std::string line1 = seriesLine1(l);
        if (!l.serial || line1.empty())
            return std::nullopt;
        return m_db->nextFreeSerial(utf8(line1), utf8(l.stem));
    }
    void taken(const TakenSheet& sheet) override {
        SheetRecord r;
        r.time = ledgerTime().toStdString();
        r.program = m_run.program.toStdString();
        r.printer = m_run.printer.toStdString();
        r.job = std::to_string(sheet.job);
        r.run = m_runId;
        r.sheet = sheet.range.sheet;
        for (std::int32_t p = sheet.range.first; p <= sheet.range.last; ++p) {
            const RunLabel l = m_run.labels->at(sheet.stretch.first + (p - sheet.range.first));
            const bool coded = m_run.code.kind != CodeKind::None;
            r.labels.push_back(LedgerLabel{p, utf8(l.lines.line1), utf8(l.lines.line2), utf8(l.stem),
                                           l.serial, l.row, codeKindName(m_run.code.kind).keyword,
                                           coded ? utf8(codeText(l.lines, m_run.code.text)) : std::string()});
        }
        m_sheets.push_back(m_db->recordSheet(r));
    }
    void ended(std::size_t sheet, const JobStatus& status) override {
        if (sheet >= m_sheets.size() || !m_sheets[sheet])
            return;
        const auto [state, detail] = endOf(status);
        m_db->setState(*m_sheets[sheet], state, detail, ledgerTime().toStdString());
    }
    std::optional<QString> updateCopy() override {
        const CopyOutcome copy = m_db->updateCopy();
        if (copy.upToDate)
            return std::nullopt;
        return QString::fromStdString(copy.problem);
    }

    std::vector<HistorySheet> followUpEarlier() override;

    static std::pair<SheetState, std::string> endOf(const JobStatus& status) {
        if (status.state == JobState::Completed)
            return {SheetState::Printed, ""};
        if (jobFailed(status.state))
            return {SheetState::Failed, failureWord(status.state)};
        return {SheetState::Unknown, status.state == JobState::Lost
                                         ? "the print system could not be asked"
                                         : "the print system no longer knows the job"};
    }

  private:
    std::unique_ptr<Ledger> m_db;
    QString m_path;
    LedgerRun m_run;
    std::string m_runId;
    std::vector<std::optional<std::int64_t>> m_sheets; // the ledger's id of each sheet taken, in order
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

std::shared_ptr<RunLedger> ledgerFor(const std::string& startFile, const QString& program,
                                     const QString& printer, const PrintOrder& order) {
    const QString path = QDir(QFileInfo(QString::fromStdString(startFile)).absolutePath())
                             .filePath(QStringLiteral("PrintLog.db"));
    return std::make_shared<DbLedger>(openLedger(startFile), QDir::toNativeSeparators(path),
                                      LedgerRun{program, printer, order.labels, order.code});
}

std::vector<HistorySheet> DbLedger::followUpEarlier() {
    return followUpWaiting(*m_db);
}

namespace {

QString historyLine(const HistorySheet& h) {
    const auto label = [](const LedgerLabel& l) {
        return QString::fromStdString(l.line1) + QStringLiteral(" / ") + QString::fromStdString(l.line2);
    };
    QString line = QStringLiteral("%1  %2  positions %3  %4")
                       .arg(QString::fromStdString(h.time), QString::fromStdString(h.printer),
                            span(h.first.position, h.last.position, QStringLiteral("-")), label(h.first));
    if (h.first.position != h.last.position)
        line += QStringLiteral(" – ") + label(h.last);
    line += QStringLiteral("  ") + QLatin1String(sheetStateName(h.state));
    if (!h.detail.empty())
        line += QStringLiteral(" (%1)").arg(QString::fromStdString(h.detail));
    return line;
}

} // namespace

QStringList ledgerHistory(const std::string& startFile, std::size_t count, QString& problem) {
    const std::unique_ptr<Ledger> ledger = openLedger(startFile);
    followUpWaiting(*ledger);
    QStringList lines;
    for (const HistorySheet& h : ledger->lastSheets(count))
        lines << historyLine(h);
    problem = QString::fromStdString(ledger->problem());
    return lines;
}

bool exportLedger(const std::string& startFile, QIODevice& out, QString& problem) {
    const std::unique_ptr<Ledger> ledger = openLedger(startFile);
    followUpWaiting(*ledger);
    const bool whole = ledger->exportCsv([&](std::string_view bytes) {
        return out.write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size());
    });
    problem = QString::fromStdString(ledger->problem());
    return whole;
}

std::shared_ptr<const TypedLabels> fromNextFree(const std::string& startFile, TypedEntry entry,
                                                const TypedLabels& labels, const Clock& clock) {
    PrintOrder asked;
    asked.labels = std::make_shared<const TypedLabels>(labels);
    entry.firstNumber =
        ledgerFor(startFile, QStringLiteral("command"), {}, asked)->nextFreeSerial(labels).value_or(1);
    return composeTypedRun(entry, clock);
}

std::vector<HistorySheet> followUpWaiting(Ledger& ledger) {
    std::vector<HistorySheet> failed;
    for (const WaitingSheet& w : ledger.waitingSheets()) {
        const int job = std::atoi(w.job.c_str());
        if (job <= 0)
            continue;
        const JobStatus status = queryJob(w.printer, job);
        // Still on its way (or the scheduler not answering now): asked again next time.
        if (!jobOver(status.state))
            continue;
        const auto [state, detail] = DbLedger::endOf(status);
        if (ledger.setState(w.id, state, detail, ledgerTime().toStdString()) && state == SheetState::Failed)
            failed.push_back(HistorySheet{{}, {}, w.printer, w.job, {}, {}, state, detail});
    }
    return failed;
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

std::optional<LabelRepeat> PrintService::repeat(const PrintOrder& order) const {
    if (!m_parts.ledger || !order.labels)
        return std::nullopt;
    return m_parts.ledger->firstRepeat(*order.labels);
}

std::optional<std::int32_t> PrintService::nextFreeSerial(const PrintOrder& order) const {
    if (!m_parts.ledger || !order.labels)
        return std::nullopt;
    return m_parts.ledger->nextFreeSerial(*order.labels);
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
    if (!order.labels)
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
    const RunAccount account =
        run.run(job, splitRun(order.startPosition, job.labels ? job.labels->size() : 0));
    // The copy for people follows the database after every run; a ledger that records nothing has
    // no copy to bring up to date (and was told already).
    m_copyProblem.reset();
    if (m_parts.ledger && m_parts.ledger->problem().isEmpty())
        if (auto why = m_parts.ledger->updateCopy(); why && !why->isEmpty())
            m_copyProblem = std::move(why);
    return account;
}

// ---- the jobs ----

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
        out.held.push_back(note(i));
    for (std::size_t i : news.blocked)
        out.blocked.push_back(note(i));
    if (news.printerChanged) {
        out.printerChanged = true;
        out.printerStopped = news.printer.stopped;
        out.printerReasons = news.printer.reasons;
        out.blockingReasons = blockingReasons(news.printer.reasons);
        if (out.printerStopped || !out.blockingReasons.empty())
            out.waiting = open();
    }
    if (m_ledger)
        out.ledgerProblem = m_ledger->untoldProblem();
    // Once every job's end is known, the copy for people says them too.
    if (!news.ended.empty() && over() && m_ledger && m_ledger->problem().isEmpty())
        (void)m_ledger->updateCopy();
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
