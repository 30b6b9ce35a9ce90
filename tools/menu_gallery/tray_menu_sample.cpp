#include "menu_gallery/tray_menu_sample.h"

#include "menu_gallery/placeholder_icons.h"
#include "menuxp/menu_xp_side_bar.h"

std::unique_ptr<CMenuXP> BuildTrayMenu(const TrayMenuState& state)
{
    auto menu = std::make_unique<CMenuXP>();
    menu->Attach(CreatePopupMenu());
    menu->m_clrSelection = kTraySelection;
    menu->m_nStyle = state.style;

    // The side bar stands alone in the first column: the next item opens the second.
    auto sideBar = std::make_unique<CMenuXPSideBar>();
    menu->m_bBreak = TRUE;
    menu->m_bBarBreak = FALSE;
    if (AppendMenuW(menu->m_hMenu, MF_OWNERDRAW | MF_SEPARATOR, sideBar->m_nID,
                    reinterpret_cast<LPCWSTR>(sideBar.get()))) {
        sideBar.release();
    }

    const PlaceholderIcon check = state.ocSupported ? PlaceholderIcon::RedCheck : PlaceholderIcon::BlackCheck;
    menu->AppendItem(std::make_unique<CMenuXPText>(kTrayEnable, L"Enable",
                                                   state.ocWanted ? MakePlaceholderIcon(check) : nullptr));
    menu->AppendItem(std::make_unique<CMenuXPText>(kTrayDisable, L"Disable",
                                                   state.ocWanted ? nullptr : MakePlaceholderIcon(check)));
    if (!state.ocSupported) {
        EnableMenuItem(menu->m_hMenu, kTrayEnable, MF_DISABLED | MF_GRAYED);
        EnableMenuItem(menu->m_hMenu, kTrayDisable, MF_DISABLED | MF_GRAYED);
    }
    menu->AppendSeparator();
    menu->AppendItem(std::make_unique<CMenuXPText>(kTrayAbout, L"About",
                                                   MakePlaceholderIcon(PlaceholderIcon::RedQuestion)));
    menu->AppendSeparator();
    menu->AppendItem(
        std::make_unique<CMenuXPText>(kTrayExit, L"Exit", MakePlaceholderIcon(PlaceholderIcon::RedCross)));
    return menu;
}
