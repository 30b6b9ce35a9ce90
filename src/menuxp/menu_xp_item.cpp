#include "menuxp/menu_xp_item.h"

CMenuXPItem::~CMenuXPItem()
{
    if (m_hIcon != nullptr) {
        DestroyIcon(m_hIcon);
    }
}

CMenuXPItem* CMenuXPItem::FromItemData(ULONG_PTR itemData)
{
    auto* item = reinterpret_cast<CMenuXPItem*>(itemData);
    return item != nullptr && item->m_dwSignature == kSignature ? item : nullptr;
}
