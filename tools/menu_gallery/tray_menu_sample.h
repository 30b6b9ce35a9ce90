// The tray menu as the tray front end builds it on a right click: side bar, "Enable", "Disable",
// separator, "About", separator, "Exit", with placeholder icons. Used for pictures, leak checks and
// benchmarks of the menu engine.
#pragma once

#include <memory>

#include "menuxp/menu_xp.h"

inline constexpr UINT kTrayEnable = 300;
inline constexpr UINT kTrayDisable = 301;
inline constexpr UINT kTrayAbout = 302;
inline constexpr UINT kTrayExit = 303;
inline constexpr COLORREF kTraySelection = 0xDCA078;  // light blue

struct TrayMenuState {
    bool ocSupported;
    bool ocWanted;
    int style;  // CMenuXP::kStyleFlat for the program's own menu
};

// A new menu with a popup menu attached and every entry appended; positions 0 to 6.
std::unique_ptr<CMenuXP> BuildTrayMenu(const TrayMenuState& state);
