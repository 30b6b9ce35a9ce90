// The one-shot subscription to WMI's display-brightness events, made once at start-up.
#pragma once

#include <windows.h>

#include <atomic>

// The results of StartBrightnessWatcher. There is no code 2.
enum BrightnessWatcherResult : int {
    kBrightnessSubscribed = 0,
    kBrightnessQueryRefused = 1,
    kBrightnessLocatorFailed = 3,
    kBrightnessConnectFailed = 4,
    kBrightnessSecurityFailed = 5,
    // The unsecured apartment, the stub around the sink or the stub's sink interface could not be had.
    kBrightnessSinkSetupFailed = 6,
};

// Subscribes to the brightness events in ROOT\WMI. Each event is sent as WM_BRIGHTNESS to the window
// that `target` holds at that moment (none while it is null); `target` must live as long as the
// process. On success COM stays initialised on this thread and WMI keeps the subscription until the
// process ends; on any failure everything obtained is released and COM uninitialised again.
int StartBrightnessWatcher(const std::atomic<HWND>& target);

// The same on a thread of its own, so that the window never waits for WMI: at sign-in the management
// service may still be starting, for seconds. A failure is only traced. After a success the thread
// stays, idle, in the multithreaded apartment the subscription lives in, so that the apartment lasts
// as long as the process; otherwise it ends with the attempt. False when no thread could be started.
bool StartBrightnessWatcherThread(const std::atomic<HWND>& target);
