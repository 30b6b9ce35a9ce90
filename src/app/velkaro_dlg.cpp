#include "app/velkaro_dlg.h"

#include <atomic>
#include <cstdlib>
#include <string_view>
#include <utility>

#include "app/instance_mutex.h"
#include "brightness/brightness_watcher.h"
#include "control/tray_status.h"
#include "gpu/gpu_check.h"
#include "gpu/system_driver_library.h"
#include "platform/dpi.h"
#include "platform/trace.h"
#include "platform/win_app.h"
#include "resources/resource.h"
#include "tray/about_dlg.h"

CAboutDlg* g_aboutDialog = nullptr;
MessageFilterFunction g_changeWindowMessageFilterEx = &ChangeWindowMessageFilterEx;

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

// Every message and command the main window handles. WM_BRIGHTNESS, which the brightness watcher
// sends, deliberately has no entry: it gets the default processing, as every message not listed does.
const MessageEntry CVelkaroDlg::kMessages[] = {
    OnMessage<&CVelkaroDlg::OnSysCommand>(WM_SYSCOMMAND),
    OnMessage<&CVelkaroDlg::OnPaint>(WM_PAINT),
    OnMessage<&CVelkaroDlg::OnQueryDragIcon>(WM_QUERYDRAGICON),
    OnMessage<&CVelkaroDlg::OnTrayNotify>(WM_TRAYNOTIFY),
    OnMessage<&CVelkaroDlg::OnTrayMenuClosed>(WM_TRAYMENU_CLOSED),
    OnRegisteredMessage<&CVelkaroDlg::OnTaskbarCreated>(WM_TASKBARCREATED),
    OnMessage<&CVelkaroDlg::OnTimer>(WM_TIMER),
    OnMessage<&CVelkaroDlg::OnScaleChanged>(WM_DPICHANGED),
    OnMessage<&CVelkaroDlg::OnScaleChanged>(WM_SETTINGCHANGE),
    OnMessage<&CVelkaroDlg::OnScaleChanged>(WM_DISPLAYCHANGE),
    OnMessage<&CVelkaroDlg::OnFinishStartup>(WM_FINISH_STARTUP),
    OnMessage<&CVelkaroDlg::OnFirmwareEvent>(WM_FIRMWARE_EVENT),
    OnMessage<&CVelkaroDlg::OnFirmwareResubscribed>(WM_FIRMWARE_RESUBSCRIBED),
    OnMessage<&CVelkaroDlg::OnPowerBroadcast>(WM_POWERBROADCAST),
    OnMessage<&CVelkaroDlg::OnClose>(WM_CLOSE),
    OnMessage<&CVelkaroDlg::OnQueryEndSession>(WM_QUERYENDSESSION),
    OnMessage<&CVelkaroDlg::OnEndSession>(WM_ENDSESSION),
    OnMessage<&CVelkaroDlg::OnDestroy>(WM_DESTROY),
    OnWindowPos<&CVelkaroDlg::OnWindowPosChanging>(WM_WINDOWPOSCHANGING),
    OnCommand<&CVelkaroDlg::OnOkButton>(IDOK),
    OnCommand<&CVelkaroDlg::OnExitButton>(IDCANCEL),
    OnCommand<&CVelkaroDlg::OnTrayEnable>(ID_TRAY_ENABLE),
    OnCommand<&CVelkaroDlg::OnTrayDisable>(ID_TRAY_DISABLE),
    OnCommand<&CVelkaroDlg::OnTrayAbout>(ID_TRAY_ABOUT),
    OnCommand<&CVelkaroDlg::OnTrayExit>(ID_TRAY_EXIT),
};

CVelkaroDlg::CVelkaroDlg()
    : CDialog(IDD_VELKARO_DIALOG),
      m_hIcon(LoadIconW(ProgramInstance(), MAKEINTRESOURCEW(IDR_MAINFRAME))),
      m_switch(SystemNvApi(), *this, m_phase),
      m_events(m_switch, *this, m_phase),
      m_life(m_phase, SystemNvApi(), m_switch, *this)
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
    if (!g_instanceMutex.Take()) {
        // Another instance runs: leave quietly. The shutdown path still runs when the window goes.
        m_life.OnAnotherInstance();
        return FALSE;
    }
    // Only the instance that holds the name switches anything, so only it has a switch-off to make.
    m_faultGuard = std::make_unique<FaultGuard>(&CVelkaroDlg::LastActOnFault, this);
    m_keyFilter = std::make_unique<MessageFilter>([this](MSG& message) { return FilterKeys(message); });
    LetInFromLowerRights();
    AfxEnableControlContainer();
    // Queued before the icon exists, so that it comes ahead of anything the icon brings.
    if (!PostMessageW(m_hWnd, WM_FINISH_STARTUP, 0, 0)) {
        OnFinishStartup();
    }
    m_trayIcon.Add(m_hWnd, IDR_MAINFRAME, TaskbarDpi());
    g_brightnessTarget = m_hWnd;
    return TRUE;
}

// The exchanges of start-up with the firmware and the driver, in their order, as the message loop's
// first message: the icon shows and the loop answers without waiting for them, and the user's first
// click comes after them. Once only, and not when the program is already ending or refusing.
LRESULT CVelkaroDlg::OnFinishStartup()
{
    if (m_phase.Current() != Phase::Starting) {
        return 0;
    }
    // The hidden window's looks, which nobody sees before the loop runs.
    AddSystemMenuAbout();
    SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    SubscribeFirmwareEvents();
    m_life.CheckGpuAndStart();
    ShowStatus();
    // Last: its thread loads WMI's libraries, which the driver's library would otherwise wait for.
    if (m_phase.Running()) {
        StartBrightnessWatcher();
    }
    return 0;
}

// Run elevated (an installer run as administrator starts it so), the program gets no message from a
// program of lower rights but those let in here: Explorer's notifications for the icon and its
// restart, and the close request of an installer that updates or removes it. Nothing else: every
// other input comes from the system or from the program itself.
void CVelkaroDlg::LetInFromLowerRights()
{
    for (const UINT message : {WM_TRAYNOTIFY, WM_TASKBARCREATED, static_cast<UINT>(WM_CLOSE)}) {
        if (!g_changeWindowMessageFilterEx(m_hWnd, message, MSGFLT_ALLOW, nullptr)) {
            TraceIgnoredFailure(L"letting a message from lower rights in");
        }
    }
}

void CVelkaroDlg::AddSystemMenuAbout()
{
    wchar_t text[256] = {};
    if (LoadStringW(ProgramInstance(), IDS_ABOUTBOX, text, static_cast<int>(std::size(text))) <= 0) {
        return;
    }
    HMENU systemMenu = GetSystemMenu(m_hWnd, FALSE);
    if (systemMenu == nullptr || !AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr) ||
        !AppendMenuW(systemMenu, MF_STRING, IDM_ABOUTBOX, text)) {
        TraceIgnoredFailure(L"adding About to the system menu");
    }
}

void CVelkaroDlg::SubscribeFirmwareEvents()
{
    m_firmware.AddHWND(m_hWnd);
    char buffer[kFirmwareEventBufferSize] = {};
    if (!m_firmware.ORVWMIEvent(kFirmwareEventQuery, buffer, kFirmwareNamespace, kFirmwareQueryLanguage)) {
        // The subscription is made again in the background when the service comes.
        TraceIgnoredFailure(L"subscribing to firmware events");
    }
}

void CVelkaroDlg::StartBrightnessWatcher()
{
    if (!StartBrightnessWatcherThread(g_brightnessTarget)) {
        TraceIgnoredFailure(L"starting the brightness watcher's thread");
    }
}

// The About box is made when it is first shown, not at start-up, where it would keep the message loop
// waiting; it lives until the process ends and the tray menu only shows it again. Taking the foreground
// may wait for other threads, which lets their sent messages in.
void CVelkaroDlg::ShowAboutBoxPumping()
{
    if (g_aboutDialog == nullptr) {
        auto* about = new CAboutDlg();
        if (!about->Create()) {
            TraceIgnoredFailure(L"creating the About box");
            delete about;
            return;
        }
        g_aboutDialog = about;
    }
    ShowWindow(g_aboutDialog->m_hWnd, SW_SHOW);
    g_aboutDialog->CenterOnDesktop();
    // Also when it was open already, behind other windows.
    SetForegroundWindow(g_aboutDialog->m_hWnd);
}

// The tip follows what the controller knows, while the program runs; starting, refusing or ending,
// the icon keeps what it says.
void CVelkaroDlg::ShowStatus()
{
    if (m_phase.Running()) {
        m_trayIcon.SetStatus(TrayStatusText(CurrentTrayStatus(m_switch)));
    }
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

// The owner is hidden: without MB_SETFOREGROUND the box may open behind the active window, unseen.
void CVelkaroDlg::ShowRefusalPumping()
{
    MessageBoxW(m_hWnd, kNoNvidiaMessage, kProgramCaption, MB_OK | MB_ICONEXCLAMATION | MB_SETFOREGROUND);
}

// At once and without the shutdown sequence: a program that refused switched nothing.
void CVelkaroDlg::LeaveRefused()
{
    m_trayIcon.Delete();
    std::exit(1);
}

void CVelkaroDlg::ShowModalAboutBoxPumping()
{
    CAboutDlg about;
    about.DoModal();
}

LRESULT CVelkaroDlg::OnSysCommand(WPARAM command, LPARAM)
{
    if ((command & 0xFFF0) == IDM_ABOUTBOX) {
        m_life.OnSystemAbout();
        return 0;
    }
    return Default();
}

// Only a minimised main window paints anything of its own: the program icon, centred.
LRESULT CVelkaroDlg::OnPaint()
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

LRESULT CVelkaroDlg::OnQueryDragIcon()
{
    return reinterpret_cast<LRESULT>(m_hIcon);
}

// Only a right click acts: it opens the tray menu built for the current state.
LRESULT CVelkaroDlg::OnTrayNotify(WPARAM, LPARAM mouseMessage)
{
    if (mouseMessage == WM_RBUTTONUP) {
        m_life.OnTrayMenuRequest();
    }
    return 1;
}

void CVelkaroDlg::TrackTrayMenuPumping()
{
    m_foregroundBeforeMenu = GetForegroundWindow();
    ShowTrayMenu(m_hWnd, m_trayIcon, m_switch.ocSupported, m_switch.ocWanted);
    // Queued behind the chosen command, so that it sees what the command did.
    if (!PostMessageW(m_hWnd, WM_TRAYMENU_CLOSED, 0, 0)) {
        TraceIgnoredFailure(L"queueing the foreground's return");
    }
}

// The menu made this hidden window the foreground window. It gives the foreground back unless it has
// lost it since: to the About box the menu opened, or to a window the user clicked.
LRESULT CVelkaroDlg::OnTrayMenuClosed()
{
    const HWND previous = std::exchange(m_foregroundBeforeMenu, nullptr);
    if (previous != nullptr && previous != m_hWnd && IsWindow(previous) && GetForegroundWindow() == m_hWnd &&
        !SetForegroundWindow(previous)) {
        TraceIgnoredFailure(L"giving the foreground back");
    }
    return 0;
}

// A shell that restarts after the shutdown (the process may outlive WM_ENDSESSION) gets no icon back.
LRESULT CVelkaroDlg::OnTaskbarCreated()
{
    if (m_phase.Current() != Phase::Ended) {
        m_trayIcon.OnTaskbarCreated(TaskbarDpi());
    }
    return 0;
}

LRESULT CVelkaroDlg::OnTimer(WPARAM timerId, LPARAM)
{
    return m_trayIcon.OnTimer(timerId) ? 0 : Default();
}

// A scale changed: the window's own monitor's (WM_DPICHANGED), the icon metrics (a settings change) or
// the displays. The dialog manager still gets each, and rescales the dialog. The icon follows the
// monitor of the notification area, wherever the hidden window is.
LRESULT CVelkaroDlg::OnScaleChanged()
{
    const LRESULT result = Default();
    m_trayIcon.OnDpiChanged(TaskbarDpi());
    return result;
}

LRESULT CVelkaroDlg::OnFirmwareEvent(WPARAM eventCode, LPARAM)
{
    const LRESULT result = m_events.OnFirmwareEvent(eventCode);
    ShowStatus();
    return result;
}

// The service came late (after start-up found nothing) or came back: what it says now may differ.
LRESULT CVelkaroDlg::OnFirmwareResubscribed()
{
    m_events.OnResubscribed();
    ShowStatus();
    return 0;
}

LRESULT CVelkaroDlg::OnPowerBroadcast(WPARAM powerEvent, LPARAM data)
{
    const LRESULT result = m_events.OnPowerBroadcast(powerEvent, data);
    ShowStatus();
    return result;
}

LRESULT CVelkaroDlg::OnClose()
{
    m_switch.OnClose();
    return Default();
}

// Windows asks before the session ends; nothing here keeps it from ending.
LRESULT CVelkaroDlg::OnQueryEndSession()
{
    return TRUE;
}

// Windows ends the process once this returns, without WM_DESTROY: the shutdown runs here, and the
// modal loop ends with it so that a process that is not ended at once does not run on without icon.
LRESULT CVelkaroDlg::OnEndSession(WPARAM ending, LPARAM)
{
    if (ending == FALSE) {
        return 0;
    }
    if (!ShutdownBlockReasonCreate(m_hWnd, kShutdownReason)) {
        TraceIgnoredFailure(L"telling Windows why the end of the session waits");
    }
    Shutdown();
    ShutdownBlockReasonDestroy(m_hWnd);
    EndProgram();
    return 0;
}

LRESULT CVelkaroDlg::OnDestroy()
{
    g_brightnessTarget = nullptr;
    Default();
    Shutdown();
    m_keyFilter.reset();
    m_faultGuard.reset();
    return 0;
}

// Switches off, takes the icon away and lets another instance start; once per run. A second instance,
// or a program that refused to run, switches nothing: the firmware and the driver are left as they are.
void CVelkaroDlg::Shutdown()
{
    if (!m_life.Shutdown()) {
        return;
    }
    if (!m_trayIcon.Delete()) {
        TraceIgnoredFailure(L"deleting the tray icon");
    }
    g_instanceMutex.Release();
}

// On a thread of the fault guard's, while the faulting thread waits: the switch-off, then the icon.
void CVelkaroDlg::LastActOnFault(void* self)
{
    auto* dialog = static_cast<CVelkaroDlg*>(self);
    dialog->m_life.OnFault();
    if (!dialog->m_trayIcon.Delete()) {
        TraceIgnoredFailure(L"deleting the tray icon after a fault");
    }
}

LRESULT CVelkaroDlg::OnWindowPosChanging(WINDOWPOS& position)
{
    const LRESULT result = Default();
    // The template makes the window visible; this is the one place that keeps it hidden.
    position.flags &= ~SWP_SHOWWINDOW;
    return result;
}

void CVelkaroDlg::OnOkButton()
{
    m_switch.OnOk();
    ShowStatus();
}

void CVelkaroDlg::OnExitButton()
{
    m_switch.OnCancel();
}

void CVelkaroDlg::OnTrayEnable()
{
    m_switch.OnTrayEnable();
    ShowStatus();
}

void CVelkaroDlg::OnTrayDisable()
{
    m_switch.OnTrayDisable();
    ShowStatus();
}

void CVelkaroDlg::OnTrayAbout()
{
    m_life.OnTrayAbout();
}

void CVelkaroDlg::OnTrayExit()
{
    m_switch.OnTrayExit();
}

void CVelkaroDlg::BlockingWait(std::uint32_t milliseconds)
{
    Sleep(milliseconds);
}

// One request at a time: the box runs a loop of its own, in which a further event could open another.
// MB_SETFOREGROUND, because the owner is hidden and the box would otherwise wait unseen behind the
// active window.
void CVelkaroDlg::ShowOptionBoxPumping()
{
    if (std::exchange(m_optionBoxOpen, true)) {
        return;
    }
    MessageBoxW(m_hWnd, kOverclockOptionMessage, kProgramCaption, MB_SETFOREGROUND);
    m_optionBoxOpen = false;
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
    EndProgram();
}

// The head of the thread's whole queue, whatever window it is for: a message of another kind there
// ends the run. Posted messages only, as documented for PM_QS_POSTMESSAGE; the caller still asks the
// phase again afterwards, in case a system delivers sent messages here all the same.
bool CVelkaroDlg::TakeQueuedRepeatPumping(std::uint32_t code)
{
    MSG next;
    if (!PeekMessageW(&next, nullptr, 0, 0, PM_NOREMOVE | PM_QS_POSTMESSAGE) || next.hwnd != m_hWnd ||
        next.message != WM_FIRMWARE_EVENT || (next.wParam & 0xFF) != code) {
        return false;
    }
    // The first firmware event of this window is the head just seen.
    return PeekMessageW(&next, m_hWnd, WM_FIRMWARE_EVENT, WM_FIRMWARE_EVENT, PM_REMOVE | PM_QS_POSTMESSAGE) !=
           FALSE;
}

// The modal loop ends only once every loop running inside it has returned: the tray menu's and those
// of the program's boxes. Left open, any of them would keep the process, and its icon, until the user
// closed it, and an installer waiting for the program to end would give up.
void CVelkaroDlg::EndProgram()
{
    EndMenu();
    EnumThreadWindows(GetCurrentThreadId(), &CVelkaroDlg::EndOwnBox, reinterpret_cast<LPARAM>(this));
    EndDialog(IDCANCEL);
}

// The modal boxes of this thread: the option box, the refusal, a modal About box. The main window ends
// after them; the modeless About box runs no loop of its own and goes with the process.
BOOL CALLBACK CVelkaroDlg::EndOwnBox(HWND window, LPARAM self)
{
    wchar_t className[8] = {};
    const bool isDialog = GetClassNameW(window, className, static_cast<int>(std::size(className))) != 0 &&
                          std::wstring_view(className) == L"#32770";
    const bool runsNoLoopOfItsOwn = window == reinterpret_cast<CVelkaroDlg*>(self)->m_hWnd ||
                                    (g_aboutDialog != nullptr && window == g_aboutDialog->m_hWnd);
    if (isDialog && !runsNoLoopOfItsOwn) {
        ::EndDialog(window, IDCANCEL);
    }
    return TRUE;
}
