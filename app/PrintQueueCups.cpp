// The queue's state through libcups, which reports what Qt does not: stopped, refusing jobs.
#include "app/PrintQueue.h"

#include <cstdlib>
#include <cstring>

#include <cups/cups.h>

namespace kb {

namespace {

constexpr int CupsPrinterStopped = 5; // IPP printer-state "stopped"

} // namespace

QueueState queryQueue(const std::string& name) {
    QueueState state;
    if (name.empty())
        return state;
    // A queue name may carry an instance after a slash ("queue/instance").
    const std::size_t slash = name.find('/');
    const std::string queue = name.substr(0, slash);
    const std::string instance = slash == std::string::npos ? std::string() : name.substr(slash + 1);
    cups_dest_t* dest =
        cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.c_str(), instance.empty() ? nullptr : instance.c_str());
    if (!dest)
        return state;
    state.exists = true;
    if (const char* value = cupsGetOption("printer-state", dest->num_options, dest->options))
        state.stopped = std::atoi(value) == CupsPrinterStopped;
    if (const char* value = cupsGetOption("printer-is-accepting-jobs", dest->num_options, dest->options))
        state.acceptingJobs = std::strcmp(value, "false") != 0 && std::strcmp(value, "0") != 0;
    cupsFreeDests(1, dest);
    return state;
}

} // namespace kb
