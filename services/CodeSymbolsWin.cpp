// The symbols' function on Windows: libzint is linked in statically (ZintSymbols.cpp).
#include "services/CodeSymbols.h"

namespace kb {

ModuleMatrix encodeSymbol(const SymbolInput& input, std::string& why) {
    ModuleMatrix matrix;
    kbEncodeSymbol(&input, &matrix, &why);
    return matrix;
}

} // namespace kb
