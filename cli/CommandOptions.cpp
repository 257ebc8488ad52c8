#include "cli/CommandOptions.h"

#include <QColor>
#include <QRegularExpression>
#include <cmath>
#include <initializer_list>
#include <utility>
#include <vector>

#include "content/Composition.h"
#include "content/EntryModel.h"
#include "services/Codec.h"
#include "services/Colours.h"
#include "services/ListFile.h"
#include "sheet/SheetRules.h"

namespace kb::cli {

namespace {

constexpr std::int32_t MaxCount = 10000;
constexpr int MaxOffsetSteps = 10; // +-5 mm in half-millimetre steps
constexpr std::int32_t MaxWaitSeconds = 7 * 24 * 3600;
constexpr std::int32_t DefaultHistory = 20;
constexpr std::int32_t MaxHistory = 1000000;
// The window's date field holds at most this many Shift-JIS bytes.
constexpr qsizetype DateFieldBytes = 14;

enum class Value { None, Required, Optional };

struct OptionSpec {
    const char* name;
    Value value;
    bool Options::*turnsOn = nullptr; // an option without a value: the switch it turns on
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
    {"code", Value::Required},
    {"code-text", Value::Required},
    {"printer", Value::Required},
    {"output", Value::Required},
    {"list", Value::None, &Options::list},
    {"no-wait", Value::None, &Options::noWait},
    {"wait-timeout", Value::Required},
    {"history", Value::Optional},
    {"history-csv", Value::Required},
    {"again", Value::None, &Options::again},
    {"start-file", Value::Required},
    {"from", Value::Required},
    {"encoding", Value::Required},
    {"digits", Value::Required},
    {"quiet", Value::None, &Options::quiet},
    {"utf8", Value::None, &Options::utf8},
    {"help", Value::None, &Options::help},
    {"version", Value::None, &Options::version},
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

// One of a few names, as written in the usage text (any case).
template <typename T>
T oneOf(const QString& what, const QString& text, std::initializer_list<std::pair<const char*, T>> names) {
    QStringList all;
    for (const auto& [name, value] : names) {
        if (text.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return value;
        all << QLatin1String(name);
    }
    throw Refusal{
        QStringLiteral("%1: \"%2\" is not one of %3").arg(what, text, all.join(QStringLiteral(", ")))};
}

void applyOption(Options& o, const OptionSpec& spec, const std::optional<QString>& value) {
    if (spec.turnsOn) {
        o.*spec.turnsOn = true;
        return;
    }
    const QString name = QLatin1String(spec.name);
    const QString what = QStringLiteral("--") + name;
    const QString v = value.value_or(QString());
    const auto named = [&](const char* thing) { // a queue's or file's name: never empty
        if (v.isEmpty())
            throw Refusal{QStringLiteral("%1: no %2 named").arg(what, QLatin1String(thing))};
        return v;
    };
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
        // "next": where the ledger says the series stands, found once the start file is held.
        o.nextNumber = v == QLatin1String("next");
        if (!o.nextNumber)
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
    } else if (name == QLatin1String("code")) {
        o.code = oneOf<CodeKind>(what, v,
                                 {{codeKindName(CodeKind::Qr).keyword, CodeKind::Qr},
                                  {codeKindName(CodeKind::DataMatrix).keyword, CodeKind::DataMatrix}});
    } else if (name == QLatin1String("code-text")) {
        o.codeText = oneOf<CodeText>(
            what, v, {{"line2", CodeText::Line2}, {"line1", CodeText::Line1}, {"both", CodeText::Both}});
    } else if (name == QLatin1String("printer")) {
        o.printer = named("queue");
    } else if (name == QLatin1String("output")) {
        o.output = named("file");
    } else if (name == QLatin1String("start-file")) {
        o.startFile = named("file");
    } else if (name == QLatin1String("from")) {
        o.from = named("file");
    } else if (name == QLatin1String("encoding")) {
        const auto encoding = listEncodingNamed(v);
        if (!encoding)
            throw Refusal{QStringLiteral("%1: \"%2\" is no encoding (auto, utf-8, utf-16, utf-16le, "
                                         "utf-16be, cp932)")
                              .arg(what, v)};
        o.encoding = *encoding;
    } else if (name == QLatin1String("digits")) {
        o.digits = integerIn(what, v, 1, kMaxSerialWidth);
    } else if (name == QLatin1String("history-csv")) {
        if (v.isEmpty())
            throw Refusal{QStringLiteral("--history-csv: a file name, or - for standard output")};
        o.historyCsv = v;
        o.history = DefaultHistory;
    } else if (name == QLatin1String("history")) {
        o.history = value ? integerIn(what, v, 1, MaxHistory) : DefaultHistory;
    } else if (name == QLatin1String("wait-timeout")) {
        o.waitTimeout = integerIn(what, v, 1, MaxWaitSeconds);
    }
}

void parseInto(Options& o, const QStringList& args) {
    QStringList lines;
    bool optionsEnded = false;
    bool seenCodeText = false;
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
        seenCodeText = seenCodeText || name == QLatin1String("code-text");
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
        applyOption(o, *spec, value);
    }
    if (o.help || o.version)
        return;
    if (o.history) {
        if (!lines.isEmpty())
            throw Refusal{QStringLiteral("--history shows the ledger: \"%1\" is not needed").arg(lines[0])};
        return;
    }
    if (seenCodeText && o.code == CodeKind::None)
        throw Refusal{QStringLiteral("--code-text: no --code chosen")};
    if (o.list && !o.output.isEmpty())
        throw Refusal{QStringLiteral("--list and --output: choose one")};
    if (!o.from.isEmpty()) {
        // Each row of the list gives its own lines, count and first serial number.
        if (!lines.isEmpty())
            throw Refusal{QStringLiteral("--from gives the labels: \"%1\" is not needed").arg(lines[0])};
        if (o.numbering || o.count != 1)
            throw Refusal{QStringLiteral("--from: the list gives each row's count and first serial number "
                                         "(--count and --number are for LINE1 and LINE2)")};
        return;
    }
    if (o.encoding != ListEncoding::Detect || o.digits)
        throw Refusal{QStringLiteral("--encoding and --digits are for a list (--from=FILE)")};
    if (lines.isEmpty())
        throw Refusal{QStringLiteral("LINE1 is missing: the label's first line")};
    if (lines.size() > 2)
        throw Refusal{QStringLiteral("\"%1\": a label has two lines, LINE1 and LINE2").arg(lines[2])};
    o.line1 = sjisText(QStringLiteral("LINE1"), lines[0]);
    if (lines.size() == 2) {
        o.hasLine2 = true;
        o.line2 = sjisText(QStringLiteral("LINE2"), lines[1]);
    }
    if (!printSetAccepts(o.line1 + (o.hasLine2 ? "\r\n" + o.line2 : std::string())))
        throw Refusal{QStringLiteral("LINE1: nothing to print")};
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

QString usageText() {
    return QStringLiteral(
        "Usage: kestrelbox-print [options] LINE1 [LINE2]\n"
        "       kestrelbox-print [options] --from=FILE\n"
        "Prints Kestrelbox labels as the window would: the same lines, date, serial numbers, sheet\n"
        "positions and start file.\n"
        "\n"
        "  --date[=TEXT]        add the date like \"Date\" (today, or TEXT as the date field)\n"
        "  --number=FIRST       number the labels from FIRST (1..999999), like \"Number\"; next: from\n"
        "                       the number after the series' highest in the ledger\n"
        "  --count=N            labels to print (1..10000; default 1); as many sheets as they need\n"
        "  --from=FILE          print the labels of a list (CSV or tab-separated, as Excel saves it):\n"
        "                       per row line 1, line 2, count (blank: 1), first serial (blank: none);\n"
        "                       the whole list is one run\n"
        "  --encoding=NAME      the list's encoding: auto (default), utf-8, utf-16, utf-16be, cp932\n"
        "  --digits=N           pad every numbered row's serial numbers to N digits (1..9)\n"
        "  --start=POSITION     first position on the first sheet (1..30); default: the start file's\n"
        "  --offset-down=MM     -5..5 in steps of 0.5 (+ is down); default: the start file's\n"
        "  --offset-right=MM    -5..5 in steps of 0.5 (+ is right); default: the start file's\n"
        "  --text-colour=NAME   Black, White, Yellow, Blue, Red, Gray, or #RRGGBB (default Black)\n"
        "  --background=NAME    White, Yellow, Cream, Skyblue, Pink, Blue, Red, Gray, or #RRGGBB\n"
        "                       (default White)\n"
        "  --code=KIND          a 2D code at the right end of each label: qr (Kanji mode for Japanese)\n"
        "                       or datamatrix (UTF-8); refused (status 2) when a line would run into\n"
        "                       it or its text is too long for a code that fits the label\n"
        "  --code-text=WHICH    what the code carries: line2 (default; line 1 when line 2 is empty),\n"
        "                       line1, or both (one line feed between, none beside an empty line);\n"
        "                       trailing blanks dropped\n"
        "  --printer=QUEUE      default: the system's default queue\n"
        "  -o, --output=FILE    write all sheets into one PDF (one A4 page per sheet); stores nothing\n"
        "  --list               show the labels as text: sheet, position, serial (or -), line 1,\n"
        "                       line 2, tab-separated (a list's labels: its row after the position);\n"
        "                       nothing is printed or stored\n"
        "  --no-wait            end once the print queue holds every sheet, without waiting for the\n"
        "                       printer to print them\n"
        "  --wait-timeout=SECONDS  wait at most this long for the printer (default: until every sheet\n"
        "                       has printed or failed); the sheets still queued are named\n"
        "  --history[=N]        show the last N sheets printed (default 20) from the ledger PrintLog.db\n"
        "                       beside the start file: time, printer, positions, labels, state\n"
        "  --history-csv=FILE   write the whole ledger as CSV, one row per label (- for the output)\n"
        "  --again              print numbered labels even when the ledger says they were printed\n"
        "  --start-file=PATH    default: StartFile.txt beside the executable\n"
        "  -q, --quiet          nothing on standard error but errors (no progress, no \"wrote\")\n"
        "  --utf8               on Windows, output to a file or a pipe in UTF-8 (default: the code page)\n"
        "  -h, --help           this text\n"
        "  --version            the version\n"
        "  --                   every argument after it is a label line, even one that begins with\n"
        "                       \"-\": kestrelbox-print -- -5 LOT (without it, \"-ops\" is \"-o ps\")\n"
        "\n"
        "A run that prints holds the start file: it waits up to 60 s for another run to finish with it,\n"
        "and is refused while the Kestrelbox window holds it. Nothing is sent unless the start file can\n"
        "be written. As the print queue takes each sheet, the position after it is stored, so that a run\n"
        "that ends at any moment leaves no used position to print over. It then waits until the printer\n"
        "has printed every sheet (unless --no-wait), and says once when a job is held or the printer\n"
        "stops or reports trouble (out of paper, off), even with -q. Ctrl-C stops it after the sheet in\n"
        "progress; what was printed is stored and named. Labels that did not print are printed again with\n"
        "the --count and --number the message gives, at the next free position. Every sheet the queue\n"
        "takes is written to the ledger PrintLog.csv beside the start file (and its end once known);\n"
        "a numbered run that would print a label the ledger holds (both lines, serial and date as on\n"
        "paper; failed sheets aside) is refused unless --again.\n"
        "\n"
        "Exit status: 0 printed; 1 no Shift-JIS codec, standard output not written, or an unexpected\n"
        "error; 2 an argument or the list refused; 3 the queue is missing, stopped or refuses jobs, or the "
        "print\n"
        "system cannot be reached; 4 the start file is in use (the window holds it, or another run still\n"
        "did after 60 s); 5 not printed, or printed only in part (a label off the paper, the printer\n"
        "refused a sheet, or the file could not be written); 6 the start file is missing, unreadable or\n"
        "cannot be written (nothing sent); 7 printed, but the next position could not be stored; 8 the\n"
        "printer took a sheet but its job was stopped, cancelled or aborted; 9 not known whether every\n"
        "sheet printed (the print system could no longer be asked, or --wait-timeout passed); 10 a label\n"
        "of this numbered run was printed before (nothing sent; --again prints it); 128 + N\n"
        "stopped by signal N (130 for Ctrl-C).\n");
}

} // namespace kb::cli
