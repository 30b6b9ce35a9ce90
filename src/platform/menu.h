// A menu object: the one owner of a menu handle, which it destroys when it goes away. While a popup
// menu is tracked through TrackPopupMenu, the owner window's default processing hands the measure and
// draw requests of its owner-drawn entries to the object that holds the entry's menu (DispatchOwnerDraw).
// GUI thread only.
#pragma once

#include <windows.h>

#include <optional>

class CMenu {
public:
    CMenu() = default;
    // Virtual: a menu that owns submenu objects deletes them through their base.
    virtual ~CMenu();
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    // Takes over a menu handle. FALSE when the handle is null, this object already holds one, or another
    // object holds this one.
    BOOL Attach(HMENU menu);
    // Gives up the handle without destroying it.
    HMENU Detach();
    BOOL DestroyMenu();
    HMENU GetSafeHmenu() const { return m_hMenu; }

    // The object that holds `menu`, or null when none does.
    static CMenu* FromHandle(HMENU menu);

    // Shows the menu at (x, y) and tracks it until it closes, with `owner` receiving its messages. With
    // `excluded` the menu is placed so as not to cover that rectangle (TrackPopupMenuEx).
    BOOL TrackPopupMenu(UINT flags, int x, int y, HWND owner, const RECT* excluded = nullptr);

    // Requests for this menu's owner-drawn entries; the base draws and measures nothing.
    virtual void DrawItem(LPDRAWITEMSTRUCT drawItem);
    virtual void MeasureItem(LPMEASUREITEMSTRUCT measureItem);
    // A letter typed in the open menu that no entry's text marks (WM_MENUCHAR): the answer, or none for
    // the owner's default processing, which is all the base gives.
    virtual std::optional<LRESULT> OnMenuChar(wchar_t letter);

    // Default processing of WM_MEASUREITEM and WM_DRAWITEM for an owner window. A draw request goes to
    // the object that holds the entry's menu; a measure request, which names no menu, to the object that
    // holds the entry within the menu being tracked. True when an object took the request.
    static bool DispatchOwnerDraw(UINT message, LPARAM lParam);
    // Default processing of WM_MENUCHAR for an owner window: the answer of the object that holds the
    // menu the letter was typed in.
    static std::optional<LRESULT> DispatchMenuChar(WPARAM wParam, LPARAM lParam);

    HMENU m_hMenu = nullptr;
};
