// Stop requests on Windows: the console's Ctrl-C, Ctrl-Break and close events set a flag that the
// run reads between sheets. After a close event Windows ends the process as soon as the handler
// returns, so the handler waits (the system grants about five seconds) for the run to store.
#include "cli/StopRequest.h"

#include <windows.h>

#include <atomic>

namespace kb::cli {

namespace {

std::atomic<int> requested{0};

BOOL WINAPI noteRequest(DWORD event) {
    int signal = 0;
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        signal = 2;
        break;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        signal = 1;
        break;
    default:
        return FALSE;
    }
    int none = 0;
    requested.compare_exchange_strong(none, signal);
    if (signal == 1)
        ::Sleep(4500);
    return TRUE;
}

} // namespace

void watchStopRequests() {
    ::SetConsoleCtrlHandler(noteRequest, TRUE);
}

int stopRequest() {
    return requested.load();
}

} // namespace kb::cli
