// Measuring: the size each kind of entry reports, before the platform widens it by the check-mark width.
#include <gtest/gtest.h>

#include <string>

#include "menuxp/menu_xp.h"
#include "menuxp/menu_xp_separator.h"
#include "menuxp/menu_xp_side_bar.h"

namespace {

constexpr UINT kUntouched = 0xDEADu;

MEASUREITEMSTRUCT Measure(CMenuXP& menu, ULONG_PTR data, UINT controlType = ODT_MENU)
{
    MEASUREITEMSTRUCT measure{controlType, 0, 0, kUntouched, kUntouched, data};
    menu.MeasureItem(&measure);
    return measure;
}

// Width and height of `text` in the bold variant of the menu's font, asked of the screen directly.
SIZE BoldExtent(const CMenuXP& menu, const std::wstring& text)
{
    LOGFONTW description{};
    menu.m_fontMenu.GetLogFont(&description);
    description.lfWeight = FW_BOLD;
    HFONT bold = CreateFontIndirectW(&description);
    HDC screen = GetWindowDC(nullptr);
    HGDIOBJ previous = SelectObject(screen, bold);
    SIZE extent{};
    GetTextExtentPoint32W(screen, text.c_str(), static_cast<int>(text.size()), &extent);
    TEXTMETRICW metrics{};
    GetTextMetricsW(screen, &metrics);
    extent.cy = metrics.tmHeight;
    SelectObject(screen, previous);
    ReleaseDC(nullptr, screen);
    DeleteObject(bold);
    return extent;
}

TEST(MenuXPMeasure, TextEntries)
{
    const int checkWidth = GetSystemMetrics(SM_CXMENUCHECK);
    struct Case {
        const wchar_t* text;
        int size;
        LONG fontHeight;  // 0: the system's menu font
        UINT height;      // 0: the bold font's line height
    };
    const Case cases[] = {
        {L"Enable", 16, 0, 20},
        {L"Disable\tCtrl+D", 16, 0, 20},  // label, TAB and shortcut measured in one piece
        {L"About", 24, 0, 28},
        {L"Exit", 16, -40, 0},  // taller than the icon size plus 4
    };
    for (const Case& c : cases) {
        CMenuXP menu;
        if (c.fontHeight != 0) {
            LOGFONTW description{};
            menu.m_fontMenu.GetLogFont(&description);
            description.lfHeight = c.fontHeight;
            menu.m_fontMenu.CreateFontIndirect(&description);
        }
        CMenuXPText item(300, c.text);
        item.m_nSize = c.size;
        const SIZE text = BoldExtent(menu, c.text);
        const MEASUREITEMSTRUCT measure = Measure(menu, reinterpret_cast<ULONG_PTR>(&item));
        EXPECT_EQ(measure.itemHeight, c.height != 0 ? c.height : static_cast<UINT>(text.cy)) << c.text;
        EXPECT_GT(measure.itemHeight, 20u * (c.height == 0)) << c.text;
        EXPECT_EQ(measure.itemWidth, static_cast<UINT>(2 * c.size + 12 + text.cx + 1 - checkWidth)) << c.text;
    }
}

TEST(MenuXPMeasure, SeparatorAndSideBar)
{
    CMenuXP menu;
    CMenuXPSeparator separator;
    CMenuXPSideBar sideBar;
    const int checkWidth = GetSystemMetrics(SM_CXMENUCHECK);
    const MEASUREITEMSTRUCT measuredSeparator = Measure(menu, reinterpret_cast<ULONG_PTR>(&separator));
    EXPECT_EQ(measuredSeparator.itemHeight, static_cast<UINT>(GetSystemMetrics(SM_CYMENUCHECK) / 2));
    // 0 + 1 - the check width, wrapped below zero.
    EXPECT_EQ(measuredSeparator.itemWidth, 0u + 1u - static_cast<UINT>(checkWidth));
    EXPECT_GT(measuredSeparator.itemWidth, 0xFFFF0000u);

    const MEASUREITEMSTRUCT measuredBar = Measure(menu, reinterpret_cast<ULONG_PTR>(&sideBar));
    EXPECT_EQ(measuredBar.itemHeight, 0u);
    EXPECT_EQ(measuredBar.itemWidth, static_cast<UINT>(16 + 1 - checkWidth));
}

TEST(MenuXPMeasure, RequestsThatAreNotOursWriteNothing)
{
    CMenuXP menu;
    CMenuXPText item(300, L"Enable");
    struct {
        void* header = nullptr;
        DWORD notSignature = 0x0505A0A1;
    } foreign;
    const std::pair<ULONG_PTR, UINT> requests[] = {
        {reinterpret_cast<ULONG_PTR>(&item), ODT_BUTTON},
        {reinterpret_cast<ULONG_PTR>(&item), ODT_LISTBOX},
        {0, ODT_MENU},
        {reinterpret_cast<ULONG_PTR>(&foreign), ODT_MENU},
    };
    for (const auto& [data, controlType] : requests) {
        const MEASUREITEMSTRUCT measure = Measure(menu, data, controlType);
        EXPECT_EQ(measure.itemWidth, kUntouched) << controlType;
        EXPECT_EQ(measure.itemHeight, kUntouched) << controlType;
    }
}

}  // namespace
