#include "tray/tray_menu.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include "menuxp/menu_xp_metrics.h"
#include "menuxp/menu_xp_side_bar.h"
#include "menuxp/menu_xp_text.h"
#include "platform/bitmap.h"
#include "platform/dpi.h"
#include "platform/menu_key_watch.h"
#include "platform/trace.h"
#include "platform/unique_icon.h"
#include "platform/win_app.h"
#include "platform/window_dc.h"
#include "resources/resource.h"

namespace {

// The menu draws grayed and shadowed icons through their AND mask. An image stored as PNG carries
// none and the loader makes its own (Wine's is transparent wherever alpha is below 255, which trims
// the silhouettes' soft edges), so the mask is made again as the images were drawn: transparent where
// alpha is 0. An icon without alpha keeps the mask it came with.
HICON WithMaskFromAlpha(HICON icon, int size)
{
    ICONINFO info{};
    if (icon == nullptr || !GetIconInfo(icon, &info)) {
        return icon;
    }
    CBitmap colour, loadedMask, mask;
    colour.Attach(info.hbmColor);
    loadedMask.Attach(info.hbmMask);
    std::vector<DWORD> pixels(size * size);
    BITMAPINFO format{{sizeof(BITMAPINFOHEADER), size, -size, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    if (GetDIBits(CWindowDC(nullptr).m_hDC, info.hbmColor, 0, size, pixels.data(), &format, DIB_RGB_COLORS) !=
        size) {
        return icon;
    }
    const int stride = (size + 15) / 16 * 2;  // a bitmap's rows end on a WORD
    std::vector<BYTE> bits(stride * size);
    bool hasAlpha = false;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const bool transparent = pixels[y * size + x] >> 24 == 0;
            hasAlpha = hasAlpha || !transparent;
            bits[y * stride + x / 8] |= transparent ? 0x80 >> (x % 8) : 0;
        }
    }
    if (!hasAlpha || !mask.CreateBitmap(size, size, 1, 1, bits.data())) {
        return icon;
    }
    info.hbmMask = static_cast<HBITMAP>(mask.m_hObject);
    const HICON remade = CreateIconIndirect(&info);
    if (remade == nullptr) {
        TraceIgnoredFailure(L"making a menu icon's mask from its alpha");
        return icon;
    }
    DestroyIcon(icon);
    return remade;
}

struct LoadedMenuIcon {
    int id;
    int size;
    UniqueIcon icon;
};

// Every opening shows the same few icons, and making an icon is slow (decoding its PNG, its mask made
// again): each is made once per size and lent to the items that show it. They live as long as the
// process. GUI thread only, as the menu.
std::vector<LoadedMenuIcon> g_loadedMenuIcons;

// An icon of the program's own, at the size the menu draws it at its DPI, shared: the item that shows
// it does not destroy it.
HICON LoadMenuIcon(int id, UINT dpi)
{
    const int size = menuxp::Scaled(CMenuXPItem::kDefaultSize, static_cast<int>(dpi));
    auto loaded =
        std::find_if(g_loadedMenuIcons.begin(), g_loadedMenuIcons.end(),
                     [&](const LoadedMenuIcon& icon) { return icon.id == id && icon.size == size; });
    if (loaded == g_loadedMenuIcons.end()) {
        UniqueIcon icon(
            WithMaskFromAlpha(static_cast<HICON>(LoadImageW(ProgramInstance(), MAKEINTRESOURCEW(id),
                                                            IMAGE_ICON, size, size, 0)),
                              size));
        if (!icon) {
            return nullptr;
        }
        loaded = g_loadedMenuIcons.insert(g_loadedMenuIcons.end(), {id, size, std::move(icon)});
    }
    return loaded->icon.get();
}

}  // namespace

void ComposeTrayMenu(CMenuXP& menu, bool ocSupported, bool ocWanted)
{
    // A high-contrast theme's own selection colour is the one its text is paired with.
    if (!menu.m_bHighContrast) {
        menu.m_clrSelection = kTrayMenuSelection;
    }
    menu.m_nStyle = CMenuXP::kStyleFlat;

    // The side bar stands alone in the first column: the first item after it opens the second.
    auto sideBar = std::make_unique<CMenuXPSideBar>();
    menu.m_bBreak = TRUE;
    menu.m_bBarBreak = FALSE;
    if (AppendMenuW(menu.m_hMenu, MF_OWNERDRAW | MF_SEPARATOR, sideBar->m_nID,
                    reinterpret_cast<LPCWSTR>(sideBar->ItemData()))) {
        sideBar.release();  // the menu owns it now
    }

    const int check = ocSupported ? IDI_RED_CHECK : IDI_BLACK_CHECK;
    const UINT chosen = ocWanted ? ID_TRAY_ENABLE : ID_TRAY_DISABLE;
    for (std::size_t index = 0; index < std::size(kTrayMenuEntries); ++index) {
        const TrayMenuEntry& entry = kTrayMenuEntries[index];
        if (StartsTrayMenuGroup(index)) {
            menu.AppendSeparator();
        }
        const int icon = entry.icon != 0 ? entry.icon : (entry.id == chosen ? check : 0);
        auto item = std::make_unique<CMenuXPText>(entry.id, entry.text,
                                                  icon != 0 ? LoadMenuIcon(icon, menu.m_nDpi) : nullptr);
        item->m_bIconShared = true;
        menu.AppendItem(std::move(item));
    }
    // The current choice as a state screen readers announce; its icon shows it already.
    menu.m_bDrawChecked = false;
    if (!CheckMenuRadioItem(menu.m_hMenu, ID_TRAY_ENABLE, ID_TRAY_DISABLE, chosen, MF_BYCOMMAND)) {
        TraceIgnoredFailure(L"marking the current choice");
    }
    if (!ocSupported) {
        EnableMenuItem(menu.m_hMenu, ID_TRAY_ENABLE, MF_DISABLED | MF_GRAYED);
        EnableMenuItem(menu.m_hMenu, ID_TRAY_DISABLE, MF_DISABLED | MF_GRAYED);
    }
}

void ShowTrayMenu(HWND owner, TrayIcon& icon, bool ocSupported, bool ocWanted)
{
    POINT cursor{};
    GetCursorPos(&cursor);
    // Without this the menu would not close when the user clicks elsewhere.
    if (!SetForegroundWindow(owner)) {
        TraceIgnoredFailure(L"taking the foreground for the tray menu");
    }
    // The notification area's legacy messages bring the keyboard (Enter, Space, Shift+F10, the Menu key
    // on the selected icon) as a right click too, with the pointer anywhere, maybe on another monitor.
    // A pointer off the icon so means the keyboard: the menu opens at the icon, covering none of it.
    RECT iconRect{};
    const bool keyboard = icon.GetRect(iconRect) && !PtInRect(&iconRect, cursor);
    const POINT at = keyboard ? POINT{iconRect.left, iconRect.top} : cursor;

    // Drawn for the monitor it opens on, whose DPI may have changed since the last click.
    CMenuXP menu(DpiAtPoint(at));
    menu.Attach(CreatePopupMenu());
    ComposeTrayMenu(menu, ocSupported, ocWanted);
    // Only a menu the keyboard opened gives the focus back after Escape: only it needs the keys watched.
    std::optional<MenuKeyWatch> keys;
    if (keyboard) {
        keys.emplace();
        // Queued ahead of the menu's own loop, which takes them first.
        for (int press = menu.DownPressesToFirstEnabled(); press > 0; --press) {
            PostMessageW(owner, WM_KEYDOWN, VK_DOWN, 0);
        }
        menu.TrackPopupMenu(TPM_LEFTALIGN | TPM_BOTTOMALIGN | TPM_VERTICAL, at.x, at.y, owner, &iconRect);
    } else {
        menu.TrackPopupMenu(0, cursor.x, cursor.y, owner);
    }
    // Lets the owner's message loop run once more, so that the menu is really gone before the next click.
    PostMessageW(owner, WM_NULL, 0, 0);
    if (keys && keys->LastKey() == VK_ESCAPE) {
        icon.ReturnFocus();
    }
}
