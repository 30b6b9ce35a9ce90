// Shared by the menu engine's Wine tests: distinct colours for every role, drawing one entry into a
// canvas as the platform would ask for it, and counting pixels.
#pragma once

#include <windows.h>

#include "menu_gallery/dib_canvas.h"
#include "menuxp/menu_xp.h"

namespace menutest {

inline constexpr COLORREF kUntouched = RGB(1, 2, 3);
inline constexpr COLORREF kBackground = RGB(240, 230, 220);
inline constexpr COLORREF kSelection = RGB(120, 160, 220);
inline constexpr COLORREF kText = RGB(10, 20, 30);
inline constexpr COLORREF kSelectedText = RGB(255, 250, 200);
inline constexpr COLORREF kDisabledText = RGB(150, 100, 50);
inline constexpr COLORREF kIconBand = RGB(200, 220, 200);
inline constexpr COLORREF kIconGreen = RGB(0, 160, 0);
inline constexpr COLORREF kBlack = RGB(0, 0, 0);

inline void UseTestColours(CMenuXP& menu)
{
    menu.m_clrBackground = kBackground;
    menu.m_clrSelection = kSelection;
    menu.m_clrText = kText;
    menu.m_clrSelectedText = kSelectedText;
    menu.m_clrDisabledText = kDisabledText;
    menu.m_clrIconBand = kIconBand;
}

// A draw request for `item` in `rect`, as the platform sends it for an entry of `menu`.
inline void DrawEntry(CMenuXP& menu, DibCanvas& canvas, const CMenuXPItem& item, RECT rect, UINT state)
{
    DRAWITEMSTRUCT draw{ODT_MENU,       0,     item.m_nID,
                        ODA_DRAWENTIRE, state, reinterpret_cast<HWND>(menu.m_hMenu),
                        canvas.Dc(),    rect,  reinterpret_cast<ULONG_PTR>(&item)};
    menu.DrawItem(&draw);
}

inline int CountPixels(const DibCanvas& canvas, RECT area, COLORREF color)
{
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            count += canvas.Pixel(x, y) == color ? 1 : 0;
        }
    }
    return count;
}

}  // namespace menutest
