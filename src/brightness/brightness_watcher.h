// The one-shot subscription to WMI's display-brightness events, run once at start-up.
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
