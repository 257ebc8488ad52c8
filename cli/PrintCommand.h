// kestrelbox-print: the labels of the window without the window. The arguments become the same
// entry-screen actions the user would take (type the lines, tick "Date", "Number", pick the numbers),
// "PrintSet" composes them, and the run goes through the window's print surface and start file.
// Parsing and composition are apart from printing so that both can be checked without a printer.
#pragma once
#include <QString>
#include <QStringList>
#include <QThread>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "content/Composition.h"
#include "content/EntryModel.h"

namespace kb::cli {

// What the command ends with; the README lists them for scripts.
enum Status : int {
    Printed = 0,
    Failed = 1,         // no Shift-JIS conversion, standard output not written, or an unexpected error
    BadArguments = 2,   // an argument refused: nothing printed or stored
    QueueProblem = 3,   // the queue is missing, stopped or refuses jobs: nothing sent or stored
    StartFileInUse = 4, // the window holds the start file, or another run still did after the wait
    NotPrinted = 5,     // a label off the paper, the printer refused a sheet, or the file was not written
    NoStartFile = 6,    // the start file is missing or cannot be read
    NotStored = 7,      // the labels were printed, but the next position could not be stored
    JobFailed = 8,      // the scheduler took a sheet, then its job was stopped, cancelled or aborted
    // A stop request (Ctrl-C, a kill, a closed terminal) ends the command with 128 + the signal.
    StoppedBase = 128,
};

struct Options {
    bool help = false;
    bool version = false;
    bool quiet = false;
    bool list = false;
    bool noWait = false; // return once the scheduler holds every sheet, without watching the jobs
    bool utf8 = false;   // files and pipes in UTF-8 rather than the system's code page (Windows)
    std::string line1{}; // Shift-JIS
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
    QString printer{};
    QString output{};
    QString startFile{};
};

struct Parsed {
    Options options;
    QString error; // empty: the arguments are accepted
};

// args without the program name.
Parsed parseArguments(const QStringList& args);

// The entry screen driven as the user would for these options, then "PrintSet": what every label of
// the run prints.
NumberedLabel composeLabels(const Options& options, const Clock& clock);

// One label of the run, as --list shows it and as it is drawn.
struct ListedLabel {
    std::int32_t sheet = 0;
    std::int32_t position = 0;
    std::optional<std::int32_t> serial;
    LabelLines lines;
};

// Calls `each` for every label of the run in print order; the labels are made one at a time, so a run
// of any length costs no memory of its own.
void forEachLabel(const Options& options, const NumberedLabel& label, std::int32_t startPosition,
                  const std::function<void(const ListedLabel&)>& each);

// The --list line of one label: sheet, position, serial (or -), line 1, line 2; tab-separated, UTF-8.
QString listLine(const ListedLabel& label);

QString usageText();

// What a run needs of the world outside the arguments.
struct Environment {
    const Clock& clock;
    QString exeFolder; // where the default start file lies
    std::function<void(const QString&)> out;
    std::function<void(const QString&)> err;
    // 0, or the signal that asked the command to stop.
    std::function<int()> stopRequest = [] { return 0; };
    // Waiting for the start file's turn and for the printer's jobs.
    std::function<void(int milliseconds)> sleep = [](int milliseconds) { QThread::msleep(milliseconds); };
};

// How long a run waits for another run to finish with the start file before it gives up.
constexpr int StartFileWaitSeconds = 60;

// The whole command; the result is its exit status.
int runCommand(const QStringList& args, const Environment& env);

} // namespace kb::cli
