// Sheet count, map colours, hit test on the map picture, offset lists and colour lists.
#include <gtest/gtest.h>

#include "sheet/SheetRules.h"

namespace {

using namespace kb;

TEST(SheetRules, SheetCountAfterClick) {
    struct Case {
        int start, labels, sheets;
    };
    const Case cases[] = {
        {1, 1, 1}, {30, 1, 1}, {30, 2, 2}, {21, 10, 1}, {22, 10, 2}, {1, 10, 1}, {30, 10, 2},
    };
    for (const auto& c : cases)
        EXPECT_EQ(sheetCountAfterClick(c.start, c.labels), c.sheets) << c.start << "+" << c.labels;
}

// 'g' grey, 'r' red, 'w' white, one letter per position 1..30.
std::array<Rgb, 30> cellsFrom(const std::string& pattern) {
    std::array<Rgb, 30> cells{};
    for (std::size_t i = 0; i < 30; ++i)
        cells[i] = pattern.at(i) == 'g' ? kGrey : pattern.at(i) == 'r' ? kRed : kWhite;
    return cells;
}

TEST(SheetRules, MapColours) {
    struct Case {
        int s, m, n, k;
        std::string cells;
    };
    const std::string W30(30, 'w');
    const Case cases[] = {
        {1, 1, 1, 1, "r" + std::string(29, 'w')},
        {30, 1, 1, 1, std::string(29, 'g') + "r"},
        {30, 2, 2, 1, std::string(29, 'g') + "r"},
        {30, 2, 2, 2, "r" + std::string(29, 'w')},
        {22, 10, 2, 1, std::string(21, 'g') + std::string(9, 'r')},
        {22, 10, 2, 2, "r" + std::string(29, 'w')},
        {21, 10, 1, 1, std::string(20, 'g') + std::string(10, 'r')},
        {5, 3, 1, 1, "gggg" + std::string(3, 'r') + std::string(23, 'w')},
        // A middle sheet of a longer run is all red; a sheet outside the run stays white.
        {20, 45, 3, 2, std::string(30, 'r')},
        {20, 45, 3, 3, "rrrr" + std::string(26, 'w')},
        {5, 3, 1, 2, W30},
        {5, 3, 1, 0, W30},
        // Out-of-range start positions never paint outside the 30 cells.
        {0, 3, 1, 1, "rr" + std::string(28, 'w')},
        {45, 3, 1, 1, std::string(30, 'g')},
        {2147483647, 10, 2, 2, std::string(30, 'r')},
    };
    for (const auto& c : cases)
        EXPECT_EQ(sheetMapColours(c.s, c.m, c.n, c.k), cellsFrom(c.cells))
            << "s=" << c.s << " m=" << c.m << " n=" << c.n << " k=" << c.k;
}

TEST(SheetRules, HitTestBands) {
    struct Case {
        int x, y;
        std::optional<std::int32_t> position;
    };
    const Case cases[] = {
        {16, 8, 1},     {96, 22, 1},    {97, 8, {}},  {15, 8, {}},   {146, 8, 2},    {145, 8, {}},
        {199, 358, 30}, {200, 358, {}}, {130, 8, {}}, {50, 30, {}},  {16, 7, {}},    {16, 23, {}},
        {16, 32, 3},    {96, 46, 3},    {16, 47, {}}, {16, 344, 29}, {199, 344, 30}, {16, 359, {}},
        {16, 368, {}},  {16, 382, {}},  {-1, -1, {}}, {60, 200, 17}, {150, 142, 12},
    };
    for (const auto& c : cases)
        EXPECT_EQ(hitTest(c.x, c.y), c.position) << "(" << c.x << ", " << c.y << ")";
}

TEST(SheetRules, OffsetLists) {
    const auto down = offsetItems(true);
    const auto right = offsetItems(false);
    ASSERT_EQ(down.size(), 22u);
    ASSERT_EQ(right.size(), 21u);
    EXPECT_EQ(down[21], "");
    const char* expected[] = {"-5",  "-4.5", "-4",  "-3.5", "-3",  "-2.5", "-2",  "-1.5", "-1",  "-0.5", "0",
                              "0.5", "1",    "1.5", "2",    "2.5", "3",    "3.5", "4",    "4.5", "5"};
    for (std::size_t i = 0; i < 21; ++i) {
        EXPECT_EQ(down[i], expected[i]) << i;
        EXPECT_EQ(right[i], expected[i]) << i;
    }
    EXPECT_EQ(down[kNoShiftIndex], "0");
}

TEST(SheetRules, OffsetIndexAtStartup) {
    struct Case {
        int saved;
        bool vertical;
        int index;
    };
    const Case cases[] = {
        {10, true, 10},  {12, true, 12}, {8, false, 8},  {0, true, 0},    {20, false, 20}, {21, true, 21},
        {21, false, 10}, {22, true, 10}, {25, true, 10}, {-1, false, 10}, {-1, true, 10},  {100, false, 10},
    };
    for (const auto& c : cases)
        EXPECT_EQ(offsetIndexAtStartup(c.saved, c.vertical), c.index)
            << c.saved << (c.vertical ? " down" : " right");
}

TEST(SheetRules, ColourTables) {
    struct Item {
        std::string name;
        Rgb value;
    };
    const std::vector<Item> text = {{"Black", 0x00000000}, {"White", 0x00FFFFFF}, {"Yellow", 0x0000FFFF},
                                    {"Blue", 0x00FF0000},  {"Red", 0x000000FF},   {"Gray", 0x00808080}};
    const std::vector<Item> back = {{"White", 0x00FFFFFF},   {"Yellow", 0x0000FFFF}, {"Cream", 0x00CCFFFF},
                                    {"Skyblue", 0x00FFFFCC}, {"Pink", 0x00FFAAFF},   {"Blue", 0x00FF0000},
                                    {"Red", 0x000000FF},     {"Gray", 0x00808080}};
    const auto check = [](const std::vector<ColourItem>& got, const std::vector<Item>& fixed) {
        ASSERT_EQ(got.size(), fixed.size() + 1);
        for (std::size_t i = 0; i < fixed.size(); ++i) {
            EXPECT_EQ(got[i].name, fixed[i].name) << i;
            EXPECT_EQ(got[i].value, fixed[i].value) << fixed[i].name;
        }
        EXPECT_STREQ(got.back().name, "Free");
    };
    check(textColourItems(), text);
    check(backColourItems(), back);
}

} // namespace
