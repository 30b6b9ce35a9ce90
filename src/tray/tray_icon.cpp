#include "tray/tray_icon.h"

#include <algorithm>
#include <cwchar>
#include <iterator>
#include <string>
#include <utility>

#include "platform/dpi.h"
#include "platform/trace.h"
#include "platform/win_app.h"

// The record must be the layout that ends with the balloon icon handle, whatever the headers' default.
static_assert(sizeof(NOTIFYICONDATAW) == (sizeof(void*) == 4 ? 956 : 976));

ShellNotifyIconFunction g_shellNotifyIcon = &Shell_NotifyIconW;
ShellNotifyIconGetRectFunction g_shellNotifyIconGetRect = &Shell_NotifyIconGetRect;
const UINT WM_TASKBARCREATED = RegisterWindowMessageW(L"TaskbarCreated");

namespace {

// The shell draws the icon at the small-icon size and scales any other: an icon loaded at exactly
// that size comes from the image drawn for it and stays sharp.
SIZE SmallIconSize(UINT dpi)
{
    return {SystemMetricForDpi(SM_CXSMICON, dpi), SystemMetricForDpi(SM_CYSMICON, dpi)};
}

UniqueIcon LoadProgramIcon(int id, SIZE size)
{
    return UniqueIcon(static_cast<HICON>(
        LoadImageW(ProgramInstance(), MAKEINTRESOURCEW(id), IMAGE_ICON, size.cx, size.cy, 0)));
}

}  // namespace

bool TrayIcon::Add(HWND window, int iconId, UINT dpi)
{
    m_iconId = iconId;
    m_iconSize = SmallIconSize(dpi);
    m_icon = LoadProgramIcon(iconId, m_iconSize);
    if (!m_icon) {
        TraceIgnoredFailure(L"loading the tray icon");  // the shell shows an empty slot that still works
    }
    m_record = {};
    m_record.cbSize = sizeof(NOTIFYICONDATAW);
    m_record.hWnd = window;
    m_record.uID = kTrayIconId;
    m_record.uCallbackMessage = WM_TRAYNOTIFY;
    m_record.hIcon = m_icon.get();
    lstrcpynW(m_record.szTip, kTrayTip, 128);
    m_record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
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

void TrayIcon::OnDpiChanged(UINT dpi)
{
    // While the retry still waits for the shell, its next add takes the new icon from the record.
    if (const UniqueIcon shownUntilNow = Resize(dpi); shownUntilNow && !Notify(NIM_MODIFY)) {
        TraceIgnoredFailure(L"replacing the tray icon");
    }
}

UniqueIcon TrayIcon::Resize(UINT dpi)
{
    const SIZE size = SmallIconSize(dpi);
    if (m_record.cbSize == 0 || (size.cx == m_iconSize.cx && size.cy == m_iconSize.cy)) {
        return UniqueIcon();  // never added, or the icon has the size already
    }
    UniqueIcon icon = LoadProgramIcon(m_iconId, size);
    if (!icon) {
        TraceIgnoredFailure(L"loading the tray icon for a new DPI");
        return UniqueIcon();
    }
    m_record.hIcon = icon.get();
    m_iconSize = size;
    std::swap(m_icon, icon);
    return icon;
}

bool TrayIcon::Delete()
{
    StopRetry();
    return Notify(NIM_DELETE) != FALSE;
}

void TrayIcon::OnTaskbarCreated(UINT dpi)
{
    StopRetry();
    const UniqueIcon shownUntilNow = Resize(dpi);
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

bool TrayIcon::GetRect(RECT& location) const
{
    NOTIFYICONIDENTIFIER icon{};
    icon.cbSize = sizeof icon;
    icon.hWnd = m_record.hWnd;
    icon.uID = m_record.uID;
    return m_record.cbSize != 0 && SUCCEEDED(g_shellNotifyIconGetRect(&icon, &location));
}

void TrayIcon::SetStatus(const wchar_t* status)
{
    constexpr std::size_t kTipChars = sizeof(NOTIFYICONDATAW::szTip) / sizeof(wchar_t);
    wchar_t tip[kTipChars] = {};
    lstrcpynW(tip, (std::wstring(kTrayTip) + L"\n" + status).c_str(), static_cast<int>(kTipChars));
    if (std::wcscmp(tip, m_record.szTip) == 0) {
        return;
    }
    std::copy(std::begin(tip), std::end(tip), std::begin(m_record.szTip));
    if (m_record.cbSize == 0 || m_retryWindow != nullptr) {
        return;
    }
    NOTIFYICONDATAW tipOnly = m_record;
    tipOnly.uFlags = NIF_TIP;
    if (!g_shellNotifyIcon(NIM_MODIFY, &tipOnly)) {
        TraceIgnoredFailure(L"changing the tray icon's tip");
    }
}

void TrayIcon::ReturnFocus()
{
    if (!Notify(NIM_SETFOCUS)) {
        TraceIgnoredFailure(L"giving the focus back to the notification area");
    }
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
