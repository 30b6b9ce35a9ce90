// The tray menu as a right click builds it, in either look, for pictures, leak checks and benchmarks of
// the menu engine. Its icons come from the program's resources, which the programs using it link.
#pragma once

#include <memory>

#include "menuxp/menu_xp.h"
#include "tray/tray_menu.h"

struct TrayMenuState {
    bool ocSupported;
    bool ocWanted;
    int style;  // CMenuXP::kStyleFlat for the program's own menu
    UINT dpi = 96;
    const MenuColors* theme = nullptr;  // the system's colours when none is given
};

// The system colours of Windows' "High Contrast Black" and "High Contrast White" themes.
inline constexpr MenuColors kHighContrastBlack{
    true, RGB(0, 0, 0), RGB(255, 255, 255), RGB(26, 235, 255), RGB(0, 0, 0), RGB(63, 242, 63)};
inline constexpr MenuColors kHighContrastWhite{
    true, RGB(255, 255, 255), RGB(0, 0, 0), RGB(55, 0, 110), RGB(255, 255, 255), RGB(96, 0, 0)};

// A new menu with a popup menu attached and every entry appended, at the positions TrayMenuPosition gives.
std::unique_ptr<CMenuXP> BuildTrayMenu(const TrayMenuState& state);
