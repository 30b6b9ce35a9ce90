// The notification-area icon. It owns its record and the icon it shows, kept at the small-icon size of
// the DPI of the monitor that shows the notification area (the caller tells it). It answers the shell's
// TaskbarCreated, and when the shell refuses the first add it tries again on a timer: at logon Explorer may
// not be ready, and an add that failed or timed out is followed by no TaskbarCreated, so without the retry
// the program would run on invisibly and only Task Manager could end it.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include "platform/unique_icon.h"

// The icon's callback message; lParam carries the mouse message.
inline constexpr UINT WM_TRAYNOTIFY = 0x0401;
inline constexpr UINT kTrayIconId = 1;
inline constexpr wchar_t kTrayTip[] = L"Tendral";

// Broadcast by the shell when its taskbar is (re)created, for example after Explorer restarted; its
// number is registered per session.
extern const UINT WM_TASKBARCREATED;

// The shell call behind every change of the icon. Tests that have no shell tray replace it.
using ShellNotifyIconFunction = BOOL(WINAPI*)(DWORD message, PNOTIFYICONDATAW record);
extern ShellNotifyIconFunction g_shellNotifyIcon;
// The shell call that tells where the icon is on the screen; tests replace it as they do the one above.
using ShellNotifyIconGetRectFunction = HRESULT(WINAPI*)(const NOTIFYICONIDENTIFIER* icon, RECT* location);
extern ShellNotifyIconGetRectFunction g_shellNotifyIconGetRect;

class TrayIcon {
public:
    // The retry's ticks arrive at the window as WM_TIMER with this ID: every 3 s for two minutes.
    static constexpr UINT_PTR kRetryTimerId = 1;
    static constexpr UINT kRetryIntervalMs = 3000;
    static constexpr int kRetryAttempts = 40;

    // Fills the record for `window` and adds the program's icon `iconId`, loaded at the small-icon size
    // for `dpi`; when the shell refuses, starts the retry.
    bool Add(HWND window, int iconId, UINT dpi);
    // The DPI or the system's metrics changed: when the small-icon size for `dpi` differs from the
    // icon shown, loads the icon at the new size and replaces it in the shell.
    void OnDpiChanged(UINT dpi);
    // Stops the retry and takes the icon away.
    bool Delete();
    // Puts the icon back after the taskbar was recreated, at the size for `dpi` (the new taskbar may
    // be on another monitor), or replaces it if the shell still has it.
    void OnTaskbarCreated(UINT dpi);
    // One WM_TIMER tick: false when the timer is not the retry's.
    bool OnTimer(UINT_PTR timerId);
    // The icon's rectangle on the screen; false when the shell does not tell it.
    bool GetRect(RECT& location) const;
    // Gives the keyboard focus back to the notification area, after a menu the user left.
    void ReturnFocus();
    // The tip's second line, below the program's name: the shell is told only when the tip changes,
    // and then of the tip alone. An icon the shell does not have yet gets it with its next add.
    void SetStatus(const wchar_t* status);

    const NOTIFYICONDATAW& Record() const { return m_record; }

private:
    // Loads the icon at the size for `dpi` when that differs from the one shown and puts it in the
    // record; returns the icon shown until then, for the caller to let go once the shell has the new
    // one (empty when nothing changed).
    UniqueIcon Resize(UINT dpi);
    BOOL Notify(DWORD message);
    bool Restore();
    void StopRetry();

    NOTIFYICONDATAW m_record{};
    int m_iconId = 0;
    UniqueIcon m_icon;  // the record's icon
    SIZE m_iconSize{};
    HWND m_retryWindow = nullptr;
    int m_attemptsLeft = 0;
};
