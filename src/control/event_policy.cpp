#include "control/event_policy.h"

#include "firmware/settings_channel.h"

EventPolicy::EventPolicy(OverclockSwitch& overclock, WindowEffects& window, const ProgramPhase& phase)
    : m_switch(overclock), m_window(window), m_phase(phase)
{
}

int EventPolicy::OnFirmwareEvent(std::uintptr_t wParam)
{
    // Starting, refusing or ending: no wait may hold anything up, and no box may open.
    if (!m_phase.Running()) {
        return 1;
    }
    const std::uint32_t code = static_cast<std::uint32_t>(wParam & 0xFF);
    DropQueuedRepeats(code);
    if (!m_phase.Running()) {  // the peek may have handled an ending sent meanwhile
        return 1;
    }
    if (code == kEventOverclockOption) {
        m_window.BlockingWait(kEventSettleMs);
        FollowOption(WhenUnwanted::Ask);
    } else if (code == kEventForceOffA || code == kEventForceOffB) {
        m_window.BlockingWait(kEventSettleMs);
        if (IsSystem1ForceOff() || IsSystem0ForceOff()) {
            m_switch.DisableOverclock();
            m_switch.MakeUnavailable(Unavailability::ForcedOff);
        }
    }
    return 1;
}

void EventPolicy::OnResubscribed()
{
    if (!m_phase.Running()) {
        return;
    }
    FollowOption(WhenUnwanted::Stay);
    m_window.EnableModeControls(m_switch.ocSupported);
    m_window.SetModeRadios(m_switch.ocWanted);
}

void EventPolicy::FollowOption(WhenUnwanted whenUnwanted)
{
    const std::optional<bool> option = ReadOverclockOption();
    if (option != true) {
        m_switch.DisableOverclock();
        m_switch.TakeOption(option);
        return;
    }
    // Set before the box opens: an event handled inside the box's loop has the last word.
    m_switch.TakeOption(option);
    if (m_switch.ocWanted) {
        m_switch.EnableOverclock();
    } else if (whenUnwanted == WhenUnwanted::Ask) {
        m_window.ShowOptionBoxPumping();
    }
}

// Every event acted on blocks the GUI thread for the settle wait, so a burst of one code would freeze
// the program for a multiple of it. The copies queued right behind the one at hand tell nothing new:
// the firmware is read after they arrived. Only the run at the head of the whole queue is merged: a
// message of any other kind between two events (the service's return, a command) may change what the
// later one finds, so it and everything behind it keep their order.
void EventPolicy::DropQueuedRepeats(std::uint32_t code)
{
    while (m_window.TakeQueuedRepeatPumping(code)) {
    }
}

int EventPolicy::OnPowerBroadcast(std::uintptr_t wParam, std::intptr_t lParam)
{
    if (wParam == kResumeFromSuspend && m_phase.Running()) {
        m_switch.DisableOverclock();
        m_switch.MakeUnavailable(Unavailability::AfterSleep);
    }
    return lParam != 0 ? 1 : 0;
}
