// What the front ends share of watching a run's print jobs; the spooler's own calls are the
// platform's (PrintQueueLoader.cpp with the CUPS module, PrintQueueWin.cpp).
#include "services/PrintQueue.h"

namespace kb {

std::size_t pollJobs(const std::string& queue, const std::vector<int>& jobs, std::vector<JobState>& states) {
    states.resize(jobs.size(), JobState::Pending);
    std::size_t over = 0;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        if (!jobOver(states[i]))
            states[i] = queryJob(queue, jobs[i]);
        over += jobOver(states[i]) ? 1 : 0;
    }
    return over;
}

} // namespace kb
