#include "cli/PrintCommand.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QPageSize>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRegularExpression>
#include <QThread>
#include <algorithm>
#include <cmath>
#include <vector>

#include "content/Sjis.h"
#include "print/PrintRules.h"
#include "services/Codec.h"
#include "services/Colours.h"
#include "services/PrintQueue.h"
#include "services/PrinterCheck.h"
#include "services/QtPrintSurface.h"
#include "services/SystemPath.h"
#include "settings/Error.h"
#include "settings/StartFile.h"
#include "sheet/SheetRules.h"

namespace kb::cli {

namespace {

constexpr std::int32_t MaxFirstNumber = 999999;
constexpr std::int32_t MaxCount = 10000;
constexpr int MaxOffsetSteps = 10; // +-5 mm in half-millimetre steps
// The window's date field holds at most this many Shift-JIS bytes.
constexpr qsizetype DateFieldBytes = 14;

enum class Value { None, Required, Optional };

struct OptionSpec {
    const char* name;
    Value value;
};

constexpr OptionSpec LongOptions[] = {
    {"date", Value::Optional},
    {"number", Value::Required},
    {"count", Value::Required},
    {"start", Value::Required},
    {"offset-down", Value::Required},
    {"offset-right", Value::Required},
    {"text-colour", Value::Required},
    {"background", Value::Required},
    {"printer", Value::Required},
    {"output", Value::Required},
    {"list", Value::None},
    {"no-wait", Value::None},
    {"start-file", Value::Required},
    {"quiet", Value::None},
    {"utf8", Value::None},
    {"help", Value::None},
    {"version", Value::None},
};

const OptionSpec* findLong(const QString& name) {
    for (const OptionSpec& spec : LongOptions)
        if (name == QLatin1String(spec.name))
            return &spec;
    return nullptr;
}

// A refused argument: the message names it.
struct Refusal {
    QString message;
};

std::int32_t integerIn(const QString& what, const QString& text, std::int32_t low, std::int32_t high) {
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok, 10);
    if (!ok || text.trimmed() != text || text.startsWith(QLatin1Char('+')))
        throw Refusal{QStringLiteral("%1: \"%2\" is not a whole number").arg(what, text)};
    if (value < low || value > high)
        throw Refusal{QStringLiteral("%1: %2 is out of range (%3..%4)").arg(what, text).arg(low).arg(high)};
    return static_cast<std::int32_t>(value);
}

// Millimetres in half-millimetre steps as the index of the window's offset lists (10: no shift).
std::int32_t offsetIndex(const QString& what, const QString& text) {
    static const QRegularExpression number(QStringLiteral("^[+-]?[0-9]+(\\.[0-9]+)?$"));
    if (!number.match(text).hasMatch())
        throw Refusal{QStringLiteral("%1: \"%2\" is not a number of millimetres").arg(what, text)};
    const double steps = text.toDouble() * 2;
    if (std::abs(steps) > MaxOffsetSteps)
        throw Refusal{QStringLiteral("%1: %2 mm is out of range (-5..5)").arg(what, text)};
    if (steps != std::floor(steps))
        throw Refusal{QStringLiteral("%1: %2 mm is not a multiple of 0.5 mm").arg(what, text)};
    return kNoShiftIndex + static_cast<std::int32_t>(steps);
}

// A name of the window's colour list ("Free" is the window's colour dialog) or #RRGGBB.
std::uint32_t colour(const QString& what, const QString& text, const std::vector<ColourItem>& items) {
    static const QRegularExpression hex(QStringLiteral("^#[0-9A-Fa-f]{6}$"));
    if (hex.match(text).hasMatch())
        return rgbFromColour(QColor(text));
    QStringList names;
    for (std::size_t i = 0; i + 1 < items.size(); ++i) {
        const QString name = QString::fromLatin1(items[i].name);
        if (text.compare(name, Qt::CaseInsensitive) == 0)
            return items[i].value;
        names << name;
    }
    throw Refusal{QStringLiteral("%1: \"%2\" is no colour (%3, or #RRGGBB)")
                      .arg(what, text, names.join(QStringLiteral(", ")))};
}

// The Shift-JIS bytes of a text as the window would take it, or the refusal naming the argument.
std::string sjisText(const QString& what, const QString& text) {
    for (const QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            throw Refusal{QStringLiteral("%1: a line holds no line break or control character").arg(what)};
    if (const auto bytes = toSjis(text))
        return *bytes;
    QString bad;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype n = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        if (!sjisCanEncode(text.mid(i, n))) {
            bad = text.mid(i, n);
            break;
        }
        i += n - 1;
    }
    throw Refusal{QStringLiteral("%1: the character \"%2\" (U+%3) has no Shift-JIS form")
                      .arg(what, bad)
                      .arg(bad.toUcs4().value(0), 4, 16, QLatin1Char('0'))};
}

void applyOption(Options& o, const QString& name, const std::optional<QString>& value) {
    const QString what = QStringLiteral("--") + name;
    const QString v = value.value_or(QString());
    if (name == QLatin1String("date")) {
        o.date = true;
        o.dateText.reset();
        if (value) {
            // The date field turns letters into capitals as they are typed.
            std::string bytes = sjisText(what, v.toUpper());
            if (static_cast<qsizetype>(bytes.size()) > DateFieldBytes)
                throw Refusal{QStringLiteral("%1: \"%2\" is %3 bytes in Shift-JIS; the date field holds %4")
                                  .arg(what, v)
                                  .arg(bytes.size())
                                  .arg(DateFieldBytes)};
            o.dateText = std::move(bytes);
        }
    } else if (name == QLatin1String("number")) {
        o.numbering = true;
        o.firstNumber = integerIn(what, v, 1, MaxFirstNumber);
    } else if (name == QLatin1String("count")) {
        o.count = integerIn(what, v, 1, MaxCount);
    } else if (name == QLatin1String("start")) {
        o.start = integerIn(what, v, 1, kPositionsPerSheet);
    } else if (name == QLatin1String("offset-down")) {
        o.offsetDownIndex = offsetIndex(what, v);
    } else if (name == QLatin1String("offset-right")) {
        o.offsetRightIndex = offsetIndex(what, v);
    } else if (name == QLatin1String("text-colour")) {
        o.textColour = colour(what, v, textColourItems());
    } else if (name == QLatin1String("background")) {
        o.backColour = colour(what, v, backColourItems());
    } else if (name == QLatin1String("printer")) {
        if (v.isEmpty())
            throw Refusal{what + QStringLiteral(": no queue named")};
        o.printer = v;
    } else if (name == QLatin1String("output")) {
        if (v.isEmpty())
            throw Refusal{what + QStringLiteral(": no file named")};
        o.output = v;
    } else if (name == QLatin1String("start-file")) {
        if (v.isEmpty())
            throw Refusal{what + QStringLiteral(": no file named")};
        o.startFile = v;
    } else if (name == QLatin1String("list")) {
        o.list = true;
    } else if (name == QLatin1String("no-wait")) {
        o.noWait = true;
    } else if (name == QLatin1String("quiet")) {
        o.quiet = true;
    } else if (name == QLatin1String("utf8")) {
        o.utf8 = true;
    } else if (name == QLatin1String("help")) {
        o.help = true;
    } else if (name == QLatin1String("version")) {
        o.version = true;
    }
}

void parseInto(Options& o, const QStringList& args) {
    QStringList lines;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (optionsEnded || arg == QLatin1String("-") || !arg.startsWith(QLatin1Char('-'))) {
            lines << arg;
            continue;
        }
        if (arg == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        QString name;
        std::optional<QString> value;
        if (arg.startsWith(QLatin1String("--"))) {
            const qsizetype eq = arg.indexOf(QLatin1Char('='));
            name = arg.mid(2, eq < 0 ? -1 : eq - 2);
            if (eq >= 0)
                value = arg.mid(eq + 1);
        } else if (arg == QLatin1String("-h") || arg == QLatin1String("-q")) {
            name = arg == QLatin1String("-h") ? QStringLiteral("help") : QStringLiteral("quiet");
        } else if (arg.startsWith(QLatin1String("-o"))) {
            name = QStringLiteral("output");
            if (arg.size() > 2)
                value = arg.mid(2);
        } else {
            throw Refusal{QStringLiteral("%1: no such option").arg(arg)};
        }
        const OptionSpec* spec = findLong(name);
        if (!spec)
            throw Refusal{QStringLiteral("--%1: no such option").arg(name)};
        if (spec->value == Value::None && value)
            throw Refusal{QStringLiteral("--%1 takes no value").arg(name)};
        if (spec->value == Value::Required && !value) {
            if (i + 1 >= args.size())
                throw Refusal{QStringLiteral("--%1: a value is missing").arg(name)};
            value = args[++i];
        }
        applyOption(o, name, value);
    }
    if (o.help || o.version)
        return;
    if (lines.isEmpty())
        throw Refusal{QStringLiteral("LINE1 is missing: the label's first line")};
    if (lines.size() > 2)
        throw Refusal{QStringLiteral("\"%1\": a label has two lines, LINE1 and LINE2").arg(lines[2])};
    o.line1 = sjisText(QStringLiteral("LINE1"), lines[0]);
    if (lines.size() == 2) {
        o.hasLine2 = true;
        o.line2 = sjisText(QStringLiteral("LINE2"), lines[1]);
    }
    if (o.list && !o.output.isEmpty())
        throw Refusal{QStringLiteral("--list and --output: choose one")};
    if (!printSetAccepts(o.line1 + (o.hasLine2 ? "\r\n" + o.line2 : std::string())))
        throw Refusal{QStringLiteral("LINE1: nothing to print")};
}

// The window waits after each sheet so that its user sees the printer work; a script does not.
class NoPause : public Pause {
  public:
    void pause(int) override {}
};

QString span(std::int32_t first, std::int32_t last) {
    return first == last ? QString::number(first) : QStringLiteral("%1-%2").arg(first).arg(last);
}

// "sheet 2 (positions 1-30, serials 31-60)", "sheets 2-4 (70 labels, serials 31-100)".
QString describe(const Options& o, const std::vector<SheetRange>& ranges, std::size_t from, std::size_t to,
                 std::int32_t startPosition) {
    const RunStretch s = stretchOf(ranges, from, to, o.firstNumber, startPosition);
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

// The options that print exactly those labels again, with the run's other arguments.
QString againArguments(const Options& o, const std::vector<SheetRange>& ranges, std::size_t from,
                       std::size_t to, std::int32_t startPosition) {
    const RunStretch s = stretchOf(ranges, from, to, o.firstNumber, startPosition);
    QString text = QStringLiteral("--start=%1 --count=%2").arg(ranges[from].first).arg(s.labels);
    if (o.numbering)
        text += QStringLiteral(" --number=%1").arg(s.firstSerial);
    return text;
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

int waitForJobs(const QString& queue, const std::vector<int>& jobs, const Options& o,
                const std::vector<SheetRange>& ranges, std::int32_t startPosition, const Environment& env,
                const std::function<int(Status, const QString&)>& fail) {
    // A job waiting for a busy or switched-off printer is no failure: the wait goes on until every job
    // has printed or has ended without printing, or the user stops it.
    std::vector<JobState> states;
    std::size_t shown = jobs.size() + 1;
    for (;;) {
        const std::size_t ended = pollJobs(queue.toStdString(), jobs, states);
        if (ended == jobs.size())
            break;
        if (ended != shown && !o.quiet)
            env.err(
                QStringLiteral("waiting for the printer: %1 of %2 jobs done\n").arg(ended).arg(jobs.size()));
        shown = ended;
        if (const int signal = env.stopRequest())
            return fail(static_cast<Status>(StoppedBase + signal),
                        QStringLiteral("stopped waiting for the printer: %1 of %2 jobs done; the others are "
                                       "queued and print when the printer takes them")
                            .arg(ended)
                            .arg(jobs.size()));
        env.sleep(500);
    }
    QStringList failed;
    for (std::size_t i = 0; i < jobs.size() && i < ranges.size(); ++i) {
        if (!jobFailed(states[i]))
            continue;
        const char* how = states[i] == JobState::Stopped     ? "stopped"
                          : states[i] == JobState::Cancelled ? "cancelled"
                                                             : "aborted";
        failed << QStringLiteral(
                      "%1 did not print (job %2 %3); to print it again, the same arguments with %4")
                      .arg(describe(o, ranges, i, i + 1, startPosition))
                      .arg(jobs[i])
                      .arg(QLatin1String(how))
                      .arg(againArguments(o, ranges, i, i + 1, startPosition));
    }
    if (failed.isEmpty())
        return Printed;
    return fail(JobFailed, QStringLiteral("printer \"%1\": ").arg(queue) + failed.join(QStringLiteral("; ")));
}

} // namespace

Parsed parseArguments(const QStringList& args) {
    Parsed parsed;
    try {
        parseInto(parsed.options, args);
    } catch (const Refusal& r) {
        parsed.error = r.message;
    }
    return parsed;
}

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

QString usageText() {
    return QStringLiteral(
        "Usage: kestrelbox-print [options] LINE1 [LINE2]\n"
        "Prints Kestrelbox labels as the window would: the same lines, date, serial numbers, sheet\n"
        "positions and start file.\n"
        "\n"
        "  --date[=TEXT]        add the date like \"Date\" (today, or TEXT as the date field)\n"
        "  --number=FIRST       number the labels from FIRST (1..999999), like \"Number\"\n"
        "  --count=N            labels to print (1..10000; default 1); as many sheets as they need\n"
        "  --start=POSITION     first position on the first sheet (1..30); default: the start file's\n"
        "  --offset-down=MM     -5..5 in steps of 0.5 (+ is down); default: the start file's\n"
        "  --offset-right=MM    -5..5 in steps of 0.5 (+ is right); default: the start file's\n"
        "  --text-colour=NAME   Black, White, Yellow, Blue, Red, Gray, or #RRGGBB (default Black)\n"
        "  --background=NAME    White, Yellow, Cream, Skyblue, Pink, Blue, Red, Gray, or #RRGGBB\n"
        "                       (default White)\n"
        "  --printer=QUEUE      default: the system's default queue\n"
        "  -o, --output=FILE    write all sheets into one PDF (one A4 page per sheet); stores nothing\n"
        "  --list               show the labels as text: sheet, position, serial (or -), line 1,\n"
        "                       line 2, tab-separated; nothing is printed or stored\n"
        "  --no-wait            end once the print queue holds every sheet, without waiting for the\n"
        "                       printer to print them\n"
        "  --start-file=PATH    default: StartFile.txt beside the executable\n"
        "  -q, --quiet          nothing on standard error but errors (no progress, no \"wrote\")\n"
        "  --utf8               on Windows, output to a file or a pipe in UTF-8 (default: the code page)\n"
        "  -h, --help           this text\n"
        "  --version            the version\n"
        "  --                   every argument after it is a label line, even one that begins with\n"
        "                       \"-\": kestrelbox-print -- -5 LOT (without it, \"-ops\" is \"-o ps\")\n"
        "\n"
        "A run that prints holds the start file: it waits up to 60 s for another run to finish with it,\n"
        "and is refused while the Kestrelbox window holds it. It then waits until the printer has printed\n"
        "every sheet (unless --no-wait). Ctrl-C stops it after the sheet in progress; what was printed\n"
        "is stored and named.\n"
        "\n"
        "Exit status: 0 printed; 1 no Shift-JIS codec, standard output not written, or an unexpected\n"
        "error; 2 an argument refused; 3 the queue is missing, stopped or refuses jobs; 4 the start file\n"
        "is in use (the window holds it, or another run still did after 60 s); 5 not printed, or printed\n"
        "only in part (a label off the paper, the printer refused a sheet, or the file could not be\n"
        "written); 6 the start file is missing or unreadable; 7 printed, but the next position could not\n"
        "be stored; 8 the printer took a sheet but its job was stopped, cancelled or aborted; 128 + N\n"
        "stopped by signal N (130 for Ctrl-C).\n");
}

int runCommand(const QStringList& args, const Environment& env) {
    const auto fail = [&](Status status, const QString& message) {
        env.err(QStringLiteral("kestrelbox-print: ") + message + QLatin1Char('\n'));
        return static_cast<int>(status);
    };
    if (!sjisAvailable())
        return fail(Failed, QStringLiteral("this system has no Shift-JIS (windows-31j) codec"));
    const Parsed parsed = parseArguments(args);
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

    QPrinter printer(QPrinter::HighResolution);
    if (toQueue) {
        const QString queue = o.printer.isEmpty() ? QPrinterInfo::defaultPrinterName() : o.printer;
        if (!queue.isEmpty())
            printer.setPrinterName(queue);
        // Qt stays on another queue (or on a file) for a name it does not know: judged by the name asked for.
        const bool known = !queue.isEmpty() && printer.outputFormat() == QPrinter::NativeFormat &&
                           printer.printerName() == queue;
        const QString problem = known ? checkPrinter(printer) : queueProblem(queue, QueueState{});
        if (!problem.isEmpty())
            return fail(QueueProblem, QStringLiteral("printer \"%1\": %2").arg(queue, problem));
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
    const std::vector<SheetRange> ranges = splitWholeRun(startPosition, o.count);
    // Every label must land on the paper, before anything is sent.
    const std::vector<std::int32_t> off = positionsOffPaper(surface.paper(), right, down, ranges);
    if (!off.empty()) {
        QStringList names;
        for (std::int32_t p : off)
            names << QString::number(p);
        return fail(NotPrinted, QStringLiteral("%1: labels at positions %2 would lie off the paper "
                                               "\"%3\"; the label sheet is A4")
                                    .arg(target, names.join(QStringLiteral(", ")), surface.paperName()));
    }

    SheetJob job;
    job.backColour = o.backColour;
    job.fontColour = o.textColour;
    job.offsetRightIndex = right;
    job.offsetDownIndex = down;
    job.firstNumber = o.firstNumber;
    job.startPosition = startPosition;
    job.label = label;
    NoPause pause;
    const std::size_t total = ranges.size();
    std::size_t done = 0;
    QString refusal;
    for (const SheetRange& range : ranges) {
        if (!PrintSheet(surface, pause, job, range.sheet, range.first, range.last)) {
            refusal = surface.failure();
            break;
        }
        ++done;
        if (total > 1 && !o.quiet)
            env.err(QStringLiteral("sheet %1 of %2\n").arg(done).arg(total));
        if (done < total && env.stopRequest())
            break;
    }
    const int signal = done < total && refusal.isEmpty() ? env.stopRequest() : 0;
    const QString stopped =
        QStringLiteral("stopped by signal %1 after sheet %2 of %3").arg(signal).arg(done).arg(total);
    if (!toQueue) {
        // A file holds every sheet or none: none of them counts until it is written whole.
        if (signal)
            return fail(static_cast<Status>(StoppedBase + signal),
                        stopped + QStringLiteral(": nothing written"));
        if (!refusal.isEmpty() || !surface.finish())
            return fail(NotPrinted, QStringLiteral("%1 not written: %2").arg(target, surface.failure()));
        // A label line taken for an option can turn into a file name (-ops): say what was written.
        if (!o.quiet)
            env.err(QStringLiteral("wrote %1 %2 to %3\n")
                        .arg(total)
                        .arg(total == 1 ? QStringLiteral("sheet") : QStringLiteral("sheets"),
                             QDir::toNativeSeparators(o.output)));
        return Printed;
    }

    // What the scheduler holds is on its way to the paper: the next run starts after its last label,
    // also when the run stopped part-way, so that no position and no serial number is used twice.
    QString report;
    if (done < total) {
        report = signal ? stopped
                        : QStringLiteral("printer \"%1\" refused sheet %2 of %3: %4")
                              .arg(surface.printerLabel())
                              .arg(done + 1)
                              .arg(total)
                              .arg(refusal);
        if (done == 0)
            return fail(signal ? static_cast<Status>(StoppedBase + signal) : NotPrinted,
                        report + QStringLiteral(" (nothing printed; nothing stored)"));
        report += QStringLiteral("; printed: %1; not printed: %2")
                      .arg(describe(o, ranges, 0, done, startPosition),
                           describe(o, ranges, done, total, startPosition));
    }
    const std::int32_t next = stretchOf(ranges, 0, done, o.firstNumber, startPosition).next;
    // As after a run in the window: the offsets of this run when they were chosen for it (otherwise
    // the saved ones stay).
    if (o.offsetDownIndex)
        saved.SavedOffsetDown = *o.offsetDownIndex;
    if (o.offsetRightIndex)
        saved.SavedOffsetRight = *o.offsetRightIndex;
    try {
        startFile.SaveStartFile(1, next, saved);
    } catch (const Error& e) {
        return fail(NotStored,
                    (report.isEmpty() ? QString() : report + QStringLiteral("; ")) +
                        QStringLiteral("the labels were printed, but the next position %1 could not "
                                       "be stored in %2: %3")
                            .arg(next)
                            .arg(path, QString::fromUtf8(e.what())));
    }
    lock.release();
    if (done < total)
        return fail(signal ? static_cast<Status>(StoppedBase + signal) : NotPrinted,
                    report + QStringLiteral("; the start file holds position %1; to print the rest, the same "
                                            "arguments with %2")
                                 .arg(next)
                                 .arg(againArguments(o, ranges, done, total, startPosition)));
    if (o.noWait)
        return Printed;
    return waitForJobs(surface.printerLabel(), surface.jobIds(), o, ranges, startPosition, env, fail);
}

} // namespace kb::cli
