// The symbols' function, taken from the zint module when the first code is drawn or checked (the
// module, and libzint with it, stays out of start-up; see ZintSymbols.cpp).
#include "services/CodeSymbols.h"
#include "services/ModuleBeside.h"
#include "settings/Error.h"

namespace kb {

namespace {

using EncodeFunction = void (*)(const SymbolInput*, ModuleMatrix*);

struct ZintModule {
    EncodeFunction encode = nullptr;
    std::string why;
};

ZintModule loadModule() {
    static ModuleBeside file(KB_ZINT_MODULE_NAME);
    return ZintModule{file.function<EncodeFunction>("kbEncodeSymbol"), file.why()};
}

} // namespace

ModuleMatrix encodeSymbol(const SymbolInput& input) {
    static const ZintModule module = loadModule();
    if (!module.encode)
        throw Error("コードの部品 " + std::string(KB_ZINT_MODULE_NAME) + " を読み込めません：" + module.why);
    ModuleMatrix matrix;
    module.encode(&input, &matrix);
    return matrix;
}

} // namespace kb
