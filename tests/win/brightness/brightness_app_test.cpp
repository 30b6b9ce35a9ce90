// The watcher as the main window starts it: brightness events reach the running window and change
// nothing, and none reaches it once it is being destroyed. Then with the system's own WMI, whatever
// that answers.
#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

#include "app/velkaro_dlg.h"
#include "brightness/event_sink.h"
#include "brightness_test_support.h"
#include "fake_event_object.h"
#include "fake_wmi.h"
#include "main_window_fixture.h"

namespace {

// A subclass over the dialog's own procedure that sees every WM_BRIGHTNESS the window receives and
// runs a call at WM_NCDESTROY, when WM_DESTROY has been handled but the window still exists.
std::vector<std::pair<WPARAM, LPARAM>> g_seen;
std::function<void()> g_atNcDestroy;
WNDPROC g_dialogProc = nullptr;

LRESULT CALLBACK WatchDialog(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_BRIGHTNESS) {
        g_seen.emplace_back(wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        if (auto call = std::exchange(g_atNcDestroy, nullptr)) {
            call();
        }
    }
    return CallWindowProcW(g_dialogProc, window, message, wParam, lParam);
}

class BrightnessInMainWindow : public MainWindow {
protected:
    void SetUp() override
    {
        MainWindow::SetUp();
        g_seen.clear();
    }
};

TEST_F(BrightnessInMainWindow, EventsReachTheRunningWindowOnlyAndChangeNothing)
{
    FakeWmi wmi;
    FakeEventObject forty(40);
    FakeEventObject late(41);
    IWbemClassObject* running[] = {&forty};
    IWbemClassObject* dying[] = {&late};
    bool atNcDestroy = false;
    CVelkaroDlg dialog;
    const INT_PTR result = RunModal(dialog, [&] {
        IWbemObjectSink* handler = wmi.handler;
        ASSERT_NE(handler, nullptr) << "the start-up did not subscribe";
        HWND window = dialog.m_hWnd;
        g_dialogProc = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WatchDialog)));

        const auto journal = simulator.Journal();
        const bool supported = dialog.m_switch.ocSupported;
        const bool wanted = dialog.m_switch.ocWanted;
        EXPECT_TRUE(RunOnWorker([&] { handler->Indicate(1, running); }));
        EXPECT_EQ(g_seen, (std::vector<std::pair<WPARAM, LPARAM>>{{40, 0}}));
        EXPECT_TRUE(IsWindow(window));
        EXPECT_FALSE(IsWindowVisible(window));
        EXPECT_EQ(dialog.m_switch.ocSupported, supported);
        EXPECT_EQ(dialog.m_switch.ocWanted, wanted);
        EXPECT_EQ(simulator.Journal(), journal);

        g_atNcDestroy = [&atNcDestroy, &dying, window, handler] {
            atNcDestroy = IsWindow(window) != FALSE;
            handler->Indicate(1, dying);
        };
        PostMessageW(window, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_TRUE(atNcDestroy);
    // After the window is gone, an event is taken and goes nowhere.
    EXPECT_TRUE(RunOnWorker([&] { wmi.handler->Indicate(1, running); }));
    EXPECT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(late.reads.size(), 1u);
}

TEST_F(BrightnessInMainWindow, StartsAndRunsWithTheSystemsWmi)
{
    CVelkaroDlg dialog;
    bool ran = false;
    const INT_PTR result = RunModal(dialog, [&] {
        ran = true;
        HWND window = dialog.m_hWnd;
        EXPECT_EQ(SendMessageW(window, WM_BRIGHTNESS, 40, 0), 0);
        EXPECT_TRUE(IsWindow(window));
        EXPECT_FALSE(IsWindowVisible(window));
        PostMessageW(window, WM_COMMAND, ID_TRAY_EXIT, 0);
    });
    EXPECT_TRUE(ran);
    EXPECT_EQ(result, IDCANCEL);
}

}  // namespace
