// The hidden main window. It holds the program's state, runs the start-up sequence, receives every
// message and routes it, and on destruction switches off and releases what start-up took.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <atomic>
#include <memory>
#include <span>

#include "control/event_policy.h"
#include "control/overclock_switch.h"
#include "control/window_effects.h"
#include "firmware/orv_wmi_acpi.h"
#include "platform/button.h"
#include "platform/dialog.h"
#include "platform/message_filter.h"
#include "tray/tray_icon_retry.h"
#include "tray/tray_menu.h"

class CVelkaroDlg : public CDialog, private WindowEffects {
public:
    CVelkaroDlg();

    BOOL OnInitDialog() override;

    HICON m_hIcon;
    CORVWmiAcpi m_firmware;
    NOTIFYICONDATAW m_trayRecord{};
    OverclockSwitch m_switch;  // holds ocSupported and ocWanted
    CButton m_radioOverclock;
    CButton m_radioStock;
    CButton m_buttonOk;

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    std::span<const MessageEntry> MessageTable() const override;
    void DoDataExchange() override;

private:
    void AddSystemMenuAbout();
    bool TakeInstanceMutex();
    void SubscribeFirmwareEvents();
    void StartBrightnessWatcher();
    void CheckGpu();
    void ApplyInitialOverclockState();
    void CreateAboutBox();
    void ShowAboutBox();
    bool FilterKeys(MSG& message);
    void DropQueuedRepeats(WPARAM wParam);
    void Shutdown();

    LRESULT OnSysCommand(WPARAM wParam, LPARAM lParam);
    LRESULT OnPaint(WPARAM wParam, LPARAM lParam);
    LRESULT OnQueryDragIcon(WPARAM wParam, LPARAM lParam);
    LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam);
    LRESULT OnTrayMenuClosed(WPARAM wParam, LPARAM lParam);
    LRESULT OnTaskbarCreated(WPARAM wParam, LPARAM lParam);
    LRESULT OnTimer(WPARAM wParam, LPARAM lParam);
    LRESULT OnFirmwareEvent(WPARAM wParam, LPARAM lParam);
    LRESULT OnFirmwareResubscribed(WPARAM wParam, LPARAM lParam);
    LRESULT OnPowerBroadcast(WPARAM wParam, LPARAM lParam);
    LRESULT OnClose(WPARAM wParam, LPARAM lParam);
    LRESULT OnQueryEndSession(WPARAM wParam, LPARAM lParam);
    LRESULT OnEndSession(WPARAM wParam, LPARAM lParam);
    LRESULT OnDestroy(WPARAM wParam, LPARAM lParam);
    LRESULT OnWindowPosChanging(WPARAM wParam, LPARAM lParam);
    LRESULT OnOkCommand(WPARAM wParam, LPARAM lParam);
    LRESULT OnCancelCommand(WPARAM wParam, LPARAM lParam);

    void BlockingWait(std::uint32_t milliseconds) override;
    void ShowOverclockOptionMessage() override;
    void EnableModeControls(bool enable) override;
    void SetModeRadios(bool overclock) override;
    int OverclockRadioState() override;
    void EndModalLoop() override;

    EventPolicy m_events;
    // Installed once start-up has passed the single-instance check.
    std::unique_ptr<MessageFilter> m_keyFilter;
    TrayIconRetry m_trayRetry;
    HWND m_foregroundBeforeMenu = nullptr;  // what the tray menu took the foreground from
    bool m_optionMessageOpen = false;
    bool m_shutDown = false;  // the shutdown sequence ran: at the end of the session or on destruction

    static const MessageEntry kMessages[];
};

// Named mutex that keeps the program to one instance.
inline constexpr wchar_t kInstanceMutexName[] = L"Tendral";
// Posted to the main window after the tray menu has closed, behind the command chosen in it.
inline constexpr UINT WM_TRAYMENU_CLOSED = WM_APP + 1;
// What Windows shows while the end of the session waits for the switch-off.
inline constexpr wchar_t kShutdownReason[] = L"Tendral is switching the overclocked mode off.";

class CAboutDlg;

// The modeless About box, made at start-up; null before.
extern CAboutDlg* g_aboutDialog;
// Held while this process is the running instance; released at shutdown, never closed.
extern HANDLE g_instanceMutex;
// The one main window, published at start-up for code that runs on other threads.
extern std::atomic<CVelkaroDlg*> g_mainWindow;
