// The main window through what a Windows session brings besides its own inputs: keys while it is
// hidden, the foreground after the tray menu, the end of the session, and an Explorer that is not
// ready for the tray icon.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "main_window_fixture.h"
#include "tray/about_dlg.h"
#include "tray/tray_icon.h"
#include "tray/tray_icon_retry.h"

namespace {

int Writes(const std::vector<std::string>& journal)
{
    int writes = 0;
    for (const std::string& line : journal) {
        writes += line.find(":S:ORV_AP:AP:6:") != std::string::npos ? 1 : 0;
    }
    return writes;
}

struct Stroke {
    UINT message;
    WPARAM key;
    DWORD flags;  // repeat count, scan code, context and transition bits as a keyboard gives them
};

struct Key {
    const char* name;
    std::vector<Stroke> strokes;
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
    for (const Stroke& stroke : key.strokes) {
        PostMessageW(target, stroke.message, stroke.key, static_cast<LPARAM>(stroke.flags));
    }
}

TEST_F(MainWindow, TheHiddenWindowTakesNoKeyWhicheverOfItsControlsHasTheFocus)
{
    for (const bool optionOn : {true, false}) {
        ASSERT_TRUE(simulator.Stop());
        ASSERT_TRUE(simulator.Start({optionOn ? 2 : 0, 0, 16}));
        for (const Key& key : kKeys) {
            SCOPED_TRACE(std::string(key.name) + (optionOn ? ", option on" : ", option off"));
            CVelkaroDlg dialog;
            bool ranOn = false;
            int writesBefore = 0;
            RunModal(dialog, [&] {
                HWND window = dialog.m_hWnd;
                if (optionOn) {
                    // Enter would undo this through IDOK, which reads the radio that still says on.
                    SendMessageW(window, WM_COMMAND, ID_TRAY_DISABLE, 0);
                }
                writesBefore = Writes(simulator.Journal());
                // The keyboard goes to the focused control; without the focus, to the window.
                for (HWND target :
                     {window, GetDlgItem(window, IDOK), GetDlgItem(window, IDCANCEL),
                      dialog.m_radioOverclock.GetSafeHwnd(), dialog.m_radioStock.GetSafeHwnd()}) {
                    Press(target, key);
                }
                Later([&] {
                    ranOn = true;
                    EXPECT_EQ(dialog.m_switch.ocWanted, !optionOn);
                    EXPECT_EQ(Writes(simulator.Journal()), writesBefore);
                    PostMessageW(dialog.m_hWnd, WM_COMMAND, ID_TRAY_EXIT, 0);
                });
            });
            EXPECT_TRUE(ranOn) << "the program ended";
            ForgetRun();
        }
    }
}

TEST_F(MainWindow, TheAboutBoxClosesOnEscapeAndOnEnter)
{
    CVelkaroDlg dialog;
    std::vector<bool> closed;
    const auto showAndPress = [&](const Key& key) {
        SendMessageW(dialog.m_hWnd, WM_COMMAND, ID_TRAY_ABOUT, 0);
        EXPECT_TRUE(IsWindowVisible(g_aboutDialog->m_hWnd));
        Press(GetDlgItem(g_aboutDialog->m_hWnd, IDOK), key);  // its one control, which has the focus
    };
    const auto seeWhetherClosed = [&] { closed.push_back(!IsWindowVisible(g_aboutDialog->m_hWnd)); };
    RunModal(dialog, [&] {
        showAndPress(kKeys[0]);
        Later([&] {
            seeWhetherClosed();
            showAndPress(kKeys[1]);
            Later([&] {
                seeWhetherClosed();
                PostMessageW(dialog.m_hWnd, WM_COMMAND, ID_TRAY_EXIT, 0);
            });
        });
    });
    EXPECT_EQ(closed, (std::vector<bool>{true, true}));  // Escape, Enter
}

HWND g_menuOwner = nullptr;
bool g_chooseAbout = false;

// Runs inside the menu's loop: closes it, having chosen About or nothing.
void CALLBACK CloseMenu(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    if (g_chooseAbout) {
        PostMessageW(g_menuOwner, WM_COMMAND, ID_TRAY_ABOUT, 0);
    }
    EndMenu();
}

TEST_F(MainWindow, TheMenuGivesTheForegroundBackUnlessTheAboutBoxTookIt)
{
    for (const bool chooseAbout : {false, true}) {
        SCOPED_TRACE(chooseAbout ? "About chosen" : "nothing chosen");
        HWND other = CreateWindowExW(0, L"STATIC", L"another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20,
                                     20, 300, 200, nullptr, nullptr, nullptr, nullptr);
        CVelkaroDlg dialog;
        bool checked = false;
        RunModal(dialog, [&] {
            SetForegroundWindow(other);
            EXPECT_EQ(GetForegroundWindow(), other);
            g_menuOwner = dialog.m_hWnd;
            g_chooseAbout = chooseAbout;
            SetTimer(nullptr, 0, 100, CloseMenu);
            SendMessageW(dialog.m_hWnd, WM_TRAYNOTIFY, 1, WM_RBUTTONUP);
            Later([&] {
                checked = true;
                EXPECT_EQ(GetForegroundWindow(), chooseAbout ? g_aboutDialog->m_hWnd : other);
                PostMessageW(dialog.m_hWnd, WM_COMMAND, ID_TRAY_EXIT, 0);
            });
        });
        EXPECT_TRUE(checked);
        DestroyWindow(other);
        ForgetRun();
    }
}

TEST_F(MainWindow, TheEndOfTheSessionSwitchesOffOnceAndEndsTheProgram)
{
    CVelkaroDlg dialog;
    bool endedByItself = true;
    const INT_PTR result = RunModal(dialog, [&] {
        HWND window = dialog.m_hWnd;
        // Should the loop not end by itself, this ends it.
        Later([&] {
            endedByItself = false;
            PostMessageW(dialog.m_hWnd, WM_COMMAND, ID_TRAY_EXIT, 0);
        });
        const std::size_t before = simulator.Journal().size();
        EXPECT_EQ(SendMessageW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
        EXPECT_EQ(SendMessageW(window, WM_ENDSESSION, FALSE, ENDSESSION_LOGOFF), 0);
        // Asked, then called off: nothing happens.
        EXPECT_EQ(simulator.Journal().size(), before);
        EXPECT_EQ(g_trayCalls.size(), 1u);

        SendMessageW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
        // All done by the time it returns: Windows may end the process right after.
        EXPECT_EQ(simulator.Ctl(L"get ap6"), "ok 16");
        ASSERT_EQ(g_trayCalls.size(), 2u);
        EXPECT_EQ(g_trayCalls[1].message, static_cast<DWORD>(NIM_DELETE));
        EXPECT_TRUE(InstanceMutexIsFree());
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_TRUE(endedByItself);
    // The destruction that followed did not run the sequence again.
    EXPECT_EQ(Writes(simulator.Journal()), 2);  // start-up's switch-on, and the one switch-off
    EXPECT_EQ(g_trayCalls.size(), 2u);
}

TEST_F(MainWindow, AnIconTheShellRefusedIsAddedOnALaterTryAndTheTriesStop)
{
    const std::vector<DWORD> readyOnSecondTry = {NIM_ADD, NIM_ADD, NIM_MODIFY, NIM_ADD};
    const std::vector<DWORD> recreatedTaskbar = {NIM_ADD, NIM_ADD};
    struct Case {
        const char* name;
        int failures;
        bool taskbarCreated;
        std::vector<DWORD> calls;  // empty: the start-up add and two per try, for every try
    };
    const Case cases[] = {
        {"ready on the second try", 3, false, readyOnSecondTry},
        {"TaskbarCreated while trying", 1, true, recreatedTaskbar},
        {"never ready", 1000, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_trayFailures = c.failures;
        CVelkaroDlg dialog;
        RunModal(dialog, [&] {
            HWND window = dialog.m_hWnd;
            PostMessageW(window, WM_COMMAND, ID_TRAY_EXIT, 0);
            if (c.taskbarCreated) {
                SendMessageW(window, WM_TASKBARCREATED, 0, 0);
            }
            // Every tick the timer could give, and more.
            for (int tick = 0; tick < TrayIconRetry::kAttempts + 3; ++tick) {
                SendMessageW(window, WM_TIMER, TrayIconRetry::kTimerId, 0);
            }
            std::vector<DWORD> calls;
            for (const TrayCall& call : g_trayCalls) {
                calls.push_back(call.message);
            }
            if (c.calls.empty()) {
                EXPECT_EQ(calls.size(), 1u + 2u * TrayIconRetry::kAttempts);
            } else {
                EXPECT_EQ(calls, c.calls);
            }
            EXPECT_FALSE(KillTimer(window, TrayIconRetry::kTimerId)) << "the timer still runs";
        });
        g_trayFailures = 0;
        ForgetRun();
    }
}

TEST_F(MainWindow, TheRetryTimerReallyTicks)
{
    g_trayFailures = 1;
    CVelkaroDlg dialog;
    RunModal(dialog, [&] {
        EXPECT_TRUE(PumpUntil([] { return g_trayCalls.size() >= 2; }, TrayIconRetry::kIntervalMs + 3000));
        PostMessageW(dialog.m_hWnd, WM_COMMAND, ID_TRAY_EXIT, 0);
        ASSERT_GE(g_trayCalls.size(), 2u);
        EXPECT_EQ(g_trayCalls[1].message, static_cast<DWORD>(NIM_ADD));
    });
}

}  // namespace
