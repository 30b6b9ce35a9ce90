// The notification-area icon: its record and adding and deleting it.
#pragma once

#include <windows.h>

#include <shellapi.h>

// The icon's callback message; lParam carries the mouse message.
inline constexpr UINT WM_TRAYNOTIFY = 0x0401;
inline constexpr UINT kTrayIconId = 1;
inline constexpr wchar_t kTrayTip[] = L"Tendral";

// Broadcast by the shell when its taskbar is (re)created, for example after Explorer restarted; its
// number is registered per session.
extern const UINT WM_TASKBARCREATED;

// The shell call behind adding and deleting. Tests that have no shell tray replace it.
using ShellNotifyIconFunction = BOOL(WINAPI*)(DWORD message, PNOTIFYICONDATAW record);
extern ShellNotifyIconFunction g_shellNotifyIcon;

// Fills the record for the icon of `window`, starting from all zero.
void FillTrayRecord(NOTIFYICONDATAW& record, HWND window, HICON icon);
BOOL AddTrayIcon(NOTIFYICONDATAW& record);
BOOL DeleteTrayIcon(NOTIFYICONDATAW& record);
// Puts the icon back after the shell's taskbar was recreated; replaces it if the shell still has it.
BOOL RestoreTrayIcon(NOTIFYICONDATAW& record);
