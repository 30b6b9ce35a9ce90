// The tray menu as a right click builds it, read back from the real menu, and the tray notifications.
#include "tray/tray_menu.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "main_window_fixture.h"
#include "menuxp/menu_xp_item.h"
#include "resources/resource.h"
#include "tray/tray_icon.h"

namespace {

// The colour pixels of an icon, to tell which resource it was made from.
std::vector<std::uint32_t> IconPixels(HICON icon)
{
    ICONINFO info{};
    if (icon == nullptr || !GetIconInfo(icon, &info)) {
        return {};
    }
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof(format.bmiHeader);
    format.bmiHeader.biWidth = 16;
    format.bmiHeader.biHeight = -16;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    std::vector<std::uint32_t> pixels(16 * 16);
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, info.hbmColor, 0, 16, pixels.data(), &format, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return pixels;
}

std::vector<std::uint32_t> ResourceIconPixels(int id)
{
    HICON icon = static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON, 16, 16, 0));
    std::vector<std::uint32_t> pixels = IconPixels(icon);
    DestroyIcon(icon);
    return pixels;
}

struct Entry {
    UINT type;
    UINT state;
    UINT id;
    CMenuXPItem* item;
};

Entry ReadEntry(HMENU menu, int position)
{
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_DATA;
    GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info);
    return {info.fType, info.fState, info.wID, CMenuXPItem::FromItemData(info.dwItemData)};
}

TEST(TrayMenu, EachStateComposesTheEntriesInOrder)
{
    for (const bool supported : {true, false}) {
        for (const bool wanted : {true, false}) {
            CMenuXP menu;
            ASSERT_TRUE(menu.Attach(CreatePopupMenu()));
            ComposeTrayMenu(menu, supported, wanted);
            SCOPED_TRACE(testing::Message() << "supported " << supported << " wanted " << wanted);
            EXPECT_EQ(menu.m_clrSelection, 0xDCA078u);
            EXPECT_EQ(menu.m_nStyle, 2);
            ASSERT_EQ(GetMenuItemCount(menu.m_hMenu), 7);

            const Entry sideBar = ReadEntry(menu.m_hMenu, 0);
            EXPECT_EQ(sideBar.type, static_cast<UINT>(MFT_OWNERDRAW | MFT_SEPARATOR));
            ASSERT_NE(sideBar.item, nullptr);
            EXPECT_TRUE(sideBar.item->m_bSideBar);
            EXPECT_EQ(sideBar.item->m_strText, L"Ketzal");

            const UINT grayed = supported ? 0u : static_cast<UINT>(MFS_GRAYED);
            const std::vector<std::uint32_t> check =
                ResourceIconPixels(supported ? IDI_RED_CHECK : IDI_BLACK_CHECK);
            struct Expected {
                UINT type;
                UINT state;
                UINT id;
                const wchar_t* text;
                std::vector<std::uint32_t> icon;  // empty: no icon
            };
            const Expected entries[] = {
                {MFT_OWNERDRAW | MFT_MENUBREAK, grayed, ID_TRAY_ENABLE, L"Enable",
                 wanted ? check : std::vector<std::uint32_t>{}},
                {MFT_OWNERDRAW, grayed, ID_TRAY_DISABLE, L"Disable",
                 wanted ? std::vector<std::uint32_t>{} : check},
                {MFT_OWNERDRAW | MFT_SEPARATOR, 0, 0, L"", {}},
                {MFT_OWNERDRAW, 0, ID_TRAY_ABOUT, L"About", ResourceIconPixels(IDI_RED_QUESTION)},
                {MFT_OWNERDRAW | MFT_SEPARATOR, 0, 0, L"", {}},
                {MFT_OWNERDRAW, 0, ID_TRAY_EXIT, L"Exit", ResourceIconPixels(IDI_RED_CROSS)},
            };
            for (int position = 1; position < 7; ++position) {
                const Entry entry = ReadEntry(menu.m_hMenu, position);
                const Expected& expected = entries[position - 1];
                EXPECT_EQ(entry.type, expected.type) << position;
                if ((expected.type & MFT_SEPARATOR) == 0) {  // separators always read as grayed
                    EXPECT_EQ(entry.state & MFS_GRAYED, expected.state) << position;
                }
                EXPECT_EQ(entry.id, expected.id) << position;
                ASSERT_NE(entry.item, nullptr) << position;
                EXPECT_EQ(entry.item->m_strText, expected.text) << position;
                EXPECT_EQ(IconPixels(entry.item->m_hIcon), expected.icon) << position;
            }
        }
    }
}

// Sends a tray notification; true when a menu was open while it was being handled (it is closed then).
bool g_menuSeen = false;

void CALLBACK CloseAnyMenu(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    HWND menu = FindWindowW(L"#32768", nullptr);
    g_menuSeen = menu != nullptr && IsWindowVisible(menu);
    EndMenu();
}

bool NotificationOpensAMenu(HWND window, LPARAM mouseMessage)
{
    g_menuSeen = false;
    SetTimer(nullptr, 0, 100, CloseAnyMenu);
    EXPECT_EQ(SendMessageW(window, WM_TRAYNOTIFY, 1, mouseMessage), 1);
    const bool seen = g_menuSeen;
    PumpUntil([] { return false; }, 250);  // let a timer that found no menu go by
    return seen;
}

TEST_F(MainWindow, OnlyARightClickOpensTheMenuAndClosingItSendsNothing)
{
    CVelkaroDlg dialog;
    RunModal(dialog, [&] {
        HWND window = dialog.m_hWnd;
        for (const LPARAM mouse :
             {WM_LBUTTONUP, WM_LBUTTONDOWN, WM_LBUTTONDBLCLK, WM_MOUSEMOVE, WM_RBUTTONDOWN}) {
            EXPECT_FALSE(NotificationOpensAMenu(window, mouse)) << mouse;
        }
        EXPECT_TRUE(NotificationOpensAMenu(window, WM_RBUTTONUP));
        EXPECT_TRUE(dialog.m_switch.ocWanted);
        EXPECT_EQ(simulator.Journal().size(), 5u);  // start-up only: closing the menu chose nothing
        EXPECT_TRUE(IsWindow(window));
        PostMessageW(window, WM_COMMAND, ID_TRAY_EXIT, 0);
    });
}

TEST_F(MainWindow, TaskbarCreatedPutsTheIconBackOrReplacesIt)
{
    CVelkaroDlg dialog;
    RunModal(dialog, [&] {
        ASSERT_NE(WM_TASKBARCREATED, 0u);
        g_trayCalls.clear();
        SendMessageW(dialog.m_hWnd, WM_TASKBARCREATED, 0, 0);
        ASSERT_EQ(g_trayCalls.size(), 1u);
        EXPECT_EQ(g_trayCalls[0].message, static_cast<DWORD>(NIM_ADD));
        EXPECT_EQ(g_trayCalls[0].record.hWnd, dialog.m_hWnd);

        g_trayCalls.clear();
        g_trayRefusesAdd = true;
        SendMessageW(dialog.m_hWnd, WM_TASKBARCREATED, 0, 0);
        ASSERT_EQ(g_trayCalls.size(), 2u);
        EXPECT_EQ(g_trayCalls[1].message, static_cast<DWORD>(NIM_MODIFY));
        EXPECT_EQ(g_trayCalls[1].record.uID, 1u);
        PostMessageW(dialog.m_hWnd, WM_COMMAND, ID_TRAY_EXIT, 0);
    });
}

}  // namespace
