// The ledger's SQLite code, taken from its module the first time a ledger is opened: libsqlite3 stays
// out of start-up, as libcups does (see PrintQueueLoader.cpp).
#include "services/LedgerOpen.h"

#include <exception>

#include "services/ModuleBeside.h"

namespace kb {

namespace {

using OpenFunction = Ledger* (*)(const std::string*);

struct LedgerModule {
    OpenFunction open = nullptr;
    std::string why;
};

LedgerModule loadModule() {
    static ModuleBeside file(KB_LEDGER_MODULE_NAME);
    return LedgerModule{file.function<OpenFunction>("kbOpenLedger"), file.why()};
}

} // namespace

std::unique_ptr<Ledger> openLedger(const std::string& startFile) {
    static const LedgerModule module = loadModule();
    if (!module.open)
        return std::make_unique<NoLedger>("the ledger's module cannot be loaded: " + module.why);
    try {
        return std::unique_ptr<Ledger>(module.open(&startFile));
    } catch (const std::exception& e) {
        return std::make_unique<NoLedger>(e.what());
    }
}

} // namespace kb
