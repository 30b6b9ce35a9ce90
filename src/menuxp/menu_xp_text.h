// A command entry: label, optionally a TAB and a shortcut, and an optional icon that the item takes over.
#pragma once

#include <utility>

#include "menuxp/menu_xp_item.h"

class CMenuXPText : public CMenuXPItem {
public:
    CMenuXPText(UINT id, std::wstring text, HICON icon = nullptr)
    {
        m_nID = id;
        m_strText = std::move(text);
        m_hIcon = icon;
    }
};
