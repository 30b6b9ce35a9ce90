#include "platform/window_dc.h"

#include "platform/gdi_tally.h"

CWindowDC::CWindowDC(HWND window) : m_hWnd(window)
{
    m_hDC = GetWindowDC(window);
    if (m_hDC != nullptr) {
        GdiTally::Created();
    }
}

CWindowDC::~CWindowDC()
{
    if (m_hDC != nullptr) {
        ReleaseDC(m_hWnd, Detach());
        GdiTally::Deleted();
    }
}
