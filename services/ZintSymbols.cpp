// libzint behind kbEncodeSymbol: the only file that includes zint.h.
#include <zint.h>

#include <memory>

#include "services/CodeSymbols.h"

namespace {

// Error correction level M (15 % of the symbol may be lost): a label is handled and scratched.
constexpr int QrLevelM = 2;
constexpr int Utf8Eci = 26;

struct SymbolDeleter {
    void operator()(zint_symbol* s) const { ZBarcode_Delete(s); }
};

constexpr int ShiftJisEci = 20;

// How QR Code can take a Shift-JIS text. Kanji mode holds the double-byte characters whose lead byte
// is 0x81..0x9F or 0xE0..0xEB (JIS X 0208 and the NEC rows); a scanner reads the rest (half-width
// katakana, the IBM extensions from 0xED) as Shift-JIS only behind the ECI for Shift-JIS, and zint's
// Kanji mode, which pairs bytes from the left, would put the characters after a lead byte of 0xEC or
// more out of step.
struct QrInput {
    bool kanji = true;     // Kanji mode may be used
    bool needsEci = false; // bytes beyond ASCII that Kanji mode does not hold
};

QrInput qrInput(const std::string& s) {
    QrInput in;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80)
            continue;
        const auto next = i + 1 < s.size() ? static_cast<unsigned char>(s[i + 1]) : 0;
        const bool kanjiLead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xEB);
        if (kanjiLead && next >= 0x40 && next <= 0xFC && next != 0x7F && (c != 0xEB || next <= 0xBF)) {
            ++i;
            continue;
        }
        in.needsEci = true;
        if (c >= 0xEC && c <= 0xFC)
            in.kanji = false;
        else if (c >= 0x81 && c <= 0xFC && !(c >= 0xA0 && c <= 0xDF))
            ++i; // the trail byte of a character Kanji mode does not hold
    }
    return in;
}

} // namespace

extern "C" KB_SYMBOLS_ENTRY void kbEncodeSymbol(const kb::SymbolInput* input, kb::ModuleMatrix* out,
                                                std::string* why) {
    *out = {};
    std::unique_ptr<zint_symbol, SymbolDeleter> symbol(ZBarcode_Create());
    if (!symbol) {
        *why = "zint: out of memory";
        return;
    }
    if (input->kind == kb::CodeKind::Qr) {
        symbol->symbology = BARCODE_QRCODE;
        symbol->option_1 = QrLevelM;
        symbol->input_mode = DATA_MODE;
        if (input->utf8) {
            symbol->eci = Utf8Eci;
        } else {
            const QrInput how = qrInput(input->bytes);
            if (how.kanji)
                symbol->option_3 = ZINT_FULL_MULTIBYTE;
            if (how.needsEci)
                symbol->eci = ShiftJisEci;
        }
    } else if (input->kind == kb::CodeKind::DataMatrix) {
        symbol->symbology = BARCODE_DATAMATRIX;
        symbol->option_3 = DM_SQUARE;
        symbol->input_mode = DATA_MODE;
        symbol->eci = Utf8Eci;
    } else {
        *why = "no code kind";
        return;
    }
    const auto* data = reinterpret_cast<const unsigned char*>(input->bytes.data());
    const int status = ZBarcode_Encode(symbol.get(), data, static_cast<int>(input->bytes.size()));
    if (status >= ZINT_ERROR) {
        *why = symbol->errtxt;
        return;
    }
    out->rows = symbol->rows;
    out->columns = symbol->width;
    out->dark.resize(static_cast<std::size_t>(out->rows) * static_cast<std::size_t>(out->columns));
    for (int r = 0; r < symbol->rows; ++r)
        for (int c = 0; c < symbol->width; ++c)
            out->dark[static_cast<std::size_t>(r * symbol->width + c)] =
                (symbol->encoded_data[r][c >> 3] >> (c & 7)) & 1;
}
