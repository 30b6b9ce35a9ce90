// An entry of a CMenuXP: a text item, a separator or the side bar. The menu's owner-drawn entries carry
// a small record as item data that points to the item; its signature tells the engine's items from
// other item data.
#pragma once

#include <windows.h>

#include <oleacc.h>

#include <string>

class CMenuXPItem;

// The item data of an engine's entry. Screen readers take the name of an owner-drawn entry from an
// MSAAMENUINFO at the start of its item data, which an object with virtual functions cannot begin with:
// this plain record begins with it and points to the item.
struct CMenuXPItemData {
    MSAAMENUINFO accessible;
    DWORD signature;
    CMenuXPItem* item;
};

class CMenuXPItem {
public:
    static constexpr DWORD kSignature = 0x0505A0A0;
    static constexpr int kDefaultSize = 16;

    // Destroys the icon: the item owns it, unless it is marked shared.
    virtual ~CMenuXPItem();
    CMenuXPItem(const CMenuXPItem&) = delete;
    CMenuXPItem& operator=(const CMenuXPItem&) = delete;

    // The item data for the item's entry, whose accessible name is the item's text. The record lives
    // with the item; the text must not change while the entry exists.
    ULONG_PTR ItemData();
    // The item whose record is `itemData`, or null when the data is null or not the engine's.
    static CMenuXPItem* FromItemData(ULONG_PTR itemData);

    DWORD m_dwSignature = kSignature;
    UINT m_nID = 0;
    bool m_bSeparator = false;
    bool m_bSideBar = false;
    std::wstring m_strText;
    HICON m_hIcon = nullptr;
    int m_nSize = kDefaultSize;
    // The icon belongs to whoever handed it over and outlives the item (a cache of icons that every
    // menu shows); the item only draws it.
    bool m_bIconShared = false;

protected:
    CMenuXPItem() = default;

private:
    CMenuXPItemData m_itemData{};
};
