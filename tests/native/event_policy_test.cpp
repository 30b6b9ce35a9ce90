// Firmware events and resume from suspend, against the fake firmware service and the stand-in driver.
#include "control/event_policy.h"

#include <gtest/gtest.h>

#include "control_fixture.h"

namespace {

const Lines kSwitchOn = {"root\\WMI:Q:ORV_AP:AP:6",
                         "GpuOverclockSwitch(0x2000,1) -> 0",
                         "GpuOverclockLimit(0x2000,1,0) -> 0",
                         "GpuStockClockSwitch(0x2000,0) -> 0",
                         "root\\WMI:S:ORV_AP:AP:6:17",
                         "root\\WMI:Q:ORV_AP:AP:6"};
const Lines kSwitchOff = {"GpuOverclockSwitch(0x2000,0) -> 0", "GpuStockClockSwitch(0x2000,1) -> 0",
                          "root\\WMI:Q:ORV_AP:AP:6", "root\\WMI:S:ORV_AP:AP:6:16", "root\\WMI:Q:ORV_AP:AP:6"};

Lines Then(Lines first, const Lines& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

TEST_F(ControlFixture, EveryFirmwareEventRow)
{
    const char* system0 = "root\\WMI:Q:ORV_System:System:0";
    const char* system1 = "root\\WMI:Q:ORV_System:System:1";
    struct Case {
        const char* name;
        std::uintptr_t wParam;
        fake_firmware::ServiceValues values;
        bool wanted;
        bool supportedBefore;
        Lines calls;
        Lines effects;
        bool supportedAfter;
    };
    const Case cases[] = {
        {"0x60 on, wanted",
         0x60,
         {2, 0, 16},
         true,
         false,
         Then({system0}, kSwitchOn),
         {"BlockingWait 3000"},
         true},
        {"0x60 on, not wanted",
         0x60,
         {2, 0, 16},
         false,
         false,
         {system0},
         {"BlockingWait 3000", "ShowOverclockOptionMessage"},
         true},
        {"0x60 off", 0x60, {4, 0, 17}, true, true, Then({system0}, kSwitchOff), {"BlockingWait 3000"}, false},
        {"0x160 acts as 0x60",
         0x160,
         {2, 0, 16},
         true,
         false,
         Then({system0}, kSwitchOn),
         {"BlockingWait 3000"},
         true},
        {"0x79 system 1 forces off",
         0x79,
         {6, 1, 17},
         true,
         true,
         Then({system1}, kSwitchOff),
         {"BlockingWait 3000"},
         false},
        {"0x5D system 0 forces off",
         0x5D,
         {6, 0, 17},
         true,
         true,
         Then({system1, system0}, kSwitchOff),
         {"BlockingWait 3000"},
         false},
        {"0x5D nothing forced",
         0x5D,
         {2, 0, 17},
         true,
         true,
         {system1, system0},
         {"BlockingWait 3000"},
         true},
        {"0x79 nothing forced",
         0x79,
         {2, 2, 17},
         false,
         false,
         {system1, system0},
         {"BlockingWait 3000"},
         false},
        {"other code", 0x61, {2, 1, 16}, true, true, {}, {}, true},
        {"0x100 is code 0", 0x100, {2, 1, 16}, true, false, {}, {}, false},
    };
    for (const Case& c : cases) {
        Start(c.values);
        overclock->ocWanted = c.wanted;
        overclock->ocSupported = c.supportedBefore;
        EXPECT_EQ(policy->OnFirmwareEvent(c.wParam), 1) << c.name;
        EXPECT_EQ(calls, c.calls) << c.name;
        EXPECT_EQ(window.effects, c.effects) << c.name;
        EXPECT_EQ(overclock->ocSupported, c.supportedAfter) << c.name;
        EXPECT_EQ(overclock->ocWanted, c.wanted) << c.name;
    }
}

TEST_F(ControlFixture, OptionEventWithTheServiceUnreachableSwitchesOff)
{
    Start({2, 0, 17});
    overclock->ocSupported = true;
    fake_firmware::Fail();  // the option query
    policy->OnFirmwareEvent(0x60);
    EXPECT_FALSE(overclock->ocSupported);
    EXPECT_EQ(fake_firmware::Service().ap6, 16);

    // Force-off queries that fail read as no force-off.
    Start({2, 0, 17});
    overclock->ocSupported = true;
    fake_firmware::Fail();
    fake_firmware::Fail();
    policy->OnFirmwareEvent(0x79);
    EXPECT_TRUE(overclock->ocSupported);
    EXPECT_EQ(fake_firmware::Service().ap6, 17);
}

TEST_F(ControlFixture, TheFlagIsSetOnlyAfterTheMessageIsClosed)
{
    Start({2, 0, 16});
    overclock->ocWanted = false;
    bool supportedWhileOpen = true;
    window.whileMessageIsOpen = [&] { supportedWhileOpen = overclock->ocSupported; };
    policy->OnFirmwareEvent(0x60);
    EXPECT_FALSE(supportedWhileOpen);
    EXPECT_TRUE(overclock->ocSupported);
}

TEST_F(ControlFixture, ResumeSwitchesOffAtOnceAndOtherPowerEventsDoNothing)
{
    Start({2, 0, 17});
    overclock->ocSupported = true;
    EXPECT_EQ(policy->OnPowerBroadcast(kResumeFromSuspend, 0), 0);
    EXPECT_EQ(calls, kSwitchOff);
    EXPECT_TRUE(window.effects.empty());
    EXPECT_FALSE(overclock->ocSupported);
    EXPECT_TRUE(overclock->ocWanted);

    for (const std::uintptr_t event : {4u, 0x12u, 0u, 0x107u}) {
        Start({2, 0, 17});
        overclock->ocSupported = true;
        EXPECT_EQ(policy->OnPowerBroadcast(event, 0), 0);
        EXPECT_EQ(policy->OnPowerBroadcast(event, 1234), 1);
        EXPECT_TRUE(calls.empty()) << event;
        EXPECT_TRUE(overclock->ocSupported);
    }
    EXPECT_EQ(policy->OnPowerBroadcast(kResumeFromSuspend, 99), 1);
}

}  // namespace
