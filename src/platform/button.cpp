#include "platform/button.h"

int CButton::GetCheck() const
{
    return static_cast<int>(SendMessageW(m_hWnd, BM_GETCHECK, 0, 0));
}

void CButton::SetCheck(int state)
{
    SendMessageW(m_hWnd, BM_SETCHECK, static_cast<WPARAM>(state), 0);
}

BOOL CButton::EnableWindow(BOOL enable)
{
    return ::EnableWindow(m_hWnd, enable);
}
