#include "services/ZintCodeWriter.h"

#include "content/Sjis.h"
#include "services/CodeSymbols.h"
#include "services/Codec.h"

namespace kb {

namespace {

// Whether every double-byte character is one of JIS X 0208, which Shift-JIS readers know: not the NEC
// row 13 (①, Ⅰ, ㍉: lead 0x87), the NEC-selected and IBM extensions (0xED, 0xEE, 0xFA..0xFC) or the
// user-defined area (0xF0..0xF9) of the Windows code page.
bool withinJisX0208(const std::string& s) {
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (!isLeadByte(c))
            continue;
        if (c == 0x87 || c >= 0xED)
            return false;
        ++i;
    }
    return true;
}

} // namespace

ModuleMatrix ZintCodeWriter::encode(CodeKind kind, const std::string& sjisText) {
    if (kind == m_kind && sjisText == m_text)
        return m_last;
    SymbolInput input;
    input.kind = kind;
    // Data Matrix has no Kanji mode, and a QR reader turns Kanji mode and Shift-JIS back into
    // characters by JIS X 0208: for the rest UTF-8 behind its ECI gives a scanner the characters.
    if (kind == CodeKind::DataMatrix || !withinJisX0208(sjisText)) {
        input.bytes = fromSjis(sjisText).toUtf8().toStdString();
        input.utf8 = true;
    } else {
        input.bytes = sjisText;
    }
    m_why.clear();
    m_last = encodeSymbol(input, m_why);
    m_kind = kind;
    m_text = sjisText;
    return m_last;
}

} // namespace kb
