// What the print system tells about a queue and about the jobs of a run: the words the print run
// decides by. Plain values, so the run's rules stay apart from the spooler's clients (services/).
#pragma once
#include <string>
#include <vector>

namespace kb {

// `exists` false when the name is unknown to the spooler.
struct QueueState {
    bool reachable = true; // false: the spooler itself could not be asked (not running, no answer)
    bool exists = false;
    bool stopped = false;      // paused by its administrator, or halted by an error: jobs wait
    bool acceptingJobs = true; // false: new jobs are refused (or, on some spoolers, silently lost)
    // Why the printer is not simply ready, as the spooler's keywords ("media-empty-error", "offline",
    // "paused"); empty when it has nothing to say.
    std::vector<std::string> reasons;
};

// What became of a job the spooler took: waiting (the printer busy, paused or off), printing, done, or
// ended without printing. Unknown: the spooler no longer knows the job (some forget a printed job at
// once). Lost: the spooler could not be asked (not running, restarting, no answer), or no longer knows
// a job that it would have kept: whether it printed cannot be told.
enum class JobState { Unknown, Pending, Held, Processing, Stopped, Cancelled, Aborted, Completed, Lost };

struct JobStatus {
    JobState state = JobState::Unknown;
    // The spooler's keywords for why the job waits or ended ("job-hold-until-specified").
    std::vector<std::string> reasons;
};

// The job's labels will not reach the paper unless someone acts: stopped, cancelled or aborted.
constexpr bool jobFailed(JobState state) {
    return state == JobState::Stopped || state == JobState::Cancelled || state == JobState::Aborted;
}
// How a failed job ended, in the spooler's words: "stopped", "cancelled" or "aborted".
constexpr const char* failureWord(JobState state) {
    return state == JobState::Stopped ? "stopped" : state == JobState::Cancelled ? "cancelled" : "aborted";
}
// Nothing more will happen to the job unless someone acts: printed, forgotten or failed. A lost job
// is not over: the spooler may answer again (a restart).
constexpr bool jobOver(JobState state) {
    return state == JobState::Unknown || state == JobState::Completed || jobFailed(state);
}

} // namespace kb
