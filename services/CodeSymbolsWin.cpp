// The symbols' function on Windows: libzint is linked in statically (ZintSymbols.cpp).
#include "services/CodeSymbols.h"

namespace kb {

ModuleMatrix encodeSymbol(const SymbolInput& input) {
    ModuleMatrix matrix;
    kbEncodeSymbol(&input, &matrix);
    return matrix;
}

} // namespace kb
