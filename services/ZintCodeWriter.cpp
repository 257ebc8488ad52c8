#include "services/ZintCodeWriter.h"

#include "services/CodeSymbols.h"
#include "services/Codec.h"

namespace kb {

ModuleMatrix ZintCodeWriter::encode(CodeKind kind, const std::string& sjisText) {
    if (kind == m_kind && sjisText == m_text)
        return m_last;
    SymbolInput input;
    input.kind = kind;
    if (kind == CodeKind::DataMatrix) {
        // Data Matrix has no Kanji mode: UTF-8 behind its ECI gives a scanner the characters.
        input.bytes = fromSjis(sjisText).toUtf8().toStdString();
    } else {
        input.bytes = sjisText;
        input.kanji = true;
    }
    m_why.clear();
    m_last = encodeSymbol(input, m_why);
    m_kind = kind;
    m_text = sjisText;
    return m_last;
}

} // namespace kb
