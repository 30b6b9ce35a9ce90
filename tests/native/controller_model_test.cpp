// A model of what the overclock controller must keep true (docs/testing.md), checked against the real
// switch and event policy over the fake firmware service and the stand-in driver along generated
// sequences of steps. The window is played by a message queue whose option box runs a nested loop, as
// the real box's loop does. With TENDRAL_MODEL_SEQUENCES set, the test runs that many sequences twice
// as long from a fresh seed and prints what it found, asserting nothing (scripts/model-run.sh).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "control/event_policy.h"
#include "fakes.h"

namespace {

namespace fw = fake_firmware;

// A step, as a word. Inputs that arrive in the window's queue: "e" and a firmware event's code in hex,
// "E" Enable, "D" Disable, "O" and the radio's state (OK), "r" resubscribed, "p" resume, "X" Exit,
// "C" Cancel, "W" WM_CLOSE. Others: "h" the loop at hand handles the next input, "b" the user closes
// the option box, "i" and System items 0 and 1, "f" and the firmware answering (0), down (1) or
// refusing sets (2), "d" and the driver working (0), failing an entry (1) or being reset (2).
using Steps = std::vector<std::string>;

class ModelRun : public WindowEffects {
public:
    ModelRun(int system0, int ap6, const Steps& steps) : m_initialAp6(ap6), m_steps(steps)
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
        m_supported ? SwitchOn() : void();
        m_switch.ApplyInitialState();
        Check("start-up");
        Loop(false);
        while (!m_ended && !m_queue.empty()) {
            Handle();
        }
        Apply("W");  // the destruction switches off as an ending does
        m_switch.OnDestroy();
        Check("destruction");
        return m_broken;
    }

private:
    // The main window's loop, or the option box's: runs steps until the box is closed, the program
    // ends or the steps run out.
    void Loop(bool box)
    {
        const char* const plans[] = {"", "status GpuStockClockSwitch -5", "reset-after 0"};
        while (m_next < m_steps.size() && !m_ended) {
            const std::string& step = m_steps[m_next++];
            const int value = step.size() > 1 ? step[1] - '0' : 0;
            if (step == "h") {
                Handle();
            } else if (step == "b" && box) {
                return;
            } else if (step[0] == 'i') {
                fw::service = {value, step[2] - '0', fw::service.ap6};
            } else if (step[0] == 'f') {
                fw::down = value == 1, fw::setsFail = value == 2;
            } else if (step[0] == 'd') {
                m_driverFails = value == 1;
                standin_driver::Install(StandInPlan::Parse(plans[value], nullptr).value(),
                                        [](const std::string& line) { fw::log.push_back(line); });
            } else if (step != "b") {
                Post(step);
            }
        }
    }

    void Handle()
    {
        if (m_queue.empty()) {
            return;
        }
        const std::string input = m_queue.front();
        m_queue.pop_front();
        if (!m_arrived.empty()) {  // the model takes the inputs in the order they arrived
            m_handling = m_arrived.front();
            m_arrived.pop_front();
            Apply(m_handling);
        }
        const int value = input.size() > 1 ? std::stoi(input.substr(1), nullptr, 16) : 0;
        // clang-format off
        switch (input[0]) {
            case 'e': m_policy.OnFirmwareEvent(static_cast<std::uintptr_t>(value)); break;
            case 'E': m_switch.OnTrayEnable(); break;
            case 'D': m_switch.OnTrayDisable(); break;
            case 'O': m_radio = value, m_switch.OnOk(); break;
            case 'r': m_policy.OnResubscribed(); break;
            case 'p': m_policy.OnPowerBroadcast(kResumeFromSuspend, 0); break;
            case 'X': m_switch.OnTrayExit(); break;
            case 'C': m_switch.OnCancel(); break;
            case 'W': m_switch.OnClose(), Post("C"); break;  // the dialog manager's answer to WM_CLOSE
        }
        // clang-format on
        Check(input);
    }

    // The model's own account of an input.
    void Apply(const std::string& input)
    {
        const int code = input[0] == 'e' ? std::stoi(input.substr(1), nullptr, 16) & 0xFF : -1;
        const bool forcedOff =
            !fw::down && ((fw::service.system1 & 1) != 0 || (fw::service.system0 & 4) != 0);
        if ((code == kEventOverclockOption || input == "r") && !m_ending) {
            m_lastOption = m_supported = !fw::down && (fw::service.system0 & 2) != 0;
            m_supported ? (m_wanted ? SwitchOn() : void()) : SwitchOff();
        } else if ((code == kEventForceOffA || code == kEventForceOffB) && !m_ending && forcedOff) {
            SwitchOff(), m_supported = false;
        } else if (input == "E" || input[0] == 'O') {
            m_wanted = input == "E" || input == "O1";
            m_wanted ? (m_supported ? SwitchOn() : void()) : SwitchOff();
        } else if (input == "D") {
            m_wanted = false, SwitchOff();
        } else if (input == "p") {
            SwitchOff(), m_supported = false;
        } else if (input == "X" || input == "C" || input == "W") {
            m_ending = true, m_wanted = false, SwitchOff();
        }
    }

    bool Faulty() const { return fw::down || fw::setsFail || m_driverFails; }
    void SwitchOn() { m_mode = m_ending ? m_mode : Faulty() ? std::nullopt : std::optional(true); }
    void SwitchOff() { m_mode = Faulty() ? std::nullopt : std::optional(false); }

    void Check(const std::string& after)
    {
        for (; m_logRead < fw::log.size(); ++m_logRead) {  // the last GpuOverclockSwitch that succeeded
            const std::string& line = fw::log[m_logRead];
            if (line.starts_with("GpuOverclockSwitch(") && line.ends_with(") -> 0")) {
                m_gpuOn = line[line.find(',') + 1] == '1';
            }
        }
        const int ap6 = fw::service.ap6;
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
        return next != m_queue.end() ? std::optional(std::stoul(next->substr(1), nullptr, 16)) : std::nullopt;
    }
    // For the model, a merged event is one of the code at hand right behind it: handled right after it,
    // with the firmware unchanged, it would change nothing.
    void DropNextQueuedFirmwareEvent() override
    {
        if (const auto next = NextEvent(m_queue); next != m_queue.end()) {
            m_queue.erase(next);
        }
        const auto code = [](const std::string& event) {
            return std::stoi(event.substr(1), nullptr, 16) & 0xFF;
        };
        if (const auto next = NextEvent(m_arrived);
            next != m_arrived.end() && m_handling[0] == 'e' && code(*next) == code(m_handling)) {
            m_arrived.erase(next);
        }
    }
    static std::deque<std::string>::iterator NextEvent(std::deque<std::string>& queue)
    {
        return std::find_if(queue.begin(), queue.end(), [](const std::string& s) { return s[0] == 'e'; });
    }
    void Post(const std::string& input)
    {
        m_queue.push_back(input);
        m_arrived.push_back(input);
    }

    const int m_initialAp6;
    const Steps& m_steps;
    FakeDriverLibrary m_library;
    NvApi m_driver{m_library};
    OverclockSwitch m_switch{m_driver, *this};
    EventPolicy m_policy{m_switch, *this};
    std::size_t m_next = 0, m_logRead = 0;
    std::deque<std::string> m_queue;    // the window's message queue
    std::deque<std::string> m_arrived;  // the same inputs, for the model, in the order they arrived
    std::string m_handling = "-";
    bool m_driverFails = false, m_boxOpen = false, m_ended = false, m_gpuOn = false;
    int m_radio = 1;
    // The model: the user's choice, the option as the controller must take it, the option's last reading.
    bool m_wanted = true, m_supported = false, m_lastOption = false, m_ending = false;
    std::optional<bool> m_mode;  // the GPU's and the firmware's mode; unknown after a faulty sequence
    std::optional<std::string> m_broken;
};

struct Sequence {
    int system0, ap6;
    Steps steps;
};

std::optional<std::string> Broken(const Sequence& s)
{
    return ModelRun(s.system0, s.ap6, s.steps).Run();
}

Sequence Generate(unsigned seed, int length)
{
    std::mt19937 random(seed);
    const auto pick = [&](const Steps& words) { return words[random() % words.size()]; };
    // Weighted by how often each comes; the endings are rare, so that most sequences run long.
    const Steps inputs = {"e60", "e60", "e60", "e160", "e5D", "e79", "e79", "e61", "E", "E",
                          "D",   "O0",  "O1",  "O2",   "r",   "r",   "p",   "X",   "C", "W"};
    const Steps others = {"h",   "h",   "h",   "h",   "h",  "h",  "b",  "b",  "i00", "i01",
                          "i20", "i21", "i40", "i61", "f0", "f1", "f2", "d0", "d1",  "d2"};
    Sequence sequence{
        2 * static_cast<int>(random() % 2), std::stoi(pick({"16", "17", "0", "18", "19", "254"})), {}};
    for (int i = 0; i < length; ++i) {
        const bool arrives = random() % 10 < 4;
        std::string step = pick(arrives ? inputs : others);
        while (arrives && (step == "X" || step == "C" || step == "W") && random() % 8 != 0) {
            step = pick(inputs);
        }
        sequence.steps.push_back(step);
    }
    return sequence;
}

// A shorter sequence that still breaks a rule: runs of steps left out, longest first, while any can go.
Sequence Shrink(Sequence sequence)
{
    for (bool shorter = true; shorter;) {
        shorter = false;
        const std::size_t n = sequence.steps.size();
        for (std::size_t count = std::max<std::size_t>(n / 2, 1); count >= 1 && !shorter; count /= 2) {
            for (std::size_t first = 0; first + count <= n && !shorter; ++first) {
                Sequence candidate = sequence;
                const auto begin = candidate.steps.begin() + static_cast<std::ptrdiff_t>(first);
                candidate.steps.erase(begin, begin + static_cast<std::ptrdiff_t>(count));
                if (Broken(candidate)) {
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
                       ": " + *Broken(shortest) + "\n   ";
    for (const std::string& step : shortest.steps) {
        text += ' ' + step;
    }
    return text + '\n';
}

TEST(ControllerModel, HoldsAlongGeneratedSequences)
{
    const char* const longRun = std::getenv("TENDRAL_MODEL_SEQUENCES");
    const unsigned count = longRun != nullptr ? static_cast<unsigned>(std::atoi(longRun)) : 400;
    const unsigned first = longRun != nullptr ? std::random_device()() : 1;
    unsigned broken = 0;
    for (unsigned seed = first; seed != first + count; ++seed) {
        if (const Sequence sequence = Generate(seed, longRun != nullptr ? 120 : 60); Broken(sequence)) {
            if (longRun == nullptr) {
                FAIL() << Report(seed, sequence);
            }
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
