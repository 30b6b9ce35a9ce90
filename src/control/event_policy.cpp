#include "control/event_policy.h"

#include "firmware/settings_channel.h"

EventPolicy::EventPolicy(OverclockSwitch& overclock, WindowEffects& window)
    : m_switch(overclock), m_window(window)
{
}

int EventPolicy::OnFirmwareEvent(std::uintptr_t wParam)
{
    const std::uint32_t code = static_cast<std::uint32_t>(wParam & 0xFF);
    if (code == kEventOverclockOption) {
        m_window.BlockingWait(kEventSettleMs);
        if (IsOverclockOptionOn()) {
            if (m_switch.ocWanted) {
                m_switch.EnableOverclock();
            } else {
                m_window.ShowOverclockOptionMessage();
            }
            m_switch.ocSupported = true;
        } else {
            m_switch.DisableOverclock();
            m_switch.ocSupported = false;
        }
    } else if (code == kEventForceOffA || code == kEventForceOffB) {
        m_window.BlockingWait(kEventSettleMs);
        if (IsSystem1ForceOff() || IsSystem0ForceOff()) {
            m_switch.DisableOverclock();
            m_switch.ocSupported = false;
        }
    }
    return 1;
}

int EventPolicy::OnPowerBroadcast(std::uintptr_t wParam, std::intptr_t lParam)
{
    if (wParam == kResumeFromSuspend) {
        m_switch.DisableOverclock();
        m_switch.ocSupported = false;
    }
    return lParam != 0 ? 1 : 0;
}
