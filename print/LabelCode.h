// The 2D code beside a label's text: what it carries, its module size at the printer's resolution,
// the smallest symbol that holds the text, its place at the right end of the label's block, its
// drawing as filled rectangles, and the check that text and code never meet. The symbol itself comes
// from a CodeWriter, so these rules stay free of the library that makes it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "content/Composition.h"

namespace kb {

class PrintSurface;

enum class CodeKind { None, Qr, DataMatrix };

// Each kind with the names it goes by, in the window's order: as the window's list and its setting
// file show it ("QR"), and as the command's option and the ledger's column name it ("qr").
struct CodeKindName {
    CodeKind kind;
    const char* shown;
    const char* keyword;
};
inline constexpr CodeKindName CodeKindNames[] = {{CodeKind::None, "None", ""},
                                                 {CodeKind::Qr, "QR", "qr"},
                                                 {CodeKind::DataMatrix, "DataMatrix", "datamatrix"}};
// Each kind stands at its own number: the window's row and this look-up both rely on it.
static_assert(static_cast<int>(CodeKindNames[1].kind) == 1 && static_cast<int>(CodeKindNames[2].kind) == 2);
constexpr const CodeKindName& codeKindName(CodeKind kind) {
    return CodeKindNames[static_cast<int>(kind)];
}

// What the code carries: line 2 as printed (line 1 where line 2 is empty), line 1, or both joined
// by a line feed.
enum class CodeText { Line2, Line1, Both };

// A symbol as its writer made it: rows x columns of modules, without its quiet zone.
struct ModuleMatrix {
    std::int32_t rows = 0;
    std::int32_t columns = 0;
    std::vector<std::uint8_t> dark; // row by row, 1 for a dark module

    bool empty() const { return rows == 0 || columns == 0; }
    bool at(std::int32_t row, std::int32_t column) const {
        return dark[static_cast<std::size_t>(row) * static_cast<std::size_t>(columns) +
                    static_cast<std::size_t>(column)] != 0;
    }
};

// Makes symbols. QR from the Shift-JIS bytes as printed, its double-byte characters in Kanji mode;
// Data Matrix (ECC 200, square) from the same text in UTF-8 behind the ECI for UTF-8.
class CodeWriter {
  public:
    virtual ~CodeWriter() = default;
    // The smallest symbol of `kind` that holds `sjisText`; empty when no symbol of the kind holds it.
    virtual ModuleMatrix encode(CodeKind kind, const std::string& sjisText) = 0;
};

// The run's choice. `writer` is needed only when kind is not None.
struct LabelCode {
    CodeKind kind = CodeKind::None;
    CodeText text = CodeText::Line2;
    CodeWriter* writer = nullptr;
};

// How wide a text prints, in device pixels of the printer, in the label's face at `points`.
class TextMeasure {
  public:
    virtual ~TextMeasure() = default;
    virtual std::int32_t textWidth(std::int32_t points, const std::string& sjisText) = 0;
};

struct DeviceRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    bool operator==(const DeviceRect&) const = default;
};

// The label's font size: 10 points for a line 1 of at most 3 bytes, else 9, for both lines.
std::int32_t labelFontPoints(const LabelLines& lines);

// The bytes the code carries, trailing blanks of each line dropped.
std::string codeText(const LabelLines& lines, CodeText which);

// The module size in printer dots (a whole number of dots, at least 0.25 mm for QR and 0.3 mm for
// Data Matrix on paper), the quiet zone in modules, and the largest symbol side, in modules, whose
// white ground fits the label's height less its margins.
struct CodeGeometry {
    std::int32_t moduleX = 0;
    std::int32_t moduleY = 0;
    std::int32_t quiet = 0;
    std::int32_t largestSide = 0;
    bool operator==(const CodeGeometry&) const = default;
};
CodeGeometry codeGeometry(CodeKind kind, std::int32_t dpiX, std::int32_t dpiY);

// Where a symbol goes on a label's block (device pixels): its white ground (symbol and quiet zone)
// at the right end, inside the block by its margin, vertically centred; the symbol's top-left corner.
struct CodePlacement {
    DeviceRect ground;
    std::int32_t symbolLeft = 0;
    std::int32_t symbolTop = 0;
    bool operator==(const CodePlacement&) const = default;
};
CodePlacement placeCode(const CodeGeometry& geometry, const ModuleMatrix& symbol, const DeviceRect& block,
                        std::int32_t dpiX);

// The white ground, then each run of dark modules in a row as one black rectangle, without outline.
void drawCode(PrintSurface& surface, const CodeGeometry& geometry, const CodePlacement& place,
              const ModuleMatrix& symbol);

// The symbol a label prints at this resolution: empty for CodeKind::None, an empty text, or a text no
// symbol that fits the label holds.
ModuleMatrix labelSymbol(const LabelCode& code, const LabelLines& lines, std::int32_t dpiX,
                         std::int32_t dpiY);

// PrintSheet's part: the label's code on its block, at the surface's resolution. Draws nothing where
// labelSymbol is empty (the run's check refused a text too long before printing).
void drawLabelCode(PrintSurface& surface, const LabelCode& code, const LabelLines& lines,
                   const DeviceRect& block);

// Why a label cannot carry its code.
struct CodeRefusal {
    enum class Why {
        TooLong, // no symbol that fits the label's height holds the text
        Overlap, // a line of text would run into the code
    };
    Why why = Why::TooLong;
    std::string text;         // what the code would carry (Shift-JIS)
    std::size_t bytesFit = 0; // TooLong: the longest start of the text that would fit, in bytes
    std::int32_t line = 0;    // Overlap: 1 or 2
    bool operator==(const CodeRefusal&) const = default;
};

// Checks one label before anything prints, at the printer's resolution.
std::optional<CodeRefusal> checkLabelCode(const LabelCode& code, const LabelLines& lines, std::int32_t dpiX,
                                          std::int32_t dpiY, TextMeasure& measure);

} // namespace kb
