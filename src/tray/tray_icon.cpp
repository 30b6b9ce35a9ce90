#include "tray/tray_icon.h"

#include <cstring>

// The record must be the layout that ends with the balloon icon handle, whatever the headers' default.
static_assert(sizeof(NOTIFYICONDATAW) == (sizeof(void*) == 4 ? 956 : 976));

ShellNotifyIconFunction g_shellNotifyIcon = &Shell_NotifyIconW;
const UINT WM_TASKBARCREATED = RegisterWindowMessageW(L"TaskbarCreated");

void FillTrayRecord(NOTIFYICONDATAW& record, HWND window, HICON icon)
{
    std::memset(&record, 0, sizeof(record));
    record.cbSize = sizeof(NOTIFYICONDATAW);
    record.hWnd = window;
    record.uID = kTrayIconId;
    record.uCallbackMessage = WM_TRAYNOTIFY;
    record.hIcon = icon;
    lstrcpynW(record.szTip, kTrayTip, 128);
    record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
}

BOOL AddTrayIcon(NOTIFYICONDATAW& record)
{
    return g_shellNotifyIcon(NIM_ADD, &record);
}

BOOL DeleteTrayIcon(NOTIFYICONDATAW& record)
{
    return g_shellNotifyIcon(NIM_DELETE, &record);
}

BOOL RestoreTrayIcon(NOTIFYICONDATAW& record)
{
    if (record.cbSize == 0) {
        return FALSE;  // never added
    }
    return g_shellNotifyIcon(NIM_ADD, &record) || g_shellNotifyIcon(NIM_MODIFY, &record);
}
