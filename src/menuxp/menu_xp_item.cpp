#include "menuxp/menu_xp_item.h"

CMenuXPItem::~CMenuXPItem()
{
    if (m_hIcon != nullptr && !m_bIconShared) {
        DestroyIcon(m_hIcon);
    }
}

ULONG_PTR CMenuXPItem::ItemData()
{
    m_itemData = {
        {MSAA_MENU_SIG, static_cast<DWORD>(m_strText.size()), m_strText.data()}, m_dwSignature, this};
    return reinterpret_cast<ULONG_PTR>(&m_itemData);
}

CMenuXPItem* CMenuXPItem::FromItemData(ULONG_PTR itemData)
{
    // Another program's item data is read no further than its first field, or its second when it
    // begins with a screen reader's record too.
    const auto* data = reinterpret_cast<const CMenuXPItemData*>(itemData);
    if (data == nullptr || data->accessible.dwMSAASignature != MSAA_MENU_SIG ||
        data->signature != kSignature) {
        return nullptr;
    }
    return data->item;
}
