// The symbols' function, taken from the zint module when the first code is drawn or checked (the
// module, and libzint with it, stays out of start-up; see ZintSymbols.cpp).
#include <QCoreApplication>
#include <dlfcn.h>

#include "services/CodeSymbols.h"
#include "settings/Error.h"

namespace kb {

namespace {

using EncodeFunction = void (*)(const SymbolInput*, ModuleMatrix*, std::string*);

struct ZintModule {
    EncodeFunction encode = nullptr;
    std::string why;
};

ZintModule loadModule() {
    ZintModule module;
    // Only beside the executable, as the print queue's module (PrintQueueLoader.cpp).
    const std::string beside =
        QCoreApplication::applicationDirPath().toStdString() + "/" + std::string(KB_ZINT_MODULE_NAME);
    void* handle = dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        module.why = why ? why : beside;
        return module;
    }
    module.encode = reinterpret_cast<EncodeFunction>(dlsym(handle, "kbEncodeSymbol"));
    if (!module.encode)
        module.why = "kbEncodeSymbol";
    return module;
}

} // namespace

ModuleMatrix encodeSymbol(const SymbolInput& input, std::string& why) {
    static const ZintModule module = loadModule();
    if (!module.encode)
        throw Error("コードの部品 " + std::string(KB_ZINT_MODULE_NAME) + " を読み込めません：" + module.why);
    ModuleMatrix matrix;
    module.encode(&input, &matrix, &why);
    return matrix;
}

} // namespace kb
