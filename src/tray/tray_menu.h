// The popup menu a right click on the tray icon opens, built afresh for the controller's state each
// time: the side bar, "Enable" and "Disable" with a check mark on the current choice, "About", "Exit".
#pragma once

#include <windows.h>

#include "menuxp/menu_xp.h"
#include "tray/tray_icon.h"

// Tray menu commands.
inline constexpr UINT ID_TRAY_ENABLE = 300;
inline constexpr UINT ID_TRAY_DISABLE = 301;
inline constexpr UINT ID_TRAY_ABOUT = 302;
inline constexpr UINT ID_TRAY_EXIT = 303;

inline constexpr COLORREF kTrayMenuSelection = 0xDCA078;

// Fills an empty, attached menu. The check mark is red while the firmware offers overclocking and
// black (with both mode entries grayed) while it does not.
void ComposeTrayMenu(CMenuXP& menu, bool ocSupported, bool ocWanted);

// The whole right click: the menu at the cursor, tracked with `owner` receiving its command, then freed.
// A right click that comes from the keyboard opens the menu at the tray icon, its first enabled entry
// selected, and Escape then gives the focus back to the notification area.
void ShowTrayMenu(HWND owner, TrayIcon& icon, bool ocSupported, bool ocWanted);
