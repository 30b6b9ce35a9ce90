#include "control/overclock_switch.h"

#include "firmware/settings_channel.h"

namespace {

constexpr std::int32_t kOverclockBit = 0x01;
// Switching off keeps bits 1 to 7 only: the firmware's copy of the mode never carries higher bits.
constexpr std::int32_t kKeptWhenSwitchingOff = 0xFE;

}  // namespace

OverclockSwitch::OverclockSwitch(NvApi& driver, WindowEffects& window, ProgramPhase& phase)
    : m_driver(driver), m_window(window), m_phase(phase)
{
}

// After a driver update or reset the handle enumerated at start-up is refused from then on; one fresh
// enumeration gives the sequence a handle the new driver knows.
void OverclockSwitch::EnableOverclock()
{
    if (!m_phase.Running()) {
        return;
    }
    if (SwitchOn(Retry::Allowed) == Outcome::HandleInvalidated) {
        m_driver.EnumerateGpus();
        SwitchOn(Retry::Not);
    }
}

void OverclockSwitch::DisableOverclock()
{
    if (!m_phase.MaySwitchOff()) {
        return;
    }
    if (SwitchOff(Retry::Allowed) == Outcome::HandleInvalidated) {
        m_driver.EnumerateGpus();
        SwitchOff(Retry::Not);
    }
}

OverclockSwitch::Outcome OverclockSwitch::SwitchOn(Retry retry)
{
    std::int32_t value = GetApItem6();
    // Without the firmware's copy of the mode the GPU is not overclocked: bit 0 could not follow it.
    if (value == kApItem6ReadFailed) {
        m_lastResult = SwitchResult::NoValue;
        return Outcome::Done;
    }
    const NvAPI_Status a = m_driver.GpuOverclockSwitch(m_driver.FirstPhysicalGpu(), 1);
    const NvAPI_Status b = m_driver.GpuOverclockLimit(m_driver.FirstPhysicalGpu(), 1, 0);
    const NvAPI_Status c = m_driver.GpuStockClockSwitch(m_driver.FirstPhysicalGpu(), 0);
    if (retry == Retry::Allowed &&
        (a == NVAPI_HANDLE_INVALIDATED || b == NVAPI_HANDLE_INVALIDATED || c == NVAPI_HANDLE_INVALIDATED)) {
        return Outcome::HandleInvalidated;
    }
    const bool driverTookIt = a == NVAPI_OK && b == NVAPI_OK && c == NVAPI_OK;
    Finish(driverTookIt ? value | kOverclockBit : value, driverTookIt, SwitchResult::On);
    return Outcome::Done;
}

OverclockSwitch::Outcome OverclockSwitch::SwitchOff(Retry retry)
{
    const NvAPI_Status a = m_driver.GpuOverclockSwitch(m_driver.FirstPhysicalGpu(), 0);
    const NvAPI_Status b = m_driver.GpuStockClockSwitch(m_driver.FirstPhysicalGpu(), 1);
    if (retry == Retry::Allowed && (a == NVAPI_HANDLE_INVALIDATED || b == NVAPI_HANDLE_INVALIDATED)) {
        return Outcome::HandleInvalidated;
    }
    // The GPU goes to stock clocks in any case, the safe direction; the firmware is written only from a
    // value read, since one derived from -1 would set or clear its other bits.
    std::int32_t value = GetApItem6();
    if (value == kApItem6ReadFailed) {
        m_lastResult = SwitchResult::NoValue;
        return Outcome::Done;
    }
    const bool driverTookIt = a == NVAPI_OK && b == NVAPI_OK;
    Finish(driverTookIt ? value & kKeptWhenSwitchingOff : value, driverTookIt, SwitchResult::Off);
    return Outcome::Done;
}

void OverclockSwitch::Finish(std::int32_t value, bool driverTookIt, SwitchResult success)
{
    const bool written = SetApItem6(value);
    m_lastResult = !driverTookIt ? SwitchResult::DriverRefused
                   : written     ? success
                                 : SwitchResult::NotRecorded;
}

void OverclockSwitch::TakeOption(std::optional<bool> option)
{
    if (option == true) {
        ocSupported = true;
    } else {
        MakeUnavailable(option ? Unavailability::OptionOff : Unavailability::NoAnswer);
    }
}

void OverclockSwitch::MakeUnavailable(Unavailability why)
{
    ocSupported = false;
    unavailable = why;
}

void OverclockSwitch::ApplyInitialState()
{
    TakeOption(ReadOverclockOption());
    if (ocSupported && ocWanted) {
        EnableOverclock();
    }
    m_window.EnableModeControls(ocSupported);
    m_window.SetModeRadios(ocWanted);
}

void OverclockSwitch::OnTrayEnable()
{
    if (!m_phase.Running()) {
        return;
    }
    ocWanted = true;
    SwitchOnIfSupported();
}

void OverclockSwitch::OnTrayDisable()
{
    if (!m_phase.Running()) {
        return;
    }
    ocWanted = false;
    DisableOverclock();
}

void OverclockSwitch::OnTrayExit()
{
    BeginEnding();
    m_window.EndModalLoop();
}

void OverclockSwitch::OnOk()
{
    if (!m_phase.Running()) {
        return;
    }
    ocWanted = m_window.OverclockRadioState() == 1;
    if (ocWanted) {
        SwitchOnIfSupported();
    } else {
        DisableOverclock();
    }
}

void OverclockSwitch::OnCancel()
{
    BeginEnding();
    m_window.EndModalLoop();
}

void OverclockSwitch::OnClose()
{
    BeginEnding();
}

void OverclockSwitch::OnDestroy()
{
    BeginEnding();
}

// A menu built while the option was on can still be open when an event finds it off: its Enable must
// not overclock what the firmware no longer allows.
void OverclockSwitch::SwitchOnIfSupported()
{
    if (ocSupported) {
        EnableOverclock();
    }
}

// Every ending switches off again, as each is a full sequence; a program that refused to run switches
// nothing, and one whose shutdown ran does nothing more.
void OverclockSwitch::BeginEnding()
{
    m_phase.End();
    if (!m_phase.MaySwitchOff()) {
        return;
    }
    ocWanted = false;
    DisableOverclock();
}
