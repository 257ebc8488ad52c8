#include "cli/PrintCommand.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <algorithm>
#include <vector>

#include "cli/CommandCode.h"
#include "cli/ConsoleOutput.h"
#include "services/Codec.h"
#include "services/ListFile.h"
#include "services/PrintService.h"
#include "services/SystemPath.h"
#include "settings/Error.h"
#include "settings/StartFile.h"
#include "sheet/SheetRules.h"

namespace kb::cli {

namespace {

const QString Dash = QStringLiteral("-");

using Fail = std::function<int(Status, const QString&)>;

// "sheet 2 (positions 1-30, serials 31-60)", "sheets 2-4 (70 labels, serials 31-100)".
QString describe(const RunLabels& labels, const std::vector<SheetRange>& ranges, std::size_t from,
                 std::size_t to, std::int32_t startPosition) {
    const RunStretch s = stretchOf(ranges, from, to, startPosition);
    QString text = to - from == 1 ? QStringLiteral("sheet %1 (positions %2")
                                        .arg(ranges[from].sheet)
                                        .arg(span(ranges[from].first, ranges[from].last, Dash))
                                  : QStringLiteral("sheets %1 (%2 labels")
                                        .arg(span(ranges[from].sheet, ranges[to - 1].sheet, Dash))
                                        .arg(s.labels);
    if (const auto rows = rowsOf(labels, s.first, s.last))
        text += QStringLiteral(", list rows %1").arg(span(rows->first, rows->last, Dash));
    else if (const QString serials = serialSpan(labels, s, Dash); !serials.isEmpty())
        text += QStringLiteral(", serials %1").arg(serials);
    return text + QLatin1Char(')');
}

// The options that print exactly those labels again, with the run's other arguments. They print at
// the next free position, never where the labels were meant to go: the start file only moves
// forward, so no later sheet's positions are printed over.
QString againArguments(const RunLabels& labels, const RunStretch& s) {
    // A list's rest is a list of its own: the rows named, starting at this label of the first.
    if (const auto rows = rowsOf(labels, s.first, s.last)) {
        const RunLabel first = labels.at(s.first);
        return QStringLiteral("--from=FILE of rows %1 only (row %2 from its label \"%3 / %4\")")
            .arg(span(rows->first, rows->last, Dash))
            .arg(rows->first)
            .arg(fromSjis(first.lines.line1), fromSjis(first.lines.line2));
    }
    QString text = QStringLiteral("--count=%1").arg(s.labels);
    if (const auto first = labels.at(s.first).serial)
        text += QStringLiteral(" --number=%1").arg(*first);
    return text;
}

// The start file for this run, waiting a while for another run to finish with it. Returns the status
// to end with, or -1 once taken.
int holdStartFile(StartFileLock& lock, const QString& path, const Environment& env, const Options& o,
                  const Fail& fail) {
    const HoldResult hold = takeStartFile(
        lock, path, StartFileWaitSeconds,
        [&] {
            if (!o.quiet)
                env.err(QStringLiteral(
                            "waiting for another run to finish with the start file %1 (at most %2 s)\n")
                            .arg(path)
                            .arg(StartFileWaitSeconds));
        },
        env.stopRequest, env.sleep);
    switch (hold.end) {
    case HoldEnd::Taken:
        return -1;
    case HoldEnd::Missing:
        return fail(NoStartFile, QStringLiteral("start file %1: スタートファイルがありません").arg(path));
    case HoldEnd::NotOpened:
        if (!hold.holdFile.isEmpty())
            return fail(NoStartFile,
                        QStringLiteral("the hold file %1 beside the start file %2 cannot be opened: %3")
                            .arg(QDir::toNativeSeparators(hold.holdFile), path, hold.why));
        return fail(NoStartFile, QStringLiteral("start file %1: %2").arg(path, hold.why));
    case HoldEnd::HeldByReader:
        return fail(StartFileInUse,
                    QStringLiteral("another user, who may only read the start file %1, keeps it locked, "
                                   "and its folder has no hold file beside it; nothing printed or stored "
                                   "(see \"what another local user can do\" in the documentation)")
                        .arg(path));
    case HoldEnd::HeldByWindow:
        return fail(StartFileInUse,
                    QStringLiteral("the Kestrelbox window holds the start file %1: print there, "
                                   "or end it first (--list and --output work while it runs)")
                        .arg(path));
    case HoldEnd::Stopped:
        return fail(static_cast<Status>(StoppedBase + hold.signal),
                    QStringLiteral("stopped while waiting for the start file; nothing printed or stored"));
    case HoldEnd::StillHeld:
        break;
    }
    return fail(StartFileInUse, QStringLiteral("another run still holds the start file %1 after %2 s; "
                                               "nothing printed or stored")
                                    .arg(path)
                                    .arg(StartFileWaitSeconds));
}

// Said once a run, whatever else it ends with: without the ledger no repeat can be caught.
void tellLedgerProblem(const RunLedger& ledger, const QString& problem, const Environment& env) {
    env.err(QStringLiteral("kestrelbox-print: no ledger is kept: %1: %2\n").arg(ledger.path(), problem));
}

// What one look at the jobs found, said on standard error; the failed and lost sheets kept for the end.
void tellNews(const FollowNews& news, const RunFollow& follow, const QString& queueName,
              const std::vector<SheetRange>& ranges, std::int32_t startPosition, const Environment& env,
              QStringList& failed, QStringList& lost) {
    if (news.ledgerProblem)
        tellLedgerProblem(*follow.ledger(), *news.ledgerProblem, env);
    const RunLabels& labels = follow.labels();
    const auto sheet = [&](const SheetNote& n) {
        return describe(labels, ranges, n.sheet, n.sheet + 1, startPosition) +
               QStringLiteral(", job %1").arg(n.job);
    };
    const auto why = [](const std::vector<std::string>& reasons, const QString& before) {
        const QString words = reasonText(reasons, Wording::English, QStringLiteral(", "));
        return words.isEmpty() ? QString() : before.arg(words);
    };
    // What keeps the printer from printing is told at once and once, also under -q: a script's user
    // would otherwise wait without knowing why.
    for (const SheetNote& n : news.held)
        env.err(QStringLiteral("kestrelbox-print: printer \"%1\": %2, is held%3; it prints once released\n")
                    .arg(queueName, sheet(n), why(n.status.reasons, QStringLiteral(" (%1)"))));
    for (const SheetNote& n : news.blocked)
        env.err(
            QStringLiteral("kestrelbox-print: printer \"%1\": %2, waits%3; it prints once the printer can\n")
                .arg(queueName, sheet(n), why(n.status.reasons, QStringLiteral(" (%1)"))));
    if (news.printerChanged)
        env.err(QStringLiteral("kestrelbox-print: printer \"%1\" %2%3; the sheets wait in the queue\n")
                    .arg(queueName,
                         news.printerStopped ? QStringLiteral("is stopped") : QStringLiteral("reports"),
                         why(news.printerReasons, QStringLiteral(": %1"))));
    for (const SheetNote& n : news.failed)
        failed << QStringLiteral("%1 did not print (job %2 %3); to print it again at the next free "
                                 "position, the same arguments with %4")
                      .arg(describe(labels, ranges, n.sheet, n.sheet + 1, startPosition))
                      .arg(n.job)
                      .arg(QLatin1String(failureWord(n.status.state)), againArguments(labels, n.stretch));
    for (const SheetNote& n : news.lost)
        lost << QStringLiteral("%1 (job %2: the print system can no longer be asked about it)")
                    .arg(describe(labels, ranges, n.sheet, n.sheet + 1, startPosition))
                    .arg(n.job);
}

// Waits until the printer has printed every sheet the queue took, or some ended without printing, or
// can no longer be followed, or the user's limit is reached.
int waitForJobs(RunFollow& follow, const QString& queueName, const RunAccount& run, const Options& o,
                std::int32_t startPosition, const Environment& env, const Fail& fail) {
    std::size_t shown = follow.size() + 1;
    QStringList failed, lost;
    const auto waited = follow.waitUntilOver(
        500, o.waitTimeout ? std::int64_t(*o.waitTimeout) * 1000 : -1, env.sleep, env.stopRequest,
        [&](const FollowNews& news) {
            tellNews(news, follow, queueName, run.ranges, startPosition, env, failed, lost);
            if (!follow.over() && follow.done() != shown && !o.quiet)
                env.err(QStringLiteral("waiting for the printer: %1 of %2 jobs done\n")
                            .arg(follow.done())
                            .arg(follow.size()));
            shown = follow.done();
        });
    if (waited.end == RunFollow::WaitEnd::Stopped)
        return fail(static_cast<Status>(StoppedBase + waited.signal),
                    QStringLiteral("stopped waiting for the printer: %1 of %2 jobs done; the others are "
                                   "queued and print when the printer takes them")
                        .arg(follow.done())
                        .arg(follow.size()));
    if (waited.end == RunFollow::WaitEnd::TimedOut)
        for (const SheetNote& n : follow.open())
            lost << QStringLiteral("%1 (job %2 still queued after %3 s)")
                        .arg(describe(follow.labels(), run.ranges, n.sheet, n.sheet + 1, startPosition))
                        .arg(n.job)
                        .arg(*o.waitTimeout);
    QStringList parts;
    if (!failed.isEmpty())
        parts << failed.join(QStringLiteral("; "));
    if (!lost.isEmpty())
        parts << QStringLiteral("not known whether printed: ") + lost.join(QStringLiteral("; "));
    if (parts.isEmpty())
        return Printed;
    // Labels known not to have printed come first: they are what the user must act on.
    return fail(failed.isEmpty() ? NotKnown : JobFailed,
                QStringLiteral("printer \"%1\": ").arg(queueName) + parts.join(QStringLiteral("; ")));
}

// The ledger's last sheets, for --history, or the whole ledger as CSV for --history-csv ("-": the
// output). Sheets left queued by earlier runs are asked after first.
int showHistory(const Options& o, const std::string& startFile, const Environment& env, const Fail& fail) {
    QString problem;
    if (!o.historyCsv.isEmpty()) {
        QFile file(o.historyCsv);
        const bool out = o.historyCsv == QLatin1String("-");
        if (out ? !file.open(stdout, QIODevice::WriteOnly)
                : !file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return fail(Failed, QStringLiteral("%1: %2").arg(o.historyCsv, file.errorString()));
        if (!exportLedger(startFile, file, problem))
            return fail(Failed, QStringLiteral("the ledger was not written whole: %1").arg(problem));
        return Printed;
    }
    const QStringList lines = ledgerHistory(startFile, std::size_t(*o.history), problem);
    if (!problem.isEmpty())
        return fail(Failed, QStringLiteral("the ledger: %1").arg(problem));
    if (lines.isEmpty() && !o.quiet)
        env.err(QStringLiteral("kestrelbox-print: the ledger holds no sheet yet\n"));
    // What the labels hold reaches a terminal: no control character of them raw.
    for (const QString& line : lines)
        env.out(shownSafely(line) + QLatin1Char('\n'));
    return Printed;
}

// The labels the ledger says were printed are not printed again by mistake: the first of them named.
int refuseRepeat(const LabelRepeat& repeat, const RunLabels& labels, const RunLedger& ledger,
                 const Fail& fail) {
    const PrintedBefore& b = repeat.before;
    const RunLabel l = labels.at(repeat.label);
    // A list's label is named by its row too; its rows carry their own first numbers.
    const QString row = l.row ? QStringLiteral(" of list row %1").arg(l.row) : QString();
    return fail(AlreadyPrinted,
                QStringLiteral("the label \"%1 / %2\" (serial %3%10) was printed on %4 on printer \"%5\" "
                               "(position %6, %7, as the ledger %8 says): \"%9\"; nothing printed; "
                               "--again prints it anyway%11")
                    .arg(fromSjis(l.lines.line1), fromSjis(l.lines.line2))
                    .arg(l.serial.value_or(0))
                    .arg(QString::fromStdString(b.time), QString::fromStdString(b.printer))
                    .arg(b.position)
                    .arg(QLatin1String(sheetStateName(b.state)), ledger.path(),
                         QString::fromStdString(b.line1 + " / " + b.line2), row,
                         l.row ? QString() : QStringLiteral(", --number=next from the next free number")));
}

// Why nothing was sent (the checks before the first sheet); -1 when the run went ahead.
int refusedBeforeSending(const RunAccount& a, const QString& queue, const QString& target,
                         const QString& paper, const QString& path, const Fail& fail) {
    switch (a.end) {
    case RunEnd::QueueRefused:
        return fail(QueueProblem,
                    queue.isEmpty()
                        ? queueProblem(queue, a.queue)
                        : QStringLiteral("printer \"%1\": %2").arg(queue, queueProblem(queue, a.queue)));
    case RunEnd::OffPaper: {
        QStringList names;
        for (std::int32_t p : a.offPaper)
            names << QString::number(p);
        return fail(NotPrinted, QStringLiteral("%1: labels at positions %2 would lie off the paper "
                                               "\"%3\"; the label sheet is A4")
                                    .arg(target, names.join(QStringLiteral(", ")), paper));
    }
    case RunEnd::NotStorable:
        return fail(NoStartFile,
                    QStringLiteral("start file %1 cannot be written: %2; nothing printed, since the "
                                   "next run would print over these labels")
                        .arg(path, QString::fromStdString(a.why)));
    default:
        return -1;
    }
}

// A file holds every sheet or none: none of them counts until it is written whole.
int fileRunEnd(const RunAccount& a, const Options& o, const QString& target, const Environment& env,
               const Fail& fail) {
    if (a.end == RunEnd::Stopped)
        return fail(static_cast<Status>(StoppedBase + a.signal),
                    QStringLiteral("stopped by signal %1 after sheet %2 of %3: nothing written")
                        .arg(a.signal)
                        .arg(a.taken)
                        .arg(a.ranges.size()));
    if (a.end == RunEnd::FileNotWritten)
        return fail(NotPrinted,
                    QStringLiteral("%1 not written: %2").arg(target, QString::fromStdString(a.why)));
    // A label line taken for an option can turn into a file name (-ops): say what was written.
    if (!o.quiet)
        env.err(QStringLiteral("wrote %1 %2 to %3\n")
                    .arg(a.ranges.size())
                    .arg(a.ranges.size() == 1 ? QStringLiteral("sheet") : QStringLiteral("sheets"),
                         QDir::toNativeSeparators(o.output)));
    return Printed;
}

// What the scheduler holds is on its way to the paper, and the start file already names the position
// after it: said for a run that did not take every sheet or could not store; -1 when all went.
int queueRunEnd(const RunAccount& a, const RunLabels& labels, std::int32_t startPosition,
                const QString& printerLabel, const QString& path, const Fail& fail) {
    const std::size_t total = a.ranges.size();
    const QString notPrinted = a.taken < total
                                   ? QStringLiteral("; not printed: %1")
                                         .arg(describe(labels, a.ranges, a.taken, total, startPosition))
                                   : QString();
    const QString advice =
        a.taken < total
            ? QStringLiteral("; to print the rest at the next free position, the same arguments with %1")
                  .arg(againArguments(labels, stretchOf(a.ranges, a.taken, total, startPosition)))
            : QString();
    const QString printedPart = a.taken ? describe(labels, a.ranges, 0, a.taken, startPosition) : QString();
    const QString why = QString::fromStdString(a.why);
    if (a.end == RunEnd::NotStored)
        return fail(NotStored,
                    QStringLiteral("printed: %1, but the next position %2 could not be stored in %3: %4")
                            .arg(printedPart)
                            .arg(stretchOf(a.ranges, 0, a.taken, startPosition).next)
                            .arg(path, why) +
                        notPrinted + advice);
    if (a.end != RunEnd::SheetRefused && a.end != RunEnd::Stopped)
        return -1;
    const Status status = a.end == RunEnd::Stopped ? static_cast<Status>(StoppedBase + a.signal) : NotPrinted;
    const QString report = a.end == RunEnd::Stopped
                               ? QStringLiteral("stopped by signal %1 after sheet %2 of %3")
                                     .arg(a.signal)
                                     .arg(a.taken)
                                     .arg(total)
                               : QStringLiteral("printer \"%1\" refused sheet %2 of %3: %4")
                                     .arg(printerLabel)
                                     .arg(a.taken + 1)
                                     .arg(total)
                                     .arg(why);
    if (a.taken == 0)
        return fail(status, report + QStringLiteral(" (nothing printed; nothing stored)"));
    return fail(status, report + QStringLiteral("; printed: %1").arg(printedPart) + notPrinted +
                            QStringLiteral("; the start file holds position %1").arg(a.next) + advice);
}

// The list of --from composed as the run's labels; its refusals end the command before anything
// prints, each naming the file, row and column. Returns the status to end with, or -1.
int readList(const Options& o, const Environment& env, const Fail& fail,
             std::shared_ptr<const RunLabels>& labels) {
    const ListReading reading = readListFile(o.from, o.encoding);
    ListComposition composed = composeList(reading, ListOptions{o.date, o.dateText, o.digits}, env.clock);
    if (composed.refusals.empty()) {
        labels = std::make_shared<const ListRun>(std::move(composed.labels), reading.file);
        return -1;
    }
    for (const ListRefusal& r : composed.refusals)
        env.err(QStringLiteral("kestrelbox-print: ") + QString::fromStdString(englishText(r)) +
                QLatin1Char('\n'));
    return fail(BadArguments, composed.moreRefusals
                                  ? QStringLiteral("the list has more faults than these; nothing printed")
                                  : QStringLiteral("nothing printed"));
}

// The run of the options once the start file is read: the repeat check, the sheets, the jobs.
int printLabels(const Options& o, const QString& path, StartFile& startFile, StartFileLock& lock,
                StartValues& saved, std::int32_t startPosition, std::int32_t down, std::int32_t right,
                std::shared_ptr<const RunLabels> labels, const Environment& env, const Fail& fail) {
    const bool toQueue = o.output.isEmpty();
    QPrinter printer(QPrinter::HighResolution);
    PrintTarget target = PrintTarget::named(printer, o.printer, o.output);
    const QString queue = target.queueName();
    // What the messages name: the queue, or the file the PDF goes to.
    const QString what =
        QStringLiteral("%1 \"%2\"")
            .arg(toQueue ? QStringLiteral("printer") : QStringLiteral("file"), target.label());
    CommandCode codes;
    PrintOrder order;
    order.labels = labels;
    order.code = codes.code(o);
    const std::shared_ptr<RunLedger> ledger =
        toQueue ? ledgerFor(startFile.path(), QStringLiteral("command"), queue, order) : nullptr;
    PrintService service({target.surface(), target.queue(), toQueue ? &startFile : nullptr, &saved, ledger,
                          nullptr, env.stopRequest});
    order.startPosition = startPosition;
    order.backColour = o.backColour;
    order.fontColour = o.textColour;
    order.offsetRightIndex = right;
    order.offsetDownIndex = down;
    // As after a run in the window: the offsets of this run when they were chosen for it (otherwise
    // the saved ones stay).
    order.storedDown = o.offsetDownIndex.value_or(saved.SavedOffsetDown);
    order.storedRight = o.offsetRightIndex.value_or(saved.SavedOffsetRight);
    if (const auto found = service.codeRefusal(order))
        return fail(BadArguments, CommandCode::refusal(order.code.kind, *found, target.surface().dpiX()));
    // Sheets an earlier run left queued are asked after: a failure among them is still told.
    if (ledger)
        for (const HistorySheet& h : ledger->followUpEarlier())
            env.err(QStringLiteral(
                        "kestrelbox-print: an earlier sheet on printer \"%1\" (job %2) did not print (%3); "
                        "--history shows it\n")
                        .arg(QString::fromStdString(h.printer), QString::fromStdString(h.job),
                             QString::fromStdString(h.detail)));
    // Printed labels are in the ledger: a numbered run does not print one of them again by mistake.
    // Read now, under the hold, so that no run adds rows in between.
    if (!o.again)
        if (const auto repeat = service.repeat(order))
            return refuseRepeat(*repeat, *order.labels, *ledger, fail);
    service.progress = [&](std::size_t done, std::size_t total) {
        if (total > 1 && !o.quiet)
            env.err(QStringLiteral("sheet %1 of %2\n").arg(done).arg(total));
    };
    const RunAccount a = service.run(order);
    if (const auto problem = ledger ? ledger->untoldProblem() : std::nullopt)
        tellLedgerProblem(*ledger, *problem, env);
    if (const auto& copy = service.copyProblem())
        env.err(
            QStringLiteral("kestrelbox-print: the copy for people PrintLog.csv was not brought up to date "
                           "(%1); the ledger has every label, and the next run writes the copy\n")
                .arg(*copy));
    if (const int status = refusedBeforeSending(a, queue, what, target.paperName(), path, fail); status >= 0)
        return status;
    if (!toQueue)
        return fileRunEnd(a, o, what, env, fail);
    if (const int status = queueRunEnd(a, *labels, startPosition, target.label(), path, fail); status >= 0)
        return status;
    lock.release();
    if (o.noWait)
        return Printed;
    RunFollow follow(target.detachedQueue(), ledger, a, startPosition, labels);
    const int status = waitForJobs(follow, target.label(), a, o, startPosition, env, fail);
    return status;
}

} // namespace

TypedEntry typedEntry(const Options& o) {
    return TypedEntry{o.line1, o.line2, o.hasLine2, o.date, o.dateText, o.numbering, o.firstNumber, o.count};
}

QString listLine(std::int32_t sheet, std::int32_t position, const RunLabel& l, const LabelCode& code) {
    // A list's label: its row after the position.
    QString line = QStringLiteral("%1\t%2\t%3%4\t%5\t%6")
                       .arg(sheet)
                       .arg(position)
                       .arg(l.row ? QString::number(l.row) + QLatin1Char('\t') : QString(),
                            l.serial ? QString::number(*l.serial) : QStringLiteral("-"),
                            fromSjis(l.lines.line1), fromSjis(l.lines.line2));
    // With a code: what it carries, its line feed shown as "\n" so that a label stays one line.
    if (code.kind != CodeKind::None)
        line += QLatin1Char('\t') +
                fromSjis(codeText(l.lines, code.text)).replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    return line;
}

int runCommand(const Parsed& parsed, const Environment& env) {
    const Fail fail = [&](Status status, const QString& message) {
        env.err(QStringLiteral("kestrelbox-print: ") + message + QLatin1Char('\n'));
        return static_cast<int>(status);
    };
    if (!sjisAvailable())
        return fail(Failed, QStringLiteral("this system has no Shift-JIS (windows-31j) codec"));
    if (!parsed.error.isEmpty())
        return fail(BadArguments, parsed.error + QStringLiteral(" (see --help)"));
    const Options& o = parsed.options;
    if (o.help) {
        env.out(usageText());
        return Printed;
    }
    if (o.version) {
        env.out(QStringLiteral("kestrelbox-print %1\n").arg(QStringLiteral(KB_VERSION)));
        return Printed;
    }
    const QString path = QDir::toNativeSeparators(
        o.startFile.isEmpty() ? env.exeFolder + QStringLiteral("/StartFile.txt") : o.startFile);
    if (o.history)
        return showHistory(o, systemPath(path), env, fail);

    StartFile startFile(systemPath(path));
    // A run that prints holds the start file from reading its position to storing the next one, so
    // that no other run, of the window or of this command, starts from the same value.
    const bool toQueue = !o.list && o.output.isEmpty();
    StartFileLock lock;
    if (toQueue) {
        if (const int status = holdStartFile(lock, path, env, o, fail); status >= 0)
            return status;
        startFile.setLock(&lock);
    }
    StartValues saved;
    if (toQueue || !o.start || !o.offsetDownIndex || !o.offsetRightIndex) {
        try {
            if (!startFile.read(saved))
                return fail(NoStartFile,
                            QStringLiteral("start file %1: スタートファイルがありません").arg(path));
        } catch (const Error& e) {
            return fail(NoStartFile,
                        QStringLiteral("start file %1: %2").arg(path, QString::fromUtf8(e.what())));
        }
    }
    const std::int32_t startPosition = o.start.value_or(saved.StartPosition);
    // A hand-edited index the window's list lacks means no shift, in the window as here.
    const std::int32_t down = o.offsetDownIndex.value_or(offsetIndexAtStartup(saved.SavedOffsetDown, true));
    const std::int32_t right =
        o.offsetRightIndex.value_or(offsetIndexAtStartup(saved.SavedOffsetRight, false));
    std::shared_ptr<const RunLabels> labels;
    if (!o.from.isEmpty()) {
        if (const int status = readList(o, env, fail, labels); status >= 0)
            return status;
    } else {
        std::shared_ptr<const TypedLabels> typed = composeTypedRun(typedEntry(o), env.clock);
        if (o.nextNumber) {
            // The series' place in the ledger (read under the hold when printing).
            TypedEntry entry = typedEntry(o);
            typed = fromNextFree(startFile.path(), entry, *typed, env.clock);
            if (typed->firstNumber() > MaxFirstNumber)
                return fail(BadArguments, QStringLiteral("--number=next: the series is at %1, beyond %2")
                                              .arg(typed->firstNumber())
                                              .arg(MaxFirstNumber));
        }
        labels = typed;
    }
    if (o.list) {
        forEachPlaced(*labels, startPosition,
                      [&](std::int32_t sheet, std::int32_t position, const RunLabel& l) {
                          env.out(listLine(sheet, position, l, LabelCode{o.code, o.codeText, nullptr}) +
                                  QLatin1Char('\n'));
                      });
        return Printed;
    }
    return printLabels(o, path, startFile, lock, saved, startPosition, down, right, labels, env, fail);
}

} // namespace kb::cli
