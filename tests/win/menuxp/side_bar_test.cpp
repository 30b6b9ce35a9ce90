// The side bar: its gradient rows, its width, its white title, and what it leaves in the device context.
#include <gtest/gtest.h>

#include "menu_test_support.h"
#include "menuxp/menu_xp_side_bar.h"

namespace {

using namespace menutest;

constexpr COLORREF kWhite = RGB(255, 255, 255);

TEST(MenuXPSideBar, SpansTheClipBoxWithTheGradientAndAWhiteTitle)
{
    CMenuXP menu;
    CMenuXPSideBar sideBar;
    DibCanvas canvas(60, 120);
    canvas.Fill(kUntouched);
    // The platform's clip box is the menu's client area; the bar's own entry is 0 high.
    IntersectClipRect(canvas.Dc(), 0, 5, 60, 105);
    const COLORREF before = RGB(7, 8, 9);
    SetTextColor(canvas.Dc(), before);
    DrawEntry(menu, canvas, sideBar, {10, 10, 26, 10}, ODS_GRAYED | ODS_DISABLED);

    // 100 rows: the bottom row takes the bottom colour exactly, the middle row (50 from the bottom)
    // entry 128 and the top row (99) entry 253; the grey channel is 225 - (225 * n / 255, rounded).
    const std::pair<int, int> rows[] = {{104, 225}, {54, 112}, {5, 2}};
    for (const auto& [y, grey] : rows) {
        EXPECT_EQ(canvas.Pixel(10, y), RGB(grey, grey, grey)) << "row " << y;
        EXPECT_EQ(canvas.Pixel(28, y), RGB(grey, grey, grey)) << "row " << y << ": 3 wider than the entry";
        EXPECT_EQ(canvas.Pixel(29, y), kUntouched) << "row " << y;
        EXPECT_EQ(canvas.Pixel(9, y), kUntouched) << "row " << y;
    }
    EXPECT_EQ(canvas.Pixel(10, 4), kUntouched);
    EXPECT_EQ(canvas.Pixel(10, 105), kUntouched);

    // The title is the only white: upward from 4 above the bottom, beside the bar's left edge.
    EXPECT_GT(CountPixels(canvas, {12, 30, 26, 102}, kWhite), 20);
    EXPECT_EQ(CountPixels(canvas, {0, 0, 60, 120}, kWhite), CountPixels(canvas, {12, 30, 26, 102}, kWhite));
    EXPECT_EQ(GetTextColor(canvas.Dc()), before);
    EXPECT_EQ(GetBkMode(canvas.Dc()), TRANSPARENT);
}

TEST(MenuXPSideBar, GradientEdgeCases)
{
    CMenuXP menu;
    menu.m_clrSideBarTop = RGB(10, 200, 60);
    menu.m_clrSideBarBottom = RGB(250, 0, 100);
    DibCanvas canvas(40, 600);
    CDC dc;
    dc.Attach(canvas.Dc());
    struct Case {
        int height;
        int topRowIndex;  // gradient entry of the top row
    };
    // One row takes entry 0, the bottom colour; from 512 rows the top row would take entry 256, beyond
    // the table: it takes the top colour.
    for (const Case c : {Case{1, 0}, Case{2, 128}, Case{512, 255}, Case{600, 255}}) {
        canvas.Fill(kUntouched);
        const CBitmap bitmap =
            CMenuXP::CreateGradientBitmap(menu.m_clrSideBarTop, menu.m_clrSideBarBottom, &dc, 19, c.height);
        ASSERT_NE(bitmap.m_hObject, nullptr) << c.height;
        CDC memory;
        memory.CreateCompatibleDC(&dc);
        const HGDIOBJ previous = SelectObject(memory.m_hDC, bitmap.m_hObject);
        BitBlt(canvas.Dc(), 0, 0, 19, c.height, memory.m_hDC, 0, 0, SRCCOPY);
        SelectObject(memory.m_hDC, previous);
        const auto channel = [&](int top, int bottom) {
            return bottom + MulDiv(top - bottom, c.topRowIndex, 255);
        };
        EXPECT_EQ(canvas.Pixel(5, 0), RGB(channel(10, 250), channel(200, 0), channel(60, 100))) << c.height;
        EXPECT_EQ(canvas.Pixel(18, c.height - 1), RGB(250, 0, 100)) << c.height;
        EXPECT_EQ(canvas.Pixel(19, 0), kUntouched) << c.height;
    }
    EXPECT_EQ(CMenuXP::CreateGradientBitmap(0, 0, &dc, 19, 0).m_hObject, nullptr);

    // Painted with no height, the bar paints nothing, title included.
    canvas.Fill(kUntouched);
    menu.DrawSideBar(&dc, {10, 100, 26, 100}, nullptr, L"Ketzal");
    EXPECT_EQ(CountPixels(canvas, {0, 0, 40, 600}, kUntouched), 40 * 600);
    dc.Detach();
}

}  // namespace
