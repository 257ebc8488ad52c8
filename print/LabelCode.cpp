#include "print/LabelCode.h"

#include "content/Sjis.h"
#include "print/PrintRules.h"

namespace kb {

namespace {

// The ground keeps 0.5 mm off the block's edges (one offset step), so a sheet fed a little askew
// still has the whole quiet zone on the label; text keeps 1 mm off the ground.
constexpr std::int32_t CodeMargin = 5;
constexpr std::int32_t TextToCode = 10;

// The smallest module a phone or a lab scanner reads reliably from a laser or inkjet label, in
// micrometres on paper.
constexpr std::int32_t QrModuleMicrons = 250;
constexpr std::int32_t DataMatrixModuleMicrons = 300;
constexpr std::int32_t MicronsPerInch = 25400;

// Quiet zones in modules, as each symbology requires.
constexpr std::int32_t QrQuiet = 4;
constexpr std::int32_t DataMatrixQuiet = 1;

constexpr std::uint32_t White = 0x00FFFFFF;
constexpr std::uint32_t Black = 0x00000000;

// A resolution that is a multiple of this one prints a PDF that others print on a 300 or 600 dpi
// printer.
constexpr std::int32_t CommonDpi = 300;

std::int32_t dotsAtLeast(std::int32_t microns, std::int32_t dpi) {
    const auto atLeast = [microns](std::int32_t at) {
        const std::int64_t scaled = std::int64_t{microns} * at;
        return static_cast<std::int32_t>((scaled + MicronsPerInch - 1) / MicronsPerInch);
    };
    // At 1200 dpi (Qt's PDF) a module of 15 dots would be 3.75 dots of a 300 dpi printer and its
    // columns 3 and 4 dots wide by turns, which scanners misread: a whole number of dots at 300 dpi
    // instead, so that the page prints evenly on every common printer.
    if (dpi > CommonDpi && dpi % CommonDpi == 0)
        return atLeast(CommonDpi) * (dpi / CommonDpi);
    return atLeast(dpi);
}

bool fits(const CodeGeometry& g, const ModuleMatrix& m) {
    return !m.empty() && m.rows <= g.largestSide && m.columns <= g.largestSide;
}

// The symbol for a text on this label, or empty when none fits.
ModuleMatrix fittingSymbol(const LabelCode& code, const CodeGeometry& g, const std::string& text) {
    if (!code.writer || text.empty())
        return {};
    ModuleMatrix m = code.writer->encode(code.kind, text);
    return fits(g, m) ? m : ModuleMatrix{};
}

} // namespace

std::int32_t labelFontPoints(const LabelLines& lines) {
    return lines.line1.size() < 4 ? 10 : 9;
}

std::string codeText(const LabelLines& lines, CodeText which) {
    const std::string line1 = trimRightControl(lines.line1);
    const std::string line2 = trimRightControl(lines.line2);
    switch (which) {
    case CodeText::Line1:
        return line1;
    case CodeText::Both:
        // An empty line adds no line feed: a scanner typing into a form reads a lone one as Enter.
        return line1.empty() || line2.empty() ? line1 + line2 : line1 + "\n" + line2;
    case CodeText::Line2:
        break;
    }
    return line2.empty() ? line1 : line2;
}

CodeGeometry codeGeometry(CodeKind kind, std::int32_t dpiX, std::int32_t dpiY) {
    CodeGeometry g;
    if (kind == CodeKind::None || dpiX <= 0 || dpiY <= 0)
        return g;
    const std::int32_t microns = kind == CodeKind::Qr ? QrModuleMicrons : DataMatrixModuleMicrons;
    g.moduleX = dotsAtLeast(microns, dpiX);
    g.moduleY = dotsAtLeast(microns, dpiY);
    g.quiet = kind == CodeKind::Qr ? QrQuiet : DataMatrixQuiet;
    // One dot less than the height, as a block's height in dots varies by one from row to row of the
    // sheet: the same symbol then fits every position.
    const std::int32_t height = toDevice(kLabelHeight - 2 * CodeMargin, dpiY) - 1;
    g.largestSide = std::max(0, height / g.moduleY - 2 * g.quiet);
    return g;
}

CodePlacement placeCode(const CodeGeometry& g, const ModuleMatrix& symbol, const DeviceRect& block,
                        std::int32_t dpiX) {
    CodePlacement p;
    const std::int32_t width = (symbol.columns + 2 * g.quiet) * g.moduleX;
    const std::int32_t height = (symbol.rows + 2 * g.quiet) * g.moduleY;
    p.ground.right = block.right - toDevice(CodeMargin, dpiX);
    p.ground.left = p.ground.right - width;
    p.ground.top = block.top + (block.bottom - block.top - height) / 2;
    p.ground.bottom = p.ground.top + height;
    p.symbolLeft = p.ground.left + g.quiet * g.moduleX;
    p.symbolTop = p.ground.top + g.quiet * g.moduleY;
    return p;
}

void drawCode(PrintSurface& surface, const CodeGeometry& g, const CodePlacement& place,
              const ModuleMatrix& symbol) {
    // Dark on white whatever the label's colours: a code on Gray or Blue does not scan.
    surface.setPen(0, White);
    surface.setBrush(White);
    surface.rectangle(place.ground.left, place.ground.top, place.ground.right, place.ground.bottom);
    surface.setPen(0, Black);
    surface.setBrush(Black);
    for (std::int32_t r = 0; r < symbol.rows; ++r) {
        const std::int32_t top = place.symbolTop + r * g.moduleY;
        for (std::int32_t c = 0; c < symbol.columns;) {
            if (!symbol.at(r, c)) {
                ++c;
                continue;
            }
            const std::int32_t start = c;
            while (c < symbol.columns && symbol.at(r, c))
                ++c;
            surface.rectangle(place.symbolLeft + start * g.moduleX, top, place.symbolLeft + c * g.moduleX,
                              top + g.moduleY);
        }
    }
}

ModuleMatrix labelSymbol(const LabelCode& code, const LabelLines& lines, std::int32_t dpiX,
                         std::int32_t dpiY) {
    if (code.kind == CodeKind::None)
        return {};
    return fittingSymbol(code, codeGeometry(code.kind, dpiX, dpiY), codeText(lines, code.text));
}

void drawLabelCode(PrintSurface& surface, const LabelCode& code, const LabelLines& lines,
                   const DeviceRect& block) {
    const std::int32_t dpiX = surface.dpiX();
    const ModuleMatrix symbol = labelSymbol(code, lines, dpiX, surface.dpiY());
    if (symbol.empty())
        return;
    const CodeGeometry g = codeGeometry(code.kind, dpiX, surface.dpiY());
    drawCode(surface, g, placeCode(g, symbol, block, dpiX), symbol);
}

std::optional<CodeRefusal> checkLabelCode(const LabelCode& code, const LabelLines& lines, std::int32_t dpiX,
                                          std::int32_t dpiY, TextMeasure& measure) {
    if (code.kind == CodeKind::None)
        return std::nullopt;
    const CodeGeometry g = codeGeometry(code.kind, dpiX, dpiY);
    const std::string text = codeText(lines, code.text);
    if (text.empty())
        return std::nullopt;
    const ModuleMatrix symbol = fittingSymbol(code, g, text);
    if (symbol.empty()) {
        // The longest start of the text, whole characters only, that a fitting symbol holds.
        std::size_t low = 0, high = text.size();
        while (low + 1 < high) {
            const std::size_t mid = (low + high) / 2;
            if (fittingSymbol(code, g, safeCut(text, mid)).empty())
                high = mid;
            else
                low = mid;
        }
        return CodeRefusal{CodeRefusal::Why::TooLong, text, safeCut(text, low).size()};
    }
    // Measured from the block's left edge. The text column and the block's right edge each move by
    // a dot from one column of the sheet to the other, so one dot is kept in hand.
    const DeviceRect block{0, 0, toDevice(kLabelWidth, dpiX), toDevice(kLabelHeight, dpiY)};
    const std::int32_t codeLeft = placeCode(g, symbol, block, dpiX).ground.left;
    const std::int32_t limit = codeLeft - toDevice(TextToCode, dpiX) - 1;
    const std::int32_t column = toDevice(kTextInset, dpiX);
    const std::int32_t points = labelFontPoints(lines);
    for (std::int32_t line = 1; line <= 2; ++line) {
        const std::string& s = line == 1 ? lines.line1 : lines.line2;
        // Trailing blanks print as the label's colour only: they may reach into the gap.
        const std::string shown = trimRightControl(s);
        if (shown.empty())
            continue;
        if (column + measure.textWidth(points, shown) > limit)
            return CodeRefusal{CodeRefusal::Why::Overlap, text, 0, line};
    }
    return std::nullopt;
}

} // namespace kb
