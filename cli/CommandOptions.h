// kestrelbox-print's arguments: the option table, the parser and the usage text. The parser is our
// own rather than QCommandLineParser because --date takes an optional value (--date alone is today,
// --date=XMAS the edited field), which QCommandLineParser cannot express: its options either always
// or never take one. Label lines that begin with "-" follow "--".
#pragma once
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <string>

#include "content/ListReader.h"
#include "print/LabelCode.h"

namespace kb::cli {

// The command's first serial numbers run to 999999: wider than the window's list (1000) on purpose.
constexpr std::int32_t MaxFirstNumber = 999999;

struct Options {
    bool help = false;
    bool version = false;
    bool quiet = false;
    bool list = false;
    bool noWait = false; // return once the scheduler holds every sheet, without watching the jobs
    bool utf8 = false;   // files and pipes in UTF-8 rather than the system's code page (Windows)
    std::optional<std::int32_t> waitTimeout{}; // seconds to wait for the printer at most
    std::optional<std::int32_t> history{};     // show the ledger's last N sheets instead of printing
    bool again = false;                        // print numbered labels the ledger says were printed
    bool nextNumber = false;                   // --number=next: from the ledger's next free serial
    QString historyCsv{};                      // --history-csv=FILE: the whole ledger as CSV ("-": output)
    std::string line1{};                       // Shift-JIS
    std::string line2{};
    bool hasLine2 = false;
    bool date = false;
    std::optional<std::string> dateText{}; // the date field as edited (Shift-JIS, upper case)
    bool numbering = false;
    std::int32_t firstNumber = 1;
    std::int32_t count = 1;
    std::optional<std::int32_t> start{};
    std::optional<std::int32_t> offsetDownIndex{}; // offset list indexes: 10 is no shift
    std::optional<std::int32_t> offsetRightIndex{};
    std::uint32_t textColour = 0x00000000; // 0x00BBGGRR
    std::uint32_t backColour = 0x00FFFFFF;
    CodeKind code = CodeKind::None;      // the 2D code beside each label's text
    CodeText codeText = CodeText::Line2; // what it carries
    QString printer{};
    QString output{};
    QString startFile{};
    QString from{};                               // a list of labels instead of LINE1 and LINE2
    ListEncoding encoding = ListEncoding::Detect; // the list's, when --encoding= names it
    std::int32_t digits = 0;                      // every numbered row padded to this many digits
};

struct Parsed {
    Options options;
    QString error; // empty: the arguments are accepted
};

// args without the program name.
Parsed parseArguments(const QStringList& args);

QString usageText();

} // namespace kb::cli
