// The queue's state through the Windows print spooler (OpenPrinterW, GetPrinterW level 2). Qt's printer
// information reports neither a paused queue, whose jobs wait, nor one being deleted, which takes none.
#include "services/PrintQueueWin.h"

#include "settings/WidePathWin.h"

#include <windows.h>
#include <winspool.h>

#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kb {

namespace {

struct PrinterCloser {
    void operator()(HANDLE printer) const { ::ClosePrinter(printer); }
};
using PrinterHandle = std::unique_ptr<void, PrinterCloser>;

} // namespace

QueueState queueStateFromPrinter(std::uint32_t status, std::uint32_t attributes) {
    QueueState state;
    state.exists = true;
    // Jobs are taken but wait: paused by its administrator, halted by an error, the device offline, or
    // the queue set to work offline (jobs are kept until it is back online).
    state.stopped = (status & (PRINTER_STATUS_PAUSED | PRINTER_STATUS_ERROR | PRINTER_STATUS_OFFLINE)) != 0 ||
                    (attributes & PRINTER_ATTRIBUTE_WORK_OFFLINE) != 0;
    // A printer being deleted takes no new job. (Holding mismatched documents, ENABLE_DEVQ, holds only
    // some jobs and is left to the spooler's own message.)
    state.acceptingJobs = (status & PRINTER_STATUS_PENDING_DELETION) == 0;
    // In the words CUPS uses, so that both platforms' reasons read the same to the user.
    const std::pair<std::uint32_t, const char*> reasons[] = {
        {PRINTER_STATUS_PAUSED, "paused"},
        {PRINTER_STATUS_OFFLINE, "offline"},
        {PRINTER_STATUS_PAPER_OUT, "media-empty"},
        {PRINTER_STATUS_PAPER_JAM, "media-jam"},
        {PRINTER_STATUS_DOOR_OPEN, "door-open"},
        {PRINTER_STATUS_NO_TONER, "toner-empty"},
        {PRINTER_STATUS_USER_INTERVENTION, "user-intervention"},
        {PRINTER_STATUS_ERROR, "error"}};
    for (const auto& [bit, word] : reasons)
        if (status & bit)
            state.reasons.emplace_back(word);
    return state;
}

QueueState queryQueue(const std::string& name) {
    std::wstring wide = widePath(name);
    if (wide.empty())
        return {};
    PRINTER_DEFAULTSW access{nullptr, nullptr, PRINTER_ACCESS_USE};
    HANDLE raw = nullptr;
    if (!::OpenPrinterW(wide.data(), &raw, &access)) {
        // The spooler service stopped, or the printer's server away, is no unknown name.
        QueueState state;
        state.reachable = ::GetLastError() != RPC_S_SERVER_UNAVAILABLE;
        return state;
    }
    const PrinterHandle printer(raw);
    DWORD needed = 0;
    ::GetPrinterW(raw, 2, nullptr, 0, &needed);
    // Level 2 is a PRINTER_INFO_2 (pointers first) followed by its strings: the buffer is aligned for it.
    std::vector<std::max_align_t> buffer((needed + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t));
    if (needed == 0 || !::GetPrinterW(raw, 2, reinterpret_cast<LPBYTE>(buffer.data()), needed, &needed)) {
        // The printer is there but says nothing about itself: as with a queue that reports no state,
        // the print goes ahead.
        QueueState state;
        state.exists = true;
        return state;
    }
    const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
    return queueStateFromPrinter(info->Status, info->Attributes);
}

} // namespace kb

namespace kb {

JobStatus queryJob(const std::string& queue, int jobId) {
    JobStatus result;
    std::wstring wide = widePath(queue);
    PRINTER_DEFAULTSW access{nullptr, nullptr, PRINTER_ACCESS_USE};
    HANDLE raw = nullptr;
    // The spooler cannot be asked (its service stopped, the printer's server away): whether the job
    // printed cannot be told.
    if (wide.empty() || !::OpenPrinterW(wide.data(), &raw, &access)) {
        result.state = JobState::Lost;
        return result;
    }
    const PrinterHandle printer(raw);
    DWORD needed = 0;
    ::GetJobW(raw, static_cast<DWORD>(jobId), 1, nullptr, 0, &needed);
    std::vector<std::max_align_t> buffer((needed + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t));
    // The spooler forgets a printed job unless the queue keeps printed documents.
    if (needed == 0 || !::GetJobW(raw, static_cast<DWORD>(jobId), 1, reinterpret_cast<LPBYTE>(buffer.data()),
                                  needed, &needed))
        return result;
    const DWORD status = reinterpret_cast<const JOB_INFO_1W*>(buffer.data())->Status;
    if (status & JOB_STATUS_PAPEROUT)
        result.reasons.push_back("media-empty");
    if (status & JOB_STATUS_OFFLINE)
        result.reasons.push_back("offline");
    if (status & JOB_STATUS_USER_INTERVENTION)
        result.reasons.push_back("user-intervention");
    if (status & (JOB_STATUS_PRINTED | JOB_STATUS_COMPLETE))
        result.state = JobState::Completed;
    else if (status & (JOB_STATUS_DELETING | JOB_STATUS_DELETED))
        result.state = JobState::Cancelled;
    else if (status & JOB_STATUS_BLOCKED_DEVQ)
        result.state = JobState::Aborted; // the driver cannot print it
    else if (status & JOB_STATUS_ERROR)
        result.state = JobState::Stopped;
    else if (status & JOB_STATUS_PAUSED)
        result.state = JobState::Held;
    else if (status & JOB_STATUS_PRINTING)
        result.state = JobState::Processing;
    else // spooling, waiting, offline, out of paper: it prints once the printer can
        result.state = JobState::Pending;
    return result;
}

} // namespace kb

namespace kb {

int spooledJob(const std::string& queue, const std::string& document) {
    std::wstring wide = widePath(queue);
    const std::wstring name = widePath(document);
    PRINTER_DEFAULTSW access{nullptr, nullptr, PRINTER_ACCESS_USE};
    HANDLE raw = nullptr;
    if (wide.empty() || name.empty() || !::OpenPrinterW(wide.data(), &raw, &access))
        return 0;
    const PrinterHandle printer(raw);
    DWORD needed = 0;
    DWORD count = 0;
    // The list may grow between the two calls: ask again with the larger size.
    std::vector<std::max_align_t> buffer;
    for (int tries = 0; tries < 3; ++tries) {
        buffer.resize((needed + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t));
        if (::EnumJobsW(raw, 0, 0xFFFFFFFF, 1, reinterpret_cast<LPBYTE>(buffer.data()),
                        static_cast<DWORD>(buffer.size() * sizeof(std::max_align_t)), &needed, &count))
            break;
        count = 0;
        if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
            return 0;
    }
    const auto* jobs = reinterpret_cast<const JOB_INFO_1W*>(buffer.data());
    DWORD newest = 0;
    for (DWORD i = 0; i < count; ++i) {
        if ((jobs[i].Status & JOB_STATUS_SPOOLING) && jobs[i].pDocument && name == jobs[i].pDocument &&
            jobs[i].JobId > newest)
            newest = jobs[i].JobId;
    }
    return static_cast<int>(newest);
}

} // namespace kb
