// What a print queue reports about itself, asked of the platform's spooler (CUPS on Linux, the
// print spooler on Windows). Plain strings and flags, so each platform's client stays small and
// builds without Qt.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "print/QueueState.h"

namespace kb {

// The state of the named queue (UTF-8 name; on CUPS "queue" or "queue/instance"); an empty name asks
// for the default queue, and `reachable` tells whether the spooler answered at all.
QueueState queryQueue(const std::string& name);

// What became of a document handed to the spooler. `held` only when the spooler holds the whole
// document in a job that exists and is neither cancelled nor aborted; otherwise `reason` says why,
// in the spooler's words, and no job of it is left behind.
struct SpoolResult {
    bool held = false;
    int jobId = 0;
    std::string reason;
};

using SpoolOptions = std::vector<std::pair<std::string, std::string>>;

JobStatus queryJob(const std::string& queue, int jobId);

// Hands one PDF document to the named queue as one job with the given job options.
SpoolResult submitDocument(const std::string& queue, const std::string& title, const SpoolOptions& options,
                           const std::string& pdf);

} // namespace kb
