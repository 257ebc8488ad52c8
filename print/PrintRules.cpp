#include "print/PrintRules.h"

#include <algorithm>
#include <cstdint>

namespace kb {

namespace {

constexpr std::int32_t PositionsPerSheet = kPositionsPerSheet;

// Sheet geometry in layout units.
constexpr std::int32_t LeftColumnX = 305;
constexpr std::int32_t ColumnDistance = 890;
constexpr std::int32_t TopRowY = 260;
constexpr std::int32_t RowPitch = 168;
constexpr std::int32_t ShiftPerStep = 5;
constexpr std::int32_t LabelMiddle = kLabelHeight / 2;

// In device pixels.
constexpr std::int32_t TextGap = 5;
constexpr std::int32_t OutlineWidth = 5;

} // namespace

std::vector<SheetRange> splitRun(std::int32_t startPosition, std::int64_t labels) {
    std::vector<SheetRange> ranges;
    if (labels < 1 || startPosition < 1 || startPosition > PositionsPerSheet)
        return ranges;
    // t is the run position just after the last label. A run that ends on position 30 of a sheet
    // needs no further sheet, hence the thresholds 32, 62, 92, 122 rather than 31, 61, ...
    const std::int64_t t = startPosition + labels;
    const auto sheets = static_cast<std::int32_t>((t - 2) / PositionsPerSheet + 1);
    ranges.reserve(static_cast<std::size_t>(sheets));
    for (std::int32_t sheet = 1; sheet <= sheets; ++sheet) {
        const std::int32_t first = sheet == 1 ? startPosition : 1;
        const std::int32_t last =
            sheet == sheets ? static_cast<std::int32_t>(t - 1 - std::int64_t{PositionsPerSheet} * (sheet - 1))
                            : PositionsPerSheet;
        ranges.push_back({sheet, first, last});
    }
    return ranges;
}

std::int32_t nextStartPosition(std::int32_t startPosition, std::int32_t labels) {
    return (startPosition + labels - 1) % PositionsPerSheet + 1;
}

LabelOrigins ComputeLabelOrigins(std::int32_t offsetRightIndex, std::int32_t offsetDownIndex) {
    LabelOrigins origins;
    const std::int32_t shiftX = ShiftPerStep * (offsetRightIndex - kNoShiftIndex);
    const std::int32_t shiftY = ShiftPerStep * (offsetDownIndex - kNoShiftIndex);
    for (std::int32_t p = 1; p <= PositionsPerSheet; ++p) {
        origins.LabelOriginY[p] = TopRowY + shiftY + RowPitch * positionRow(p);
        origins.LabelOriginX[p] = LeftColumnX + shiftX + ColumnDistance * positionColumn(p);
    }
    return origins;
}

std::int32_t toDevice(std::int32_t v, std::int32_t dpi) {
    // The product is exact in integers; the scaling to 250 units per inch is done in floating point
    // and truncated, so the users' calibrated offsets land on the same pixels as they always did.
    const std::int64_t product = static_cast<std::int64_t>(v) * dpi;
    return static_cast<std::int32_t>(static_cast<double>(product) * 1.44 / 360.0);
}

std::vector<std::int32_t> positionsOffPaper(const Paper& paper, std::int32_t offsetRightIndex,
                                            std::int32_t offsetDownIndex,
                                            const std::vector<SheetRange>& ranges) {
    std::array<bool, PositionsPerSheet + 1> printed{};
    for (const SheetRange& range : ranges)
        for (std::int32_t p = std::max(range.first, 1); p <= std::min(range.last, PositionsPerSheet); ++p)
            printed[p] = true;
    std::vector<std::int32_t> off;
    const LabelOrigins origins = ComputeLabelOrigins(offsetRightIndex, offsetDownIndex);
    for (std::int32_t p = 1; p <= PositionsPerSheet; ++p) {
        if (!printed[p])
            continue;
        const std::int32_t x = origins.LabelOriginX[p];
        const std::int32_t y = origins.LabelOriginY[p];
        // The same pixels the block is drawn on, so the check and the paper never disagree.
        const std::int32_t left = paper.originXPx + toDevice(x, paper.dpiX);
        const std::int32_t top = paper.originYPx + toDevice(y, paper.dpiY);
        const std::int32_t right = paper.originXPx + toDevice(x + kLabelWidth, paper.dpiX);
        const std::int32_t bottom = paper.originYPx + toDevice(y + kLabelHeight, paper.dpiY);
        if (left < 0 || top < 0 || right > paper.widthPx || bottom > paper.heightPx)
            off.push_back(p);
    }
    return off;
}

std::int64_t labelIndex(std::int32_t startPosition, std::int32_t sheet, std::int32_t position) {
    return std::int64_t{PositionsPerSheet} * (sheet - 1) + position - startPosition;
}

RunStretch stretchOf(const std::vector<SheetRange>& ranges, std::size_t from, std::size_t to,
                     std::int32_t startPosition) {
    RunStretch s;
    if (from >= to || to > ranges.size())
        return s;
    for (std::size_t i = from; i < to; ++i)
        s.labels += ranges[i].last - ranges[i].first + 1;
    s.first = labelIndex(startPosition, ranges[from].sheet, ranges[from].first);
    s.last = s.first + s.labels - 1;
    s.next = ranges[to - 1].last % PositionsPerSheet + 1;
    return s;
}

bool PrintSheet(PrintSurface& surface, const SheetJob& job, std::int32_t sheet, std::int32_t first,
                std::int32_t last) {
    const LabelOrigins origins = ComputeLabelOrigins(job.offsetRightIndex, job.offsetDownIndex);
    if (!surface.beginDocument())
        return false;
    const std::int32_t dpiX = surface.dpiX();
    const std::int32_t dpiY = surface.dpiY();
    const std::uint32_t back = job.backColour;
    const std::uint32_t font = job.fontColour;

    const std::int64_t count = job.labels ? job.labels->size() : 0;
    for (std::int32_t p = std::max(first, 1); p <= std::min(last, PositionsPerSheet); ++p) {
        // Every label of the run has its own lines (a numbered label its own number), counted
        // through the whole run; a position beyond the run's labels stays blank.
        const std::int64_t index = labelIndex(job.startPosition, sheet, p);
        if (index < 0 || index >= count)
            continue;
        const std::int32_t x = origins.LabelOriginX[p];
        const std::int32_t y = origins.LabelOriginY[p];
        const std::int32_t left = toDevice(x, dpiX);
        const std::int32_t top = toDevice(y, dpiY);
        const std::int32_t right = toDevice(x + kLabelWidth, dpiX);
        const std::int32_t bottom = toDevice(y + kLabelHeight, dpiY);
        const std::int32_t column = toDevice(x + kTextInset, dpiX);
        const std::int32_t middle = toDevice(y + LabelMiddle, dpiY);

        // The outline has the block's own colour: the label is one solid block of colour.
        surface.setPen(OutlineWidth, back);
        surface.setBrush(back);
        surface.rectangle(left, top, right, bottom);

        const LabelLines lines = job.labels->at(index).lines;
        surface.setFont(labelFontPoints(lines), font);
        const std::int32_t h = surface.textHeight(lines.line1);
        surface.textOut(column, middle - h - TextGap, lines.line1);
        surface.textOut(column, middle + TextGap, lines.line2);
        drawLabelCode(surface, job.code, lines, {left, top, right, bottom});
    }

    return surface.endDocument();
}

} // namespace kb
