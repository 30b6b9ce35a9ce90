// An entry of a CMenuXP: a text item, a separator or the side bar. The menu's owner-drawn entries carry
// the item's address as item data; the signature tells the engine's items from other item data.
#pragma once

#include <windows.h>

#include <string>

class CMenuXPItem {
public:
    static constexpr DWORD kSignature = 0x0505A0A0;
    static constexpr int kDefaultSize = 16;

    // Destroys the icon: the item owns it.
    virtual ~CMenuXPItem();
    CMenuXPItem(const CMenuXPItem&) = delete;
    CMenuXPItem& operator=(const CMenuXPItem&) = delete;

    // The item whose address is `itemData`, or null when the data is null or carries no signature.
    static CMenuXPItem* FromItemData(ULONG_PTR itemData);

    DWORD m_dwSignature = kSignature;
    UINT m_nID = 0;
    bool m_bSeparator = false;
    bool m_bSideBar = false;
    std::wstring m_strText;
    HICON m_hIcon = nullptr;
    int m_nSize = kDefaultSize;

protected:
    CMenuXPItem() = default;
};
