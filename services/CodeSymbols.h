// The symbols on the labels, from libzint. On Linux libzint lives in a module that the program loads
// when it first draws a code (CodeSymbolsLoader.cpp), so that it stays out of start-up; on Windows it is
// linked in (CodeSymbolsWin.cpp).
#pragma once
#include <string>

#include "print/LabelCode.h"

namespace kb {

// What the code carries: QR the Shift-JIS bytes as printed (double-byte characters in Kanji mode),
// Data Matrix, and QR for characters a Shift-JIS reader does not know, UTF-8 behind its ECI.
struct SymbolInput {
    CodeKind kind = CodeKind::None;
    std::string bytes;
    bool utf8 = false; // the bytes are UTF-8; otherwise Shift-JIS
};

// The smallest symbol that holds the input; empty, with `why` set, when none does.
ModuleMatrix encodeSymbol(const SymbolInput& input, std::string& why);

} // namespace kb

// The module's entry, with C linkage so that the loader finds it by name.
extern "C" void kbEncodeSymbol(const kb::SymbolInput* input, kb::ModuleMatrix* out, std::string* why);
