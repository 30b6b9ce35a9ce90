#include "app/velkaro_dlg.h"

#include <cstdlib>

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
    OnRegisteredMessage(WM_TASKBARCREATED, &CVelkaroDlg::OnTaskbarCreated),
    OnMessage(WM_FIRMWARE_EVENT, &CVelkaroDlg::OnFirmwareEvent),
    OnMessage(WM_POWERBROADCAST, &CVelkaroDlg::OnPowerBroadcast),
    OnMessage(WM_CLOSE, &CVelkaroDlg::OnClose),
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
    AfxEnableControlContainer();
    FillTrayRecord(m_trayRecord, m_hWnd, m_hIcon);
    AddTrayIcon(m_trayRecord);
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

bool CVelkaroDlg::TakeInstanceMutex()
{
    if (UniqueHandle running{OpenMutexW(SYNCHRONIZE, FALSE, kInstanceMutexName)}) {
        g_instanceMutex = nullptr;
        return false;
    }
    g_instanceMutex = CreateMutexW(nullptr, TRUE, kInstanceMutexName);
    if (g_instanceMutex != nullptr && GetLastError() == ERROR_ALREADY_EXISTS) {
        // Another instance created it between our open and our create: it is the running one, and
        // this handle does not own the mutex.
        g_instanceMutex = nullptr;
        return false;
    }
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
}

// Without an NVIDIA driver and GPU the program refuses to run: it says so, takes its icon away and
// ends at once, without the shutdown sequence (there is nothing to switch off).
void CVelkaroDlg::CheckGpu()
{
    if (PassesGpuCheck(SystemNvApi())) {
        return;
    }
    MessageBoxW(m_hWnd, kNoNvidiaMessage, kProgramCaption, MB_OK | MB_ICONEXCLAMATION);
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
        ShowTrayMenu(m_hWnd, m_switch.ocSupported, m_switch.ocWanted);
    }
    return 1;
}

LRESULT CVelkaroDlg::OnTaskbarCreated(WPARAM, LPARAM)
{
    RestoreTrayIcon(m_trayRecord);
    return 0;
}

LRESULT CVelkaroDlg::OnFirmwareEvent(WPARAM wParam, LPARAM)
{
    return m_events.OnFirmwareEvent(wParam);
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

LRESULT CVelkaroDlg::OnDestroy(WPARAM, LPARAM)
{
    g_brightnessTarget = nullptr;
    Default();
    m_switch.OnDestroy();
    DeleteTrayIcon(m_trayRecord);
    if (g_instanceMutex != nullptr) {
        ReleaseMutex(g_instanceMutex);
    }
    return 0;
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

void CVelkaroDlg::ShowOverclockOptionMessage()
{
    MessageBoxW(m_hWnd, kOverclockOptionMessage, kProgramCaption, 0);
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
