// The ledger's SQLite code, taken from its module the first time a ledger is opened: libsqlite3 stays
// out of start-up, as libcups does (see PrintQueueLoader.cpp).
#include "services/LedgerOpen.h"

#include <QCoreApplication>
#include <dlfcn.h>
#include <exception>

namespace kb {

namespace {

using OpenFunction = Ledger* (*)(const std::string*);

struct LedgerModule {
    OpenFunction open = nullptr;
    std::string why;
};

LedgerModule loadModule() {
    LedgerModule module;
    // Only beside the executable, where the installation puts it (see PrintQueueLoader.cpp).
    const std::string beside =
        QCoreApplication::applicationDirPath().toStdString() + "/" + std::string(KB_LEDGER_MODULE_NAME);
    void* handle = dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        module.why = why ? why : beside;
        return module;
    }
    module.open = reinterpret_cast<OpenFunction>(dlsym(handle, "kbOpenLedger"));
    if (!module.open)
        module.why = beside + ": kbOpenLedger";
    return module;
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
