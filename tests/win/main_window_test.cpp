// The real main window: start-up and shutdown, a second instance, its routing, and what a Windows
// session brings that e2e cannot stage: keys while it is hidden, the foreground after the tray menu,
// the end of the session, and an Explorer that is not ready for the tray icon.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "app/instance_mutex.h"
#include "main_window_fixture.h"
#include "platform/dpi.h"
#include "platform/unique_icon.h"
#include "resources/resource.h"
#include "tray/about_dlg.h"

namespace {

// The side of a square icon's picture, 0 for any other; GetIconInfo hands its bitmaps to the caller.
int IconSide(HICON icon)
{
    ICONINFO info{};
    BITMAP colour{};
    const bool read = GetIconInfo(icon, &info) && GetObjectW(info.hbmColor, sizeof colour, &colour) != 0;
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return read && colour.bmWidth == colour.bmHeight ? static_cast<int>(colour.bmWidth) : 0;
}

TEST_F(MainWindow, StartsHiddenWithItsIconAndEndsEveryWayWithIconGoneMutexReleasedAndSwitchedOff)
{
    // The firmware's option, the message that ends the program, and how often AP item 6 was written in
    // all: the start-up's switch-on and the switch-off of each step of the ending.
    const std::tuple<bool, UINT, WPARAM, LPARAM, int> cases[] = {
        {true, WM_CLOSE, 0, 0, 4},  // closing, the IDCANCEL the dialog manager makes of it, the destruction
        {false, WM_COMMAND, IDCANCEL, 0, 2},
        {true, WM_SYSCOMMAND, SC_CLOSE, 0, 4},
        {true, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, 2},  // once, all of it before the message returns
    };
    for (const auto& [optionOn, message, wParam, lParam, writes] : cases) {
        SCOPED_TRACE(testing::Message()
                     << "option " << optionOn << ", ended by " << message << " " << wParam);
        ASSERT_TRUE(simulator.Start({optionOn ? 2 : 0, 0, 16}));
        CVelkaroDlg dialog;
        const INT_PTR result = RunModal(dialog, [&] {
            HWND window = dialog.m_hWnd;
            EXPECT_FALSE(IsWindowVisible(window));
            HMENU systemMenu = GetSystemMenu(window, FALSE);
            const int count = GetMenuItemCount(systemMenu);
            EXPECT_EQ(GetMenuItemID(systemMenu, count - 1), static_cast<UINT>(IDM_ABOUTBOX));
            EXPECT_TRUE(GetMenuState(systemMenu, static_cast<UINT>(count - 2), MF_BYPOSITION) & MF_SEPARATOR);

            ASSERT_EQ(g_trayCalls.size(), 1u);
            const NOTIFYICONDATAW& record = g_trayCalls[0].record;
            EXPECT_EQ(g_trayCalls[0].message, static_cast<DWORD>(NIM_ADD));
            // What the real tray shows (e2e) does not tell the record's size or the tip.
            EXPECT_EQ(record.cbSize, sizeof(void*) == 4 ? 956u : 976u);
            EXPECT_STREQ(record.szTip, L"Tendral");
            EXPECT_EQ(record.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
            EXPECT_EQ(IconSide(record.hIcon), GetSystemMetrics(SM_CXSMICON));

            for (HWND control : {dialog.m_radioOverclock.GetSafeHwnd(), dialog.m_radioStock.GetSafeHwnd(),
                                 dialog.m_buttonOk.GetSafeHwnd()}) {
                EXPECT_EQ(IsWindowEnabled(control) != FALSE, optionOn);
            }
            EXPECT_EQ(dialog.m_radioOverclock.GetCheck(), BST_CHECKED);
            EXPECT_EQ(dialog.m_radioStock.GetCheck(), BST_UNCHECKED);
            EXPECT_TRUE(g_instanceMutex.Held());
            // Elevated, it hears Explorer's icon notifications and restart, an installer's close, and
            // nothing else from lower rights; Wine has no such rights to show it.
            EXPECT_EQ(g_letIn, (std::set<UINT>{WM_TRAYNOTIFY, WM_TASKBARCREATED, WM_CLOSE}));
            // The end of the session asked, then called off: nothing happens.
            EXPECT_EQ(SendMessageW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
            SendMessageW(window, WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF);
            EXPECT_EQ(ApWrites(simulator.Journal()), optionOn ? 1 : 0);
            SendMessageW(window, message, wParam, lParam);
            if (message == WM_ENDSESSION) {  // a shell that restarts now gets no icon back
                SendMessageW(window, WM_TASKBARCREATED, 0, 0);
            }
            // Switched off by the time it returns; at the end of the session, Windows may end the process
            // right after, so the icon is gone too.
            EXPECT_EQ(simulator.Ctl(L"get ap6"), "ok 16");
            EXPECT_EQ(g_trayCalls.size(), message == WM_ENDSESSION ? 2u : 1u);
        });
        EXPECT_EQ(result, IDCANCEL);
        ASSERT_EQ(g_trayCalls.size(), 2u);
        EXPECT_EQ(g_trayCalls[1].message, static_cast<DWORD>(NIM_DELETE));
        const NOTIFYICONDATAW &added = g_trayCalls[0].record, &deleted = g_trayCalls[1].record;
        EXPECT_TRUE(deleted.cbSize == added.cbSize && deleted.hWnd == added.hWnd && deleted.uID == added.uID);
        EXPECT_FALSE(g_instanceMutex.Held());
        EXPECT_FALSE(dialog.m_switch.ocWanted);
        EXPECT_EQ(ApWrites(simulator.Journal()), writes);
        ForgetRun();
    }
}

// Each picture stored in the program's icons loads at its own size with transparent and opaque pixels:
// a picture the system cannot decode loads as nothing.
TEST(ProgramIcons, EveryStoredPictureLoads)
{
    const int sides[] = {64, 48, 40, 32, 24, 20, 16};  // the program's; the others have no 64
    const HMODULE module = GetModuleHandleW(nullptr);
    const HDC screen = GetDC(nullptr);
    for (const int id : {IDR_MAINFRAME, IDI_RED_CHECK, IDI_BLACK_CHECK, IDI_RED_QUESTION, IDI_RED_CROSS}) {
        // The group's directory: the count at byte 4, then 14-byte entries that begin with the width.
        const auto* group = static_cast<const BYTE*>(
            LockResource(LoadResource(module, FindResourceW(module, MAKEINTRESOURCEW(id), RT_GROUP_ICON))));
        ASSERT_NE(group, nullptr) << id;
        ASSERT_EQ(group[4], id == IDR_MAINFRAME ? 7 : 6) << id;
        for (int i = 0; i < group[4]; ++i) {
            const int side = group[6 + 14 * i];
            SCOPED_TRACE(testing::Message() << "icon " << id << " at " << side);
            EXPECT_EQ(side, sides[i + 7 - group[4]]);
            const UniqueIcon icon(
                static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_ICON, side, side, 0)));
            ASSERT_EQ(IconSide(icon.get()), side);
            ICONINFO info{};
            GetIconInfo(icon.get(), &info);
            std::vector<DWORD> pixels(side * side);
            BITMAPINFO format{{sizeof(BITMAPINFOHEADER), side, -side, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
            EXPECT_EQ(GetDIBits(screen, info.hbmColor, 0, side, pixels.data(), &format, DIB_RGB_COLORS),
                      side);
            DeleteObject(info.hbmColor);
            DeleteObject(info.hbmMask);
            const auto [low, high] = std::ranges::minmax(pixels, {}, [](DWORD pixel) { return pixel >> 24; });
            EXPECT_EQ(low >> 24, 0u) << "no transparent pixel";
            EXPECT_EQ(high >> 24, 255u) << "no opaque pixel";
        }
    }
    ReleaseDC(nullptr, screen);
}

// An instance with higher rights: its mutex exists, and this user may not open it.
HANDLE WINAPI OpenRefused(DWORD, BOOL, LPCWSTR)
{
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
}

TEST_F(MainWindow, AnyOtherHolderOfTheNameMeansAnotherInstanceAndALeaveWithoutIconOrSubscription)
{
    const OpenMutexFunction denied = &OpenRefused;
    const std::tuple<const char*, HANDLE (*)(), OpenMutexFunction> others[] = {
        {"a running instance", [] { return CreateMutexW(nullptr, FALSE, kInstanceMutexName); }, &OpenMutexW},
        {"another kind of object", [] { return CreateEventW(nullptr, FALSE, FALSE, kInstanceMutexName); },
         &OpenMutexW},
        {"a mutex this user may not open", [] { return CreateEventW(nullptr, FALSE, FALSE, nullptr); },
         denied},
    };
    for (const auto& [name, create, open] : others) {
        SCOPED_TRACE(name);
        HANDLE running = create();
        ASSERT_NE(running, nullptr);
        g_openMutex = open;
        ASSERT_TRUE(simulator.Start());
        CVelkaroDlg dialog;
        bool ran = false;
        EXPECT_EQ(RunModal(dialog, [&] { ran = true; }), IDCANCEL);
        EXPECT_FALSE(ran) << "it ran as a second controller";
        EXPECT_FALSE(g_instanceMutex.Held());
        // The shutdown path still deletes, with the record never filled.
        ASSERT_EQ(g_trayCalls.size(), 1u);
        EXPECT_EQ(g_trayCalls[0].message, static_cast<DWORD>(NIM_DELETE));
        EXPECT_EQ(g_trayCalls[0].record.cbSize, 0u);
        // It left the firmware (and the driver, which it never loaded) to the instance that runs.
        EXPECT_EQ(simulator.Journal().size(), 0u);
        g_openMutex = &OpenMutexW;
        CloseHandle(running);
        ForgetRun();
    }
}

UINT g_notificationAreaDpi = 96;
const MonitorDpiFunction g_realMonitorDpi = g_monitorDpi;

// The tip follows the controller: one change of the tip alone whenever what it says changes, none when
// it stays; a taskbar made anew gets the icon with the tip it has now.
TEST_F(MainWindow, KeepsHiddenAndRoutesTheButtonsTrayCommandsScaleChangesAndTheTip)
{
    CVelkaroDlg dialog;
    RunModal(dialog, [&] {
        HWND window = dialog.m_hWnd;
        EXPECT_EQ(g_trayCalls.front().record.szTip, std::wstring(L"Tendral"));  // before start-up's exchanges
        ShowWindow(window, SW_SHOW);
        EXPECT_FALSE(IsWindowVisible(window));
        // Start-up's second half runs once: again, it would subscribe and switch anew.
        const std::size_t exchanges = simulator.Journal().size();
        SendMessageW(window, WM_FINISH_STARTUP, 0, 0);
        EXPECT_EQ(simulator.Journal().size(), exchanges);

        // The overclock radio, each command as a click or a menu sends it, the choice it leaves (OK reads
        // the radio) and the tips the shell has been given since start-up.
        const std::wstring on = L"Tendral\nOverclocked", off = L"Tendral\nNot overclocked: Disable is chosen";
        const std::tuple<int, UINT, bool, std::vector<std::wstring>> steps[] = {
            {BST_UNCHECKED, IDOK, false, {on, off}},
            {BST_CHECKED, IDOK, true, {on, off, on}},
            {BST_UNCHECKED, ID_TRAY_ENABLE, true, {on, off, on}},
            {BST_CHECKED, ID_TRAY_DISABLE, false, {on, off, on, off}},
            {BST_CHECKED, ID_TRAY_DISABLE, false, {on, off, on, off}},
            {BST_UNCHECKED, ID_TRAY_ABOUT, false, {on, off, on, off}},
        };
        for (const auto& [radio, command, wanted, tips] : steps) {
            dialog.m_radioOverclock.SetCheck(radio);
            SendMessageW(window, WM_COMMAND, command, 0);
            EXPECT_EQ(dialog.m_switch.ocWanted, wanted) << command;
            EXPECT_EQ(g_tipChanges, tips) << command;
        }
        EXPECT_TRUE(IsWindowVisible(g_aboutDialog->m_hWnd));
        SendMessageW(window, WM_TASKBARCREATED, 0, 0);
        EXPECT_EQ(g_trayCalls.back().message, static_cast<DWORD>(NIM_ADD));
        EXPECT_EQ(g_trayCalls.back().record.szTip, off);

        PostMessageW(window, WM_COMMAND, ID_TRAY_EXIT, 0);  // handled after the sent messages below

        // The tray icon follows the scale of the notification area's monitor, played through the
        // monitors' DPI (Wine has one for all), not the hidden window's, which each message says is 144;
        // only a new size goes to the shell. The notification area's DPI, the message, then the icon's
        // side and the shell calls so far.
        const int small = GetSystemMetrics(SM_CXSMICON);
        const std::tuple<UINT, UINT, int, std::size_t> scaleSteps[] = {
            {144, WM_SETTINGCHANGE, 24, 3},   {144, WM_DPICHANGED, 24, 3},
            {96, WM_DPICHANGED, small, 4},    {144, WM_DISPLAYCHANGE, 24, 5},
            {96, WM_SETTINGCHANGE, small, 6}, {96, WM_DISPLAYCHANGE, small, 6},
        };
        RECT suggested{};
        GetWindowRect(window, &suggested);
        for (const auto& [taskbarDpi, message, size, calls] : scaleSteps) {
            g_notificationAreaDpi = taskbarDpi;
            g_monitorDpi = [](HMONITOR) { return g_notificationAreaDpi; };
            SendMessageW(window, message, MAKEWPARAM(144, 144),
                         message == WM_DPICHANGED ? reinterpret_cast<LPARAM>(&suggested) : 0);
            g_monitorDpi = g_realMonitorDpi;
            ASSERT_EQ(g_trayCalls.size(), calls) << message;
            EXPECT_EQ(g_trayCalls.back().message, static_cast<DWORD>(NIM_MODIFY));
            EXPECT_EQ(IconSide(g_trayCalls.back().record.hIcon), size) << message;
        }
    });
}

struct Key {
    const char* name;
    std::vector<std::tuple<UINT, WPARAM, DWORD>> strokes;  // message, key and lParam as a keyboard gives them
};

const Key kKeys[] = {
    {"Escape", {{WM_KEYDOWN, VK_ESCAPE, 0x00010001}, {WM_KEYUP, VK_ESCAPE, 0xC0010001}}},
    {"Enter",
     {{WM_KEYDOWN, VK_RETURN, 0x001C0001}, {WM_CHAR, L'\r', 0x001C0001}, {WM_KEYUP, VK_RETURN, 0xC01C0001}}},
    {"Space",
     {{WM_KEYDOWN, VK_SPACE, 0x00390001}, {WM_CHAR, L' ', 0x00390001}, {WM_KEYUP, VK_SPACE, 0xC0390001}}},
    {"Alt+F4", {{WM_SYSKEYDOWN, VK_F4, 0x203E0001}, {WM_SYSKEYUP, VK_F4, 0xE03E0001}}},
};

void Press(HWND target, const Key& key)
{
    for (const auto& [message, wParam, lParam] : key.strokes) {
        PostMessageW(target, message, wParam, static_cast<LPARAM>(lParam));
    }
}

TEST_F(MainWindow, TheHiddenWindowTakesNoKeyWhicheverOfItsControlsHasTheFocusButTheAboutBoxTakesItsOwn)
{
    for (const Key& key : kKeys) {
        SCOPED_TRACE(key.name);
        CVelkaroDlg dialog;
        bool ranOn = false;
        RunModal(dialog, [&] {
            HWND window = dialog.m_hWnd;
            // Enter would undo this through IDOK, which reads the radio that still says on.
            SendMessageW(window, WM_COMMAND, ID_TRAY_DISABLE, 0);
            const int writesBefore = ApWrites(simulator.Journal());
            // The About box, though, takes its dialog keys: each of them closes it.
            SendMessageW(window, WM_COMMAND, ID_TRAY_ABOUT, 0);
            Press(GetDlgItem(g_aboutDialog->m_hWnd, IDOK), key);
            // The keyboard goes to the focused control; without the focus, to the window.
            for (HWND target : {window, GetDlgItem(window, IDOK), GetDlgItem(window, IDCANCEL),
                                dialog.m_radioOverclock.GetSafeHwnd(), dialog.m_radioStock.GetSafeHwnd()}) {
                Press(target, key);
            }
            Later([&, writesBefore] {
                ranOn = true;
                EXPECT_FALSE(dialog.m_switch.ocWanted);
                EXPECT_EQ(ApWrites(simulator.Journal()), writesBefore);
                EXPECT_FALSE(IsWindowVisible(g_aboutDialog->m_hWnd));
                PostMessageW(dialog.m_hWnd, WM_COMMAND, ID_TRAY_EXIT, 0);
            });
        });
        EXPECT_TRUE(ranOn) << "the program ended";
        ForgetRun();
    }
}

RECT g_menuRect{};
int g_menuSelection = -1;
WPARAM g_menuKey = VK_ESCAPE;

// Runs inside the menu's loop: notes where the menu is and which entry is selected, then presses a key.
void CALLBACK NoteMenuAndPressKey(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    const HWND popup = FindWindowW(L"#32768", nullptr);
    GetWindowRect(popup, &g_menuRect);
    const auto menu = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0));
    g_menuSelection = GetMenuItemCount(menu) - 1;
    while (g_menuSelection >= 0 && (GetMenuState(menu, g_menuSelection, MF_BYPOSITION) & MF_HILITE) == 0) {
        --g_menuSelection;
    }
    PostMessageW(popup, WM_KEYDOWN, g_menuKey, 0);
}

// The notification area brings the keyboard as a right click, with the pointer off the icon. However the
// menu was opened, it gives the foreground back to where it was, unless the About box took it.
TEST_F(MainWindow, TheMenuOpensAtThePointerOrFromTheKeyboardAtTheIconAndGivesFocusAndForegroundBack)
{
    POINT pointer{};
    GetCursorPos(&pointer);  // Wine's desktop without a display keeps it where it is
    const RECT onPointer{pointer.x - 8, pointer.y - 8, pointer.x + 8, pointer.y + 8};
    const RECT icon{pointer.x + 400, pointer.y + 400, pointer.x + 416, pointer.y + 416};
    const POINT above{icon.left, icon.top};
    // Where the shell says the icon is, the firmware's option, where the menu's top-left corner is for a
    // click or its bottom-left for the keyboard, the entry selected (-1: none) and the key pressed.
    const std::tuple<const char*, const RECT*, bool, POINT, int, WPARAM> cases[] = {
        {"the shell does not tell where the icon is: at the pointer", nullptr, true, pointer, -1, VK_ESCAPE},
        {"a click on the icon: at the pointer", &onPointer, true, pointer, -1, VK_ESCAPE},
        {"the keyboard: above the icon, the first entry selected", &icon, true, above, 1, VK_ESCAPE},
        {"the keyboard, both modes grayed: About selected", &icon, false, above, 4, VK_ESCAPE},
        {"the keyboard, About chosen: the focus goes with it", &icon, false, above, 4, VK_RETURN},
    };
    for (const auto& [name, iconRect, optionOn, corner, selected, key] : cases) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(simulator.Start({optionOn ? 2 : 0, 0, 16}));
        g_trayIconRect = iconRect;
        g_menuKey = key;
        HWND other = CreateWindowExW(0, L"STATIC", L"another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20,
                                     20, 300, 200, nullptr, nullptr, nullptr, nullptr);
        CVelkaroDlg dialog;
        bool checked = false;
        RunModal(dialog, [&] {
            SetForegroundWindow(other);
            SetTimer(nullptr, 0, 100, NoteMenuAndPressKey);
            const std::size_t exchanges = simulator.Journal().size();
            SendMessageW(dialog.m_hWnd, WM_TRAYNOTIFY, 1, WM_RBUTTONUP);
            const bool keyboard = selected >= 0;
            EXPECT_EQ(g_menuRect.left, corner.x);
            EXPECT_EQ(keyboard ? g_menuRect.bottom : g_menuRect.top, corner.y);
            EXPECT_EQ(g_menuSelection, selected);
            const bool focusBack = keyboard && key == VK_ESCAPE;
            EXPECT_EQ(g_trayCalls.back().message, static_cast<DWORD>(focusBack ? NIM_SETFOCUS : NIM_ADD));
            Later([&, exchanges] {
                checked = true;
                EXPECT_EQ(GetForegroundWindow(), key == VK_RETURN ? g_aboutDialog->m_hWnd : other);
                EXPECT_EQ(simulator.Journal().size(), exchanges) << "the menu sent something";
                PostMessageW(dialog.m_hWnd, WM_COMMAND, ID_TRAY_EXIT, 0);
            });
        });
        EXPECT_TRUE(checked);
        DestroyWindow(other);
        ForgetRun();
    }
}

TEST_F(MainWindow, AnIconTheShellRefusedIsAddedOnALaterTryAndTheTriesStop)
{
    // The calls the shell fails at first, and when TaskbarCreated comes (-1: it does not); the calls
    // made (empty: the start-up add and two per try, for every try).
    const std::tuple<const char*, int, int, std::vector<DWORD>> cases[] = {
        {"ready on the second try", 3, -1, {NIM_ADD, NIM_ADD, NIM_MODIFY, NIM_ADD}},
        {"TaskbarCreated while trying", 1, 0, {NIM_ADD, NIM_ADD}},
        {"TaskbarCreated, the shell still has it", 0, 1, {NIM_ADD, NIM_ADD, NIM_MODIFY}},
        {"never ready", 1000, -1, {}},
    };
    for (const auto& c : cases) {
        const auto& [name, failures, failuresAtTaskbarCreated, expected] = c;
        SCOPED_TRACE(name);
        g_trayFailures = failures;
        CVelkaroDlg dialog;
        RunModal(dialog, [&] {
            HWND window = dialog.m_hWnd;
            if (&c == cases) {  // the first try comes from the real timer, the others are sent
                EXPECT_TRUE(
                    PumpUntil([] { return g_trayCalls.size() >= 3; }, TrayIcon::kRetryIntervalMs + 3000));
            }
            PostMessageW(window, WM_COMMAND, ID_TRAY_EXIT, 0);
            if (failuresAtTaskbarCreated >= 0) {
                g_trayFailures = failuresAtTaskbarCreated;
                SendMessageW(window, WM_TASKBARCREATED, 0, 0);
            }
            // Every tick the timer could give, and more.
            for (int tick = 0; tick < TrayIcon::kRetryAttempts + 3; ++tick) {
                SendMessageW(window, WM_TIMER, TrayIcon::kRetryTimerId, 0);
            }
            std::vector<DWORD> calls;
            for (const TrayCall& call : g_trayCalls) {
                calls.push_back(call.message);
            }
            if (expected.empty()) {
                EXPECT_EQ(calls.size(), 1u + 2u * TrayIcon::kRetryAttempts);
            } else {
                EXPECT_EQ(calls, expected);
            }
            EXPECT_FALSE(KillTimer(window, TrayIcon::kRetryTimerId)) << "the timer still runs";
        });
        g_trayFailures = 0;
        ForgetRun();
    }
}

}  // namespace
