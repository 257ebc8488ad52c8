// The symbols on the labels, from libzint. On Linux libzint lives in a module that the program loads
// when it first draws a code (CodeSymbolsLoader.cpp), so that it stays out of start-up; on Windows it is
// linked in (CodeSymbolsWin.cpp).
#pragma once
#include <string>

#include "print/LabelCode.h"

namespace kb {

// What the code carries, as the writer chose to write it (ZintCodeWriter.cpp says why).
enum class SymbolBytes {
    ShiftJis,    // QR: double-byte characters all of JIS X 0208, in Kanji mode
    ShiftJisEci, // the same with half-width katakana, behind the ECI for Shift-JIS
    Utf8,        // behind the ECI for UTF-8
};
struct SymbolInput {
    CodeKind kind = CodeKind::None;
    std::string bytes;
    SymbolBytes as = SymbolBytes::ShiftJis;
};

// The smallest symbol that holds the input; empty when none does.
ModuleMatrix encodeSymbol(const SymbolInput& input);

} // namespace kb

// The module's entry, with C linkage so that the loader finds it by name.
extern "C" void kbEncodeSymbol(const kb::SymbolInput* input, kb::ModuleMatrix* out);
