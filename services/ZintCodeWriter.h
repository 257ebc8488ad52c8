// The labels' code writer: libzint through CodeSymbols, the text in the encoding each symbology
// takes. One writer serves a whole run; it keeps the last symbol, as a numbered run asks for each
// label's symbol twice (the check before printing, then the drawing).
#pragma once
#include <string>

#include "print/LabelCode.h"

namespace kb {

class ZintCodeWriter final : public CodeWriter {
  public:
    ModuleMatrix encode(CodeKind kind, const std::string& sjisText) override;

  private:
    CodeKind m_kind = CodeKind::None;
    std::string m_text;
    ModuleMatrix m_last;
};

} // namespace kb
