// How long a switch takes against the running firmware simulator, over the real pipe, beside the bare
// exchanges it is made of. Prints medians and their ratio; asserts nothing.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "control/overclock_switch.h"
#include "firmware/orv_call_name_pipe.h"
#include "firmware/settings_channel.h"
#include "simulator_process.h"
#include "standin_driver.h"

namespace {

constexpr int kRounds = 200;

// The stand-in driver in this process, without a log: only the switch's own work is timed.
class InProcessDriver : public DriverLibrary {
public:
    void* Load() override { return this; }
    void* Symbol(void*, const char*) override { return reinterpret_cast<void*>(&standin_driver::QueryInterface); }
    void Unload(void*) override {}
};

class NoWindow : public WindowEffects {
public:
    void BlockingWait(std::uint32_t) override {}
    void ShowOverclockOptionMessage() override {}
    void EnableModeControls(bool) override {}
    void SetModeRadios(bool) override {}
    int OverclockRadioState() override { return 1; }
    void EndModalLoop() override {}
};

double MedianMs(const std::function<void()>& work)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> samples;
    for (int i = 0; i < kRounds; ++i) {
        LARGE_INTEGER start;
        LARGE_INTEGER end;
        QueryPerformanceCounter(&start);
        work();
        QueryPerformanceCounter(&end);
        samples.push_back(1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                          static_cast<double>(frequency.QuadPart));
    }
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

void Exchange(const char* command)
{
    char request[kRequestSize];
    FormatRequest(request, command);
    char reply[kReplySize] = {};
    ORV_CallNamePipe(request, kRequestSize, reply, kReplySize);
}

void Report(const char* name, double sequenceMs, double bareMs)
{
    std::printf("%-17s median %.3f ms; its 3 bare exchanges: median %.3f ms; ratio %.2f\n", name, sequenceMs,
                bareMs, sequenceMs / bareMs);
}

}  // namespace

int main()
{
    SimulatorProcess simulator;
    if (!simulator.Start()) {
        std::fputs("switch_bench: the firmware simulator did not start\n", stderr);
        return 1;
    }
    standin_driver::Install(StandInPlan{}, nullptr);
    InProcessDriver library;
    NvApi driver(library);
    NoWindow window;
    if (driver.NvAPI_Initialize() != NVAPI_OK || !driver.EnumerateGpus()) {
        std::fputs("switch_bench: the stand-in driver did not initialise\n", stderr);
        return 1;
    }
    OverclockSwitch overclock(driver, window);

    // A read, a write and its read-back each: the same exchanges as the sequences make.
    char setOn[kRequestSize];
    FormatSetApItem6Request(setOn, 17);
    const double enable = MedianMs([&] { overclock.EnableOverclock(); });
    const double enableBare = MedianMs([&] {
        Exchange(kQueryApItem6);
        Exchange(setOn);
        Exchange(kQueryApItem6);
    });
    char setOff[kRequestSize];
    FormatSetApItem6Request(setOff, 16);
    const double disable = MedianMs([&] { overclock.DisableOverclock(); });
    const double disableBare = MedianMs([&] {
        Exchange(kQueryApItem6);
        Exchange(setOff);
        Exchange(kQueryApItem6);
    });
    std::printf("%d rounds each, against firmware_sim over \\\\.\\pipe\\ORVWmiAcpi\n", kRounds);
    Report("EnableOverclock", enable, enableBare);
    Report("DisableOverclock", disable, disableBare);
    return 0;
}
