// The main window's start-up, message table and shutdown.
#include "app/velkaro_dlg.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "main_window_fixture.h"
#include "resources/resource.h"
#include "tray/tray_icon.h"

namespace {

std::wstring MenuItemText(HMENU menu, int position)
{
    wchar_t text[64] = {};
    GetMenuStringW(menu, static_cast<UINT>(position), text, 64, MF_BYPOSITION);
    return text;
}

TEST_F(MainWindow, StartsHiddenWithTrayIconSystemMenuAndFirmwareSubscription)
{
    CVelkaroDlg dialog;
    bool ran = false;
    const INT_PTR result = RunModal(dialog, [&] {
        ran = true;
        HWND window = dialog.m_hWnd;
        EXPECT_EQ(g_mainWindow.load(), &dialog);
        EXPECT_FALSE(IsWindowVisible(window));
        EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_BIG, 0)), dialog.m_hIcon);
        EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_SMALL, 0)), dialog.m_hIcon);
        EXPECT_NE(dialog.m_hIcon, nullptr);

        HMENU systemMenu = GetSystemMenu(window, FALSE);
        const int count = GetMenuItemCount(systemMenu);
        ASSERT_GE(count, 2);
        EXPECT_EQ(GetMenuState(systemMenu, static_cast<UINT>(count - 2), MF_BYPOSITION) & MF_SEPARATOR,
                  static_cast<UINT>(MF_SEPARATOR));
        EXPECT_EQ(GetMenuItemID(systemMenu, count - 1), static_cast<UINT>(IDM_ABOUTBOX));
        EXPECT_EQ(MenuItemText(systemMenu, count - 1), L"&About Velkaro...");

        ASSERT_EQ(g_trayCalls.size(), 1u);
        EXPECT_EQ(g_trayCalls[0].message, static_cast<DWORD>(NIM_ADD));
        const NOTIFYICONDATAW& record = g_trayCalls[0].record;
        EXPECT_EQ(record.cbSize, sizeof(void*) == 4 ? 956u : 976u);
        EXPECT_EQ(record.hWnd, window);
        EXPECT_EQ(record.uID, 1u);
        EXPECT_EQ(record.uCallbackMessage, 0x0401u);
        EXPECT_EQ(record.hIcon, dialog.m_hIcon);
        EXPECT_STREQ(record.szTip, L"Tendral");
        EXPECT_EQ(record.uFlags, 7u);

        EXPECT_NE(g_instanceMutex, nullptr);
        EXPECT_FALSE(InstanceMutexIsFree());
        // Subscribed, found the option on and switched on.
        EXPECT_EQ(simulator.Journal(), (std::vector<std::string>{
                                           "SUBSCRIBE root\\wmi|WQL|Select * from ORV_Event -> 0",
                                           "SETTINGS root\\WMI:Q:ORV_System:System:0 -> 2",
                                           "SETTINGS root\\WMI:Q:ORV_AP:AP:6 -> 16",
                                           "SETTINGS root\\WMI:S:ORV_AP:AP:6:17 -> 17",
                                           "SETTINGS root\\WMI:Q:ORV_AP:AP:6 -> 17",
                                       }));
        EXPECT_TRUE(IsWindowEnabled(dialog.m_radioOverclock.GetSafeHwnd()));
        EXPECT_TRUE(IsWindowEnabled(dialog.m_radioStock.GetSafeHwnd()));
        EXPECT_TRUE(IsWindowEnabled(dialog.m_buttonOk.GetSafeHwnd()));
        EXPECT_EQ(dialog.m_radioOverclock.GetCheck(), BST_CHECKED);
        EXPECT_EQ(dialog.m_radioStock.GetCheck(), BST_UNCHECKED);

        PostMessageW(window, WM_CLOSE, 0, 0);
    });
    EXPECT_TRUE(ran);
    EXPECT_EQ(result, IDCANCEL);
    ASSERT_EQ(g_trayCalls.size(), 2u);
    EXPECT_EQ(g_trayCalls[1].message, static_cast<DWORD>(NIM_DELETE));
    EXPECT_EQ(std::memcmp(&g_trayCalls[1].record, &g_trayCalls[0].record, sizeof(NOTIFYICONDATAW)), 0);
    EXPECT_TRUE(InstanceMutexIsFree());
    EXPECT_FALSE(dialog.m_switch.ocWanted);
}

TEST_F(MainWindow, EveryWayOfEndingRemovesTheIconAndReleasesTheMutex)
{
    const std::pair<UINT, WPARAM> endings[] = {
        {WM_CLOSE, 0},
        {WM_COMMAND, IDCANCEL},
        {WM_COMMAND, ID_TRAY_EXIT},
        {WM_SYSCOMMAND, SC_CLOSE},
    };
    for (const auto& [message, wParam] : endings) {
        g_trayCalls.clear();
        CVelkaroDlg dialog;
        const INT_PTR result = RunModal(dialog, [&] { PostMessageW(dialog.m_hWnd, message, wParam, 0); });
        EXPECT_EQ(result, IDCANCEL) << message << " " << wParam;
        ASSERT_EQ(g_trayCalls.size(), 2u) << message << " " << wParam;
        EXPECT_EQ(g_trayCalls[1].message, static_cast<DWORD>(NIM_DELETE));
        EXPECT_TRUE(InstanceMutexIsFree()) << message << " " << wParam;
        EXPECT_FALSE(dialog.m_switch.ocWanted);
        CloseHandle(g_instanceMutex);
        g_instanceMutex = nullptr;
    }
}

// A mutex of the name that nobody may open: what a first instance with higher rights looks like to a
// second one with the user's rights.
HANDLE CreateLockedMutex()
{
    static SECURITY_DESCRIPTOR descriptor;
    static ACL emptyList;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    InitializeAcl(&emptyList, sizeof(emptyList), ACL_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, &emptyList, FALSE);
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), &descriptor, FALSE};
    return CreateMutexW(&attributes, FALSE, kInstanceMutexName);
}

TEST_F(MainWindow, AnyOtherHolderOfTheNameMeansAnotherInstanceAndALeaveWithoutIconOrSubscription)
{
    struct Other {
        const char* name;
        HANDLE (*create)();
    };
    const Other others[] = {
        {"a running instance", [] { return CreateMutexW(nullptr, FALSE, kInstanceMutexName); }},
        {"one with higher rights", &CreateLockedMutex},
        {"another kind of object", [] { return CreateEventW(nullptr, FALSE, FALSE, kInstanceMutexName); }},
    };
    for (const Other& other : others) {
        SCOPED_TRACE(other.name);
        HANDLE running = other.create();
        ASSERT_NE(running, nullptr);
        ASSERT_TRUE(simulator.Stop());
        ASSERT_TRUE(simulator.Start());
        CVelkaroDlg dialog;
        bool ran = false;
        EXPECT_EQ(RunModal(dialog,
                           [&] {
                               ran = true;
                               PostMessageW(dialog.m_hWnd, WM_COMMAND, ID_TRAY_EXIT, 0);
                           }),
                  IDCANCEL);
        EXPECT_FALSE(ran) << "it ran as a second controller";
        EXPECT_EQ(g_instanceMutex, nullptr);
        EXPECT_EQ(g_mainWindow.load(), nullptr);
        // The shutdown path still deletes, with the record never filled.
        ASSERT_EQ(g_trayCalls.size(), 1u);
        EXPECT_EQ(g_trayCalls[0].message, static_cast<DWORD>(NIM_DELETE));
        EXPECT_EQ(g_trayCalls[0].record.cbSize, 0u);
        // Only the shutdown's switch-off reached the service: no subscription, no start-up state.
        EXPECT_EQ(simulator.Journal(), (std::vector<std::string>{
                                           "SETTINGS root\\WMI:Q:ORV_AP:AP:6 -> 16",
                                           "SETTINGS root\\WMI:S:ORV_AP:AP:6:16 -> 16",
                                           "SETTINGS root\\WMI:Q:ORV_AP:AP:6 -> 16",
                                       }));
        CloseHandle(running);
        ForgetRun();
    }
}

TEST_F(MainWindow, MessageTableRoutesEachMessage)
{
    CVelkaroDlg dialog;
    RunModal(dialog, [&] {
        HWND window = dialog.m_hWnd;
        EXPECT_EQ(SendMessageW(window, WM_FIRMWARE_EVENT, 0x61, 0), 1);
        EXPECT_EQ(SendMessageW(window, WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0), 0);
        EXPECT_EQ(SendMessageW(window, WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 1234), 1);
        EXPECT_EQ(SendMessageW(window, WM_TRAYNOTIFY, 1, WM_LBUTTONUP), 1);
        EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(window, WM_QUERYDRAGICON, 0, 0)), dialog.m_hIcon);

        WINDOWPOS position{};
        position.hwnd = window;
        position.flags = SWP_SHOWWINDOW | SWP_NOMOVE | SWP_NOSIZE;
        SendMessageW(window, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&position));
        EXPECT_EQ(position.flags, static_cast<UINT>(SWP_NOMOVE | SWP_NOSIZE));
        ShowWindow(window, SW_SHOW);
        EXPECT_FALSE(IsWindowVisible(window));

        // OK applies the radio choice and leaves the window open.
        dialog.m_radioOverclock.SetCheck(BST_UNCHECKED);
        dialog.m_radioStock.SetCheck(BST_CHECKED);
        SendMessageW(window, WM_COMMAND, IDOK, 0);
        EXPECT_FALSE(dialog.m_switch.ocWanted);
        dialog.m_radioOverclock.SetCheck(BST_CHECKED);
        SendMessageW(window, WM_COMMAND, IDOK, 0);
        EXPECT_TRUE(dialog.m_switch.ocWanted);
        dialog.m_radioOverclock.SetCheck(BST_UNCHECKED);
        dialog.m_radioStock.SetCheck(BST_UNCHECKED);
        SendMessageW(window, WM_COMMAND, IDOK, 0);
        EXPECT_FALSE(dialog.m_switch.ocWanted);
        EXPECT_TRUE(IsWindow(window));

        SendMessageW(window, WM_COMMAND, ID_TRAY_ENABLE, 0);
        EXPECT_TRUE(dialog.m_switch.ocWanted);
        SendMessageW(window, WM_COMMAND, ID_TRAY_DISABLE, 0);
        EXPECT_FALSE(dialog.m_switch.ocWanted);
        SendMessageW(window, WM_COMMAND, ID_TRAY_ABOUT, 0);
        EXPECT_TRUE(IsWindow(window));
        SendMessageW(window, WM_COMMAND, ID_TRAY_ENABLE, 0);
        PostMessageW(window, WM_COMMAND, ID_TRAY_EXIT, 0);
    });
    EXPECT_FALSE(dialog.m_switch.ocWanted);
}

TEST_F(MainWindow, StartsWithTheOptionOffWithoutSwitchingAndWithTheControlsDisabled)
{
    ASSERT_TRUE(simulator.Stop());
    ASSERT_TRUE(simulator.Start({0, 0, 16}));
    CVelkaroDlg dialog;
    RunModal(dialog, [&] {
        EXPECT_FALSE(dialog.m_switch.ocSupported);
        EXPECT_FALSE(IsWindowEnabled(dialog.m_radioOverclock.GetSafeHwnd()));
        EXPECT_FALSE(IsWindowEnabled(dialog.m_radioStock.GetSafeHwnd()));
        EXPECT_FALSE(IsWindowEnabled(dialog.m_buttonOk.GetSafeHwnd()));
        EXPECT_EQ(dialog.m_radioOverclock.GetCheck(), BST_CHECKED);
        EXPECT_EQ(simulator.Journal(), (std::vector<std::string>{
                                           "SUBSCRIBE root\\wmi|WQL|Select * from ORV_Event -> 0",
                                           "SETTINGS root\\WMI:Q:ORV_System:System:0 -> 0",
                                       }));
        PostMessageW(dialog.m_hWnd, WM_COMMAND, ID_TRAY_EXIT, 0);
    });
}

TEST_F(MainWindow, FirmwareEventsReachThePolicyThroughTheLibrary)
{
    CVelkaroDlg dialog;
    RunModal(dialog, [&] {
        ASSERT_TRUE(dialog.m_switch.ocSupported);
        ASSERT_EQ(simulator.Ctl(L"set system1 1"), "ok");
        ASSERT_EQ(simulator.Ctl(L"event 0x79"), "ok 1");
        // The policy waits for the firmware to settle, then switches off: keep the loop running.
        EXPECT_TRUE(PumpUntil([&] { return !dialog.m_switch.ocSupported; }, 8000));
        EXPECT_TRUE(dialog.m_switch.ocWanted);
        const std::vector<std::string> journal = simulator.Journal();
        ASSERT_GE(journal.size(), 4u);
        EXPECT_EQ(std::vector<std::string>(journal.end() - 4, journal.end()),
                  (std::vector<std::string>{
                      "SETTINGS root\\WMI:Q:ORV_System:System:1 -> 1",
                      "SETTINGS root\\WMI:Q:ORV_AP:AP:6 -> 17",
                      "SETTINGS root\\WMI:S:ORV_AP:AP:6:16 -> 16",
                      "SETTINGS root\\WMI:Q:ORV_AP:AP:6 -> 16",
                  }));
        PostMessageW(dialog.m_hWnd, WM_COMMAND, ID_TRAY_EXIT, 0);
    });
}

TEST(MainWindowTemplate, ControlsAreThoseOfTheTemplate)
{
    class TemplateOnly : public CDialog {
    public:
        TemplateOnly() : CDialog(IDD_VELKARO_DIALOG) {}
    } dialog;
    ASSERT_TRUE(dialog.Create());
    HWND window = dialog.m_hWnd;
    wchar_t text[32] = {};
    GetWindowTextW(window, text, 32);
    EXPECT_STREQ(text, L"Ormund");
    EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    const struct {
        int id;
        const wchar_t* text;
        LONG type;
    } controls[] = {
        {IDC_RADIO_OVERCLOCK, L"Overclock VGA", BS_AUTORADIOBUTTON},
        {IDC_RADIO_STOCK, L"Downclock VGA", BS_AUTORADIOBUTTON},
        {IDOK, L"OK", BS_DEFPUSHBUTTON},
        {IDCANCEL, L"Exit", BS_PUSHBUTTON},
    };
    for (const auto& control : controls) {
        HWND item = GetDlgItem(window, control.id);
        ASSERT_NE(item, nullptr) << control.id;
        GetWindowTextW(item, text, 32);
        EXPECT_STREQ(text, control.text);
        EXPECT_EQ(GetWindowLongW(item, GWL_STYLE) & BS_TYPEMASK, control.type) << control.id;
    }
    EXPECT_TRUE(GetWindowLongW(GetDlgItem(window, IDC_RADIO_OVERCLOCK), GWL_STYLE) & WS_GROUP);
}

}  // namespace
