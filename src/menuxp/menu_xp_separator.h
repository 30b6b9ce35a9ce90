// A horizontal divider entry.
#pragma once

#include "menuxp/menu_xp_item.h"

class CMenuXPSeparator : public CMenuXPItem {
public:
    CMenuXPSeparator() { m_bSeparator = true; }
};
