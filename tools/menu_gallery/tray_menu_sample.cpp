#include "menu_gallery/tray_menu_sample.h"

std::unique_ptr<CMenuXP> BuildTrayMenu(const TrayMenuState& state)
{
    auto menu =
        std::make_unique<CMenuXP>(state.dpi, state.theme != nullptr ? *state.theme : SystemMenuColors());
    menu->Attach(CreatePopupMenu());
    ComposeTrayMenu(*menu, state.ocSupported, state.ocWanted);
    menu->m_nStyle = state.style;
    return menu;
}
