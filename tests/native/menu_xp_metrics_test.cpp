// The menu engine's arithmetic: rounding, entry sizes, the check mark's place and the side bar's gradient.
#include "menuxp/menu_xp_metrics.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using namespace menuxp;

TEST(MenuXPMetrics, MulDivRoundsHalvesAwayFromZero)
{
    // {number, numerator, denominator, result}
    // clang-format off
    const int cases[][4] = {
        {1, 1, 2, 1}, {-1, 1, 2, -1}, {3, 1, 2, 2}, {-3, 1, 2, -2}, {5, 1, 3, 2}, {4, 1, 3, 1}, {1, -1, 2, -1},
        {1, 1, -2, -1}, {-3, -1, 2, 2}, {256, 511, 512, 256}, {-225, 128, 255, -113}, {-225, 253, 255, -223},
        {7, 3, 0, -1}, {INT_MAX, 2, 1, -1}, {INT_MAX, 2, 2, INT_MAX}, {65536, 65536, 65536, 65536},
    };
    // clang-format on
    for (const auto& c : cases) {
        EXPECT_EQ(MulDivRound(c[0], c[1], c[2]), c[3]) << c[0] << " * " << c[1] << " / " << c[2];
    }
}

TEST(MenuXPMetrics, EntrySizes)
{
    struct Case {
        const char* name;
        EntrySize size;
        std::uint32_t width, height;
    };
    // clang-format off
    const Case cases[] = {
        {"side bar", SideBarSize(16), 16, 0},
        {"separator, check 13", SeparatorSize(13), 0, 6}, {"separator, check 14", SeparatorSize(14), 0, 7},
        {"text lower than 20", TextEntrySize(16, 50, 13), 94, 20}, {"text 20 high", TextEntrySize(16, 50, 20), 94, 20},
        {"text 21 high", TextEntrySize(16, 50, 21), 94, 21}, {"icon size 24", TextEntrySize(24, 10, 13), 70, 28},
    };
    // clang-format on
    for (const Case& c : cases) {
        EXPECT_EQ(c.size.width, c.width) << c.name;
        EXPECT_EQ(c.size.height, c.height) << c.name;
    }
    // The platform adds the check width less one back; narrower entries wrap below zero.
    EXPECT_EQ(CorrectedWidth(16, 13), 4u);
    EXPECT_EQ(CorrectedWidth(94, 15), 80u);
    EXPECT_EQ(CorrectedWidth(0, 13), 0xFFFFFFF4u);
}

TEST(MenuXPMetrics, CheckMarkIsCentredWithTruncatingHalves)
{
    // {left, top, right, bottom, x0, y0}
    const int cases[][6] = {{0, 0, 16, 16, 4, 4},
                            {12, 12, 28, 28, 16, 16},
                            {0, 0, 15, 15, 3, 3},
                            {0, 0, 5, 5, -1, -1},
                            {10, 20, 30, 26, 16, 19}};
    for (const auto& c : cases) {
        const Point origin = CheckMarkOrigin(c[0], c[1], c[2], c[3]);
        EXPECT_EQ(origin.x, c[4]) << c[2] - c[0];
        EXPECT_EQ(origin.y, c[5]) << c[3] - c[1];
    }
}

TEST(MenuXPMetrics, GradientTableRunsFromBottomToTop)
{
    // COLORREF in (0x00BBGGRR), pixels out (0x00RRGGBB).
    const auto grey = GradientTable(0x000000, 0xE1E1E1);
    EXPECT_EQ(grey[0], 0xE1E1E1u);
    EXPECT_EQ(grey[128], 0x707070u);
    EXPECT_EQ(grey[255], 0x000000u);

    const auto colour = GradientTable(0x003CC80A, 0x006400FA);  // top (10, 200, 60), bottom (250, 0, 100)
    EXPECT_EQ(colour[0], 0xFA0064u);
    EXPECT_EQ(colour[1], 0xF90164u);
    EXPECT_EQ(colour[255], 0x0AC83Cu);
    for (int n = 1; n < 256; ++n) {
        EXPECT_LE(colour[n] >> 16, colour[n - 1] >> 16) << n;                  // red falls
        EXPECT_GE((colour[n] >> 8) & 0xFF, (colour[n - 1] >> 8) & 0xFF) << n;  // green rises
    }
}

TEST(MenuXPMetrics, GradientRowIndex)
{
    // {row, height, table entry}: from 512 rows the top row's share is 256, beyond the table; it takes 255.
    const int cases[][3] = {{0, 1, 0},       {0, 100, 0},     {50, 100, 128},  {99, 100, 253},  {1, 2, 128},
                            {255, 256, 255}, {509, 512, 255}, {511, 512, 255}, {599, 600, 255}, {0, 512, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(GradientRowIndex(c[0], c[1]), c[2]) << c[0] << " of " << c[1];
    }
}

}  // namespace
