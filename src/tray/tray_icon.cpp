#include "tray/tray_icon.h"

#include "platform/trace.h"

// The record must be the layout that ends with the balloon icon handle, whatever the headers' default.
static_assert(sizeof(NOTIFYICONDATAW) == (sizeof(void*) == 4 ? 956 : 976));

ShellNotifyIconFunction g_shellNotifyIcon = &Shell_NotifyIconW;
const UINT WM_TASKBARCREATED = RegisterWindowMessageW(L"TaskbarCreated");

bool TrayIcon::Add(HWND window, HICON icon)
{
    m_record = {};
    m_record.cbSize = sizeof(NOTIFYICONDATAW);
    m_record.hWnd = window;
    m_record.uID = kTrayIconId;
    m_record.uCallbackMessage = WM_TRAYNOTIFY;
    m_record.hIcon = icon;
    lstrcpynW(m_record.szTip, kTrayTip, 128);
    m_record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    // An elevated program gets no messages from a lower-rights Explorer unless it lets them in.
    if (!ChangeWindowMessageFilterEx(window, WM_TASKBARCREATED, MSGFLT_ALLOW, nullptr)) {
        TraceIgnoredFailure(L"letting TaskbarCreated in");
    }
    if (Notify(NIM_ADD)) {
        return true;
    }
    TraceIgnoredFailure(L"adding the tray icon; trying again");
    StopRetry();
    if (SetTimer(window, kRetryTimerId, kRetryIntervalMs, nullptr) != 0) {
        m_retryWindow = window;
        m_attemptsLeft = kRetryAttempts;
    }
    return false;
}

bool TrayIcon::Delete()
{
    StopRetry();
    return Notify(NIM_DELETE) != FALSE;
}

void TrayIcon::OnTaskbarCreated()
{
    StopRetry();
    if (!Restore()) {
        TraceIgnoredFailure(L"putting the tray icon back");
    }
}

bool TrayIcon::OnTimer(UINT_PTR timerId)
{
    if (timerId != kRetryTimerId) {
        return false;
    }
    // An add that timed out may have gone through after all; Restore then finds the icon.
    if (m_retryWindow != nullptr && (Restore() || --m_attemptsLeft <= 0)) {
        StopRetry();
    }
    return true;
}

BOOL TrayIcon::Notify(DWORD message)
{
    return g_shellNotifyIcon(message, &m_record);
}

bool TrayIcon::Restore()
{
    if (m_record.cbSize == 0) {
        return false;  // never added
    }
    return Notify(NIM_ADD) || Notify(NIM_MODIFY);
}

void TrayIcon::StopRetry()
{
    if (m_retryWindow != nullptr) {
        KillTimer(m_retryWindow, kRetryTimerId);
    }
    m_retryWindow = nullptr;
    m_attemptsLeft = 0;
}
