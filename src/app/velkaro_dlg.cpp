#include "app/velkaro_dlg.h"

#include <cstdlib>
#include <utility>
#include <vector>

#include "brightness/brightness_watcher.h"
#include "gpu/gpu_check.h"
#include "gpu/system_driver_library.h"
#include "platform/unique_handle.h"
#include "platform/win_app.h"
#include "resources/resource.h"
#include "tray/about_dlg.h"
#include "tray/tray_icon.h"

HANDLE g_instanceMutex = nullptr;
CAboutDlg* g_aboutDialog = nullptr;
std::atomic<CVelkaroDlg*> g_mainWindow{nullptr};

namespace {

bool IsKeyboardMessage(UINT message)
{
    return message >= WM_KEYFIRST && message <= WM_KEYLAST;
}

// The window itself or one of its controls.
bool IsWithin(HWND window, HWND target)
{
    return window != nullptr && (target == window || IsChild(window, target));
}

constexpr wchar_t kFirmwareEventQuery[] = L"Select * from ORV_Event";
constexpr wchar_t kFirmwareNamespace[] = L"root\\wmi";
constexpr wchar_t kFirmwareQueryLanguage[] = L"WQL";
constexpr std::size_t kFirmwareEventBufferSize = 260;

// The main window's handle as the brightness sink reads it on WMI's threads. Cleared when the window
// is destroyed, so that a late event never reaches a dead window.
std::atomic<HWND> g_brightnessTarget{nullptr};

}  // namespace

const MessageEntry CVelkaroDlg::kMessages[] = {
    OnMessage(WM_SYSCOMMAND, &CVelkaroDlg::OnSysCommand),
    OnMessage(WM_PAINT, &CVelkaroDlg::OnPaint),
    OnMessage(WM_QUERYDRAGICON, &CVelkaroDlg::OnQueryDragIcon),
    OnMessage(WM_TRAYNOTIFY, &CVelkaroDlg::OnTrayNotify),
    OnMessage(WM_TRAYMENU_CLOSED, &CVelkaroDlg::OnTrayMenuClosed),
    OnRegisteredMessage(WM_TASKBARCREATED, &CVelkaroDlg::OnTaskbarCreated),
    OnMessage(WM_TIMER, &CVelkaroDlg::OnTimer),
    OnMessage(WM_FIRMWARE_EVENT, &CVelkaroDlg::OnFirmwareEvent),
    OnMessage(WM_FIRMWARE_RESUBSCRIBED, &CVelkaroDlg::OnFirmwareResubscribed),
    OnMessage(WM_POWERBROADCAST, &CVelkaroDlg::OnPowerBroadcast),
    OnMessage(WM_CLOSE, &CVelkaroDlg::OnClose),
    OnMessage(WM_QUERYENDSESSION, &CVelkaroDlg::OnQueryEndSession),
    OnMessage(WM_ENDSESSION, &CVelkaroDlg::OnEndSession),
    OnMessage(WM_DESTROY, &CVelkaroDlg::OnDestroy),
    OnMessage(WM_WINDOWPOSCHANGING, &CVelkaroDlg::OnWindowPosChanging),
    OnCommandId(IDOK, &CVelkaroDlg::OnOkCommand),
    OnCommandId(IDCANCEL, &CVelkaroDlg::OnCancelCommand),
};

CVelkaroDlg::CVelkaroDlg()
    : CDialog(IDD_VELKARO_DIALOG),
      m_hIcon(LoadIconW(ProgramInstance(), MAKEINTRESOURCEW(IDR_MAINFRAME))),
      m_switch(SystemNvApi(), *this),
      m_events(m_switch, *this)
{
    g_aboutDialog = nullptr;
}

std::span<const MessageEntry> CVelkaroDlg::MessageTable() const
{
    return kMessages;
}

void CVelkaroDlg::DoDataExchange()
{
    BindControl(m_radioOverclock, IDC_RADIO_OVERCLOCK);
    BindControl(m_radioStock, IDC_RADIO_STOCK);
    BindControl(m_buttonOk, IDOK);
}

BOOL CVelkaroDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    AddSystemMenuAbout();
    SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    if (!TakeInstanceMutex()) {
        // Another instance runs: leave quietly. The shutdown path still runs when the window goes.
        OnCancel();
        return FALSE;
    }
    m_keyFilter = std::make_unique<MessageFilter>([this](MSG& message) { return FilterKeys(message); });
    AfxEnableControlContainer();
    // An elevated program gets no messages from a lower-rights Explorer unless it lets them in.
    ChangeWindowMessageFilterEx(m_hWnd, WM_TASKBARCREATED, MSGFLT_ALLOW, nullptr);
    FillTrayRecord(m_trayRecord, m_hWnd, m_hIcon);
    if (!AddTrayIcon(m_trayRecord)) {
        m_trayRetry.Start(m_hWnd);
    }
    g_mainWindow = this;
    g_brightnessTarget = m_hWnd;
    SubscribeFirmwareEvents();
    StartBrightnessWatcher();
    CheckGpu();
    ApplyInitialOverclockState();
    CreateAboutBox();
    return TRUE;
}

void CVelkaroDlg::AddSystemMenuAbout()
{
    wchar_t text[256] = {};
    if (LoadStringW(ProgramInstance(), IDS_ABOUTBOX, text, static_cast<int>(std::size(text))) <= 0) {
        return;
    }
    HMENU systemMenu = GetSystemMenu(m_hWnd, FALSE);
    if (systemMenu != nullptr) {
        AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(systemMenu, MF_STRING, IDM_ABOUTBOX, text);
    }
}

// Any sign of the mutex counts as another instance: a handle to it, a refusal to open it (a first
// instance with higher rights made it), or a create that fails or only opens it.
bool CVelkaroDlg::TakeInstanceMutex()
{
    g_instanceMutex = nullptr;
    if (UniqueHandle running{OpenMutexW(SYNCHRONIZE, FALSE, kInstanceMutexName)};
        running || GetLastError() == ERROR_ACCESS_DENIED) {
        return false;
    }
    UniqueHandle created{CreateMutexW(nullptr, TRUE, kInstanceMutexName)};
    if (!created || GetLastError() == ERROR_ALREADY_EXISTS) {
        return false;
    }
    g_instanceMutex = created.Release();
    return true;
}

void CVelkaroDlg::SubscribeFirmwareEvents()
{
    m_firmware.AddHWND(m_hWnd);
    char buffer[kFirmwareEventBufferSize] = {};
    m_firmware.ORVWMIEvent(kFirmwareEventQuery, buffer, kFirmwareNamespace, kFirmwareQueryLanguage);
}

void CVelkaroDlg::StartBrightnessWatcher()
{
    // Without it the program only misses brightness events, so the result is not looked at.
    ::StartBrightnessWatcher(g_brightnessTarget);
}

// The About box is made once, hidden, and lives until the process ends; the tray menu only shows it.
void CVelkaroDlg::CreateAboutBox()
{
    auto* about = new CAboutDlg();
    about->Create();
    g_aboutDialog = about;
}

void CVelkaroDlg::ShowAboutBox()
{
    if (g_aboutDialog == nullptr) {
        return;
    }
    ShowWindow(g_aboutDialog->m_hWnd, SW_SHOW);
    g_aboutDialog->CenterOnDesktop();
    // Also when it was open already, behind other windows.
    SetForegroundWindow(g_aboutDialog->m_hWnd);
}

// After the tray menu this hidden window is the foreground window, and the dialog manager would act
// on the user's next keys: Escape as IDCANCEL (switch off and end), Enter as IDOK, Space as a click
// on the focused button, Alt+F4 as WM_CLOSE. While it is hidden it takes no key at all.
bool CVelkaroDlg::FilterKeys(MSG& message)
{
    if (!IsKeyboardMessage(message.message)) {
        return false;
    }
    if (IsWithin(m_hWnd, message.hwnd)) {
        return !IsWindowVisible(m_hWnd);
    }
    // The modeless About box is served by this window's modal loop, which does not know it: it gets
    // its dialog keys (Enter, Escape, Tab) here.
    if (g_aboutDialog != nullptr && IsWithin(g_aboutDialog->m_hWnd, message.hwnd)) {
        return IsDialogMessageW(g_aboutDialog->m_hWnd, &message) != FALSE;
    }
    return false;
}

// Without an NVIDIA driver and GPU the program refuses to run: it says so, takes its icon away and
// ends at once, without the shutdown sequence (there is nothing to switch off).
void CVelkaroDlg::CheckGpu()
{
    if (PassesGpuCheck(SystemNvApi())) {
        return;
    }
    // The owner is hidden: without MB_SETFOREGROUND the box may open behind the active window, unseen.
    MessageBoxW(m_hWnd, kNoNvidiaMessage, kProgramCaption, MB_OK | MB_ICONEXCLAMATION | MB_SETFOREGROUND);
    DeleteTrayIcon(m_trayRecord);
    std::exit(1);
}

void CVelkaroDlg::ApplyInitialOverclockState()
{
    m_switch.ApplyInitialState();
}

BOOL CVelkaroDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (HIWORD(wParam) == 0) {
        switch (LOWORD(wParam)) {
            case ID_TRAY_ENABLE:
                m_switch.OnTrayEnable();
                break;
            case ID_TRAY_DISABLE:
                m_switch.OnTrayDisable();
                break;
            case ID_TRAY_ABOUT:
                ShowAboutBox();
                break;
            case ID_TRAY_EXIT:
                m_switch.OnTrayExit();
                break;
            default:
                break;
        }
    }
    return CDialog::OnCommand(wParam, lParam);
}

LRESULT CVelkaroDlg::OnSysCommand(WPARAM wParam, LPARAM)
{
    if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about;
        about.DoModal();
        return 0;
    }
    return Default();
}

// Only a minimised main window paints anything of its own: the program icon, centred.
LRESULT CVelkaroDlg::OnPaint(WPARAM, LPARAM)
{
    if (!IsIconic(m_hWnd)) {
        return Default();
    }
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(m_hWnd, &paint);
    SendMessageW(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client{};
    GetClientRect(m_hWnd, &client);
    const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, m_hIcon);
    EndPaint(m_hWnd, &paint);
    return 0;
}

LRESULT CVelkaroDlg::OnQueryDragIcon(WPARAM, LPARAM)
{
    return reinterpret_cast<LRESULT>(m_hIcon);
}

// Only a right click acts: it opens the tray menu built for the current state.
LRESULT CVelkaroDlg::OnTrayNotify(WPARAM, LPARAM lParam)
{
    if (lParam == WM_RBUTTONUP) {
        m_foregroundBeforeMenu = GetForegroundWindow();
        ShowTrayMenu(m_hWnd, m_switch.ocSupported, m_switch.ocWanted);
        // Queued behind the chosen command, so that it sees what the command did.
        PostMessageW(m_hWnd, WM_TRAYMENU_CLOSED, 0, 0);
    }
    return 1;
}

// The menu made this hidden window the foreground window. It gives the foreground back unless it has
// lost it since: to the About box the menu opened, or to a window the user clicked.
LRESULT CVelkaroDlg::OnTrayMenuClosed(WPARAM, LPARAM)
{
    const HWND previous = std::exchange(m_foregroundBeforeMenu, nullptr);
    if (previous != nullptr && previous != m_hWnd && IsWindow(previous) && GetForegroundWindow() == m_hWnd) {
        SetForegroundWindow(previous);
    }
    return 0;
}

LRESULT CVelkaroDlg::OnTaskbarCreated(WPARAM, LPARAM)
{
    m_trayRetry.Stop();
    RestoreTrayIcon(m_trayRecord);
    return 0;
}

LRESULT CVelkaroDlg::OnTimer(WPARAM wParam, LPARAM)
{
    if (wParam == TrayIconRetry::kTimerId) {
        m_trayRetry.OnTick(m_trayRecord);
        return 0;
    }
    return Default();
}

LRESULT CVelkaroDlg::OnFirmwareEvent(WPARAM wParam, LPARAM)
{
    DropQueuedRepeats(wParam);
    return m_events.OnFirmwareEvent(wParam);
}

// Each event the policy acts on blocks this thread for seconds, so a burst of one code would freeze the
// program for a multiple of that. The copies still queued behind the one at hand are dropped: the
// firmware is read after they arrived, so they would tell nothing new. Other codes go back in order.
void CVelkaroDlg::DropQueuedRepeats(WPARAM wParam)
{
    const WPARAM code = wParam & 0xFF;
    std::vector<MSG> others;
    MSG queued;
    while (PeekMessageW(&queued, m_hWnd, WM_FIRMWARE_EVENT, WM_FIRMWARE_EVENT, PM_REMOVE)) {
        if ((queued.wParam & 0xFF) != code) {
            others.push_back(queued);
        }
    }
    for (const MSG& other : others) {
        PostMessageW(m_hWnd, other.message, other.wParam, other.lParam);
    }
}

// The service came late (after start-up found nothing) or came back: read the option afresh and
// apply what start-up would have applied.
LRESULT CVelkaroDlg::OnFirmwareResubscribed(WPARAM, LPARAM)
{
    m_switch.ApplyInitialState();
    return 0;
}

LRESULT CVelkaroDlg::OnPowerBroadcast(WPARAM wParam, LPARAM lParam)
{
    return m_events.OnPowerBroadcast(wParam, lParam);
}

LRESULT CVelkaroDlg::OnClose(WPARAM, LPARAM)
{
    m_switch.OnClose();
    return Default();
}

// Windows asks before the session ends; nothing here keeps it from ending.
LRESULT CVelkaroDlg::OnQueryEndSession(WPARAM, LPARAM)
{
    return TRUE;
}

// Windows ends the process once this returns, without WM_DESTROY: the shutdown runs here, and the
// modal loop ends with it so that a process that is not ended at once does not run on without icon.
LRESULT CVelkaroDlg::OnEndSession(WPARAM wParam, LPARAM)
{
    if (wParam == FALSE) {
        return 0;
    }
    ShutdownBlockReasonCreate(m_hWnd, kShutdownReason);
    Shutdown();
    ShutdownBlockReasonDestroy(m_hWnd);
    EndDialog(IDCANCEL);
    return 0;
}

LRESULT CVelkaroDlg::OnDestroy(WPARAM, LPARAM)
{
    g_brightnessTarget = nullptr;
    Default();
    Shutdown();
    m_keyFilter.reset();
    return 0;
}

// Switches off, takes the icon away and lets another instance start; once per run.
void CVelkaroDlg::Shutdown()
{
    if (std::exchange(m_shutDown, true)) {
        return;
    }
    m_trayRetry.Stop();
    m_switch.OnDestroy();
    DeleteTrayIcon(m_trayRecord);
    if (g_instanceMutex != nullptr) {
        ReleaseMutex(g_instanceMutex);
    }
}

LRESULT CVelkaroDlg::OnWindowPosChanging(WPARAM, LPARAM lParam)
{
    const LRESULT result = Default();
    // The template makes the window visible; this is the one place that keeps it hidden.
    reinterpret_cast<WINDOWPOS*>(lParam)->flags &= ~SWP_SHOWWINDOW;
    return result;
}

LRESULT CVelkaroDlg::OnOkCommand(WPARAM, LPARAM)
{
    m_switch.OnOk();
    return 0;
}

LRESULT CVelkaroDlg::OnCancelCommand(WPARAM, LPARAM)
{
    m_switch.OnCancel();
    return 0;
}

void CVelkaroDlg::BlockingWait(std::uint32_t milliseconds)
{
    Sleep(milliseconds);
}

// One request at a time: the box runs a loop of its own, in which a further event could open another.
// MB_SETFOREGROUND, because the owner is hidden and the box would otherwise wait unseen behind the
// active window.
void CVelkaroDlg::ShowOverclockOptionMessage()
{
    if (std::exchange(m_optionMessageOpen, true)) {
        return;
    }
    MessageBoxW(m_hWnd, kOverclockOptionMessage, kProgramCaption, MB_SETFOREGROUND);
    m_optionMessageOpen = false;
}

void CVelkaroDlg::EnableModeControls(bool enable)
{
    m_radioOverclock.EnableWindow(enable);
    m_radioStock.EnableWindow(enable);
    m_buttonOk.EnableWindow(enable);
}

void CVelkaroDlg::SetModeRadios(bool overclock)
{
    m_radioOverclock.SetCheck(overclock ? BST_CHECKED : BST_UNCHECKED);
    m_radioStock.SetCheck(overclock ? BST_UNCHECKED : BST_CHECKED);
}

int CVelkaroDlg::OverclockRadioState()
{
    return m_radioOverclock.GetCheck();
}

void CVelkaroDlg::EndModalLoop()
{
    OnCancel();
}
