// The vertical band with the title that runs up the menu's left edge, alone in the first column.
#pragma once

#include "menuxp/menu_xp_item.h"

class CMenuXPSideBar : public CMenuXPItem {
public:
    static constexpr wchar_t kTitle[] = L"Ketzal";

    CMenuXPSideBar()
    {
        m_bSideBar = true;
        m_strText = kTitle;
    }
};
