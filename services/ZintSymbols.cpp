// libzint behind kbEncodeSymbol: the only file that includes zint.h.
#include <zint.h>

#include <memory>

#include "services/CodeSymbols.h"

namespace {

// Error correction level M (15 % of the symbol may be lost): a label is handled and scratched.
constexpr int QrLevelM = 2;
constexpr int ShiftJisEci = 20;
constexpr int Utf8Eci = 26;

struct SymbolDeleter {
    void operator()(zint_symbol* s) const { ZBarcode_Delete(s); }
};

} // namespace

extern "C" KB_SYMBOLS_ENTRY void kbEncodeSymbol(const kb::SymbolInput* input, kb::ModuleMatrix* out) {
    *out = {};
    std::unique_ptr<zint_symbol, SymbolDeleter> symbol(ZBarcode_Create());
    if (!symbol)
        return;
    if (input->kind == kb::CodeKind::Qr) {
        symbol->symbology = BARCODE_QRCODE;
        symbol->option_1 = QrLevelM;
        symbol->input_mode = DATA_MODE;
        if (input->as == kb::SymbolBytes::Utf8) {
            symbol->eci = Utf8Eci;
        } else {
            // Kanji mode for each pair of bytes it holds.
            symbol->option_3 = ZINT_FULL_MULTIBYTE;
            if (input->as == kb::SymbolBytes::ShiftJisEci)
                symbol->eci = ShiftJisEci;
        }
    } else if (input->kind == kb::CodeKind::DataMatrix) {
        symbol->symbology = BARCODE_DATAMATRIX;
        symbol->option_3 = DM_SQUARE;
        symbol->input_mode = DATA_MODE;
        symbol->eci = Utf8Eci;
    } else {
        return;
    }
    const auto* data = reinterpret_cast<const unsigned char*>(input->bytes.data());
    const int status = ZBarcode_Encode(symbol.get(), data, static_cast<int>(input->bytes.size()));
    if (status >= ZINT_ERROR)
        return;
    out->rows = symbol->rows;
    out->columns = symbol->width;
    out->dark.resize(static_cast<std::size_t>(out->rows) * static_cast<std::size_t>(out->columns));
    for (int r = 0; r < symbol->rows; ++r)
        for (int c = 0; c < symbol->width; ++c)
            out->dark[static_cast<std::size_t>(r * symbol->width + c)] =
                (symbol->encoded_data[r][c >> 3] >> (c & 7)) & 1;
}
