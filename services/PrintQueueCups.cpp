// The print queue through libcups: its state, which Qt does not report (stopped, refusing jobs), and
// the hand-over of each sheet's document. Built as a module of its own that the program loads when
// it first prints: libcups and the libraries it brings (TLS, Kerberos, Avahi, ...) cost start-up
// time and memory, and nothing of them is needed before "Print" is pressed.
#include "services/PrintQueue.h"

#include <cstdlib>
#include <cstring>

#include <cups/cups.h>

namespace kb {

namespace {

constexpr int CupsPrinterStopped = 5; // IPP printer-state "stopped"

} // namespace

QueueState cupsQueryQueue(const std::string& name) {
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

namespace kb {

namespace {

std::string lastCupsError(const char* step) {
    const char* text = cupsLastErrorString();
    return std::string(step) + "（" + (text && *text ? text : ippErrorString(cupsLastError())) + "）";
}

// The job's state as the scheduler reports it, or 0 when it cannot be asked.
int jobState(const std::string& queue, int jobId) {
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(),
                     "/printers/%s", queue.c_str());
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", jobId);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr, "job-state");
    ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    int state = 0;
    if (response && cupsLastError() <= IPP_STATUS_OK_CONFLICTING) {
        if (ipp_attribute_t* attr = ippFindAttribute(response, "job-state", IPP_TAG_ENUM))
            state = ippGetInteger(attr, 0);
    }
    ippDelete(response);
    return state;
}

} // namespace

SpoolResult cupsSubmitDocument(const std::string& queue, const std::string& title,
                               const SpoolOptions& options, const std::string& pdf) {
    SpoolResult result;
    const std::size_t slash = queue.find('/');
    const std::string name = queue.substr(0, slash);
    int count = 0;
    cups_option_t* cupsOptions = nullptr;
    for (const auto& [key, value] : options)
        count = cupsAddOption(key.c_str(), value.c_str(), count, &cupsOptions);

    const int job = cupsCreateJob(CUPS_HTTP_DEFAULT, name.c_str(), title.c_str(), count, cupsOptions);
    cupsFreeOptions(count, cupsOptions);
    if (job == 0) {
        result.reason = lastCupsError("ジョブを作れませんでした");
        return result;
    }
    result.jobId = job;
    // Whatever goes wrong from here, the half-made job is cancelled so that nothing of it prints later.
    auto fail = [&](std::string reason) {
        cupsCancelJob2(CUPS_HTTP_DEFAULT, name.c_str(), job, 0);
        result.reason = std::move(reason);
        return result;
    };
    if (cupsStartDocument(CUPS_HTTP_DEFAULT, name.c_str(), job, title.c_str(), CUPS_FORMAT_PDF, 1) !=
        HTTP_STATUS_CONTINUE)
        return fail(lastCupsError("文書の送信を始められませんでした"));
    if (cupsWriteRequestData(CUPS_HTTP_DEFAULT, pdf.data(), pdf.size()) != HTTP_STATUS_CONTINUE) {
        cupsFinishDocument(CUPS_HTTP_DEFAULT, name.c_str());
        return fail(lastCupsError("文書を送れませんでした"));
    }
    if (cupsFinishDocument(CUPS_HTTP_DEFAULT, name.c_str()) > IPP_STATUS_OK_CONFLICTING)
        return fail(lastCupsError("文書が受け付けられませんでした"));
    // The upload may succeed and the scheduler still drop the job at once (a spool file it could not
    // write): only a job that is still there, not cancelled or aborted, holds the sheet.
    const int state = jobState(name, job);
    if (state == 0)
        return fail(lastCupsError("ジョブが見つかりません"));
    if (state == IPP_JSTATE_CANCELED || state == IPP_JSTATE_ABORTED)
        return fail(state == IPP_JSTATE_CANCELED ? "ジョブが取り消されました" : "ジョブが中止されました");
    result.held = true;
    return result;
}

JobState cupsQueryJob(const std::string& queue, int jobId) {
    switch (jobState(queue.substr(0, queue.find('/')), jobId)) {
    case IPP_JSTATE_PENDING:
        return JobState::Pending;
    case IPP_JSTATE_HELD:
        return JobState::Held;
    case IPP_JSTATE_PROCESSING:
        return JobState::Processing;
    case IPP_JSTATE_STOPPED:
        return JobState::Stopped;
    case IPP_JSTATE_CANCELED:
        return JobState::Cancelled;
    case IPP_JSTATE_ABORTED:
        return JobState::Aborted;
    case IPP_JSTATE_COMPLETED:
        return JobState::Completed;
    default:
        return JobState::Unknown;
    }
}

} // namespace kb

// The module's entry points, found by name when it is loaded.
extern "C" __attribute__((visibility("default"))) void kbQueryQueue(const std::string* name,
                                                                    kb::QueueState* out) {
    *out = kb::cupsQueryQueue(*name);
}

extern "C" __attribute__((visibility("default"))) void
kbSubmitDocument(const std::string* queue, const std::string* title, const kb::SpoolOptions* options,
                 const std::string* pdf, kb::SpoolResult* out) {
    *out = kb::cupsSubmitDocument(*queue, *title, *options, *pdf);
}

extern "C" __attribute__((visibility("default"))) void kbQueryJob(const std::string* queue, int jobId,
                                                                  kb::JobState* out) {
    *out = kb::cupsQueryJob(*queue, jobId);
}
