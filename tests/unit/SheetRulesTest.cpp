// Sheet count, map colours, hit test on the map picture, offset lists and colour lists.
#include <gtest/gtest.h>

#include "sheet/SheetRules.h"

#include <algorithm>

namespace {

using namespace kb;

// The map after a click: the sheet count (1 or 2 by StartPosition + labels <= 31) and the cells of sheet k.
TEST(SheetRules, SheetCountAndMapColours) {
    struct Case {
        int s, m, n, k;
        std::string cells; // 'g' grey, 'r' red, 'w' white, one letter per position 1..30
    };
    const auto g = [](int n) { return std::string(n, 'g'); };
    const auto r = [](int n) { return std::string(n, 'r'); };
    const auto w = [](int n) { return std::string(n, 'w'); };
    // Rows 7-9: a middle sheet of a longer run is all red; a sheet outside the run stays white. Rows
    // 10-12: out-of-range start positions never paint outside the 30 cells.
    const Case cases[] = {
        {30, 1, 1, 1, g(29) + r(1)},  {30, 2, 2, 1, g(29) + r(1)},   {22, 10, 2, 1, g(21) + r(9)},
        {22, 10, 2, 2, r(1) + w(29)}, {21, 10, 1, 1, g(20) + r(10)}, {5, 3, 1, 1, g(4) + r(3) + w(23)},
        {20, 45, 3, 2, r(30)},        {20, 45, 3, 3, r(4) + w(26)},  {5, 3, 1, 2, w(30)},
        {0, 3, 1, 1, r(2) + w(28)},   {45, 3, 1, 1, g(30)},          {2147483647, 10, 2, 2, r(30)}};
    for (const auto& c : cases) {
        std::array<Rgb, 30> cells{};
        for (std::size_t i = 0; i < 30; ++i)
            cells[i] = c.cells[i] == 'g' ? kGrey : c.cells[i] == 'r' ? kRed : kWhite;
        EXPECT_EQ(sheetMapColours(c.s, c.m, c.n, c.k), cells)
            << "s=" << c.s << " m=" << c.m << " n=" << c.n << " k=" << c.k;
        if (c.s >= 1 && c.s <= 30 && c.n <= 2) { // the counts a click can give
            EXPECT_EQ(sheetCountAfterClick(c.s, c.m), c.n) << c.s << "+" << c.m;
        }
    }
}

// Both edges of every band: columns 16..96 and 146..199, rows 24 pixels apart from y = 8, 15 tall.
TEST(SheetRules, HitTestBands) {
    const std::tuple<int, int, std::optional<std::int32_t>> cases[] = {
        {16, 8, 1},     {96, 22, 1},    {97, 8, {}},   {15, 8, {}},   {146, 8, 2},  {145, 8, {}},
        {199, 358, 30}, {200, 358, {}}, {16, 7, {}},   {16, 23, {}},  {16, 32, 3},  {96, 46, 3},
        {16, 47, {}},   {16, 344, 29},  {16, 359, {}}, {16, 368, {}}, {-1, -1, {}}, {150, 142, 12}};
    for (const auto& [x, y, position] : cases)
        EXPECT_EQ(hitTest(x, y), position) << "(" << x << ", " << y << ")";
}

TEST(SheetRules, OffsetListsAndStartupIndex) {
    const auto down = offsetItems(true);
    const auto right = offsetItems(false);
    ASSERT_EQ(down.size(), 22u);
    ASSERT_EQ(right.size(), 21u);
    EXPECT_EQ(down[21], "");
    EXPECT_TRUE(std::equal(right.begin(), right.end(), down.begin()));
    EXPECT_EQ(
        (std::vector<std::string>{right[0], right[1], right[9], right[kNoShiftIndex], right[11], right[20]}),
        (std::vector<std::string>{"-5", "-4.5", "-0.5", "0", "0.5", "5"}));

    // The index in force at start-up: the saved one when the list has it, else no shift.
    const std::tuple<int, bool, int> cases[] = {{12, true, 12},  {0, true, 0},    {20, false, 20},
                                                {21, true, 21},  {21, false, 10}, {22, true, 10},
                                                {-1, false, 10}, {-1, true, 10}};
    for (const auto& [saved, vertical, index] : cases)
        EXPECT_EQ(offsetIndexAtStartup(saved, vertical), index) << saved << (vertical ? " down" : " right");
}

TEST(SheetRules, ColourLists) {
    using Items = std::vector<std::pair<std::string, Rgb>>;
    const auto items = [](const std::vector<ColourItem>& list) {
        Items out;
        for (const auto& item : list)
            out.emplace_back(item.name, item.value);
        return out;
    };
    const Items text = {{"Black", 0x00000000},
                        {"White", 0x00FFFFFF},
                        {"Yellow", 0x0000FFFF},
                        {"Blue", 0x00FF0000},
                        {"Red", 0x000000FF},
                        {"Gray", 0x00808080},
                        {"Free", 0}};
    const Items back = {{"White", 0x00FFFFFF},   {"Yellow", 0x0000FFFF}, {"Cream", 0x00CCFFFF},
                        {"Skyblue", 0x00FFFFCC}, {"Pink", 0x00FFAAFF},   {"Blue", 0x00FF0000},
                        {"Red", 0x000000FF},     {"Gray", 0x00808080},   {"Free", 0}};
    EXPECT_EQ(items(textColourItems()), text);
    EXPECT_EQ(items(backColourItems()), back);
}

} // namespace
