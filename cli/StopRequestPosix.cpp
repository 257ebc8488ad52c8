// Stop requests on POSIX systems: SIGINT, SIGTERM and SIGHUP set a flag that the run reads between
// sheets. System calls under way restart, so a sheet being handed to the scheduler is finished.
#include "cli/StopRequest.h"

#include <csignal>
#include <initializer_list>

namespace kb::cli {

namespace {

volatile std::sig_atomic_t requested = 0;

extern "C" void noteRequest(int signal) {
    if (requested == 0)
        requested = signal;
}

} // namespace

void watchStopRequests() {
    struct sigaction action {};
    action.sa_handler = noteRequest;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

int stopRequest() {
    return requested;
}

} // namespace kb::cli
