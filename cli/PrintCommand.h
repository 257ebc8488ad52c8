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

#include "cli/CommandOptions.h"
#include "content/Composition.h"
#include "content/EntryModel.h"
#include "services/PrintService.h"

namespace kb::cli {

// What the command ends with; the README lists them for scripts.
enum Status : int {
    Printed = 0,
    Failed = 1,          // no Shift-JIS conversion, standard output not written, or an unexpected error
    BadArguments = 2,    // an argument refused: nothing printed or stored
    QueueProblem = 3,    // the queue is missing, stopped or refuses jobs: nothing sent or stored
    StartFileInUse = 4,  // the window holds the start file, or another run still did after the wait
    NotPrinted = 5,      // a label off the paper, the printer refused a sheet, or the file was not written
    NoStartFile = 6,     // the start file is missing, cannot be read, or cannot be written: nothing sent
    NotStored = 7,       // the labels were printed, but the next position could not be stored
    JobFailed = 8,       // the scheduler took a sheet, then its job was stopped, cancelled or aborted
    NotKnown = 9,        // whether a sheet printed is not known: the scheduler could no longer be asked, or
                         // --wait-timeout passed while it was still queued
    AlreadyPrinted = 10, // a label of the numbered run is in the ledger as printed: nothing sent
    // A stop request (Ctrl-C, a kill, a closed terminal) ends the command with 128 + the signal.
    StoppedBase = 128,
};

// The entry screen as these options fill it.
TypedEntry typedEntry(const Options& options);

// The --list line of one label: sheet, position, a list's row, serial (or -), line 1, line 2, and
// with a code the text it carries; tab-separated, UTF-8.
QString listLine(std::int32_t sheet, std::int32_t position, const RunLabel& label, const LabelCode& code);

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

// The whole command for the parsed arguments; the result is its exit status.
int runCommand(const Parsed& parsed, const Environment& env);

} // namespace kb::cli
