// What firmware events and resume from suspend do to the overclocked mode. The firmware decides
// availability (ocSupported); the user's choice (ocWanted) is never changed here. Only a running program
// acts on them.
#pragma once

#include <cstdint>

#include "control/overclock_switch.h"
#include "control/program_phase.h"
#include "control/window_effects.h"

inline constexpr wchar_t kOverclockOptionMessage[] =
    L"Please turn on VGA overclock option for speeding up your graphic function.";
inline constexpr wchar_t kProgramCaption[] = L"Tendral";

// Event codes the firmware raises when its overclock state may have changed.
inline constexpr std::uint32_t kEventOverclockOption = 0x60;
inline constexpr std::uint32_t kEventForceOffA = 0x5D;
inline constexpr std::uint32_t kEventForceOffB = 0x79;
// The firmware needs this long after an event before its state bits are settled.
inline constexpr std::uint32_t kEventSettleMs = 3000;

inline constexpr std::uintptr_t kResumeFromSuspend = 7;  // PBT_APMRESUMESUSPEND

class EventPolicy {
public:
    EventPolicy(OverclockSwitch& overclock, WindowEffects& window, const ProgramPhase& phase);

    // A firmware event; only the low byte of wParam is the code. Always returns 1.
    int OnFirmwareEvent(std::uintptr_t wParam);
    // The firmware service accepted the event subscription again (it came late or restarted): its
    // option is read afresh and followed as an event 0x60 would, without the settle wait and without
    // asking; the window's controls follow.
    void OnResubscribed();
    // A power broadcast; returns 0 when lParam is 0 and 1 otherwise.
    int OnPowerBroadcast(std::uintptr_t wParam, std::intptr_t lParam);

private:
    enum class WhenUnwanted { Ask, Stay };
    // Reads the option and switches on (when wanted) or off, and records whether it is on.
    void FollowOption(WhenUnwanted whenUnwanted);
    void DropQueuedRepeats(std::uint32_t code);

    OverclockSwitch& m_switch;
    WindowEffects& m_window;
    const ProgramPhase& m_phase;
};
