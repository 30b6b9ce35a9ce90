// Stands in for the platform's menu window: asks a menu object for the size of every entry, lays the
// entries out in columns as the platform does, and has the object paint them into a device context.
#pragma once

#include <windows.h>

#include <vector>

#include "menuxp/menu_xp.h"
#include "platform/menu.h"

struct MenuEntryLayout {
    UINT id;
    UINT type;   // MFT_ flags
    UINT state;  // MFS_ flags
    ULONG_PTR data;
    RECT rect;
};

struct MenuLayout {
    std::vector<MenuEntryLayout> entries;  // by position, in client coordinates
    SIZE client;                           // inside the frame
    SIZE size;                             // the whole menu, frame included
};

// Like the platform's popup menu: a frame, entries stacked in columns that a break starts, columns a
// gap apart (with a groove in the gap before a bar break), every entry as wide as its column.
inline constexpr int kMenuFrame = 3;
inline constexpr int kMenuColumnGap = 4;

// Sends a measure request for every entry; the platform widens each by the check-mark width (for the
// menu's DPI) less one.
MenuLayout LayOutMenu(CMenu& menu, UINT dpi = 96);

// Paints the frame and then every entry in order, with `selectedPosition` (or none, -1) highlighted,
// at (0, 0) of `dc`. The entries are painted as into the menu window's client area, a surface of the
// client's size; `repaint` (client coordinates) limits them to that part, as a partial repaint does.
// Under a high-contrast `theme` the frame is the theme's menu text around its menu colour.
void PaintMenu(CMenu& menu, const MenuLayout& layout, HDC dc, int selectedPosition,
               const RECT* repaint = nullptr, const MenuColors* theme = nullptr);
