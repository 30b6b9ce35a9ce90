// The menu engine's arithmetic: rounding, entry sizes, the check mark's place and the side bar's gradient.
#include "menuxp/menu_xp_metrics.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using namespace menuxp;

TEST(MenuXPMetrics, MulDivRoundsHalvesAwayFromZero)
{
    // {number, numerator, denominator, result}
    const int cases[][4] = {
        {1, 1, 2, 1},
        {-1, 1, 2, -1},
        {3, 1, 2, 2},
        {5, 1, 3, 2},
        {4, 1, 3, 1},
        {1, 1, -2, -1},
        {-3, -1, 2, 2},
        {-225, 128, 255, -113},
        {7, 3, 0, -1},
        {INT_MAX, 2, 1, -1},
        {INT_MAX, 2, 2, INT_MAX},
        {65536, 65536, 65536, 65536},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MulDivRound(c[0], c[1], c[2]), c[3]) << c[0] << " * " << c[1] << " / " << c[2];
    }
}

TEST(MenuXPMetrics, EntrySizesAndCheckMark)
{
    const std::pair<EntrySize, EntrySize> sizes[] = {
        {SideBarSize(16), {16, 0}},
        {SeparatorSize(13), {0, 6}},
        {SeparatorSize(14), {0, 7}},
        {TextEntrySize(16, 50, 13), {94, 20}},
        {TextEntrySize(16, 50, 21), {94, 21}},
        {TextEntrySize(24, 10, 13), {70, 28}},
    };
    for (const auto& [size, expected] : sizes) {
        EXPECT_EQ(size.width, expected.width);
        EXPECT_EQ(size.height, expected.height);
    }
    // The platform adds the check width less one back; narrower entries wrap below zero.
    EXPECT_EQ(CorrectedWidth(94, 15), 80u);
    EXPECT_EQ(CorrectedWidth(0, 13), 0xFFFFFFF4u);
    // {left, top, right, bottom, x, y}: the 8 x 8 mark centred, halves truncated.
    const int marks[][6] = {
        {12, 12, 28, 28, 16, 16}, {0, 0, 15, 15, 3, 3}, {0, 0, 5, 5, -1, -1}, {10, 20, 30, 26, 16, 19}};
    for (const auto& c : marks) {
        const Point origin = CheckMarkOrigin(c[0], c[1], c[2], c[3]);
        EXPECT_EQ(origin.x, c[4]) << c[2] - c[0];
        EXPECT_EQ(origin.y, c[5]) << c[3] - c[1];
    }
}

TEST(MenuXPMetrics, GradientRunsFromBottomToTop)
{
    // COLORREF in (0x00BBGGRR), pixels out (0x00RRGGBB): top (10, 200, 60), bottom (250, 0, 100).
    const auto colour = GradientTable(0x003CC80A, 0x006400FA);
    EXPECT_EQ(colour[0], 0xFA0064u);
    EXPECT_EQ(colour[1], 0xF90164u);
    EXPECT_EQ(colour[128], 0x826450u);
    EXPECT_EQ(colour[255], 0x0AC83Cu);
    // {row, height, table entry}: from 512 rows the top row's share is 256, beyond the table; it takes 255.
    const int rows[][3] = {{0, 1, 0},   {50, 100, 128},  {99, 100, 253},
                           {1, 2, 128}, {511, 512, 255}, {599, 600, 255}};
    for (const auto& c : rows) {
        EXPECT_EQ(GradientRowIndex(c[0], c[1]), c[2]) << c[0] << " of " << c[1];
    }
}

}  // namespace
