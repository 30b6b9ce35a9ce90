// The overclock switch: the user's choice and the firmware's availability as two flags, and the two
// sequences that put the GPU and the firmware's copy of the mode (bit 0 of AP item 6) into overclocked
// or normal mode together. No sequence changes a flag. The program's phase decides whether anything
// switches: on only while it runs, off while it runs and as it ends.
#pragma once

#include <optional>

#include "control/program_phase.h"
#include "control/window_effects.h"
#include "gpu/nvapi.h"

// Why the firmware's option is not taken to be on, while ocSupported is false.
enum class Unavailability {
    NotRead,     // not yet read
    OptionOff,   // the option read off
    NoAnswer,    // the service gave no value
    ForcedOff,   // an event found a force-off bit set
    AfterSleep,  // the computer resumed; the firmware has not confirmed the option since
};

// How the last switch sequence ended.
enum class SwitchResult {
    None,           // none ran yet
    On,             // the three driver entries and the write of bit 0 succeeded
    Off,            // both driver entries and the write succeeded
    DriverRefused,  // a driver entry failed; the value read went back unchanged
    NoValue,        // AP item 6 could not be read: nothing was written (a switch-on drove nothing)
    NotRecorded,    // the driver took the switch, but the write of bit 0 did not go through
};

class OverclockSwitch {
public:
    OverclockSwitch(NvApi& driver, WindowEffects& window, ProgramPhase& phase);

    void EnableOverclock();
    void DisableOverclock();

    // Once at start-up, after the GPU check passed and the program runs.
    void ApplyInitialState();

    // Inputs that switch. Each sets ocWanted first, then runs its sequence. Switching on waits for the
    // firmware's option: a choice made while it is off (from a menu opened before an event grayed it)
    // takes effect when the option comes back. Only while the program runs, but for the endings, which
    // end it: they switch off unless it refused to run.
    void OnTrayEnable();
    void OnTrayDisable();
    void OnTrayExit();
    void OnOk();
    void OnCancel();
    void OnClose();
    void OnDestroy();

    bool ocSupported = false;  // the firmware's overclock option is taken to be on
    bool ocWanted = true;      // the user's choice: overclocked mode on
    Unavailability unavailable = Unavailability::NotRead;  // why, while ocSupported is false

    // ocSupported set from a reading of the option; an empty one counts as off, for want of an answer.
    void TakeOption(std::optional<bool> option);
    // ocSupported false, and why.
    void MakeUnavailable(Unavailability why);
    // Beside the flags, which it leaves alone: how the last sequence ended.
    SwitchResult LastResult() const { return m_lastResult; }

private:
    // Whether a run may hand back instead of finishing because the driver invalidated the GPU handle.
    enum class Retry { Allowed, Not };
    enum class Outcome { Done, HandleInvalidated };

    // One run of each sequence. With Retry::Allowed, a run whose driver calls met an invalidated
    // handle writes nothing and says so; the caller enumerates the GPUs again and runs once more.
    Outcome SwitchOn(Retry retry);
    Outcome SwitchOff(Retry retry);
    // Writes the value a run computed and records how the run ended.
    void Finish(std::int32_t value, bool driverTookIt, SwitchResult success);

    void SwitchOnIfSupported();
    void BeginEnding();

    NvApi& m_driver;
    WindowEffects& m_window;
    ProgramPhase& m_phase;
    SwitchResult m_lastResult = SwitchResult::None;
};
