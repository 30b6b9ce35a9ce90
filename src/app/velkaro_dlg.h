// The hidden main window. It holds the program's state, runs the start-up sequence, receives every
// message and routes it, and on destruction switches off and releases what start-up took.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <memory>
#include <span>

#include "app/fault_guard.h"
#include "control/event_policy.h"
#include "control/overclock_switch.h"
#include "control/program_life.h"
#include "control/program_phase.h"
#include "control/window_effects.h"
#include "firmware/orv_wmi_acpi.h"
#include "platform/button.h"
#include "platform/dialog.h"
#include "platform/message_filter.h"
#include "tray/tray_icon.h"
#include "tray/tray_menu.h"

// Lets a message from a program of lower rights through to a window, as ChangeWindowMessageFilterEx
// does. Tests that record what the program lets in replace it; the program never changes it.
using MessageFilterFunction = BOOL(WINAPI*)(HWND window, UINT message, DWORD action,
                                            PCHANGEFILTERSTRUCT status);
extern MessageFilterFunction g_changeWindowMessageFilterEx;

class CVelkaroDlg : public CDialog, private WindowEffects {
public:
    CVelkaroDlg();

    BOOL OnInitDialog() override;

    HICON m_hIcon;  // shared, at the system's icon size: the window icons and the minimised window
    CORVWmiAcpi m_firmware;
    TrayIcon m_trayIcon;       // the tray record, with the icon's retry
    ProgramPhase m_phase;      // where the program is in its life: what every handler asks first
    OverclockSwitch m_switch;  // holds ocSupported and ocWanted
    CButton m_radioOverclock;
    CButton m_radioStock;
    CButton m_buttonOk;

protected:
    std::span<const MessageEntry> MessageTable() const override;
    void DoDataExchange() override;

private:
    void LetInFromLowerRights();
    void AddSystemMenuAbout();
    void SubscribeFirmwareEvents();
    void StartBrightnessWatcher();
    bool FilterKeys(MSG& message);
    void ShowStatus();
    void Shutdown();
    void EndProgram();
    static BOOL CALLBACK EndOwnBox(HWND window, LPARAM self);
    static void LastActOnFault(void* self);

    // Window messages, with what each message carries.
    LRESULT OnSysCommand(WPARAM command, LPARAM);
    LRESULT OnPaint();
    LRESULT OnQueryDragIcon();
    LRESULT OnTrayNotify(WPARAM iconId, LPARAM mouseMessage);
    LRESULT OnTrayMenuClosed();
    LRESULT OnTaskbarCreated();
    LRESULT OnTimer(WPARAM timerId, LPARAM);
    LRESULT OnScaleChanged();
    LRESULT OnFinishStartup();
    LRESULT OnFirmwareEvent(WPARAM eventCode, LPARAM);
    LRESULT OnFirmwareResubscribed();
    LRESULT OnPowerBroadcast(WPARAM powerEvent, LPARAM data);
    LRESULT OnClose();
    LRESULT OnQueryEndSession();
    LRESULT OnEndSession(WPARAM ending, LPARAM);
    LRESULT OnDestroy();
    LRESULT OnWindowPosChanging(WINDOWPOS& position);

    // Commands: the buttons of the template and the tray menu's entries.
    void OnOkButton();
    void OnExitButton();
    void OnTrayEnable();
    void OnTrayDisable();
    void OnTrayAbout();
    void OnTrayExit();

    // What the controller needs of the window. Those that end in "Pumping" let other handlers run.
    void BlockingWait(std::uint32_t milliseconds) override;
    void ShowOptionBoxPumping() override;
    void ShowRefusalPumping() override;
    void LeaveRefused() override;
    void TrackTrayMenuPumping() override;
    void ShowAboutBoxPumping() override;
    void ShowModalAboutBoxPumping() override;
    bool TakeQueuedRepeatPumping(std::uint32_t code) override;
    void EnableModeControls(bool enable) override;
    void SetModeRadios(bool overclock) override;
    int OverclockRadioState() override;
    void EndModalLoop() override;

    EventPolicy m_events;
    ProgramLife m_life;
    // Installed once start-up has passed the single-instance check, removed after the shutdown.
    std::unique_ptr<MessageFilter> m_keyFilter;
    std::unique_ptr<FaultGuard> m_faultGuard;
    HWND m_foregroundBeforeMenu = nullptr;  // what the tray menu took the foreground from
    bool m_optionBoxOpen = false;

    static const MessageEntry kMessages[];
};

// Posted to the main window after the tray menu has closed, behind the command chosen in it.
inline constexpr UINT WM_TRAYMENU_CLOSED = WM_APP + 1;
// Posted to itself by the main window as it is made: the rest of start-up, as the loop's first message.
inline constexpr UINT WM_FINISH_STARTUP = WM_APP + 2;
// What Windows shows while the end of the session waits for the switch-off.
inline constexpr wchar_t kShutdownReason[] = L"Tendral is switching the overclocked mode off.";

class CAboutDlg;

// The modeless About box, made when first shown; null before.
extern CAboutDlg* g_aboutDialog;
