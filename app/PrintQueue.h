// What a print queue reports about itself, asked of the platform's spooler (CUPS on Linux, the
// print spooler on Windows). Plain strings and flags, so each platform's client stays small and
// builds without Qt.
#pragma once
#include <string>

namespace kb {

// `exists` false when the name is unknown to the spooler.
struct QueueState {
    bool exists = false;
    bool stopped = false;      // paused by its administrator, or halted by an error: jobs wait
    bool acceptingJobs = true; // false: new jobs are refused (or, on some spoolers, silently lost)
};

// The state of the named queue (UTF-8 name; on CUPS "queue" or "queue/instance").
QueueState queryQueue(const std::string& name);

} // namespace kb
