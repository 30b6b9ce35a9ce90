// Sets a device context's background mode for one scope and always sets the previous one back, so
// that a drawing step leaves a context it was handed (a menu's, a window's) as it found it.
#pragma once

#include <windows.h>

class ScopedBkMode {
public:
    ScopedBkMode(HDC dc, int mode) : m_dc(dc), m_previous(SetBkMode(dc, mode)) {}
    ~ScopedBkMode()
    {
        // 0: the mode could not be set, so there is nothing to put back.
        if (m_previous != 0) {
            SetBkMode(m_dc, m_previous);
        }
    }
    ScopedBkMode(const ScopedBkMode&) = delete;
    ScopedBkMode& operator=(const ScopedBkMode&) = delete;

private:
    HDC m_dc;
    int m_previous;
};
