// How long a switch takes against the running firmware simulator, over the real pipe, beside the bare
// exchanges it is made of. Prints medians and their ratio; asserts nothing.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

#include "control/overclock_switch.h"
#include "firmware/settings_channel.h"
#include "simulator_process.h"
#include "standin_driver.h"

constexpr int kRounds = 200;

// The stand-in driver in this process without a log (its query function is the module), and no window.
class InProcess : public DriverLibrary, public WindowEffects {
public:
    void* Load() override { return reinterpret_cast<void*>(&standin_driver::QueryInterface); }
    void* Symbol(void* module, const char*) override { return module; }
    void Unload(void*) override {}
    void BlockingWait(std::uint32_t) override {}
    void ShowOptionBoxPumping() override {}
    void ShowRefusalPumping() override {}
    void LeaveRefused() override {}
    void TrackTrayMenuPumping() override {}
    void ShowAboutBoxPumping() override {}
    void ShowModalAboutBoxPumping() override {}
    bool TakeQueuedRepeatPumping(std::uint32_t) override { return false; }
    void EnableModeControls(bool) override {}
    void SetModeRadios(bool) override {}
    int OverclockRadioState() override { return 1; }
    void EndModalLoop() override {}
};

double MedianMs(const std::function<void()>& work)
{
    std::vector<std::chrono::steady_clock::duration> samples;
    for (int i = 0; i < kRounds; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        samples.push_back(std::chrono::steady_clock::now() - start);
    }
    std::nth_element(samples.begin(), samples.begin() + kRounds / 2, samples.end());
    return std::chrono::duration<double, std::milli>(samples[kRounds / 2]).count();
}

int main()
{
    SimulatorProcess simulator;
    standin_driver::Install(StandInPlan{}, nullptr);
    InProcess process;
    NvApi driver(process);
    if (!simulator.Start() || driver.NvAPI_Initialize() != NVAPI_OK || !driver.EnumerateGpus()) {
        std::fputs("switch_bench: the firmware simulator or the stand-in driver did not start\n", stderr);
        return 1;
    }
    ProgramPhase phase;
    phase.Run();
    OverclockSwitch overclock(driver, process, phase);
    std::printf("%d rounds each, against firmware_sim over \\\\.\\pipe\\ORVWmiAcpi\n", kRounds);
    for (const bool on : {true, false}) {
        const double sequence =
            MedianMs([&] { on ? overclock.EnableOverclock() : overclock.DisableOverclock(); });
        // A read, a write and its read-back: the exchanges the sequence makes.
        const double bare = MedianMs([&] { SetApItem6(on ? GetApItem6() | 1 : GetApItem6() & 0xFE); });
        std::printf("%-17s median %.3f ms; its 3 bare exchanges: median %.3f ms; ratio %.2f\n",
                    on ? "EnableOverclock" : "DisableOverclock", sequence, bare, sequence / bare);
    }
    return 0;
}
