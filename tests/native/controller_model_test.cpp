// A model of what the overclock controller must keep true, checked against the real controller (the
// switch and the event policy over the fake firmware service and the stand-in driver) along generated
// sequences of steps. The window is played by a message queue whose option box runs a nested loop, as
// the real box's loop does: inputs keep arriving and being handled while it is open.
//
// After every handled input the flags must be the model's, which takes the inputs in the order they
// arrived, and:
//   - while no fault has touched a sequence since the last clean one, the GPU's mode and bit 0 of AP
//     item 6 are both the model's;
//   - the GPU is overclocked only if the option's last reading said on and the user wants it;
//   - no bit of AP item 6 other than bit 0 changes.
// scripts/model-run.sh runs many more sequences and prints what it found, asserting nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "control/event_policy.h"
#include "fakes.h"

namespace {

namespace fw = fake_firmware;

// A step, printed as its fields: an input arrives ('+' and the input), the loop at hand handles the
// next ('h'), the user closes the option box ('b'), the firmware's System items 0 and 1 change ('i'),
// the firmware answers, is down or refuses sets ('f' 0 to 2), the driver works, fails an entry or is
// reset ('d' 0 to 2).
// Inputs: 'e' firmware event (code in `value`), 'E' Enable, 'D' Disable, 'O' OK (radio in `value`),
// 'r' resubscribed, 'p' resume, 'X' Exit, 'C' Cancel, 'W' WM_CLOSE.
struct Step {
    char op, input;
    int value, system1;
};

const char* const kDriverPlans[] = {"", "status GpuStockClockSwitch -5", "reset-after 0"};

std::string Describe(const Step& s)
{
    return std::string{s.op, s.input == 0 ? ' ' : s.input, ' '} + std::to_string(s.value) + ' ' +
           std::to_string(s.system1);
}

class ModelRun : public WindowEffects {
public:
    ModelRun(std::int32_t system0, std::int32_t ap6, const std::vector<Step>& steps)
        : m_initialAp6(ap6), m_steps(steps), m_driver(m_library)
    {
        m_driver.NvAPI_Initialize();
        m_driver.EnumerateGpus();
        fw::Reset({system0, 0, ap6});
        m_mode = (ap6 & 1) == 0 ? std::optional(false) : std::nullopt;
    }

    // Runs the steps; the first broken rule, or nothing.
    std::optional<std::string> Run()
    {
        m_lastOption = m_supported = (fw::service.system0 & 2) != 0;
        if (m_supported) {
            SwitchOn();
        }
        m_switch.ApplyInitialState();
        Check("start-up");
        Loop(false);
        while (!m_ended && !m_queue.empty()) {
            Handle();
        }
        Apply({'+', 'W', 0, 0});  // the destruction switches off as an ending does
        m_switch.OnDestroy();
        Check("destruction");
        return m_broken;
    }

private:
    // The main window's loop, or the option box's: runs steps until the box is closed, the program
    // ends or the steps run out.
    void Loop(bool box)
    {
        while (m_next < m_steps.size() && !m_ended) {
            const Step& step = m_steps[m_next++];
            if (step.op == '+') {
                Post(step);
            } else if (step.op == 'h') {
                Handle();
            } else if (step.op == 'b' && box) {
                return;
            } else if (step.op == 'i') {
                fw::service.system0 = step.value;
                fw::service.system1 = step.system1;
            } else if (step.op == 'f') {
                fw::down = step.value == 1;
                fw::setsFail = step.value == 2;
            } else if (step.op == 'd') {
                m_driverFails = step.value == 1;
                standin_driver::Install(StandInPlan::Parse(kDriverPlans[step.value], nullptr).value(),
                                        [](const std::string& line) { fw::log.push_back(line); });
            }
        }
    }

    void Handle()
    {
        if (m_queue.empty()) {
            return;
        }
        const Step input = m_queue.front();
        m_queue.pop_front();
        if (!m_arrived.empty()) {  // the model takes the inputs in the order they arrived
            m_handling = m_arrived.front();
            m_arrived.pop_front();
            Apply(m_handling);
        }
        // What reaches the controller for each input; WM_CLOSE's default processing posts IDCANCEL.
        const std::pair<char, void (*)(ModelRun&, int)> handlers[] = {
            {'e',
             [](ModelRun& m, int code) { m.m_policy.OnFirmwareEvent(static_cast<std::uintptr_t>(code)); }},
            {'E', [](ModelRun& m, int) { m.m_switch.OnTrayEnable(); }},
            {'D', [](ModelRun& m, int) { m.m_switch.OnTrayDisable(); }},
            {'O', [](ModelRun& m, int radio) { m.m_radio = radio, m.m_switch.OnOk(); }},
            {'r', [](ModelRun& m, int) { m.m_policy.OnResubscribed(); }},
            {'p', [](ModelRun& m, int) { m.m_policy.OnPowerBroadcast(kResumeFromSuspend, 0); }},
            {'X', [](ModelRun& m, int) { m.m_switch.OnTrayExit(); }},
            {'C', [](ModelRun& m, int) { m.m_switch.OnCancel(); }},
            {'W',
             [](ModelRun& m, int) {
                 m.m_switch.OnClose(), m.Post({'+', 'C', 0, 0});
             }},
        };
        std::find_if(std::begin(handlers), std::end(handlers), [&](const auto& h) {
            return h.first == input.input;
        })->second(*this, input.value);
        Check(Describe(input));
    }

    // The model's own account of an input.
    void Apply(const Step& input)
    {
        const int code = input.value & 0xFF;
        const bool option = !fw::down && (fw::service.system0 & 2) != 0;
        if (input.input == 'e' && !m_ending && code == kEventOverclockOption) {
            FollowOption(option);
        } else if (input.input == 'e' && !m_ending && (code == kEventForceOffA || code == kEventForceOffB)) {
            if (!fw::down && ((fw::service.system1 & 1) != 0 || (fw::service.system0 & 4) != 0)) {
                SwitchOff(), m_supported = false;
            }
        } else if (input.input == 'r' && !m_ending) {
            FollowOption(option);
        } else if (input.input == 'E' || input.input == 'O') {
            m_wanted = input.input == 'E' || input.value == 1;
            m_wanted ? (m_supported ? SwitchOn() : void()) : SwitchOff();
        } else if (input.input == 'D') {
            m_wanted = false, SwitchOff();
        } else if (input.input == 'p') {
            SwitchOff(), m_supported = false;
        } else if (input.input == 'X' || input.input == 'C' || input.input == 'W') {
            m_ending = true, m_wanted = false, SwitchOff();
        }
    }

    void FollowOption(bool option)
    {
        m_lastOption = m_supported = option;
        option ? (m_wanted ? SwitchOn() : void()) : SwitchOff();
    }
    bool Faulty() const { return fw::down || fw::setsFail || m_driverFails; }
    void SwitchOn()
    {
        if (!m_ending) {
            m_mode = Faulty() ? std::nullopt : std::optional(true);
        }
    }
    void SwitchOff() { m_mode = Faulty() ? std::nullopt : std::optional(false); }

    void Check(const std::string& after)
    {
        for (; m_logRead < fw::log.size(); ++m_logRead) {  // the last GpuOverclockSwitch that succeeded
            const std::string& line = fw::log[m_logRead];
            if (line.starts_with("GpuOverclockSwitch(") && line.ends_with(") -> 0")) {
                m_gpuOn = line[line.find(',') + 1] == '1';
            }
        }
        const std::int32_t ap6 = fw::service.ap6;
        const char* const rule = m_switch.ocWanted != m_wanted || m_switch.ocSupported != m_supported
                                     ? "the flags"
                                 : m_mode && (m_gpuOn != *m_mode || (ap6 & 1) != *m_mode) ? "the mode"
                                 : m_gpuOn && !(m_lastOption && m_wanted) ? "overclocked only when allowed"
                                 : (ap6 & ~1) != (m_initialAp6 & ~1)      ? "AP item 6's other bits"
                                                                          : nullptr;
        if (rule != nullptr && !m_broken) {
            m_broken = "after " + after + ", " + rule + ": wanted " + std::to_string(m_switch.ocWanted) +
                       " supported " + std::to_string(m_switch.ocSupported) + " GPU " +
                       std::to_string(m_gpuOn) + " AP item 6 " + std::to_string(ap6) + "; the model's " +
                       std::to_string(m_wanted) + ' ' + std::to_string(m_supported) + ' ' +
                       (m_mode ? std::to_string(*m_mode) : "?") + ", option read " +
                       std::to_string(m_lastOption);
        }
    }

    // The window, played by the queue; at most one option box is open, as in the window.
    void BlockingWait(std::uint32_t) override {}
    void ShowOverclockOptionMessage() override
    {
        if (!std::exchange(m_boxOpen, true)) {
            Loop(true);
            m_boxOpen = false;
        }
    }
    void EnableModeControls(bool) override {}
    void SetModeRadios(bool overclock) override { m_radio = overclock ? 1 : 0; }
    int OverclockRadioState() override { return m_radio; }
    void EndModalLoop() override { m_ended = true; }
    std::optional<std::uintptr_t> NextQueuedFirmwareEvent() override
    {
        const auto next = NextEvent(m_queue);
        return next != m_queue.end() ? std::optional(static_cast<std::uintptr_t>(next->value)) : std::nullopt;
    }
    // For the model, a merged event is one of the code at hand right behind it: handled right after it,
    // with the firmware unchanged, it would change nothing.
    void DropNextQueuedFirmwareEvent() override
    {
        if (const auto next = NextEvent(m_queue); next != m_queue.end()) {
            m_queue.erase(next);
        }
        if (const auto next = NextEvent(m_arrived); next != m_arrived.end() && m_handling.input == 'e' &&
                                                    ((next->value ^ m_handling.value) & 0xFF) == 0) {
            m_arrived.erase(next);
        }
    }
    void Post(const Step& input)
    {
        m_queue.push_back(input);
        m_arrived.push_back(input);
    }
    static std::deque<Step>::iterator NextEvent(std::deque<Step>& queue)
    {
        return std::find_if(queue.begin(), queue.end(), [](const Step& s) { return s.input == 'e'; });
    }

    const std::int32_t m_initialAp6;
    const std::vector<Step>& m_steps;
    FakeDriverLibrary m_library;
    NvApi m_driver;
    OverclockSwitch m_switch{m_driver, *this};
    EventPolicy m_policy{m_switch, *this};
    std::size_t m_next = 0, m_logRead = 0;
    std::deque<Step> m_queue;    // the window's message queue
    std::deque<Step> m_arrived;  // the same inputs, for the model, in the order they arrived
    Step m_handling{};
    bool m_driverFails = false, m_boxOpen = false, m_ended = false, m_gpuOn = false;
    int m_radio = 1;
    // The model: the user's choice, the option as the controller must take it, the option's last reading.
    bool m_wanted = true, m_supported = false, m_lastOption = false, m_ending = false;
    std::optional<bool> m_mode;  // the GPU's and the firmware's mode; unknown after a faulty sequence
    std::optional<std::string> m_broken;
};

struct Sequence {
    std::int32_t system0, ap6;
    std::vector<Step> steps;
};

std::optional<std::string> Broken(const Sequence& s)
{
    return ModelRun(s.system0, s.ap6, s.steps).Run();
}

Sequence Generate(unsigned seed, int length)
{
    std::mt19937 random(seed);
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const int codes[] = {0x60, 0x60, 0x160, 0x5D, 0x79, 0x61};
    const std::int32_t ap6s[] = {16, 17, 0, 0x12, 0x13, 0xFE};
    Sequence sequence{pick(2) * 2, ap6s[pick(6)], {}};
    // Inputs weighted by how often they come; the endings are rare, so that most sequences run long.
    const char inputs[] = "eeeeeeeeeEEEDDOrrpXCW";
    for (int i = 0; i < length; ++i) {
        const int roll = pick(100);
        const char input = inputs[pick(pick(20) == 0 ? 21 : 18)];
        sequence.steps.push_back(roll < 40   ? Step{'+', input, input == 'e' ? codes[pick(6)] : pick(3), 0}
                                 : roll < 68 ? Step{'h', 0, 0, 0}
                                 : roll < 78 ? Step{'b', 0, 0, 0}
                                 : roll < 90 ? Step{'i', 0, pick(4) * 2, pick(2)}
                                 : roll < 95 ? Step{'f', 0, pick(4) == 0 ? pick(3) : 0, 0}
                                             : Step{'d', 0, pick(3) == 0 ? pick(3) : 0, 0});
    }
    return sequence;
}

// A shorter sequence that still breaks a rule: runs of steps left out, longest first, while any can go.
Sequence Shrink(Sequence sequence)
{
    const auto without = [&](std::size_t first, std::size_t count) {
        Sequence candidate = sequence;
        const auto begin = candidate.steps.begin() + static_cast<std::ptrdiff_t>(first);
        candidate.steps.erase(begin, begin + static_cast<std::ptrdiff_t>(count));
        return candidate;
    };
    for (bool shorter = true; shorter;) {
        shorter = false;
        const std::size_t n = sequence.steps.size();
        for (std::size_t count = std::max<std::size_t>(n / 2, 1); count >= 1 && !shorter; count /= 2) {
            for (std::size_t first = 0; first + count <= n && !shorter; ++first) {
                if (Sequence candidate = without(first, count); Broken(candidate)) {
                    sequence = std::move(candidate), shorter = true;
                }
            }
        }
    }
    return sequence;
}

std::string Report(unsigned seed, const Sequence& found)
{
    const Sequence shortest = Shrink(found);
    std::string text = "seed " + std::to_string(seed) + ", System item 0 " +
                       std::to_string(shortest.system0) + ", AP item 6 " + std::to_string(shortest.ap6) +
                       ": " + *Broken(shortest) + "\n";
    for (const Step& step : shortest.steps) {
        text += "    " + Describe(step) + "\n";
    }
    return text;
}

// With TENDRAL_MODEL_SEQUENCES set, that many sequences twice as long from a fresh seed, printed and not
// asserted (scripts/model-run.sh).
TEST(ControllerModel, HoldsAlongGeneratedSequences)
{
    const char* const longRun = std::getenv("TENDRAL_MODEL_SEQUENCES");
    const unsigned count = longRun != nullptr ? static_cast<unsigned>(std::atoi(longRun)) : 400;
    const unsigned first = longRun != nullptr ? std::random_device()() : 1;
    unsigned broken = 0;
    for (unsigned seed = first; seed != first + count; ++seed) {
        if (const Sequence sequence = Generate(seed, longRun != nullptr ? 120 : 60); Broken(sequence)) {
            ASSERT_NE(longRun, nullptr) << Report(seed, sequence);
            if (++broken <= 3) {
                std::printf("%s", Report(seed, sequence).c_str());
            }
        }
    }
    if (longRun != nullptr) {
        std::printf("%u sequences of 120 steps from seed %u: %u broke a rule\n", count, first, broken);
    }
}

}  // namespace
