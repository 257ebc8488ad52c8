// The command's arguments on Windows: the command line as the system keeps it, in UTF-16, split by the
// system's own rules.
#include "cli/CommandLine.h"

#include <windows.h>

#include <shellapi.h>

namespace kb::cli {

QStringList commandArguments(int, char**, QStringList*) {
    int count = 0;
    LPWSTR* words = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    QStringList args;
    for (int i = 1; words && i < count; ++i)
        args << QString::fromWCharArray(words[i]);
    ::LocalFree(words);
    return args;
}

} // namespace kb::cli
