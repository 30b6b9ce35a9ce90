// The menu engine's arithmetic: rounding, entry sizes, the check mark's place and the side bar's gradient.
#include "menuxp/menu_xp_metrics.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using namespace menuxp;

TEST(MenuXPMetrics, Arithmetic)
{
    // COLORREF in (0x00BBGGRR), pixels out (0x00RRGGBB): top (10, 200, 60), bottom (250, 0, 100).
    const auto colour = GradientTable(0x003CC80A, 0x006400FA);
    // clang-format off
    const std::pair<std::int64_t, std::int64_t> cases[] = {
        // Rounding halves away from zero; -1 for a zero denominator or a result beyond 32 bits.
        {MulDivRound(1, 1, 2), 1}, {MulDivRound(-1, 1, 2), -1}, {MulDivRound(3, 1, 2), 2},
        {MulDivRound(5, 1, 3), 2}, {MulDivRound(4, 1, 3), 1}, {MulDivRound(1, 1, -2), -1},
        {MulDivRound(-3, -1, 2), 2}, {MulDivRound(-225, 128, 255), -113}, {MulDivRound(7, 3, 0), -1},
        {MulDivRound(INT_MAX, 2, 1), -1}, {MulDivRound(INT_MAX, 2, 2), INT_MAX},
        {MulDivRound(65536, 65536, 65536), 65536},
        {SideBarSize(16, 96).width, 16}, {SideBarSize(16, 96).height, 1}, {SeparatorSize(13).height, 6},
        {SeparatorSize(14).height, 7}, {SeparatorSize(14).width, 0}, {TextEntrySize(16, 50, 13, 96).width, 94},
        {TextEntrySize(16, 50, 13, 96).height, 20}, {TextEntrySize(16, 50, 21, 96).height, 21},
        {TextEntrySize(24, 10, 13, 96).width, 70}, {TextEntrySize(24, 10, 13, 96).height, 28},
        // Other DPIs scale the fixed sizes of the 96-DPI look, rounding as MulDiv does; text is measured
        // in the font for the DPI already. 16 at 120 DPI is 20, at 144 24, 44 at 120 is 55, at 144 66.
        {SideBarSize(16, 144).width, 24}, {SideBarSize(16, 120).width, 20}, {SideBarSize(16, 192).width, 32},
        {TextEntrySize(16, 50, 13, 144).width, 116}, {TextEntrySize(16, 50, 13, 144).height, 30},
        {TextEntrySize(16, 50, 13, 120).width, 105}, {TextEntrySize(16, 50, 13, 120).height, 25},
        {TextEntrySize(16, 50, 31, 144).height, 31}, {TextEntrySize(16, 0, 0, 110).height, 23},
        {Scaled(3, 144), 5}, {Scaled(1, 120), 1}, {Scaled(1, 144), 2}, {Scaled(7, 144), 11},
        // The platform adds the check width less one back; narrower entries wrap below zero.
        {CorrectedWidth(94, 15), 80}, {CorrectedWidth(0, 13), 0xFFFFFFF4u},
        // The 8 x 8 check mark centred, halves truncated.
        {CheckMarkOrigin(12, 12, 28, 28, 96).x, 16}, {CheckMarkOrigin(0, 0, 15, 15, 96).y, 3},
        {CheckMarkOrigin(0, 0, 5, 5, 96).x, -1}, {CheckMarkOrigin(10, 20, 30, 26, 96).x, 16},
        {CheckMarkOrigin(10, 20, 30, 26, 96).y, 19}, {CheckMarkOrigin(0, 0, 24, 24, 144).x, 6},
        {colour[0], 0xFA0064}, {colour[1], 0xF90164}, {colour[128], 0x826450}, {colour[255], 0x0AC83C},
        // A row's gradient entry; from 512 rows the top row's share is 256, beyond the table: it takes 255.
        {GradientRowIndex(0, 1), 0}, {GradientRowIndex(50, 100), 128}, {GradientRowIndex(99, 100), 253},
        {GradientRowIndex(1, 2), 128}, {GradientRowIndex(511, 512), 255}, {GradientRowIndex(599, 600), 255},
    };
    // clang-format on
    for (std::size_t row = 0; row < std::size(cases); ++row) {
        EXPECT_EQ(cases[row].first, cases[row].second) << "row " << row;
    }
}

}  // namespace
