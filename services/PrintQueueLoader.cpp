// The print queue's functions, taken from the CUPS module when the program first needs them (the
// module, and libcups with it, stays out of start-up; see PrintQueueCups.cpp).
#include "services/PrintQueue.h"

#include "services/ModuleBeside.h"
#include "settings/Error.h"

namespace kb {

namespace {

using QueryFunction = void (*)(const std::string*, QueueState*);
using SubmitFunction = void (*)(const std::string*, const std::string*, const SpoolOptions*,
                                const std::string*, SpoolResult*);
using JobFunction = void (*)(const std::string*, int, JobStatus*);

struct CupsModule {
    QueryFunction query = nullptr;
    SubmitFunction submit = nullptr;
    JobFunction job = nullptr;
    std::string why; // what went wrong when it could not be loaded
};

CupsModule loadModule() {
    static ModuleBeside file(KB_CUPS_MODULE_NAME);
    CupsModule module;
    module.query = file.function<QueryFunction>("kbQueryQueue");
    module.submit = file.function<SubmitFunction>("kbSubmitDocument");
    module.job = file.function<JobFunction>("kbQueryJob");
    module.why = file.why();
    return module;
}

const CupsModule& cups() {
    static const CupsModule module = loadModule();
    if (!module.query || !module.submit || !module.job)
        throw Error("印刷の部品 " + std::string(KB_CUPS_MODULE_NAME) + " を読み込めません：" + module.why);
    return module;
}

} // namespace

QueueState queryQueue(const std::string& name) {
    QueueState state;
    cups().query(&name, &state);
    return state;
}

SpoolResult submitDocument(const std::string& queue, const std::string& title, const SpoolOptions& options,
                           const std::string& pdf) {
    SpoolResult result;
    cups().submit(&queue, &title, &options, &pdf, &result);
    return result;
}

} // namespace kb

namespace kb {

JobStatus queryJob(const std::string& queue, int jobId) {
    JobStatus status;
    cups().job(&queue, jobId, &status);
    return status;
}

} // namespace kb
