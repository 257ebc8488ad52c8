// What a print queue reports about itself, asked of the platform's spooler (CUPS on Linux, the
// print spooler on Windows). Plain strings and flags, so each platform's client stays small and
// builds without Qt.
#pragma once
#include <string>
#include <utility>
#include <vector>

namespace kb {

// `exists` false when the name is unknown to the spooler.
struct QueueState {
    bool exists = false;
    bool stopped = false;      // paused by its administrator, or halted by an error: jobs wait
    bool acceptingJobs = true; // false: new jobs are refused (or, on some spoolers, silently lost)
};

// The state of the named queue (UTF-8 name; on CUPS "queue" or "queue/instance").
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

// What became of a job the spooler took: waiting (the printer busy, paused or off), printing, done, or
// ended without printing. Unknown: the spooler no longer knows the job (some forget a finished job at
// once) or could not be asked.
enum class JobState { Unknown, Pending, Held, Processing, Stopped, Cancelled, Aborted, Completed };

// The job's labels will not reach the paper unless someone acts: stopped, cancelled or aborted.
constexpr bool jobFailed(JobState state) {
    return state == JobState::Stopped || state == JobState::Cancelled || state == JobState::Aborted;
}
// Nothing more will happen to the job unless someone acts: printed, forgotten or failed.
constexpr bool jobOver(JobState state) {
    return state == JobState::Unknown || state == JobState::Completed || jobFailed(state);
}

JobState queryJob(const std::string& queue, int jobId);

// Asks the spooler about each job of a run that is not over yet; states holds one state a job
// (Pending before the first look). Returns how many jobs are over.
std::size_t pollJobs(const std::string& queue, const std::vector<int>& jobs, std::vector<JobState>& states);

// Hands one PDF document to the named queue as one job with the given job options.
SpoolResult submitDocument(const std::string& queue, const std::string& title, const SpoolOptions& options,
                           const std::string& pdf);

} // namespace kb
