#include "tray/about_dlg.h"

#include "resources/resource.h"

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX) {}

void CAboutDlg::CenterOnDesktop()
{
    RECT box{};
    RECT desktop{};
    GetWindowRect(m_hWnd, &box);
    HWND desktopWindow = GetDesktopWindow();
    GetWindowRect(desktopWindow, &desktop);
    POINT centre{(desktop.right - desktop.left) / 2, (desktop.bottom - desktop.top) / 2};
    ClientToScreen(desktopWindow, &centre);
    const int width = box.right - box.left;
    const int height = box.bottom - box.top;
    MoveWindow(m_hWnd, centre.x - width / 2, centre.y - height / 2, width, height, TRUE);
}
