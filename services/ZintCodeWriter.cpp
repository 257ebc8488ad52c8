#include "services/ZintCodeWriter.h"

#include "content/Sjis.h"
#include "services/CodeSymbols.h"
#include "services/Codec.h"

namespace kb {

namespace {

// How a QR code takes a Shift-JIS text. A QR reader turns Kanji mode and Shift-JIS back into
// characters by JIS X 0208: a text with any other double-byte character (the NEC row 13 — ①, Ⅰ, ㍉:
// lead 0x87 —, the NEC-selected and IBM extensions from 0xED, the user-defined area 0xF0..0xF9) goes
// as UTF-8. Half-width katakana a scanner reads as Shift-JIS only behind the ECI for Shift-JIS.
SymbolBytes qrBytes(const std::string& s) {
    SymbolBytes as = SymbolBytes::ShiftJis;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (isLeadByte(c)) {
            if (c == 0x87 || c >= 0xED)
                return SymbolBytes::Utf8;
            ++i;
        } else if (c >= 0x80) {
            as = SymbolBytes::ShiftJisEci;
        }
    }
    return as;
}

} // namespace

ModuleMatrix ZintCodeWriter::encode(CodeKind kind, const std::string& sjisText) {
    if (kind == m_kind && sjisText == m_text)
        return m_last;
    SymbolInput input;
    input.kind = kind;
    // Data Matrix has no Kanji mode: UTF-8 behind its ECI.
    input.as = kind == CodeKind::DataMatrix ? SymbolBytes::Utf8 : qrBytes(sjisText);
    input.bytes = input.as == SymbolBytes::Utf8 ? fromSjis(sjisText).toUtf8().toStdString() : sjisText;
    m_last = encodeSymbol(input);
    m_kind = kind;
    m_text = sjisText;
    return m_last;
}

} // namespace kb
