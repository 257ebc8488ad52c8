// The sheet screen's rules: sheet count and map colours, the hit test on the map picture, the offset
// lists and the label colour lists.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kb {

// The label sheet: 2 columns of 15 rows, positions numbered row by row from the top left (odd
// positions on the left), written once for the map, the drawing and the run's split.
constexpr std::int32_t kColumns = 2;
constexpr std::int32_t kRows = 15;
constexpr std::int32_t kPositionsPerSheet = kColumns * kRows;
// Row (0 at the top) and column (0 left, 1 right) of a position 1..30.
constexpr std::int32_t positionRow(std::int32_t position) {
    return (position - 1) / kColumns;
}
constexpr std::int32_t positionColumn(std::int32_t position) {
    return (position - 1) % kColumns;
}

using Rgb = std::uint32_t; // 0x00BBGGRR, as the colour dialog of the original platform returns it

constexpr Rgb kWhite = 0x00FFFFFF;
constexpr Rgb kGrey = 0x00808080;
constexpr Rgb kRed = 0x000000FF;

// UpdateSheetCount's rule: 1 when StartPosition + labels <= 31, else 2.
std::int32_t sheetCountAfterClick(std::int32_t startPosition, std::int32_t labels);

// Fill colours of the 30 cells (index 0 = position 1) for sheet k of n.
std::array<Rgb, kPositionsPerSheet> sheetMapColours(std::int32_t startPosition, std::int32_t labels,
                                                    std::int32_t sheetCount, std::int32_t k);

// Position (1..30) under the point (x, y) of the map picture Image2, or nothing outside the bands.
std::optional<std::int32_t> hitTest(int x, int y);

// Offset lists: ListBox7 (vertical) has 22 items, ListBox6 (horizontal) 21.
constexpr int kNoShiftIndex = 10;
std::vector<std::string> offsetItems(bool vertical);
// The index in force at start-up for a saved index: the saved index when the list has that item,
// otherwise 10 (no shift).
int offsetIndexAtStartup(int savedIndex, bool vertical);

// Label colour lists: ListBox10 (text) and ListBox11 (background); the last item is "Free".
struct ColourItem {
    const char* name;
    Rgb value;
};
const std::vector<ColourItem>& textColourItems();
const std::vector<ColourItem>& backColourItems();

} // namespace kb
