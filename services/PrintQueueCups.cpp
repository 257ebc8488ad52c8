// The print queue through libcups: its state, which Qt does not report (stopped, refusing jobs), and
// the hand-over of each sheet's document. Built as a module of its own that the program loads when
// it first prints: libcups and the libraries it brings (TLS, Kerberos, Avahi, ...) cost start-up
// time and memory, and nothing of them is needed before "Print" is pressed.
#include "services/PrintQueue.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include <cups/cups.h>

namespace kb {

namespace {

constexpr int CupsPrinterStopped = 5; // IPP printer-state "stopped"

// libcups reports a scheduler it cannot reach as a missing queue ("No default destination"): only a
// connection of our own tells the two apart.
bool schedulerReachable() {
    http_t* http =
        httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, 3000, nullptr);
    if (!http)
        return false;
    httpClose(http);
    return true;
}

// The keywords of a multi-valued option as libcups gives it ("media-empty-error,offline-report");
// "none" says nothing.
std::vector<std::string> keywords(const char* value) {
    std::vector<std::string> words;
    if (!value)
        return words;
    std::string word;
    for (const char* c = value;; ++c) {
        if (*c == ',' || *c == '\0') {
            if (!word.empty() && word != "none")
                words.push_back(word);
            word.clear();
            if (!*c)
                break;
        } else {
            word += *c;
        }
    }
    return words;
}

// libcups answers a named instance with the queue itself even when nobody defined that instance
// (lpoptions -p queue/instance): only the list of destinations tells.
bool instanceDefined(const std::string& queue, const std::string& instance) {
    cups_dest_t* dests = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    const bool found = cupsGetDest(queue.c_str(), instance.c_str(), count, dests) != nullptr;
    cupsFreeDests(count, dests);
    return found;
}

} // namespace

QueueState cupsQueryQueue(const std::string& name) {
    QueueState state;
    // A queue name may carry an instance after a slash ("queue/instance"); an empty instance is none.
    const std::size_t slash = name.find('/');
    const std::string queue = name.substr(0, slash);
    const std::string instance = slash == std::string::npos ? std::string() : name.substr(slash + 1);
    if (slash != std::string::npos && instance.empty())
        return state;
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, queue.empty() ? nullptr : queue.c_str(),
                                         instance.empty() ? nullptr : instance.c_str());
    if (!dest) {
        state.reachable = schedulerReachable();
        return state;
    }
    state.exists = instance.empty() || instanceDefined(queue, instance);
    if (const char* value = cupsGetOption("printer-state", dest->num_options, dest->options))
        state.stopped = std::atoi(value) == CupsPrinterStopped;
    if (const char* value = cupsGetOption("printer-is-accepting-jobs", dest->num_options, dest->options))
        state.acceptingJobs = std::strcmp(value, "false") != 0 && std::strcmp(value, "0") != 0;
    state.reasons = keywords(cupsGetOption("printer-state-reasons", dest->num_options, dest->options));
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

// The job's state as the scheduler reports it, or 0 when it does not know the job or cannot be asked;
// its state reasons into `reasons` when given, and into `started` whether it ever went to the printer.
int jobState(const std::string& queue, int jobId, std::vector<std::string>* reasons = nullptr,
             bool* started = nullptr) {
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(),
                     "/printers/%s", queue.c_str());
    ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", jobId);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
    static const char* const wanted[] = {"job-state", "job-state-reasons", "time-at-processing"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 3, nullptr, wanted);
    ipp_t* response = cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/");
    int state = 0;
    if (response && cupsLastError() <= IPP_STATUS_OK_CONFLICTING) {
        if (ipp_attribute_t* attr = ippFindAttribute(response, "job-state", IPP_TAG_ENUM))
            state = ippGetInteger(attr, 0);
        if (ipp_attribute_t* attr = ippFindAttribute(response, "job-state-reasons", IPP_TAG_KEYWORD);
            attr && reasons) {
            for (int i = 0; i < ippGetCount(attr); ++i)
                if (const char* word = ippGetString(attr, i, nullptr); word && std::strcmp(word, "none") != 0)
                    reasons->push_back(word);
        }
        // A job that never went to the printer carries no time of processing (an out-of-band value).
        if (ipp_attribute_t* attr = ippFindAttribute(response, "time-at-processing", IPP_TAG_INTEGER);
            attr && started)
            *started = ippGetInteger(attr, 0) > 0;
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
    // write): only a job that is still there, not cancelled or aborted, holds the sheet. A job that
    // already went to the printer and failed there is another matter: the printer may have put part
    // of the sheet on paper, so the sheet counts as handed over and the watch reports how it ended;
    // calling it refused would leave those labels free for the next run to print over.
    bool started = false;
    const int state = jobState(name, job, nullptr, &started);
    if (state == 0)
        return fail(lastCupsError("ジョブが見つかりません"));
    if ((state == IPP_JSTATE_CANCELED || state == IPP_JSTATE_ABORTED) && !started)
        return fail(state == IPP_JSTATE_CANCELED ? "ジョブが取り消されました" : "ジョブが中止されました");
    result.held = true;
    return result;
}

JobStatus cupsQueryJob(const std::string& queue, int jobId) {
    JobStatus status;
    switch (jobState(queue.substr(0, queue.find('/')), jobId, &status.reasons)) {
    case IPP_JSTATE_PENDING:
        status.state = JobState::Pending;
        break;
    case IPP_JSTATE_HELD:
        status.state = JobState::Held;
        break;
    case IPP_JSTATE_PROCESSING:
        status.state = JobState::Processing;
        break;
    case IPP_JSTATE_STOPPED:
        status.state = JobState::Stopped;
        break;
    case IPP_JSTATE_CANCELED:
        status.state = JobState::Cancelled;
        break;
    case IPP_JSTATE_ABORTED:
        status.state = JobState::Aborted;
        break;
    case IPP_JSTATE_COMPLETED:
        status.state = JobState::Completed;
        break;
    default:
        // The scheduler keeps the jobs it ran (its job history): one that it no longer knows, or
        // that it could not be asked about, may or may not have printed.
        status.state = JobState::Lost;
        break;
    }
    return status;
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
                                                                  kb::JobStatus* out) {
    *out = kb::cupsQueryJob(*queue, jobId);
}
