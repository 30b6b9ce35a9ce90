// What the tray icon's tip says of the overclocked mode, as the controller knows it. Screen readers
// read the tip at the icon, so it says why overclocking is unavailable too.
#pragma once

#include "control/overclock_switch.h"

enum class TrayStatus {
    Overclocked,     // the last switch-on succeeded in the driver and in the firmware
    NotWanted,       // Disable is the choice, and the GPU went to stock clocks
    NotOverclocked,  // wanted and allowed, but no switch-on has succeeded yet
    OptionOff,
    ForcedOff,
    AfterSleep,
    NoAnswer,       // the firmware service gave no value
    DriverRefused,  // the driver did not take the last switch
    NotRecorded,    // the firmware did not take the last write of bit 0
};

// The state the controller's flags and its last sequence tell. A failed last sequence comes first:
// it may leave the GPU other than the flags would say.
TrayStatus CurrentTrayStatus(const OverclockSwitch& overclock);
// The tip's second line for the state; below the tip's 128 characters with the first line.
const wchar_t* TrayStatusText(TrayStatus status);
