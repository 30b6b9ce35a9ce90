// What the overclock decisions need of the window system. The main window implements it; tests
// record it.
#pragma once

#include <cstdint>
#include <optional>

class WindowEffects {
public:
    virtual ~WindowEffects() = default;

    // Blocks the calling (GUI) thread; no message is handled meanwhile.
    virtual void BlockingWait(std::uint32_t milliseconds) = 0;
    // The modal request to turn the firmware's overclock option on; returns when the user closed it.
    virtual void ShowOverclockOptionMessage() = 0;
    // Enables or disables the overclock radio, the stock radio and the OK button, in that order.
    virtual void EnableModeControls(bool enable) = 0;
    // Checks the overclock radio and unchecks the stock radio, or the reverse; the overclock radio first.
    virtual void SetModeRadios(bool overclock) = 0;
    // The overclock radio's check state as the control reports it.
    virtual int OverclockRadioState() = 0;
    // Ends the main window's modal loop, and with it every box of the program that is open.
    virtual void EndModalLoop() = 0;
    // The wParam of the firmware event queued next for the window, if any, without taking it.
    virtual std::optional<std::uintptr_t> NextQueuedFirmwareEvent() = 0;
    // Takes that event off the queue unhandled.
    virtual void DropNextQueuedFirmwareEvent() = 0;
};
