#include "control/tray_status.h"

#include <cstddef>
#include <iterator>

TrayStatus CurrentTrayStatus(const OverclockSwitch& overclock)
{
    switch (overclock.LastResult()) {
        case SwitchResult::DriverRefused:
            return TrayStatus::DriverRefused;
        case SwitchResult::NoValue:
            return TrayStatus::NoAnswer;
        case SwitchResult::NotRecorded:
            return TrayStatus::NotRecorded;
        case SwitchResult::None:
        case SwitchResult::On:
        case SwitchResult::Off:
            break;
    }
    if (!overclock.ocSupported) {
        switch (overclock.unavailable) {
            case Unavailability::ForcedOff:
                return TrayStatus::ForcedOff;
            case Unavailability::AfterSleep:
                return TrayStatus::AfterSleep;
            case Unavailability::NoAnswer:
                return TrayStatus::NoAnswer;
            case Unavailability::NotRead:
            case Unavailability::OptionOff:
                return TrayStatus::OptionOff;
        }
    }
    if (!overclock.ocWanted) {
        return TrayStatus::NotWanted;
    }
    return overclock.LastResult() == SwitchResult::On ? TrayStatus::Overclocked : TrayStatus::NotOverclocked;
}

const wchar_t* TrayStatusText(TrayStatus status)
{
    // In the order of TrayStatus.
    static constexpr const wchar_t* kTexts[] = {
        L"Overclocked",
        L"Not overclocked: Disable is chosen",
        L"Not overclocked",
        L"Overclocking unavailable: the firmware's option is off",
        L"Overclocking unavailable: switched off by the firmware",
        L"Overclocking unavailable until the firmware confirms it after sleep",
        L"Overclocking unavailable: the firmware service does not answer",
        L"The driver did not take the last switch",
        L"The firmware did not record the last switch",
    };
    static_assert(std::size(kTexts) == static_cast<std::size_t>(TrayStatus::NotRecorded) + 1);
    const auto index = static_cast<std::size_t>(status);
    return index < std::size(kTexts) ? kTexts[index] : L"";
}
