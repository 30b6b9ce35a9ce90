// The native tests' stand-ins: a firmware service behind ORV_CallNamePipe, the stand-in driver behind a
// fake loader, and a recorded window. Firmware commands and driver calls land in one log, in order.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "control/window_effects.h"
#include "gpu/driver_library.h"
#include "standin_driver.h"

using Lines = std::vector<std::string>;

namespace fake_firmware {
struct Values {
    std::int32_t system0 = 0, system1 = 0, ap6 = 0;
};
// Served as the real service does while `running`, unless `script` holds the next reply's bytes
// (nullopt: the exchange fails). Requests not of 80 zero-padded bytes with an 800-byte reply are
// logged as "bad request" and fail.
extern Values service;
extern bool running;
extern std::deque<std::optional<std::string>> script;
extern Lines log;
void Reset(Values values = {}, bool run = false);
}  // namespace fake_firmware

class FakeDriverLibrary : public DriverLibrary {
public:
    explicit FakeDriverLibrary(const std::string& plan = "");
    void* Load() override;
    void* Symbol(void* module, const char* name) override;
    void Unload(void* module) override;
    bool loadFails = false, exportMissing = false;
    int loaded = 0;  // loads minus unloads
};

class RecordedWindow : public WindowEffects {
public:
    void BlockingWait(std::uint32_t ms) override { effects.push_back("wait " + std::to_string(ms)); }
    void ShowOverclockOptionMessage() override
    {
        effects.push_back("message, supported " + std::to_string(*supported));
    }
    void EnableModeControls(bool on) override { effects.push_back("controls " + std::to_string(on)); }
    void SetModeRadios(bool oc) override { effects.push_back("radios " + std::to_string(oc)); }
    int OverclockRadioState() override { return radio; }
    void EndModalLoop() override { effects.push_back("end"); }
    Lines effects;
    int radio = 1;
    const bool* supported = nullptr;
};

// The lines that start with the prefix, or with keep false, the others.
Lines Matching(const Lines& lines, const std::string& prefix, bool keep = true);
