// The controller's test set-up: the fake firmware service, the stand-in driver behind a fake loader
// (initialised and enumerated, so the first GPU is 0x2000), recorded window effects, and one log of
// firmware commands and driver calls in the order they happened.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "control/event_policy.h"
#include "control/overclock_switch.h"
#include "control/window_effects.h"
#include "fake_call_name_pipe.h"
#include "fake_driver_library.h"

using Lines = std::vector<std::string>;

class RecordedWindow : public WindowEffects {
public:
    void BlockingWait(std::uint32_t milliseconds) override;
    void ShowOverclockOptionMessage() override;
    void EnableModeControls(bool enable) override;
    void SetModeRadios(bool overclock) override;
    int OverclockRadioState() override;
    void EndModalLoop() override;

    Lines effects;
    int radio = 1;
    std::function<void()> whileMessageIsOpen;
};

class ControlFixture : public ::testing::Test {
protected:
    ~ControlFixture() override;

    // Starts afresh: the service with these values, the driver with this plan, initialised or not.
    void Start(fake_firmware::ServiceValues values, const std::string& plan = "",
               bool driverInitialised = true);

    Lines calls;
    RecordedWindow window;
    std::unique_ptr<FakeDriverLibrary> library;
    std::unique_ptr<NvApi> driver;
    std::unique_ptr<OverclockSwitch> overclock;
    std::unique_ptr<EventPolicy> policy;
};
