#include "platform/menu.h"

#include <unordered_map>
#include <utility>

namespace {

std::unordered_map<HMENU, CMenu*>& HandleMap()
{
    static std::unordered_map<HMENU, CMenu*> map;
    return map;
}

// The menu being tracked by CMenu::TrackPopupMenu, innermost first.
CMenu* g_trackedMenu = nullptr;

// Menus cannot contain themselves, but a bound keeps a broken tree from recursing without end.
constexpr int kMaxMenuDepth = 16;

// The object that holds the menu, within `menu`'s tree, whose owner-drawn entry carries `itemData` and
// `itemId`.
CMenu* FindEntryHolder(HMENU menu, ULONG_PTR itemData, UINT itemId, int depth)
{
    const int count = GetMenuItemCount(menu);
    for (int position = 0; position < count; ++position) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_DATA | MIIM_ID | MIIM_SUBMENU;
        if (!GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info)) {
            continue;
        }
        if ((info.fType & MFT_OWNERDRAW) != 0 && info.dwItemData == itemData && info.wID == itemId) {
            return CMenu::FromHandle(menu);
        }
        if (info.hSubMenu != nullptr && depth < kMaxMenuDepth) {
            if (CMenu* holder = FindEntryHolder(info.hSubMenu, itemData, itemId, depth + 1)) {
                return holder;
            }
        }
    }
    return nullptr;
}

}  // namespace

CMenu::~CMenu()
{
    DestroyMenu();
}

BOOL CMenu::Attach(HMENU menu)
{
    if (menu == nullptr || m_hMenu != nullptr || !HandleMap().try_emplace(menu, this).second) {
        return FALSE;
    }
    m_hMenu = menu;
    return TRUE;
}

HMENU CMenu::Detach()
{
    if (m_hMenu != nullptr) {
        HandleMap().erase(m_hMenu);
    }
    return std::exchange(m_hMenu, nullptr);
}

BOOL CMenu::DestroyMenu()
{
    if (m_hMenu == nullptr) {
        return FALSE;
    }
    return ::DestroyMenu(Detach());
}

CMenu* CMenu::FromHandle(HMENU menu)
{
    const auto found = HandleMap().find(menu);
    return found != HandleMap().end() ? found->second : nullptr;
}

BOOL CMenu::TrackPopupMenu(UINT flags, int x, int y, HWND owner, const RECT* excluded)
{
    CMenu* const outer = std::exchange(g_trackedMenu, this);
    // TrackPopupMenu ignores its rectangle; only TrackPopupMenuEx keeps the menu off one.
    TPMPARAMS params{sizeof params, excluded != nullptr ? *excluded : RECT{}};
    const BOOL result = excluded != nullptr ? ::TrackPopupMenuEx(m_hMenu, flags, x, y, owner, &params)
                                            : ::TrackPopupMenu(m_hMenu, flags, x, y, 0, owner, nullptr);
    g_trackedMenu = outer;
    return result;
}

void CMenu::DrawItem(LPDRAWITEMSTRUCT) {}

void CMenu::MeasureItem(LPMEASUREITEMSTRUCT) {}

std::optional<LRESULT> CMenu::OnMenuChar(wchar_t)
{
    return std::nullopt;
}

std::optional<LRESULT> CMenu::DispatchMenuChar(WPARAM wParam, LPARAM lParam)
{
    CMenu* const menu = FromHandle(reinterpret_cast<HMENU>(lParam));
    return menu != nullptr ? menu->OnMenuChar(static_cast<wchar_t>(LOWORD(wParam))) : std::nullopt;
}

bool CMenu::DispatchOwnerDraw(UINT message, LPARAM lParam)
{
    if (message == WM_DRAWITEM) {
        auto* drawItem = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        if (drawItem == nullptr || drawItem->CtlType != ODT_MENU) {
            return false;
        }
        // For a menu entry the window field carries the entry's menu.
        CMenu* const menu = FromHandle(reinterpret_cast<HMENU>(drawItem->hwndItem));
        if (menu == nullptr) {
            return false;
        }
        menu->DrawItem(drawItem);
        return true;
    }
    if (message == WM_MEASUREITEM) {
        auto* measureItem = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (measureItem == nullptr || measureItem->CtlType != ODT_MENU || g_trackedMenu == nullptr) {
            return false;
        }
        CMenu* const menu =
            FindEntryHolder(g_trackedMenu->m_hMenu, measureItem->itemData, measureItem->itemID, 0);
        if (menu == nullptr) {
            return false;
        }
        menu->MeasureItem(measureItem);
        return true;
    }
    return false;
}
