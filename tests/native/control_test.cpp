// The switch sequences' values, and what the event policy asks of the firmware and the window, against
// the fake firmware service and the stand-in driver (initialised and enumerated: the first GPU is
// 0x2000). What every input does to the flags, the mode and the tip in each phase of the program's
// life, in any order, is the model's (controller_model_test.cpp).
#include <gtest/gtest.h>

#include <memory>

#include "control/event_policy.h"
#include "fakes.h"

namespace {

using namespace fake_firmware;

class Control : public ::testing::Test {
public:
    // Starts afresh, running; `replies` answer the service's first exchanges instead of it.
    void Start(Values values, const std::string& plan = "", const Replies& replies = {})
    {
        library = std::make_unique<FakeDriverLibrary>(plan);
        driver = std::make_unique<NvApi>(*library);
        ASSERT_TRUE(driver->NvAPI_Initialize() == NVAPI_OK && driver->EnumerateGpus());
        Reset(values, replies);
        window = RecordedWindow{};
        phase = ProgramPhase{};
        phase.Run();
        overclock = std::make_unique<OverclockSwitch>(*driver, window, phase);
        policy = std::make_unique<EventPolicy>(*overclock, window, phase);
    }

    RecordedWindow window;
    ProgramPhase phase;
    std::unique_ptr<FakeDriverLibrary> library;
    std::unique_ptr<NvApi> driver;
    std::unique_ptr<OverclockSwitch> overclock;
    std::unique_ptr<EventPolicy> policy;
};

TEST_F(Control, WrittenValue)
{
    // {driver plan, first replies, AP item 6 before, after switching on, after switching off}
    // clang-format off
    const std::tuple<std::string, Replies, std::int32_t, std::int32_t, std::int32_t> cases[] = {
        {"", {}, -16, -15, 0xF0}, {"", {}, 0x102, 0x103, 0x02},  // switching off clears every bit above 7
        // A failing entry leaves the value as read; switching off does not call the limit entry.
        {"status GpuOverclockSwitch -5", {}, 0x103, 0x103, 0x103},
        {"status GpuOverclockLimit 1", {}, 0x102, 0x102, 0x02},
        {"status GpuStockClockSwitch -5", {}, 0x102, 0x102, 0x102},
        {"missing 0xFA579A0F", {}, 0x102, 0x102, 0x102},
        {"", {fail}, 0x1F1, 0x1F1, 0x1F1},  // a read that fails writes nothing
        // The driver was reset since start-up: the GPUs are enumerated afresh and the sequence run once more.
        {"reset-after 0", {}, 0x103, 0x103, 0x02}, {"reset-after 1", {}, 0x102, 0x103, 0x02},
        {"status GpuOverclockSwitch -8", {}, 0x103, 0x103, 0x103},
        {"status GpuOverclockLimit -8", {}, 0x102, 0x102, 0x02},
    };
    // clang-format on
    for (const auto& [plan, replies, before, on, off] : cases) {
        for (const bool enable : {true, false}) {
            SCOPED_TRACE(plan + (enable ? " on " : " off ") + std::to_string(before));
            Start({2, 0, before}, plan, replies);
            enable ? overclock->EnableOverclock() : overclock->DisableOverclock();
            EXPECT_EQ(service.ap6, enable ? on : off);
            EXPECT_EQ(Matching(log, set).size(), replies.empty() ? 1u : 0u);
            // Without the firmware's copy the GPU is not overclocked; it still goes to stock clocks.
            if (!replies.empty()) {
                EXPECT_EQ(Matching(log, "Gpu").size(), enable ? 0u : 2u);
            }
        }
    }
}

TEST_F(Control, FirmwareEventsResubscriptionAndPowerBroadcasts)
{
    // {'e' firmware event, 'r' resubscription, 'p' power broadcast with lParam 1; wParam, service,
    //  ocWanted, ocSupported before, System queries in order, effects, ocSupported after, AP item 6 after}
    using Case = std::tuple<char, std::uintptr_t, Values, bool, bool, Lines, Lines, bool, std::int32_t>;
    // clang-format off
    const Case cases[] = {
        {'e', 0x60, {2, 0, 16}, false, false, {q0}, {"peek", "wait 3000", "message"}, true, 16},
        {'e', 0x15D, {6, 0, 17}, true, true, {q1, q0}, {"peek", "wait 3000"}, false, 16},  // the low byte is the code
        {'e', 0x61, {2, 1, 16}, true, true, {}, {"peek"}, true, 16},
        // A service back with the option off switches off; on, it is followed unasked.
        {'r', 0, {0, 0, 17}, true, true, {q0}, {"controls 0", "radios 1"}, false, 16},
        {'r', 0, {2, 0, 16}, false, false, {q0}, {"controls 1", "radios 0"}, true, 16},
        {'p', 0x12, {2, 0, 17}, true, true, {}, {}, true, 17},
    };
    // clang-format on
    for (const auto& [input, wParam, values, wanted, supportedBefore, queries, effects, supported, ap6After] :
         cases) {
        SCOPED_TRACE(testing::Message() << input << wParam);
        Start(values);
        overclock->ocWanted = wanted;
        overclock->ocSupported = supportedBefore;
        if (input == 'r') {
            policy->OnResubscribed();
        } else {
            EXPECT_EQ(input == 'p' ? policy->OnPowerBroadcast(wParam, 1) : policy->OnFirmwareEvent(wParam),
                      1);
        }
        EXPECT_EQ(Matching(log, "root\\WMI:Q:ORV_System"), queries);
        EXPECT_EQ(window.effects, effects);
        EXPECT_EQ(overclock->ocSupported, supported);
        EXPECT_EQ(service.ap6, ap6After);
        EXPECT_EQ(policy->OnPowerBroadcast(wParam, 0), 0);  // the result follows lParam alone
    }
}

}  // namespace
