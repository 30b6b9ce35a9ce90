// The switch sequences, the start-up state and the inputs that switch, against the fake firmware
// service and the stand-in driver, with the window's effects recorded.
#include "control/overclock_switch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "control_fixture.h"

namespace {

TEST_F(ControlFixture, EnableReadsThenCallsTheThreeEntriesThenWritesTheBitAndReadsBack)
{
    Start({2, 0, 16});
    overclock->EnableOverclock();
    EXPECT_EQ(calls, (Lines{"root\\WMI:Q:ORV_AP:AP:6", "GpuOverclockSwitch(0x2000,1) -> 0",
                            "GpuOverclockLimit(0x2000,1,0) -> 0", "GpuStockClockSwitch(0x2000,0) -> 0",
                            "root\\WMI:S:ORV_AP:AP:6:17", "root\\WMI:Q:ORV_AP:AP:6"}));
    EXPECT_EQ(fake_firmware::Service().ap6, 17);
}

TEST_F(ControlFixture, DisableCallsTheTwoEntriesThenReadsThenWrites)
{
    Start({2, 0, 17});
    overclock->DisableOverclock();
    EXPECT_EQ(calls,
              (Lines{"GpuOverclockSwitch(0x2000,0) -> 0", "GpuStockClockSwitch(0x2000,1) -> 0",
                     "root\\WMI:Q:ORV_AP:AP:6", "root\\WMI:S:ORV_AP:AP:6:16", "root\\WMI:Q:ORV_AP:AP:6"}));
    EXPECT_EQ(fake_firmware::Service().ap6, 16);
}

TEST_F(ControlFixture, WrittenValueForEveryDriverOutcome)
{
    struct Case {
        const char* plan;
        std::int32_t before;
        std::int32_t afterEnable;
        std::int32_t afterDisable;
    };
    const Case cases[] = {
        {"", 16, 17, 16},
        {"", 17, 17, 16},
        {"", 0x102, 0x103, 0x02},  // switching off clears every bit above 7
        {"", -16, -15, 0xF0},      // and so a negative value loses its sign
        {"", 0x7FFFFFFE, 0x7FFFFFFF, 0xFE},
        // A failing entry leaves the value as read; switching off does not call the limit entry.
        {"status GpuOverclockSwitch -5", 0x102, 0x102, 0x102},
        {"status GpuOverclockLimit 1", 0x102, 0x102, 0x02},
        {"status GpuStockClockSwitch -5", 0x102, 0x102, 0x102},
        {"missing 0xFA579A0F", 0x102, 0x102, 0x102},
    };
    for (const Case& c : cases) {
        Start({2, 0, c.before}, c.plan);
        overclock->EnableOverclock();
        EXPECT_EQ(fake_firmware::Service().ap6, c.afterEnable) << c.plan << " " << c.before << " on";
        Start({2, 0, c.before}, c.plan);
        overclock->DisableOverclock();
        EXPECT_EQ(fake_firmware::Service().ap6, c.afterDisable) << c.plan << " " << c.before << " off";
    }
}

TEST_F(ControlFixture, WithoutALoadedDriverTheValueGoesBackUnchanged)
{
    Start({2, 0, 17}, "", false);
    overclock->EnableOverclock();
    overclock->DisableOverclock();
    EXPECT_EQ(fake_firmware::Service().ap6, 17);
    EXPECT_EQ(calls,
              (Lines{"root\\WMI:Q:ORV_AP:AP:6", "root\\WMI:S:ORV_AP:AP:6:17", "root\\WMI:Q:ORV_AP:AP:6",
                     "root\\WMI:Q:ORV_AP:AP:6", "root\\WMI:S:ORV_AP:AP:6:17", "root\\WMI:Q:ORV_AP:AP:6"}));
}

TEST_F(ControlFixture, AFailedReadWritesNothing)
{
    Start({2, 0, 16});
    fake_firmware::Fail();
    overclock->EnableOverclock();
    fake_firmware::Fail();
    overclock->DisableOverclock();
    // The driver is still switched; the firmware setting is left alone rather than written from -1.
    EXPECT_EQ(calls, (Lines{"root\\WMI:Q:ORV_AP:AP:6", "GpuOverclockSwitch(0x2000,1) -> 0",
                            "GpuOverclockLimit(0x2000,1,0) -> 0", "GpuStockClockSwitch(0x2000,0) -> 0",
                            "GpuOverclockSwitch(0x2000,0) -> 0", "GpuStockClockSwitch(0x2000,1) -> 0",
                            "root\\WMI:Q:ORV_AP:AP:6"}));
    EXPECT_EQ(fake_firmware::Service().ap6, 16);

    // A reply that is no number is no value either: nothing is written over the other bits.
    Start({2, 0, 0x1F1});
    fake_firmware::Answer("garbage");
    overclock->DisableOverclock();
    fake_firmware::Answer("");
    overclock->EnableOverclock();
    EXPECT_EQ(fake_firmware::Service().ap6, 0x1F1);
}

int CountLines(const Lines& lines, const std::string& prefix)
{
    int count = 0;
    for (const std::string& line : lines) {
        count += line.rfind(prefix, 0) == 0 ? 1 : 0;
    }
    return count;
}

TEST_F(ControlFixture, AnInvalidatedHandleIsEnumeratedAgainOnceAndTheSequenceRunOnceMore)
{
    struct Case {
        const char* plan;
        std::int32_t afterEnable;   // from 16
        std::int32_t afterDisable;  // from 17
        int enumerations;           // per sequence
        int runs;                   // driver runs per sequence
    };
    const Case cases[] = {
        // The driver was reset after start-up: a fresh enumeration gives a handle that works.
        {"reset-after 0", 17, 16, 1, 2},
        {"reset-after 1", 17, 16, 1, 2},
        // Still refused with the fresh handle: one more run only, which writes the value back.
        {"status GpuOverclockSwitch -8", 16, 17, 1, 2},
        {"status GpuOverclockLimit -8", 16, 16, 1, 2},  // switching off does not call it
        // Any other failure is not mended by enumerating again.
        {"status GpuStockClockSwitch -5", 16, 17, 0, 1},
    };
    for (const Case& c : cases) {
        for (const bool on : {true, false}) {
            Start({2, 0, on ? 16 : 17}, c.plan);
            on ? overclock->EnableOverclock() : overclock->DisableOverclock();
            const std::int32_t expected = on ? c.afterEnable : c.afterDisable;
            const bool limitOnly = std::string(c.plan) == "status GpuOverclockLimit -8" && !on;
            EXPECT_EQ(fake_firmware::Service().ap6, expected) << c.plan << (on ? " on" : " off");
            EXPECT_EQ(CountLines(calls, "NvAPI_EnumPhysicalGPUs"), limitOnly ? 0 : c.enumerations)
                << c.plan << (on ? " on" : " off");
            EXPECT_EQ(CountLines(calls, "root\\WMI:S:"), 1) << c.plan << (on ? " on" : " off");
            EXPECT_EQ(CountLines(calls, "GpuOverclockSwitch("), limitOnly ? 1 : c.runs)
                << c.plan << (on ? " on" : " off");
        }
    }
    // The fresh handle is the one used from then on.
    Start({2, 0, 16}, "reset-after 0");
    overclock->EnableOverclock();
    overclock->DisableOverclock();
    EXPECT_EQ(calls.back(), "root\\WMI:Q:ORV_AP:AP:6");
    EXPECT_EQ(CountLines(calls, "NvAPI_EnumPhysicalGPUs"), 1);
    EXPECT_EQ(CountLines(calls, "GpuStockClockSwitch(0x2100,1) -> 0"), 1);
    EXPECT_EQ(fake_firmware::Service().ap6, 16);
}

TEST_F(ControlFixture, StartUpWithTheOptionOnSwitchesOnAndEnablesTheControls)
{
    Start({2, 0, 16});
    overclock->ApplyInitialState();
    EXPECT_TRUE(overclock->ocSupported);
    EXPECT_EQ(fake_firmware::Service().ap6, 17);
    EXPECT_EQ(window.effects, (Lines{"EnableModeControls 1", "SetModeRadios 1"}));
}

TEST_F(ControlFixture, StartUpWithTheOptionOffSwitchesNothing)
{
    for (const std::int32_t system0 : {0, 4, 0x7FFFFFFD}) {
        Start({system0, 0, 16});
        overclock->ApplyInitialState();
        EXPECT_FALSE(overclock->ocSupported);
        EXPECT_EQ(calls, Lines{"root\\WMI:Q:ORV_System:System:0"});
        EXPECT_EQ(window.effects, (Lines{"EnableModeControls 0", "SetModeRadios 1"}));
    }
    // Not wanted: the option is seen, nothing is switched.
    Start({2, 0, 16});
    overclock->ocWanted = false;
    overclock->ApplyInitialState();
    EXPECT_TRUE(overclock->ocSupported);
    EXPECT_EQ(calls, Lines{"root\\WMI:Q:ORV_System:System:0"});
    EXPECT_EQ(window.effects, (Lines{"EnableModeControls 1", "SetModeRadios 0"}));
}

TEST_F(ControlFixture, EveryInputSetsTheChoiceThenRunsItsSequence)
{
    struct Case {
        const char* name;
        void (OverclockSwitch::*input)();
        bool wantedBefore;
        int radio;
        bool wantedAfter;
        bool switchesOn;
        bool endsLoop;
    };
    const Case cases[] = {
        {"tray Enable", &OverclockSwitch::OnTrayEnable, false, 0, true, true, false},
        {"tray Enable again", &OverclockSwitch::OnTrayEnable, true, 0, true, true, false},
        {"tray Disable", &OverclockSwitch::OnTrayDisable, true, 0, false, false, false},
        {"tray Exit", &OverclockSwitch::OnTrayExit, true, 0, false, false, true},
        {"OK, overclock checked", &OverclockSwitch::OnOk, false, 1, true, true, false},
        {"OK, overclock unchecked", &OverclockSwitch::OnOk, true, 0, false, false, false},
        {"OK, indeterminate", &OverclockSwitch::OnOk, true, 2, false, false, false},
        {"Cancel", &OverclockSwitch::OnCancel, true, 1, false, false, true},
        {"close", &OverclockSwitch::OnClose, true, 1, false, false, false},
        {"destroy", &OverclockSwitch::OnDestroy, true, 1, false, false, false},
    };
    for (const Case& c : cases) {
        Start({0, 0, 16});  // the inputs never look at the option
        overclock->ocWanted = c.wantedBefore;
        window.radio = c.radio;
        ((*overclock).*c.input)();
        EXPECT_EQ(overclock->ocWanted, c.wantedAfter) << c.name;
        EXPECT_FALSE(overclock->ocSupported) << c.name;
        EXPECT_EQ(fake_firmware::Service().ap6, c.switchesOn ? 17 : 16) << c.name;
        EXPECT_EQ(calls.size(), c.switchesOn ? 6u : 5u) << c.name;
        const bool ended = !window.effects.empty() && window.effects.back() == "EndModalLoop";
        EXPECT_EQ(ended, c.endsLoop) << c.name;
    }
}

}  // namespace
