// Printing rules: the split of a run over sheets, the label geometry in layout units (250 to the
// inch), and the drawing of one sheet onto an abstract print surface.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "content/Composition.h"
#include "print/LabelCode.h"
#include "print/RunLabels.h"
#include "sheet/SheetRules.h"

namespace kb {

struct SheetRange {
    std::int32_t sheet;
    std::int32_t first;
    std::int32_t last;
    bool operator==(const SheetRange&) const = default;
};

// PrintSheet calls of a run of `labels` labels from startPosition, in order: as many sheets as the
// labels need.
std::vector<SheetRange> splitRun(std::int32_t startPosition, std::int64_t labels);
// The position after the last printed label (1 after position 30).
std::int32_t nextStartPosition(std::int32_t startPosition, std::int32_t labels);

struct LabelOrigins {
    std::array<std::int32_t, kPositionsPerSheet + 1> LabelOriginX{}; // index 1..30
    std::array<std::int32_t, kPositionsPerSheet + 1> LabelOriginY{};
};
LabelOrigins ComputeLabelOrigins(std::int32_t offsetRightIndex, std::int32_t offsetDownIndex);

// Layout units to device pixels: trunc(v * dpi * 1.44 / 360).
std::int32_t toDevice(std::int32_t v, std::int32_t dpi);

// A label's block in layout units, and how far in from its left edge the text starts.
constexpr std::int32_t kLabelWidth = 620;
constexpr std::int32_t kLabelHeight = 120;
constexpr std::int32_t kTextInset = 50;

// A sheet of paper as the printer sees it, in its device pixels: the whole paper, and where on it
// the printable area's corner lies, from which every label is placed.
struct Paper {
    std::int32_t dpiX = 0;
    std::int32_t dpiY = 0;
    std::int32_t widthPx = 0;
    std::int32_t heightPx = 0;
    std::int32_t originXPx = 0;
    std::int32_t originYPx = 0;
};

// The positions of the run's sheets (the ranges of splitRun) whose label block, as it
// will be printed (from the printable corner, offsets included), would not lie wholly on the paper:
// each position once, in ascending order.
std::vector<std::int32_t> positionsOffPaper(const Paper& paper, std::int32_t offsetRightIndex,
                                            std::int32_t offsetDownIndex,
                                            const std::vector<SheetRange>& ranges);

// The run's label (its index, 0 for the first) at `position` of sheet `sheet`: labels follow each
// other through the whole run, across sheets.
std::int64_t labelIndex(std::int32_t startPosition, std::int32_t sheet, std::int32_t position);

// The labels of sheets [from, to) of a run (ranges as splitRun gives them): how many, the run's
// indexes of the first and the last, and where the next run starts once they are the last printed. A
// run that stops part-way names what it printed and what not, and stores `next`, by this.
struct RunStretch {
    std::int64_t labels = 0;
    std::int64_t first = 0; // index in the run of the stretch's first label
    std::int64_t last = 0;
    std::int32_t next = 0; // the position after the stretch's last label (1 after position 30)
};
RunStretch stretchOf(const std::vector<SheetRange>& ranges, std::size_t from, std::size_t to,
                     std::int32_t startPosition);

// What PrintSheet draws on: one document of one page per call of begin/end.
class PrintSurface {
  public:
    virtual ~PrintSurface() = default;
    virtual bool beginDocument() = 0; // false: the printer refused to start the document
    virtual bool endDocument() = 0;   // false: the printer refused to finish it
    virtual std::int32_t dpiX() const = 0;
    virtual std::int32_t dpiY() const = 0;
    virtual void setPen(std::int32_t width, std::uint32_t colour) = 0; // colour 0x00BBGGRR
    virtual void setBrush(std::uint32_t colour) = 0;
    virtual void rectangle(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) = 0;
    virtual void setFont(std::int32_t points, std::uint32_t colour) = 0;
    virtual std::int32_t textHeight(const std::string& sjisText) = 0;
    // Text cell's top-left at (x, y), cell background filled with the brush colour.
    virtual void textOut(std::int32_t x, std::int32_t y, const std::string& sjisText) = 0;
};

// A blocking pause that keeps the window painting; tests record it instead of waiting.
class Pause {
  public:
    virtual ~Pause() = default;
    virtual void pause(int milliseconds) = 0;
};

struct SheetJob {
    std::uint32_t backColour = 0x00FFFFFF;
    std::uint32_t fontColour = 0x00000000;
    std::int32_t offsetRightIndex = kNoShiftIndex;
    std::int32_t offsetDownIndex = kNoShiftIndex;
    std::int32_t startPosition = 1;
    // What each label of the run prints, in run order.
    std::shared_ptr<const RunLabels> labels;
    // The 2D code beside each label's text; none leaves the label exactly as it prints without.
    LabelCode code;
};

// One sheet as one document; false when the surface refused to begin or end the document. The pause
// that lets the user see the printer work is the run's, taken once the sheet is accounted for.
bool PrintSheet(PrintSurface& surface, const SheetJob& job, std::int32_t sheet, std::int32_t first,
                std::int32_t last);

} // namespace kb
