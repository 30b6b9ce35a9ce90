// The tray menu as a right click builds it, in either look, for pictures, leak checks and benchmarks of
// the menu engine. Its icons come from the program's resources, which the programs using it link.
#pragma once

#include <memory>

#include "menuxp/menu_xp.h"

struct TrayMenuState {
    bool ocSupported;
    bool ocWanted;
    int style;  // CMenuXP::kStyleFlat for the program's own menu
    UINT dpi = 96;
};

// A new menu with a popup menu attached and every entry appended; positions 0 to 6.
std::unique_ptr<CMenuXP> BuildTrayMenu(const TrayMenuState& state);
