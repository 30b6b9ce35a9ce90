// The switch sequences, the inputs that switch and the event policy, against the fake firmware service
// and the stand-in driver (initialised and enumerated: the first GPU is 0x2000).
#include <gtest/gtest.h>

#include <memory>

#include "control/event_policy.h"
#include "control/overclock_switch.h"
#include "fakes.h"
#include "firmware/settings_channel.h"

namespace {

using fake_firmware::log;
using fake_firmware::service;
using Reply = std::optional<std::string>;

class Control : public ::testing::Test {
protected:
    // Starts afresh with the service running and the first exchanges answered by `replies`.
    void Start(fake_firmware::Values values, const std::string& plan = "", std::vector<Reply> replies = {})
    {
        library = std::make_unique<FakeDriverLibrary>(plan);
        driver = std::make_unique<NvApi>(*library);
        ASSERT_EQ(driver->NvAPI_Initialize(), NVAPI_OK);
        ASSERT_TRUE(driver->EnumerateGpus());
        fake_firmware::Reset(values, true);
        fake_firmware::script.assign(replies.begin(), replies.end());
        window = RecordedWindow{};
        overclock = std::make_unique<OverclockSwitch>(*driver, window);
        policy = std::make_unique<EventPolicy>(*overclock, window);
        window.supported = &overclock->ocSupported;
    }
    Lines Calls() const { return Matching(log, "nvapi_QueryInterface", false); }

    RecordedWindow window;
    std::unique_ptr<FakeDriverLibrary> library;
    std::unique_ptr<NvApi> driver;
    std::unique_ptr<OverclockSwitch> overclock;
    std::unique_ptr<EventPolicy> policy;
};

// Switching on reads the firmware's copy before the driver calls, switching off after them.
TEST_F(Control, SequenceOrder)
{
    Start({2, 0, 16});
    overclock->EnableOverclock();
    EXPECT_EQ(Calls(), (Lines{"root\\WMI:Q:ORV_AP:AP:6", "GpuOverclockSwitch(0x2000,1) -> 0",
                              "GpuOverclockLimit(0x2000,1,0) -> 0", "GpuStockClockSwitch(0x2000,0) -> 0",
                              "root\\WMI:S:ORV_AP:AP:6:17", "root\\WMI:Q:ORV_AP:AP:6"}));
    Start({2, 0, 17});
    overclock->DisableOverclock();
    EXPECT_EQ(Calls(),
              (Lines{"GpuOverclockSwitch(0x2000,0) -> 0", "GpuStockClockSwitch(0x2000,1) -> 0",
                     "root\\WMI:Q:ORV_AP:AP:6", "root\\WMI:S:ORV_AP:AP:6:16", "root\\WMI:Q:ORV_AP:AP:6"}));
}

TEST_F(Control, WrittenValue)
{
    const Reply fail = std::nullopt;
    struct Case {
        const char* plan;
        std::vector<Reply> replies;  // to the first exchanges
        std::int32_t before, on, off;
        std::size_t enumerations;  // after start-up, per sequence
    };
    const Case cases[] = {
        {"", {}, 16, 17, 16, 0},
        {"", {}, 17, 17, 16, 0},
        {"", {}, 0x102, 0x103, 0x02, 0},  // switching off clears every bit above 7
        {"", {}, -16, -15, 0xF0, 0},
        // A failing entry leaves the value as read; switching off does not call the limit entry.
        {"status GpuOverclockSwitch -5", {}, 0x102, 0x102, 0x102, 0},
        {"status GpuOverclockLimit 1", {}, 0x102, 0x102, 0x02, 0},
        {"status GpuStockClockSwitch -5", {}, 0x102, 0x102, 0x102, 0},
        {"missing 0xFA579A0F", {}, 0x102, 0x102, 0x102, 0},
        // A read that fails or is no number writes nothing.
        {"", {fail}, 0x1F1, 0x1F1, 0x1F1, 0},
        {"", {"garbage"}, 0x1F1, 0x1F1, 0x1F1, 0},
        // The driver was reset since start-up: one fresh enumeration, one more run.
        {"reset-after 0", {}, 0x103, 0x103, 0x02, 1},
        {"reset-after 1", {}, 0x102, 0x103, 0x02, 1},
        {"status GpuOverclockSwitch -8", {}, 0x103, 0x103, 0x103, 1},  // still refused: no third run
        {"status GpuOverclockLimit -8", {}, 0x102, 0x102, 0x02, 1},
    };
    for (const Case& c : cases) {
        for (const bool on : {true, false}) {
            SCOPED_TRACE(std::string(c.plan) + (on ? " on " : " off ") + std::to_string(c.before));
            Start({2, 0, c.before}, c.plan, c.replies);
            on ? overclock->EnableOverclock() : overclock->DisableOverclock();
            EXPECT_EQ(service.ap6, on ? c.on : c.off);
            EXPECT_EQ(Matching(log, "root\\WMI:S:").size(), c.replies.empty() ? 1u : 0u);
            const bool limitUnused = std::string(c.plan) == "status GpuOverclockLimit -8" && !on;
            EXPECT_EQ(Matching(log, "NvAPI_EnumPhysicalGPUs").size(), limitUnused ? 0 : c.enumerations);
        }
    }
}

TEST_F(Control, StartUp)
{
    struct Case {
        std::int32_t system0;
        bool wanted, supported;
        std::int32_t ap6;
        Lines effects;
    };
    const Case cases[] = {
        {2, true, true, 17, {"controls 1", "radios 1"}},
        {0, true, false, 16, {"controls 0", "radios 1"}},
        {0x7FFFFFFD, true, false, 16, {"controls 0", "radios 1"}},
        {2, false, true, 16, {"controls 1", "radios 0"}},
    };
    for (const Case& c : cases) {
        Start({c.system0, 0, 16});
        overclock->ocWanted = c.wanted;
        overclock->ApplyInitialState();
        EXPECT_EQ(overclock->ocSupported, c.supported) << c.system0;
        EXPECT_EQ(service.ap6, c.ap6) << c.system0;
        EXPECT_EQ(window.effects, c.effects) << c.system0;
    }
}

TEST_F(Control, EveryInputSetsTheChoiceThenRunsItsSequence)
{
    struct Case {
        const char* name;
        void (OverclockSwitch::*input)();
        bool wantedBefore;
        int radio;
        bool wantedAfter;
        bool endsLoop;
    };
    const Case cases[] = {
        {"tray Enable", &OverclockSwitch::OnTrayEnable, false, 0, true, false},
        {"tray Disable", &OverclockSwitch::OnTrayDisable, true, 1, false, false},
        {"tray Exit", &OverclockSwitch::OnTrayExit, true, 1, false, true},
        {"OK, checked", &OverclockSwitch::OnOk, false, 1, true, false},
        {"OK, unchecked", &OverclockSwitch::OnOk, true, 0, false, false},
        {"OK, indeterminate", &OverclockSwitch::OnOk, true, 2, false, false},
        {"Cancel", &OverclockSwitch::OnCancel, true, 1, false, true},
        {"close", &OverclockSwitch::OnClose, true, 1, false, false},
        {"destroy", &OverclockSwitch::OnDestroy, true, 1, false, false},
    };
    for (const Case& c : cases) {
        Start({0, 0, 16});  // the inputs never look at the option
        overclock->ocWanted = c.wantedBefore;
        window.radio = c.radio;
        ((*overclock).*c.input)();
        EXPECT_EQ(overclock->ocWanted, c.wantedAfter) << c.name;
        EXPECT_EQ(service.ap6, c.wantedAfter ? 17 : 16) << c.name;
        EXPECT_EQ(window.effects, c.endsLoop ? Lines{"end"} : Lines{}) << c.name;
    }
}

TEST_F(Control, FirmwareEvents)
{
    const Reply fail = std::nullopt;
    struct Case {
        std::uintptr_t wParam;
        fake_firmware::Values values;
        bool wanted, supportedBefore;
        std::vector<Reply> replies;
        Lines queries;  // of the System items, in order
        Lines effects;
        bool supportedAfter;
        std::int32_t ap6;
    };
    const std::string q0 = "root\\WMI:Q:ORV_System:System:0", q1 = "root\\WMI:Q:ORV_System:System:1";
    const Lines wait = {"wait 3000"};
    const Case cases[] = {
        {0x60, {2, 0, 16}, true, false, {}, {q0}, wait, true, 17},
        {0x60, {2, 0, 16}, false, false, {}, {q0}, {"wait 3000", "message, supported 0"}, true, 16},
        {0x60, {4, 0, 17}, true, true, {}, {q0}, wait, false, 16},
        {0x60, {2, 0, 17}, true, true, {fail}, {q0}, wait, false, 16},  // a failed query is a clear bit
        {0x160, {2, 0, 16}, true, false, {}, {q0}, wait, true, 17},     // only the low byte is the code
        {0x79, {6, 1, 17}, true, true, {}, {q1}, wait, false, 16},
        {0x5D, {6, 0, 17}, true, true, {}, {q1, q0}, wait, false, 16},
        {0x5D, {2, 0, 17}, true, true, {}, {q1, q0}, wait, true, 17},
        {0x79, {2, 2, 17}, false, false, {}, {q1, q0}, wait, false, 17},
        {0x79, {6, 1, 17}, true, true, {fail, fail}, {q1, q0}, wait, true, 17},
        {0x61, {2, 1, 16}, true, true, {}, {}, {}, true, 16},
        {0x100, {2, 1, 16}, true, false, {}, {}, {}, false, 16},
        {0x15D, {6, 1, 17}, true, true, {}, {q1}, wait, false, 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.wParam);
        Start(c.values, "", c.replies);
        overclock->ocWanted = c.wanted;
        overclock->ocSupported = c.supportedBefore;
        EXPECT_EQ(policy->OnFirmwareEvent(c.wParam), 1);
        EXPECT_EQ(Matching(log, "root\\WMI:Q:ORV_System"), c.queries);
        EXPECT_EQ(window.effects, c.effects);
        EXPECT_EQ(overclock->ocSupported, c.supportedAfter);
        EXPECT_EQ(overclock->ocWanted, c.wanted);
        EXPECT_EQ(service.ap6, c.ap6);
    }
}

TEST_F(Control, OnlyResumeSwitchesOffAtOnce)
{
    // {wParam, lParam, result}
    const std::intptr_t cases[][3] = {{7, 0, 0},       {7, 99, 1}, {4, 0, 0},
                                      {0x12, 1234, 1}, {0, 0, 0},  {0x107, 1, 1}};
    for (const auto& c : cases) {
        Start({2, 0, 17});
        overclock->ocSupported = true;
        EXPECT_EQ(policy->OnPowerBroadcast(static_cast<std::uintptr_t>(c[0]), c[1]), c[2]) << c[0];
        const bool resume = c[0] == kResumeFromSuspend;
        EXPECT_EQ(Matching(log, "root\\WMI:Q:ORV_System").size(), 0u);
        EXPECT_EQ(service.ap6, resume ? 16 : 17) << c[0];
        EXPECT_EQ(overclock->ocSupported, !resume) << c[0];
        EXPECT_TRUE(window.effects.empty() && overclock->ocWanted);
    }
}

}  // namespace
