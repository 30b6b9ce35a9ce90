// What the overclock decisions need of the window system. The main window implements it; tests
// record it or play a message queue behind it.
//
// A call whose name ends in "Pumping" runs a message loop, or takes the messages other threads and
// processes send, so other handlers (an ending among them) may run inside it. After each, the caller
// asks the program's phase again before it acts.
#pragma once

#include <cstdint>

class WindowEffects {
public:
    virtual ~WindowEffects() = default;

    // Blocks the calling (GUI) thread; no message is handled meanwhile.
    virtual void BlockingWait(std::uint32_t milliseconds) = 0;
    // The modal request to turn the firmware's overclock option on; returns when the user closed it.
    virtual void ShowOptionBoxPumping() = 0;
    // The modal refusal to run without an NVIDIA GPU; returns when the user dismissed it.
    virtual void ShowRefusalPumping() = 0;
    // Takes the tray icon away and ends the process with exit code 1, without the shutdown.
    virtual void LeaveRefused() = 0;
    // The tray menu, built for the current flags, tracked until it closes.
    virtual void TrackTrayMenuPumping() = 0;
    // The modeless About box, shown and brought to the front.
    virtual void ShowAboutBoxPumping() = 0;
    // A modal About box, as the system menu opens it; returns when it is closed.
    virtual void ShowModalAboutBoxPumping() = 0;
    // Takes the message posted next to the thread off its queue, unhandled, when it is a firmware event
    // with this code (low byte); true when it did. Any other message next, or none, is left alone.
    virtual bool TakeQueuedRepeatPumping(std::uint32_t code) = 0;
    // Enables or disables the overclock radio, the stock radio and the OK button, in that order.
    virtual void EnableModeControls(bool enable) = 0;
    // Checks the overclock radio and unchecks the stock radio, or the reverse; the overclock radio first.
    virtual void SetModeRadios(bool overclock) = 0;
    // The overclock radio's check state as the control reports it.
    virtual int OverclockRadioState() = 0;
    // Ends the main window's modal loop, and with it every box and menu of the program that is open.
    virtual void EndModalLoop() = 0;
};
