// Keeps trying to add the tray icon after the shell refused it. At logon Explorer may not be ready,
// and an add that failed or timed out is followed by no TaskbarCreated: without the retry the program
// would run on invisibly, and only Task Manager could end it.
#pragma once

#include <windows.h>

#include <shellapi.h>

class TrayIconRetry {
public:
    // The tick arrives at the window as WM_TIMER with this ID.
    static constexpr UINT_PTR kTimerId = 1;
    static constexpr UINT kIntervalMs = 3000;
    // Two minutes of tries, then the program gives up on its icon.
    static constexpr int kAttempts = 40;

    // Starts the ticks on `window`.
    void Start(HWND window);
    // One tick: tries again, and stops after a success or the last attempt.
    void OnTick(NOTIFYICONDATAW& record);
    void Stop();

private:
    HWND m_window = nullptr;
    int m_attemptsLeft = 0;
};
