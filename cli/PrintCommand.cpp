#include "cli/PrintCommand.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>
#include <algorithm>
#include <vector>

#include "cli/CommandCode.h"
#include "print/PrintRun.h"
#include "services/Codec.h"
#include "services/PrintLogFile.h"
#include "services/PrintQueue.h"
#include "services/PrinterCheck.h"
#include "services/QtPrintSurface.h"
#include "services/SystemPath.h"
#include "settings/Error.h"
#include "settings/StartFile.h"
#include "sheet/SheetRules.h"

namespace kb::cli {

namespace {

// The window waits after each sheet so that its user sees the printer work; a script does not.
class NoPause : public Pause {
  public:
    void pause(int) override {}
};

QString span(std::int32_t first, std::int32_t last) {
    return first == last ? QString::number(first) : QStringLiteral("%1-%2").arg(first).arg(last);
}

// "sheet 2 (positions 1-30, serials 31-60)", "sheets 2-4 (70 labels, serials 31-100)".
QString describe(const Options& o, const RunAccount& run, std::size_t from, std::size_t to,
                 std::int32_t startPosition) {
    const RunStretch s = stretchOf(run.ranges, from, to, o.firstNumber, startPosition);
    const std::vector<SheetRange>& ranges = run.ranges;
    QString text = to - from == 1 ? QStringLiteral("sheet %1 (positions %2")
                                        .arg(ranges[from].sheet)
                                        .arg(span(ranges[from].first, ranges[from].last))
                                  : QStringLiteral("sheets %1 (%2 labels")
                                        .arg(span(ranges[from].sheet, ranges[to - 1].sheet))
                                        .arg(s.labels);
    if (o.numbering)
        text += QStringLiteral(", serials %1").arg(span(s.firstSerial, s.lastSerial));
    return text + QLatin1Char(')');
}

// The options that print exactly those labels again, with the run's other arguments. They print at
// the next free position, never where the labels were meant to go: the start file only moves
// forward, so no later sheet's positions are printed over.
QString againArguments(const Options& o, const RunAccount& run, std::size_t from, std::size_t to,
                       std::int32_t startPosition) {
    const RunStretch s = stretchOf(run.ranges, from, to, o.firstNumber, startPosition);
    QString text = QStringLiteral("--count=%1").arg(s.labels);
    if (o.numbering)
        text += QStringLiteral(" --number=%1").arg(s.firstSerial);
    return text;
}

// A spooler's reason keywords in words: "media-empty-error" is "out of paper".
QString reasonWords(const std::vector<std::string>& reasons) {
    QStringList out;
    for (const std::string& word : kb::reasonWords(reasons, Wording::English))
        out << QString::fromStdString(word);
    return out.join(QStringLiteral(", "));
}

// Takes the start file for this run, waiting a while for another run to finish with it. Returns the
// status to end with, or -1 once taken.
int takeStartFile(StartFileLock& lock, const QString& path, const Environment& env, const Options& o,
                  const std::function<int(Status, const QString&)>& fail) {
    const int tries = StartFileWaitSeconds * 5;
    for (int i = 0;; ++i) {
        StartFileLock::Outcome outcome = StartFileLock::Outcome::Taken;
        try {
            outcome = lock.take(systemPath(path), StartFileLock::Kind::Run);
        } catch (const IoError& e) {
            if (e.code() == 2)
                return fail(NoStartFile,
                            QStringLiteral("start file %1: スタートファイルがありません").arg(path));
            return fail(NoStartFile,
                        QStringLiteral("start file %1: %2").arg(path, QString::fromUtf8(e.what())));
        }
        if (outcome == StartFileLock::Outcome::Taken)
            return -1;
        if (outcome == StartFileLock::Outcome::HeldByReader)
            return fail(StartFileInUse,
                        QStringLiteral("another user, who may only read the start file %1, keeps it locked, "
                                       "and its folder has no hold file beside it; nothing printed or stored "
                                       "(see \"what another local user can do\" in the documentation)")
                            .arg(path));
        if (outcome == StartFileLock::Outcome::HeldByWindow)
            return fail(StartFileInUse,
                        QStringLiteral("the Kestrelbox window holds the start file %1: print there, "
                                       "or end it first (--list and --output work while it runs)")
                            .arg(path));
        if (i == 0 && !o.quiet)
            env.err(
                QStringLiteral("waiting for another run to finish with the start file %1 (at most %2 s)\n")
                    .arg(path)
                    .arg(StartFileWaitSeconds));
        if (const int signal = env.stopRequest())
            return fail(
                static_cast<Status>(StoppedBase + signal),
                QStringLiteral("stopped while waiting for the start file; nothing printed or stored"));
        if (i >= tries)
            return fail(StartFileInUse,
                        QStringLiteral("another run still holds the start file %1 after %2 s; "
                                       "nothing printed or stored")
                            .arg(path)
                            .arg(StartFileWaitSeconds));
        env.sleep(200);
    }
}

// Waits until the printer has printed every sheet the queue took, or some ended without printing, or
// can no longer be followed, or the user's limit is reached.
int waitForJobs(RunQueue& queue, const QString& queueName, const RunAccount& run, const Options& o,
                std::int32_t startPosition, PrintLogFile& log, const std::vector<LedgerRow>& rows,
                const Environment& env, const std::function<int(Status, const QString&)>& fail) {
    JobWatch watch(run.jobs);
    QElapsedTimer clock;
    clock.start();
    const std::int64_t limit = o.waitTimeout ? std::int64_t(*o.waitTimeout) * 1000 : -1;
    std::size_t shown = run.jobs.size() + 1;
    QStringList failed, lost;
    const auto jobText = [&](std::size_t i) { return QStringLiteral("job %1").arg(run.jobs[i]); };
    for (;;) {
        const WatchNews news = watch.poll(queue, clock.elapsed());
        log.appendEnded(rows, watch, news);
        // What keeps the printer from printing is told at once and once, also under -q: a script's
        // user would otherwise wait without knowing why.
        for (std::size_t i : news.held) {
            const QString why = reasonWords(watch.status(i).reasons);
            env.err(QStringLiteral(
                        "kestrelbox-print: printer \"%1\": %2, %3, is held%4; it prints once released\n")
                        .arg(queueName, describe(o, run, i, i + 1, startPosition), jobText(i),
                             why.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(why)));
        }
        if (news.printerChanged) {
            const QString why = reasonWords(news.printer.reasons);
            env.err(QStringLiteral("kestrelbox-print: printer \"%1\" %2%3; the sheets wait in the queue\n")
                        .arg(queueName,
                             news.printer.stopped ? QStringLiteral("is stopped") : QStringLiteral("reports"),
                             why.isEmpty() ? QString() : QStringLiteral(": %1").arg(why)));
        }
        for (std::size_t i : news.ended) {
            const JobState state = watch.status(i).state;
            if (jobFailed(state))
                failed << QStringLiteral("%1 did not print (%2 %3); to print it again at the next free "
                                         "position, the same arguments with %4")
                              .arg(describe(o, run, i, i + 1, startPosition), jobText(i),
                                   QLatin1String(failureWord(state)),
                                   againArguments(o, run, i, i + 1, startPosition));
            else if (state == JobState::Lost)
                lost << QStringLiteral("%1 (%2: the print system can no longer be asked about it)")
                            .arg(describe(o, run, i, i + 1, startPosition), jobText(i));
        }
        if (watch.over())
            break;
        const std::size_t ended = watch.done();
        if (ended != shown && !o.quiet)
            env.err(QStringLiteral("waiting for the printer: %1 of %2 jobs done\n")
                        .arg(ended)
                        .arg(run.jobs.size()));
        shown = ended;
        if (const int signal = env.stopRequest())
            return fail(static_cast<Status>(StoppedBase + signal),
                        QStringLiteral("stopped waiting for the printer: %1 of %2 jobs done; the others are "
                                       "queued and print when the printer takes them")
                            .arg(ended)
                            .arg(run.jobs.size()));
        if (limit >= 0 && clock.elapsed() >= limit) {
            for (std::size_t i : watch.open())
                lost << QStringLiteral("%1 (%2 still queued after %3 s)")
                            .arg(describe(o, run, i, i + 1, startPosition), jobText(i))
                            .arg(*o.waitTimeout);
            break;
        }
        env.sleep(500);
    }
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

} // namespace

NumberedLabel composeLabels(const Options& o, const Clock& clock) {
    // The entry screen, in the order a user fills it: the two lines, then "Date" (and an edited date
    // field), "Number" with its first number, and the number of labels.
    EntryModel entry(clock);
    entry.Memo1.setText(o.hasLine2 ? o.line1 + "\r\n" + o.line2 : o.line1);
    if (o.date) {
        entry.setDateChecked(true);
        if (o.dateText)
            entry.setEdit2Text(*o.dateText);
    }
    if (o.numbering) {
        entry.CheckBox3Click(true);
        entry.ListBox1Click(o.firstNumber - 1);
    }
    entry.ListBox4Click(o.count - 1);

    // "PrintSet".
    return compose(entry.printSetInput()).label;
}

void forEachLabel(const Options& o, const NumberedLabel& label, std::int32_t startPosition,
                  const std::function<void(const ListedLabel&)>& each) {
    ListedLabel l;
    for (const SheetRange& range : splitWholeRun(startPosition, o.count)) {
        l.sheet = range.sheet;
        for (std::int32_t p = range.first; p <= range.last; ++p) {
            l.position = p;
            const std::int32_t n = serialNumber(o.firstNumber, startPosition, range.sheet, p);
            l.serial = o.numbering ? std::optional<std::int32_t>(n) : std::nullopt;
            l.lines = label.linesFor(n);
            each(l);
        }
    }
}

QString listLine(const ListedLabel& l) {
    return QStringLiteral("%1\t%2\t%3\t%4\t%5")
        .arg(l.sheet)
        .arg(l.position)
        .arg(l.serial ? QString::number(*l.serial) : QStringLiteral("-"), fromSjis(l.lines.line1),
             fromSjis(l.lines.line2));
}

int runCommand(const Parsed& parsed, const Environment& env) {
    const auto fail = [&](Status status, const QString& message) {
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
    PrintLogFile log(QFileInfo(path).absolutePath());
    if (o.history) {
        const std::vector<LedgerSheet> sheets = ledgerSheets(log.readAll());
        if (sheets.empty() && !o.quiet)
            env.err(QStringLiteral("kestrelbox-print: the ledger %1 holds no sheet yet\n")
                        .arg(QDir::toNativeSeparators(log.path())));
        const std::size_t n = std::min<std::size_t>(sheets.size(), std::size_t(*o.history));
        for (std::size_t i = sheets.size() - n; i < sheets.size(); ++i)
            env.out(QString::fromStdString(historyLine(sheets[i])) + QLatin1Char('\n'));
        return Printed;
    }
    StartFile startFile(systemPath(path));
    // A run that prints holds the start file from reading its position to storing the next one, so
    // that no other run, of the window or of this command, starts from the same value.
    const bool toQueue = !o.list && o.output.isEmpty();
    StartFileLock lock;
    if (toQueue) {
        if (const int status = takeStartFile(lock, path, env, o, fail); status >= 0)
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
    const NumberedLabel label = composeLabels(o, env.clock);

    if (o.list) {
        forEachLabel(o, label, startPosition,
                     [&](const ListedLabel& l) { env.out(listLine(l) + QLatin1Char('\n')); });
        return Printed;
    }

    // Printed labels are in the ledger: a numbered run does not print one of them again by mistake.
    // Read now, under the hold, so that no run adds rows in between.
    if (toQueue && o.numbering && !o.again) {
        const auto repeat = log.firstRepeat(label, o.firstNumber, o.firstNumber + o.count - 1);
        if (repeat) {
            const LedgerRow& r = repeat->sheet.row;
            return fail(
                AlreadyPrinted,
                QStringLiteral("the label \"%1 / %2\" (serial %3) was printed on %4 on printer \"%5\" "
                               "(job %6, positions %7, %8, as the ledger %9 says); nothing printed; "
                               "--again prints it anyway")
                    .arg(QString::fromStdString(repeat->label.line1),
                         QString::fromStdString(repeat->label.line2))
                    .arg(repeat->serial)
                    .arg(QString::fromStdString(r.time), QString::fromStdString(r.printer),
                         QString::fromStdString(r.job), QString::fromStdString(r.positions),
                         QString::fromStdString(repeat->sheet.state), log.path()));
        }
    }

    QPrinter printer(QPrinter::HighResolution);
    QString queue;
    bool known = false;
    if (toQueue) {
        // No name (no default queue, or no print system to ask) is refused by the run's queue check.
        queue = o.printer.isEmpty() ? QPrinterInfo::defaultPrinterName() : o.printer;
        if (!queue.isEmpty())
            printer.setPrinterName(queue);
        // Qt stays on another queue (or on a file) for a name it does not know: judged by the name asked for.
        known = !queue.isEmpty() && printer.outputFormat() == QPrinter::NativeFormat &&
                printer.printerName() == queue;
    } else {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(o.output);
    }
    // The label sheet is A4 whatever the queue's default paper.
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setColorMode(QPrinter::Color);

    QtPrintSurface surface(printer);
    // What the messages name: the queue, or the file the PDF goes to.
    const QString target =
        QStringLiteral("%1 \"%2\"")
            .arg(toQueue ? QStringLiteral("printer") : QStringLiteral("file"), surface.printerLabel());

    SheetJob job;
    job.backColour = o.backColour;
    job.fontColour = o.textColour;
    job.offsetRightIndex = right;
    job.offsetDownIndex = down;
    job.firstNumber = o.firstNumber;
    job.startPosition = startPosition;
    job.label = label;
    CommandCode code;
    code.apply(job, o);
    if (const QString why =
            code.refusal(job, splitWholeRun(startPosition, o.count), surface.dpiX(), surface.dpiY());
        !why.isEmpty())
        return fail(BadArguments, why);
    // As after a run in the window: the offsets of this run when they were chosen for it (otherwise
    // the saved ones stay).
    StartFileStore store(startFile, saved, o.offsetDownIndex.value_or(saved.SavedOffsetDown),
                         o.offsetRightIndex.value_or(saved.SavedOffsetRight));
    SpoolerQueue spooler(queue, known);
    LoggedStore logged(store, log, LedgerRun{QStringLiteral("command"), queue, &job, o.numbering});
    NoPause pause;
    PrintRun run(surface, toQueue ? &spooler : nullptr, toQueue ? &logged : nullptr, pause, env.stopRequest);
    run.progress = [&](std::size_t done, std::size_t total) {
        if (total > 1 && !o.quiet)
            env.err(QStringLiteral("sheet %1 of %2\n").arg(done).arg(total));
    };
    const RunAccount a = run.run(job, splitWholeRun(startPosition, o.count));
    // Said once, whatever else the run ends with: without the ledger no repeat can be caught.
    const auto tellLedger = [&] {
        env.err(
            QStringLiteral("kestrelbox-print: no ledger is kept: %1: %2\n").arg(log.path(), log.problem()));
    };
    if (!log.problem().isEmpty())
        tellLedger();
    const std::size_t total = a.ranges.size();
    const QString why = QString::fromStdString(a.why);
    const QString stopped =
        QStringLiteral("stopped by signal %1 after sheet %2 of %3").arg(a.signal).arg(a.taken).arg(total);

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
                                    .arg(target, names.join(QStringLiteral(", ")), surface.paperName()));
    }
    case RunEnd::NotStorable:
        return fail(NoStartFile,
                    QStringLiteral("start file %1 cannot be written: %2; nothing printed, since the "
                                   "next run would print over these labels")
                        .arg(path, why));
    default:
        break;
    }
    if (!toQueue) {
        // A file holds every sheet or none: none of them counts until it is written whole.
        if (a.end == RunEnd::Stopped)
            return fail(static_cast<Status>(StoppedBase + a.signal),
                        stopped + QStringLiteral(": nothing written"));
        if (a.end == RunEnd::FileNotWritten)
            return fail(NotPrinted, QStringLiteral("%1 not written: %2").arg(target, why));
        // A label line taken for an option can turn into a file name (-ops): say what was written.
        if (!o.quiet)
            env.err(QStringLiteral("wrote %1 %2 to %3\n")
                        .arg(total)
                        .arg(total == 1 ? QStringLiteral("sheet") : QStringLiteral("sheets"),
                             QDir::toNativeSeparators(o.output)));
        return Printed;
    }

    // What the scheduler holds is on its way to the paper, and the start file already names the
    // position after it: the rest is to say what was printed and what not.
    const QString notPrinted =
        a.taken < total
            ? QStringLiteral("; not printed: %1").arg(describe(o, a, a.taken, total, startPosition))
            : QString();
    const QString advice = a.taken < total
                               ? QStringLiteral("; to print the rest at the next free position, the "
                                                "same arguments with %1")
                                     .arg(againArguments(o, a, a.taken, total, startPosition))
                               : QString();
    const QString printedPart = a.taken ? describe(o, a, 0, a.taken, startPosition) : QString();
    if (a.end == RunEnd::NotStored)
        return fail(NotStored,
                    QStringLiteral("printed: %1, but the next position %2 could not be stored in %3: %4")
                            .arg(printedPart)
                            .arg(stretchOf(a.ranges, 0, a.taken, o.firstNumber, startPosition).next)
                            .arg(path, why) +
                        notPrinted + advice);
    lock.release();
    if (a.end == RunEnd::SheetRefused || a.end == RunEnd::Stopped) {
        const Status status =
            a.end == RunEnd::Stopped ? static_cast<Status>(StoppedBase + a.signal) : NotPrinted;
        const QString report = a.end == RunEnd::Stopped
                                   ? stopped
                                   : QStringLiteral("printer \"%1\" refused sheet %2 of %3: %4")
                                         .arg(surface.printerLabel())
                                         .arg(a.taken + 1)
                                         .arg(total)
                                         .arg(why);
        if (a.taken == 0)
            return fail(status, report + QStringLiteral(" (nothing printed; nothing stored)"));
        return fail(status, report + QStringLiteral("; printed: %1").arg(printedPart) + notPrinted +
                                QStringLiteral("; the start file holds position %1").arg(a.next) + advice);
    }
    if (o.noWait)
        return Printed;
    const bool told = !log.problem().isEmpty();
    const int status =
        waitForJobs(spooler, surface.printerLabel(), a, o, startPosition, log, logged.rows(), env, fail);
    if (!told && !log.problem().isEmpty())
        tellLedger();
    return status;
}

} // namespace kb::cli
