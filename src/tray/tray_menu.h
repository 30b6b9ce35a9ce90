// The popup menu a right click on the tray icon opens, built afresh for the controller's state each
// time: the side bar, then the entries of kTrayMenuEntries.
#pragma once

#include <windows.h>

#include <iterator>

#include "menuxp/menu_xp.h"
#include "resources/resource.h"
#include "tray/tray_icon.h"

// Tray menu commands.
inline constexpr UINT ID_TRAY_ENABLE = 300;
inline constexpr UINT ID_TRAY_DISABLE = 301;
inline constexpr UINT ID_TRAY_ABOUT = 302;
inline constexpr UINT ID_TRAY_EXIT = 303;

struct TrayMenuEntry {
    UINT id;
    const wchar_t* text;  // scripts and the gallery name the entry by it, in lower case
    int icon;             // a resource ID; 0 for the mode entries, which show the check mark on the choice
    int group;
};

// The menu's entries below the side bar, in their order; a separator stands between two groups. The menu,
// the gallery's pictures and where e2e clicks all follow this list.
inline constexpr TrayMenuEntry kTrayMenuEntries[] = {
    {ID_TRAY_ENABLE, L"Enable", 0, 0},
    {ID_TRAY_DISABLE, L"Disable", 0, 0},
    {ID_TRAY_ABOUT, L"About", IDI_RED_QUESTION, 1},
    {ID_TRAY_EXIT, L"Exit", IDI_RED_CROSS, 2},
};

// Whether a separator goes before the entry at `index` of the list.
constexpr bool StartsTrayMenuGroup(std::size_t index)
{
    return index > 0 && kTrayMenuEntries[index].group != kTrayMenuEntries[index - 1].group;
}

// The position of the command's entry in the composed menu (the side bar is at 0); -1 for none.
constexpr int TrayMenuPosition(UINT id)
{
    int position = 1;
    for (std::size_t index = 0; index < std::size(kTrayMenuEntries); ++index, ++position) {
        position += StartsTrayMenuGroup(index) ? 1 : 0;
        if (kTrayMenuEntries[index].id == id) {
            return position;
        }
    }
    return -1;
}

inline constexpr COLORREF kTrayMenuSelection = 0xDCA078;

// Fills an empty, attached menu. The check mark is red while the firmware offers overclocking and
// black (with both mode entries grayed) while it does not.
void ComposeTrayMenu(CMenuXP& menu, bool ocSupported, bool ocWanted);

// The whole right click: the menu at the cursor, tracked with `owner` receiving its command, then freed.
// A right click that comes from the keyboard opens the menu at the tray icon, its first enabled entry
// selected, and Escape then gives the focus back to the notification area.
void ShowTrayMenu(HWND owner, TrayIcon& icon, bool ocSupported, bool ocWanted);
