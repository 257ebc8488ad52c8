#include "sheet/SheetRules.h"

#include <algorithm>

namespace kb {

namespace {

constexpr std::int32_t kPositions = kPositionsPerSheet;

// Paints positions first..last (clamped to the sheet's cells; an empty range paints nothing).
// Bounds are 64-bit so that a hand-edited start position near the int limits cannot overflow.
void paint(std::array<Rgb, kPositionsPerSheet>& cells, std::int64_t first, std::int64_t last, Rgb colour) {
    first = std::max<std::int64_t>(first, 1);
    last = std::min<std::int64_t>(last, kPositions);
    for (std::int64_t p = first; p <= last; ++p)
        cells[static_cast<std::size_t>(p - 1)] = colour;
}

} // namespace

std::int32_t sheetCountAfterClick(std::int32_t startPosition, std::int32_t labels) {
    return std::int64_t{startPosition} + labels <= kPositions + 1 ? 1 : 2;
}

std::array<Rgb, kPositionsPerSheet> sheetMapColours(std::int32_t startPosition, std::int32_t labels,
                                                    std::int32_t sheetCount, std::int32_t k) {
    std::array<Rgb, kPositionsPerSheet> cells;
    cells.fill(kWhite);
    const std::int64_t s = startPosition;
    const std::int64_t m = labels;
    const std::int64_t n = sheetCount;
    if (k < 1 || k > n)
        return cells;
    if (n == 1) {
        paint(cells, 1, s - 1, kGrey);
        paint(cells, s, s + m - 1, kRed);
    } else if (k == 1) {
        paint(cells, 1, s - 1, kGrey);
        paint(cells, s, kPositions, kRed);
    } else if (k < n) {
        paint(cells, 1, kPositions, kRed);
    } else {
        paint(cells, 1, s + m - 1 - kPositions * (n - 1), kRed);
    }
    return cells;
}

std::optional<std::int32_t> hitTest(int x, int y) {
    int column = 0;
    if (x >= 16 && x <= 96)
        column = 1;
    else if (x >= 146 && x <= 199)
        column = 2;
    else
        return std::nullopt;

    // Row r answers from 8 + 24(r - 1) to 22 + 24(r - 1): the cell's own 15 pixels, not the gaps.
    if (y < 8)
        return std::nullopt;
    const int row = (y - 8) / 24 + 1;
    if (row > 15 || (y - 8) % 24 > 14)
        return std::nullopt;
    return column + 2 * (row - 1);
}

std::vector<std::string> offsetItems(bool vertical) {
    std::vector<std::string> items = {"-5",   "-4.5", "-4",   "-3.5", "-3",  "-2.5", "-2",
                                      "-1.5", "-1",   "-0.5", "0",    "0.5", "1",    "1.5",
                                      "2",    "2.5",  "3",    "3.5",  "4",   "4.5",  "5"};
    // The vertical list carries one more, empty item: 5.5 mm down.
    if (vertical)
        items.emplace_back();
    return items;
}

int offsetIndexAtStartup(int savedIndex, bool vertical) {
    const int count = static_cast<int>(offsetItems(vertical).size());
    // A hand-edited index with no item would leave the list unselected and the next print run would
    // store "no selection" as a 5 mm shift; fall back to no shift instead.
    return savedIndex >= 0 && savedIndex < count ? savedIndex : kNoShiftIndex;
}

const std::vector<ColourItem>& textColourItems() {
    static const std::vector<ColourItem> items = {
        {"Black", 0x00000000}, {"White", 0x00FFFFFF}, {"Yellow", 0x0000FFFF},
        {"Blue", 0x00FF0000},  {"Red", 0x000000FF},   {"Gray", 0x00808080},
        {"Free", 0},
    };
    return items;
}

const std::vector<ColourItem>& backColourItems() {
    static const std::vector<ColourItem> items = {
        {"White", 0x00FFFFFF},   {"Yellow", 0x0000FFFF}, {"Cream", 0x00CCFFFF},
        {"Skyblue", 0x00FFFFCC}, {"Pink", 0x00FFAAFF},   {"Blue", 0x00FF0000},
        {"Red", 0x000000FF},     {"Gray", 0x00808080},   {"Free", 0},
    };
    return items;
}

} // namespace kb
