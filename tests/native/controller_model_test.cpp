// A model of what the program must keep true (docs/testing.md), checked against the real switch, event
// policy and program life over the fake firmware and the stand-in driver along generated sequences of
// steps. The window is played by a message queue as Windows keeps one: posted inputs wait until a loop
// handles them; sent ones are handled at once by a loop that waits, else at the next call that pumps.
// Boxes and the menu run loops of their own. A driver call may fault; the fault guard's last act then
// runs where it faulted. The model keeps its own account of every input, in the order they arrived.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <optional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "control/event_policy.h"
#include "control/program_life.h"
#include "control/tray_status.h"
#include "fakes.h"

namespace {

namespace fw = fake_firmware;

// A step, as a word. Inputs, posted to the window's queue, or sent when marked "!": "e" and a firmware
// event's code in hex, "r" the service's return, "M" a right click on the icon (the menu), the tray's
// "E" Enable, "D" Disable, "A" About and "X" Exit, "O" and the radio's state (OK), "C" Cancel, "W"
// WM_CLOSE (the dialog manager posts a Cancel for it), "S" the system menu's About, "p" resume and "Q"
// the end of the session. Others: "h" the loop at hand handles the next posted input, "b" the user
// closes the box or menu at hand, "i" and System items 0 and 1, "f" and the firmware answering (0),
// down (1) or refusing sets (2), "d" and the driver working (0), failing an entry (1), being reset (2),
// faulting in its next switch call (3) or in its next two (4).
using Steps = std::vector<std::string>;

// How the process ended other than through its window's destruction.
struct ProcessEnd {
    const char* how;
};

constexpr char kFaultInLastAct[] = "a fault in the last act";

class ModelRun : public WindowEffects {
public:
    ModelRun(int system0, int ap6, bool gpuCheckFails, const Steps& steps)
        : m_initialAp6(ap6), m_steps(steps), m_gpuCheckFails(gpuCheckFails), m_library(DriverPlan(0))
    {
        fw::Reset({system0, 0, ap6});
        m_mode = (ap6 & 1) == 0 ? std::optional(false) : std::nullopt;
    }

    // Runs the steps; the first broken rule, or nothing.
    std::optional<std::string> Run()
    {
        try {
            Post("s");  // the rest of start-up, posted ahead of everything else
            Loop(false);
            while (!m_ended && !m_queue.empty()) {  // the steps ran out: what is queued is handled
                HandleNextPosted();
            }
            m_statusAtTheEnd = CurrentTrayStatus(m_switch);
            Account("Z");  // the window's destruction
            m_life.Shutdown();
        } catch (const ProcessEnd& end) {
            m_end = end.how;
        }
        // A fault in the last act leaves the GPU as it was: beyond the program's reach.
        if (m_end != kFaultInLastAct) {
            Check("the end (" + m_end + ")");
            if (m_gpuOn) {
                Broken("the end", "off at the end");
            }
        }
        return m_broken;
    }
    // What the tip said once the steps ran out, before the window went.
    std::optional<TrayStatus> m_statusAtTheEnd;

private:
    // The main window's loop, or a box's or the menu's: runs steps until it is closed, the program
    // ends or the steps run out.
    void Loop(bool box)
    {
        while (m_next < m_steps.size() && !m_ended) {
            const std::string& step = m_steps[m_next++];
            if (step == "h") {
                HandleNextPosted();
            } else if (step == "b") {
                if (box) {
                    return;
                }
            } else if (step[0] == 'i' || step[0] == 'f' || step[0] == 'd') {
                Environment(step);
            } else if (step[0] == '!') {
                Deliver(step.substr(1));
            } else {
                Post(step);
            }
            if (m_queue.empty()) {
                Check(step);
            }
        }
    }

    std::string DriverPlan(int which) const
    {
        const char* const plans[] = {"", "status GpuStockClockSwitch -5", "reset-after 0", "fault 0",
                                     "fault 0 2"};
        return std::string(m_gpuCheckFails ? "logical 1 -1\n" : "") + plans[which];
    }

    void Environment(const std::string& step)
    {
        const int value = step[1] - '0';
        if (step[0] == 'i') {
            fw::service = {value, step[2] - '0', fw::service.ap6};
        } else if (step[0] == 'f') {
            fw::down = value == 1, fw::setsFail = value == 2;
        } else {
            m_driverFails = value == 1;
            standin_driver::Install(
                StandInPlan::Parse(DriverPlan(value), nullptr).value(),
                [](const std::string& line) { fw::log.push_back(line); }, [this] { OnDriverFault(); });
        }
    }

    // The fault guard: the last act once, where the fault happened; a fault inside it ends at once.
    void OnDriverFault()
    {
        m_mode = std::nullopt;  // the sequence was cut short where it faulted
        if (std::exchange(m_faulted, true)) {
            throw ProcessEnd{kFaultInLastAct};
        }
        // Also when the fault came in the shutdown's own switch-off, which the account has behind it.
        if (m_modelPhase != Phase::Refusing) {
            m_modelPhase = Phase::Ending;
        }
        Account("F");
        m_life.OnFault();
        throw ProcessEnd{"a fault"};
    }

    void Post(const std::string& input)
    {
        m_queue.push_back(input);
        m_accountQueue.push_back(input);
    }

    void HandleNextPosted()
    {
        if (m_queue.empty()) {
            return;
        }
        const std::string input = m_queue.front();
        m_queue.pop_front();
        // The model's own account takes the inputs in the order they arrived. A run of one event code at
        // the head of the whole queue is one input: handled right after each other with the firmware
        // unchanged, they change nothing.
        std::optional<std::string> accounted;
        if (!m_accountQueue.empty()) {
            accounted = m_accountQueue.front();
            m_accountQueue.pop_front();
            while (accounted->at(0) == 'e' && m_modelPhase == Phase::Running && !m_accountQueue.empty() &&
                   m_accountQueue.front()[0] == 'e' && Code(m_accountQueue.front()) == Code(*accounted)) {
                m_accountQueue.pop_front();
            }
        }
        // An event is accounted for when the program reads the firmware for it, after its wait.
        const bool event = accounted && accounted->at(0) == 'e';
        if (accounted && !event) {
            Account(*accounted);
        }
        const std::optional<std::string> outer =
            std::exchange(m_eventAccount, event ? accounted : std::nullopt);
        Dispatch(input);
        if (m_eventAccount) {
            Account(*m_eventAccount);
        }
        m_eventAccount = outer;
    }

    // A sent input: handled at once, with nothing in the queue passed over.
    void Deliver(const std::string& input)
    {
        Account(input);
        Dispatch(input);
    }

    // The program, as the main window routes each input.
    void Dispatch(const std::string& input)
    {
        // clang-format off
        switch (input[0]) {
            case 's': m_life.CheckGpuAndStart(); break;
            case 'e': m_policy.OnFirmwareEvent(std::stoul(input.substr(1), nullptr, 16)); break;
            case 'r': m_policy.OnResubscribed(); break;
            case 'M': m_life.OnTrayMenuRequest(); break;
            case 'E': m_switch.OnTrayEnable(); break;
            case 'D': m_switch.OnTrayDisable(); break;
            case 'A': m_life.OnTrayAbout(); break;
            case 'X': m_switch.OnTrayExit(); break;
            case 'O': m_radio = input[1] - '0', m_switch.OnOk(); break;
            case 'C': m_switch.OnCancel(); break;
            case 'W': m_switch.OnClose(), Post("C"); break;
            case 'S': m_life.OnSystemAbout(); break;
            case 'p': m_policy.OnPowerBroadcast(kResumeFromSuspend, 0); break;
            case 'Q': m_life.Shutdown(), EndModalLoop(); break;
        }
        // clang-format on
    }

    // The model's own account of an input: what a sound program makes of it.
    void Account(const std::string& input)
    {
        const char kind = input[0];
        const bool optionOn = !fw::down && (fw::service.system0 & 2) != 0;
        if (kind == 's' && m_modelPhase == Phase::Starting) {
            if (m_gpuCheckFails) {
                m_modelPhase = Phase::Refusing, m_refusedAt = fw::log.size();
                return;
            }
            m_modelPhase = Phase::Running, m_driverLoaded = true;
            m_supported = optionOn;
            if (m_supported && m_wanted) {
                SwitchOn();
            }
        } else if (kind == 'X' || kind == 'C' || kind == 'W' || kind == 'Q' || kind == 'Z' || kind == 'F') {
            if (m_modelPhase == Phase::Starting || m_modelPhase == Phase::Running) {
                m_modelPhase = Phase::Ending, m_endingAt = fw::log.size();
            }
            if (m_modelPhase == Phase::Ending) {
                m_wanted = false;
                // Before the GPU check the driver is not loaded: its entries fail and the value goes back.
                if (m_driverLoaded) {
                    SwitchOff();
                }
            }
            m_modelPhase = kind == 'Q' || kind == 'Z' ? Phase::Ended : m_modelPhase;
        } else if (m_modelPhase != Phase::Running) {
            return;
        } else if ((kind == 'e' && Code(input) == kEventOverclockOption) || kind == 'r') {
            m_supported = optionOn;
            m_supported ? (m_wanted ? SwitchOn() : void()) : SwitchOff();
        } else if (kind == 'e' && (Code(input) == kEventForceOffA || Code(input) == kEventForceOffB)) {
            if (!fw::down && ((fw::service.system1 & 1) != 0 || (fw::service.system0 & 4) != 0)) {
                SwitchOff(), m_supported = false;
            }
        } else if (kind == 'E' || kind == 'O') {
            m_wanted = input == "E" || input == "O1";
            m_wanted ? (m_supported ? SwitchOn() : void()) : SwitchOff();
        } else if (kind == 'D') {
            m_wanted = false, SwitchOff();
        } else if (kind == 'p') {
            SwitchOff(), m_supported = false;
        }
    }

    static int Code(const std::string& event) { return std::stoi(event.substr(1), nullptr, 16) & 0xFF; }

    // The mode after a sequence, as far as it is known: a switch-on without the firmware's value drives
    // nothing; any other failure leaves it unknown.
    void SwitchOn()
    {
        m_mode = fw::down ? m_mode : fw::setsFail || m_driverFails ? std::nullopt : std::optional(true);
    }
    void SwitchOff()
    {
        m_mode = fw::down || fw::setsFail || m_driverFails ? std::nullopt : std::optional(false);
    }

    void Check(const std::string& after)
    {
        for (; m_logRead < fw::log.size(); ++m_logRead) {
            const std::string& line = fw::log[m_logRead];
            if (line.starts_with("GpuOverclockSwitch(") && line.ends_with(") -> 0")) {
                m_gpuOn = line[line.find(',') + 1] == '1';  // the last one that succeeded
            }
            // Also between two checks, while inputs queued behind the ending are still handled.
            if (m_endingAt && m_logRead >= *m_endingAt && line.starts_with("GpuOverclockSwitch(") &&
                line.ends_with(",1) -> 0")) {
                Broken(after, "nothing switched on once ending");
            }
            if (m_refusedAt && m_logRead >= *m_refusedAt &&
                (line.starts_with("Gpu") || line.starts_with(fw::set))) {
                Broken(after, "nothing switched after a failed check");
            }
        }
        const int ap6 = fw::service.ap6;
        // The flags mean nothing before the program runs, after it ended, or once a fault cut a handler
        // short.
        const bool flagsKept = (m_modelPhase != Phase::Running && m_modelPhase != Phase::Ending) || m_faulted;
        if (!flagsKept && (m_switch.ocWanted != m_wanted || m_switch.ocSupported != m_supported)) {
            Broken(after, "the flags");
        } else if (m_mode && (m_gpuOn != *m_mode || (ap6 & 1) != *m_mode)) {
            Broken(after, "the mode");
        } else if (m_gpuOn && !(m_modelPhase == Phase::Running && m_supported && m_wanted)) {
            Broken(after, "overclocked only while running, allowed and wanted");
        } else if ((ap6 & ~1) != (m_initialAp6 & ~1)) {
            Broken(after, "AP item 6's other bits");
        } else if (m_programPhase.Running() && !TipTellsTheTruth(ap6)) {
            Broken(after, "the tip " + std::to_string(static_cast<int>(CurrentTrayStatus(m_switch))));
        }
    }

    // What the tip says of the mode and the flags holds: "overclocked" only for an overclocked GPU with
    // bit 0 set, the option on and the mode wanted; "not overclocked" and "unavailable" only for a GPU
    // at stock clocks; a GPU known to be overclocked is never called anything but overclocked, or the
    // failure that may have left it so.
    bool TipTellsTheTruth(int ap6) const
    {
        const TrayStatus status = CurrentTrayStatus(m_switch);
        const bool unavailable = status == TrayStatus::OptionOff || status == TrayStatus::ForcedOff ||
                                 status == TrayStatus::AfterSleep;
        const bool stock =
            unavailable || status == TrayStatus::NotWanted || status == TrayStatus::NotOverclocked;
        const bool failure = status == TrayStatus::NoAnswer || status == TrayStatus::DriverRefused ||
                             status == TrayStatus::NotRecorded;
        if (status == TrayStatus::Overclocked) {
            return m_gpuOn && (ap6 & 1) != 0 && m_switch.ocSupported && m_switch.ocWanted;
        }
        return !(stock && m_gpuOn) && !(unavailable && m_switch.ocSupported) &&
               !(status == TrayStatus::NotWanted && m_switch.ocWanted) && !(m_mode == true && !failure);
    }

    void Broken(const std::string& after, const std::string& rule)
    {
        if (m_broken) {
            return;
        }
        const auto bits = [](auto... values) { return ((std::to_string(values) + ' ') + ...); };
        m_broken = "after " + after + ", " + rule + ": wanted, supported, GPU, AP item 6 " +
                   bits(m_switch.ocWanted, m_switch.ocSupported, m_gpuOn, fw::service.ap6) +
                   "; the model's wanted, supported, mode, phase " +
                   bits(m_wanted, m_supported, m_mode ? int{*m_mode} : -1, static_cast<int>(m_modelPhase));
    }

    // A box, the menu or a wait holds the program up: only while it runs; the refusal only as it refuses.
    void MayHoldUp(const std::string& what, Phase allowed = Phase::Running)
    {
        if (m_modelPhase != allowed) {
            Broken("opening the " + what,
                   "no " + what + " unless " + (allowed == Phase::Running ? "running" : "refusing"));
        }
    }

    // Sent inputs that arrived while the program was busy, taken by a call that pumps.
    void DeliverPendingSends()
    {
        while (m_next < m_steps.size() && m_steps[m_next][0] == '!') {
            Deliver(m_steps[m_next++].substr(1));
        }
    }

    // The window. At most one option box is open, as in the main window.
    void BlockingWait(std::uint32_t) override
    {
        MayHoldUp("wait");
        if (m_eventAccount) {
            Account(*std::exchange(m_eventAccount, std::nullopt));
        }
    }
    void ShowOptionBoxPumping() override
    {
        MayHoldUp("option box");
        if (!std::exchange(m_optionBoxOpen, true)) {
            Loop(true);
            m_optionBoxOpen = false;
        }
    }
    void ShowRefusalPumping() override
    {
        MayHoldUp("refusal", Phase::Refusing);
        Loop(true);
    }
    void LeaveRefused() override { throw ProcessEnd{"the refusal"}; }
    void TrackTrayMenuPumping() override
    {
        MayHoldUp("menu");
        Loop(true);
    }
    void ShowAboutBoxPumping() override
    {
        MayHoldUp("About box");
        DeliverPendingSends();
    }
    void ShowModalAboutBoxPumping() override
    {
        MayHoldUp("modal About box");
        Loop(true);
    }
    bool TakeQueuedRepeatPumping(std::uint32_t code) override
    {
        DeliverPendingSends();
        if (m_queue.empty() || m_queue.front()[0] != 'e' ||
            static_cast<std::uint32_t>(Code(m_queue.front())) != code) {
            return false;
        }
        m_queue.pop_front();
        return true;
    }
    void EnableModeControls(bool) override {}
    void SetModeRadios(bool overclock) override { m_radio = overclock ? 1 : 0; }
    int OverclockRadioState() override { return m_radio; }
    void EndModalLoop() override { m_ended = true; }

    const int m_initialAp6;
    const Steps& m_steps;
    const bool m_gpuCheckFails;
    FakeDriverLibrary m_library;
    NvApi m_driver{m_library};
    ProgramPhase m_programPhase;
    OverclockSwitch m_switch{m_driver, *this, m_programPhase};
    EventPolicy m_policy{m_switch, *this, m_programPhase};
    ProgramLife m_life{m_programPhase, m_driver, m_switch, *this};

    std::size_t m_next = 0, m_logRead = 0;
    std::deque<std::string> m_queue;  // the window's queue of posted inputs
    bool m_driverFails = false, m_optionBoxOpen = false, m_ended = false, m_faulted = false, m_gpuOn = false;
    int m_radio = 1;
    std::string m_end = "destroyed";

    // The model's account: the posted inputs not yet accounted for, in the order they arrived, the event
    // whose account waits for its firmware reading, the user's choice, the option as the program must
    // take it, whether the driver was loaded, the phase, and the mode of the GPU and the firmware,
    // unknown after a faulty sequence.
    std::deque<std::string> m_accountQueue;
    std::optional<std::string> m_eventAccount;
    bool m_wanted = true, m_supported = false, m_driverLoaded = false;
    Phase m_modelPhase = Phase::Starting;
    std::optional<bool> m_mode;
    std::optional<std::size_t> m_refusedAt;  // the log's length when the GPU check failed
    std::optional<std::size_t> m_endingAt;   // the log's length when the program was asked to end
    std::optional<std::string> m_broken;
};

struct Sequence {
    int system0, ap6;
    bool gpuCheckFails;
    Steps steps;
};

std::optional<std::string> Broken(const Sequence& s)
{
    return ModelRun(s.system0, s.ap6, s.gpuCheckFails, s.steps).Run();
}

Sequence Generate(unsigned seed, int length)
{
    std::mt19937 random(seed);
    const auto pick = [&](const Steps& words) { return words[random() % words.size()]; };
    // Weighted by how often each comes; the endings are rare, so that most sequences run long.
    const Steps inputs = {"e60", "e60", "e60", "e160", "e5D", "e79", "e79", "e61", "e5D", "r",
                          "r",   "E",   "E",   "D",    "O0",  "O1",  "O2",  "M",   "A",   "S",
                          "!p",  "!E",  "X",   "C",    "W",   "!W",  "!X",  "!Q"};
    const Steps others = {"h",   "h",   "h",  "h",  "h",  "h",  "b",  "b",  "i00", "i01", "i20", "i21",
                          "i40", "i61", "f0", "f1", "f2", "d0", "d1", "d2", "d0",  "d3",  "d4",  "f1"};
    const auto ends = [](const std::string& step) {
        return step == "X" || step == "C" || step == "W" || step == "!W" || step == "!X" || step == "!Q" ||
               step == "d3" || step == "d4";
    };
    Sequence sequence{2 * static_cast<int>(random() % 2),
                      std::stoi(pick({"16", "17", "0", "18", "19", "254"})),
                      random() % 8 == 0,
                      {}};
    for (int i = 0; i < length; ++i) {
        const bool arrives = random() % 10 < 4;
        std::string step = pick(arrives ? inputs : others);
        while (ends(step) && random() % 8 != 0) {
            step = pick(arrives ? inputs : others);
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
                       (shortest.gpuCheckFails ? ", the GPU check failing" : "") + ": " + *Broken(shortest) +
                       "\n   ";
    for (const std::string& step : shortest.steps) {
        text += ' ' + step;
    }
    return text + '\n';
}

// What the tip says after start-up and the steps of each row, all handled. Which state is named, and in
// what precedence, the rules do not tell: they check only that the tip is true.
TEST(ControllerModel, TheTipSaysTheModeAndWhyOverclockingIsUnavailable)
{
    const std::tuple<int, const char*, TrayStatus> rows[] = {
        {2, "h", TrayStatus::Overclocked},
        {2, "D h", TrayStatus::NotWanted},
        {0, "h", TrayStatus::OptionOff},
        {2, "D h i00 e60 h", TrayStatus::OptionOff},
        {2, "i21 e79 h h", TrayStatus::ForcedOff},
        {2, "h !p", TrayStatus::AfterSleep},
        {2, "d1 h", TrayStatus::DriverRefused},
        {2, "d1 h d0 D h", TrayStatus::NotWanted},
        {2, "D h f2 E h", TrayStatus::NotRecorded},
        {2, "D h f1 E h", TrayStatus::NoAnswer},
        {2, "h f1 e60 h", TrayStatus::NoAnswer},
        {2, "h f1 e60 h f0 r h", TrayStatus::Overclocked},
    };
    for (const auto& [system0, words, status] : rows) {
        Steps steps;
        std::istringstream in(words);
        for (std::string word; in >> word;) {
            steps.push_back(word);
        }
        ModelRun run(system0, 16, false, steps);
        EXPECT_EQ(run.Run(), std::nullopt) << words;
        EXPECT_EQ(run.m_statusAtTheEnd, status) << words;
    }
    // Each state in words of its own that fit the tip after its first line.
    std::set<std::wstring> texts;
    for (int status = 0; status <= static_cast<int>(TrayStatus::NotRecorded); ++status) {
        const std::wstring text = TrayStatusText(static_cast<TrayStatus>(status));
        EXPECT_TRUE(texts.insert(text).second && !text.empty() && text.size() + 8 < 128) << status;
    }
}

// With TENDRAL_MODEL_SEQUENCES set (scripts/model-run.sh): that many sequences twice as long, from a
// fresh seed, printed and not asserted.
TEST(ControllerModel, HoldsAlongGeneratedSequences)
{
    const char* const longRun = std::getenv("TENDRAL_MODEL_SEQUENCES");
    const unsigned count = longRun != nullptr ? static_cast<unsigned>(std::atoi(longRun)) : 2000;
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
