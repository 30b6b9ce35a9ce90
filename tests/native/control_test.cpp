// The switch sequences, what the event policy asks of the firmware and the window, and what each phase
// of the program's life lets an input do, against the fake firmware service and the stand-in driver
// (initialised and enumerated: the first GPU is 0x2000). What every input does to the flags and the
// mode, in any order, is the model's (controller_model_test.cpp).
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <span>

#include "control/event_policy.h"
#include "control/program_life.h"
#include "control/tray_status.h"
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
        life = std::make_unique<ProgramLife>(phase, *driver, *overclock, window);
    }

    RecordedWindow window;
    ProgramPhase phase;
    std::unique_ptr<FakeDriverLibrary> library;
    std::unique_ptr<NvApi> driver;
    std::unique_ptr<OverclockSwitch> overclock;
    std::unique_ptr<EventPolicy> policy;
    std::unique_ptr<ProgramLife> life;
};

struct Input {
    const char* name;
    void (*run)(Control&);
};
// Each input as its handler takes it; the endings come last.
const Input kInputs[] = {
    {"Enable", [](Control& c) { c.overclock->OnTrayEnable(); }},
    {"Disable", [](Control& c) { c.overclock->OnTrayDisable(); }},
    {"OK", [](Control& c) { c.overclock->OnOk(); }},
    {"event 0x60", [](Control& c) { c.policy->OnFirmwareEvent(0x60); }},
    {"event 0x5D", [](Control& c) { c.policy->OnFirmwareEvent(0x5D); }},
    {"the service's return", [](Control& c) { c.policy->OnResubscribed(); }},
    {"resume", [](Control& c) { c.policy->OnPowerBroadcast(kResumeFromSuspend, 0); }},
    {"the menu", [](Control& c) { c.life->OnTrayMenuRequest(); }},
    {"About", [](Control& c) { c.life->OnTrayAbout(); }},
    {"the system menu's About", [](Control& c) { c.life->OnSystemAbout(); }},
    {"Exit", [](Control& c) { c.overclock->OnTrayExit(); }},
    {"WM_CLOSE", [](Control& c) { c.overclock->OnClose(); }},
    {"the shutdown", [](Control& c) { c.life->Shutdown(); }},
    {"a fault", [](Control& c) { c.life->OnFault(); }},
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

// What each input may do in each phase: while running, it acts; starting, refusing or ending, nothing
// switches on, nothing waits and no box opens; a refusing program switches nothing at all, and the
// endings of any other switch off. The option is on, the mode wanted and on (AP item 6 = 17).
TEST_F(Control, EachPhaseLetsOnlyItsInputsAct)
{
    // Per phase, for each input in the order above: '-' nothing at all; 'o' switched off; 'e' switched
    // off and the loop ended; 'x' the loop ended only (a refusing program ends without switching).
    const std::tuple<Phase, std::string> table[] = {
        {Phase::Starting, "----------eooo"},
        {Phase::Refusing, "----------x---"},
        {Phase::Ending, "----------eooo"},
        {Phase::Ended, "----------x---"},
    };
    for (const auto& [which, effects] : table) {
        for (std::size_t i = 0; i < std::size(kInputs); ++i) {
            SCOPED_TRACE(testing::Message()
                         << "phase " << static_cast<int>(which) << ", " << kInputs[i].name);
            Start({6, 1, 17});  // forced off too, so that 0x5D would act
            phase = ProgramPhase{};
            if (which == Phase::Refusing) {
                phase.Refuse();
            } else if (which != Phase::Starting) {
                phase.Run();
                phase.End();
                if (which == Phase::Ended) {
                    phase.Finish();
                }
            }
            overclock->ocSupported = true;
            kInputs[i].run(*this);
            const bool off = Matching(log, "GpuOverclockSwitch(0x2000,0)").size() == 1 && service.ap6 == 16;
            const bool ended = window.effects == Lines{"end"};
            const char got = log.empty() && window.effects.empty() ? '-'
                             : off && ended                        ? 'e'
                             : off && window.effects.empty()       ? 'o'
                             : log.empty() && ended                ? 'x'
                                                                   : '?';
            EXPECT_EQ(got, effects[i])
                << testing::PrintToString(log) << testing::PrintToString(window.effects);
            EXPECT_EQ(Matching(log, "GpuOverclockSwitch(0x2000,1)").size(), 0u);
        }
    }
}

// The GPU check at start-up: passed, the program runs and takes its initial state; failed (here after
// the physical enumeration succeeded, so the GPU could be switched), it refuses, and nothing an input
// brings inside the refusal's box switches, waits or opens another box.
TEST_F(Control, AFailedGpuCheckRefusesAndNothingInsideTheRefusalActs)
{
    for (const bool passes : {true, false}) {
        SCOPED_TRACE(passes ? "passes" : "fails");
        library = std::make_unique<FakeDriverLibrary>(passes ? "" : "logical 1 -1");
        driver = std::make_unique<NvApi>(*library);
        Reset({2, 0, 16});
        window = RecordedWindow{};
        phase = ProgramPhase{};
        overclock = std::make_unique<OverclockSwitch>(*driver, window, phase);
        policy = std::make_unique<EventPolicy>(*overclock, window, phase);
        life = std::make_unique<ProgramLife>(phase, *driver, *overclock, window);
        window.insidePumping = [this] {
            policy->OnFirmwareEvent(0x60);
            policy->OnResubscribed();
            overclock->OnTrayEnable();
            policy->OnPowerBroadcast(kResumeFromSuspend, 0);
            life->OnTrayMenuRequest();
            overclock->OnClose();
            life->Shutdown();
        };
        life->CheckGpuAndStart();
        EXPECT_EQ(phase.Current(), passes ? Phase::Running : Phase::Ended);  // the session ended inside
        const Lines effects = passes ? Lines{"controls 1", "radios 1"} : Lines{"refusal", "leave 1"};
        EXPECT_EQ(window.effects, effects);
        EXPECT_EQ(Matching(log, "Gpu").size(), passes ? 3u : 0u);
        EXPECT_EQ(service.ap6, passes ? 17 : 16);
        EXPECT_EQ(Matching(log, set).size(), passes ? 1u : 0u);
    }
}

// A call that pumps can run an ending that another process sent; the handler that made the call asks
// again afterwards and neither waits, opens a box nor switches on. The option is on and AP item 6 16.
TEST_F(Control, AnEndingInsideACallThatPumpsStopsTheHandlerThatMadeIt)
{
    // The event, whether the mode is wanted, and the effects: the peek is the only call that pumps before
    // the wait and the box.
    const std::tuple<std::uintptr_t, bool> events[] = {{0x60, true}, {0x60, false}, {0x5D, true}};
    // Exit, WM_CLOSE and the shutdown (the end of the session).
    for (const Input& ending : std::span(kInputs).subspan(10, 3)) {
        for (const auto& [code, wanted] : events) {
            SCOPED_TRACE(testing::Message() << ending.name << " inside the peek of event " << code);
            Start({6, 0, 16});
            overclock->ocSupported = true;
            overclock->ocWanted = wanted;
            window.insidePumping = [this, &ending] { ending.run(*this); };
            policy->OnFirmwareEvent(code);
            EXPECT_EQ(window.effects.front(), "peek");
            EXPECT_EQ(Matching(window.effects, "wait").size(), 0u);
            EXPECT_EQ(Matching(window.effects, "message").size(), 0u);
            EXPECT_EQ(Matching(log, "GpuOverclockSwitch(0x2000,1)").size(), 0u);
            EXPECT_EQ(service.ap6, 16);
        }
    }
}

// What the tip says, over the states the program reaches: the first step is start-up's initial state,
// then the inputs in order, with the firmware and the driver as each row has them.
TEST_F(Control, TheTipSaysTheModeAndWhyOverclockingIsUnavailable)
{
    struct Row {
        const char* name;
        Values values;
        const char* plan;
        void (*steps)(Control&);
        TrayStatus status;
    };
    const Row rows[] = {
        {"the option on", {2, 0, 16}, "", [](Control&) {}, TrayStatus::Overclocked},
        {"Disable chosen",
         {2, 0, 16},
         "",
         [](Control& c) { c.overclock->OnTrayDisable(); },
         TrayStatus::NotWanted},
        {"the option off", {0, 0, 16}, "", [](Control&) {}, TrayStatus::OptionOff},
        {"Disable chosen, then the option off",
         {2, 0, 16},
         "",
         [](Control& c) {
             c.overclock->OnTrayDisable();
             service.system0 = 0;
             c.policy->OnFirmwareEvent(0x60);
         },
         TrayStatus::OptionOff},
        {"forced off",
         {2, 1, 16},
         "",
         [](Control& c) { c.policy->OnFirmwareEvent(0x79); },
         TrayStatus::ForcedOff},
        {"after sleep",
         {2, 0, 16},
         "",
         [](Control& c) { c.policy->OnPowerBroadcast(kResumeFromSuspend, 0); },
         TrayStatus::AfterSleep},
        {"the driver refusing",
         {2, 0, 16},
         "status GpuOverclockLimit -5",
         [](Control&) {},
         TrayStatus::DriverRefused},
        {"a failed switch-on, then Disable",
         {2, 0, 16},
         "status GpuOverclockLimit -5",
         [](Control& c) { c.overclock->OnTrayDisable(); },
         TrayStatus::NotWanted},
        {"the firmware refusing the write",
         {2, 0, 16},
         "",
         [](Control& c) {
             c.overclock->OnTrayDisable();
             setsFail = true;
             c.overclock->OnTrayEnable();
         },
         TrayStatus::NotRecorded},
        {"a switch-on whose read fails",
         {2, 0, 16},
         "",
         [](Control& c) {
             c.overclock->OnTrayDisable();
             fake_firmware::down = true;
             c.overclock->OnTrayEnable();
         },
         TrayStatus::NoAnswer},
        {"the service away",
         {2, 0, 16},
         "",
         [](Control& c) {
             fake_firmware::down = true;
             c.policy->OnFirmwareEvent(0x60);
         },
         TrayStatus::NoAnswer},
        {"the service away and back",
         {2, 0, 16},
         "",
         [](Control& c) {
             fake_firmware::down = true;
             c.policy->OnFirmwareEvent(0x60);
             fake_firmware::down = false;
             c.policy->OnResubscribed();
         },
         TrayStatus::Overclocked},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Start(row.values, row.plan);
        overclock->ApplyInitialState();
        row.steps(*this);
        EXPECT_EQ(CurrentTrayStatus(*overclock), row.status);
    }
    // Each state in words of its own that fit the tip after its first line.
    std::set<std::wstring> texts;
    for (int status = 0; status <= static_cast<int>(TrayStatus::NotRecorded); ++status) {
        const std::wstring text = TrayStatusText(static_cast<TrayStatus>(status));
        EXPECT_TRUE(texts.insert(text).second && !text.empty() && text.size() + 8 < 128) << status;
    }
}

}  // namespace
