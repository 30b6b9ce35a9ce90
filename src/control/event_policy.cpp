#include "control/event_policy.h"

#include "firmware/settings_channel.h"

EventPolicy::EventPolicy(OverclockSwitch& overclock, WindowEffects& window)
    : m_switch(overclock), m_window(window)
{
}

int EventPolicy::OnFirmwareEvent(std::uintptr_t wParam)
{
    // Ending: no wait may hold up the end, and no box may open.
    if (m_switch.Ending()) {
        return 1;
    }
    const std::uint32_t code = static_cast<std::uint32_t>(wParam & 0xFF);
    DropQueuedRepeats(code);
    if (code == kEventOverclockOption) {
        m_window.BlockingWait(kEventSettleMs);
        FollowOption(WhenUnwanted::Ask);
    } else if (code == kEventForceOffA || code == kEventForceOffB) {
        m_window.BlockingWait(kEventSettleMs);
        if (IsSystem1ForceOff() || IsSystem0ForceOff()) {
            m_switch.DisableOverclock();
            m_switch.ocSupported = false;
        }
    }
    return 1;
}

void EventPolicy::OnResubscribed()
{
    if (m_switch.Ending()) {
        return;
    }
    FollowOption(WhenUnwanted::Stay);
    m_window.EnableModeControls(m_switch.ocSupported);
    m_window.SetModeRadios(m_switch.ocWanted);
}

void EventPolicy::FollowOption(WhenUnwanted whenUnwanted)
{
    if (!IsOverclockOptionOn()) {
        m_switch.DisableOverclock();
        m_switch.ocSupported = false;
        return;
    }
    // Set before the box opens: an event handled inside the box's loop has the last word.
    m_switch.ocSupported = true;
    if (m_switch.ocWanted) {
        m_switch.EnableOverclock();
    } else if (whenUnwanted == WhenUnwanted::Ask) {
        m_window.ShowOverclockOptionMessage();
    }
}

// Every event acted on blocks the GUI thread for the settle wait, so a burst of one code would freeze
// the program for a multiple of it. The copies queued right behind the one at hand tell nothing new:
// the firmware is read after they arrived. Only that run is merged; the events behind it keep their
// order, since a different code in between may have changed what a later one finds.
void EventPolicy::DropQueuedRepeats(std::uint32_t code)
{
    for (std::optional<std::uintptr_t> next = m_window.NextQueuedFirmwareEvent();
         next.has_value() && (*next & 0xFF) == code; next = m_window.NextQueuedFirmwareEvent()) {
        m_window.DropNextQueuedFirmwareEvent();
    }
}

int EventPolicy::OnPowerBroadcast(std::uintptr_t wParam, std::intptr_t lParam)
{
    if (wParam == kResumeFromSuspend) {
        m_switch.DisableOverclock();
        m_switch.ocSupported = false;
    }
    return lParam != 0 ? 1 : 0;
}
