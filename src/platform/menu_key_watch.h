// Notes the keys that a menu's modal loop takes on this thread while the object lives, so that the one
// who tracked the menu can tell afterwards how the user left it (Escape, say). The system offers the
// loop's messages to a WH_MSGFILTER hook first; this one only looks. One watch per thread at a time.
#pragma once

#include <windows.h>

class MenuKeyWatch {
public:
    MenuKeyWatch();
    ~MenuKeyWatch();
    MenuKeyWatch(const MenuKeyWatch&) = delete;
    MenuKeyWatch& operator=(const MenuKeyWatch&) = delete;

    // The virtual key of the last key pressed in a menu; 0 for none.
    WPARAM LastKey() const { return m_lastKey; }

private:
    static LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam);

    HHOOK m_hook;
    WPARAM m_lastKey = 0;
};
