#include "control/tray_status.h"

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
    switch (status) {
        case TrayStatus::Overclocked:
            return L"Overclocked";
        case TrayStatus::NotWanted:
            return L"Not overclocked: Disable is chosen";
        case TrayStatus::NotOverclocked:
            return L"Not overclocked";
        case TrayStatus::OptionOff:
            return L"Overclocking unavailable: the firmware's option is off";
        case TrayStatus::ForcedOff:
            return L"Overclocking unavailable: switched off by the firmware";
        case TrayStatus::AfterSleep:
            return L"Overclocking unavailable until the firmware confirms it after sleep";
        case TrayStatus::NoAnswer:
            return L"Overclocking unavailable: the firmware service does not answer";
        case TrayStatus::DriverRefused:
            return L"The driver did not take the last switch";
        case TrayStatus::NotRecorded:
            return L"The firmware did not record the last switch";
    }
    return L"";
}
