// The native tests' stand-ins: a firmware service behind ORV_CallNamePipe, the stand-in driver behind a
// fake loader and a recorded window. Firmware commands and driver calls land in one log, in order.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "control/window_effects.h"
#include "gpu/driver_library.h"
#include "standin_driver.h"

using Lines = std::vector<std::string>;

namespace fake_firmware {
struct Values {
    std::int32_t system0 = 0, system1 = 0, ap6 = 0;
};
inline const std::string q0 = "root\\WMI:Q:ORV_System:System:0", q1 = "root\\WMI:Q:ORV_System:System:1",
                         ap6 = "root\\WMI:Q:ORV_AP:AP:6", set = "root\\WMI:S:ORV_AP:AP:6:";
// These commands are served as the real service does, unless `script` holds the next reply (nullopt: the
// exchange fails), the service is down (every exchange fails) or refuses sets. A request that is not 80
// zero-padded bytes with room for an 800-byte reply fails, as does any other command.
inline Values service;
inline bool down = false, setsFail = false;
inline std::deque<std::optional<std::string>> script;
inline Lines log;
using Replies = std::vector<std::optional<std::string>>;
inline const std::optional<std::string> fail;
inline void Reset(Values values = {}, const Replies& replies = {})
{
    service = values;
    down = setsFail = false;
    script.assign(replies.begin(), replies.end());
    log.clear();
}
}  // namespace fake_firmware

class FakeDriverLibrary : public DriverLibrary {
public:
    explicit FakeDriverLibrary(const std::string& plan = "")
    {
        standin_driver::Install(StandInPlan::Parse(plan, nullptr).value(),
                                [](const std::string& line) { fake_firmware::log.push_back(line); });
    }
    void* Load() override { return loadFails ? nullptr : (++loaded, this); }
    void* Symbol(void* module, const char* name) override
    {
        const bool found = module == this && !exportMissing && std::string(name) == "nvapi_QueryInterface";
        return found ? reinterpret_cast<void*>(&standin_driver::QueryInterface) : nullptr;
    }
    void Unload(void* module) override { loaded -= module == this ? 1 : 0; }
    bool loadFails = false, exportMissing = false;
    int loaded = 0;  // loads minus unloads
};

// Records what is asked of it.
class RecordedWindow : public WindowEffects {
public:
    void BlockingWait(std::uint32_t ms) override { effects.push_back("wait " + std::to_string(ms)); }
    void ShowOptionBoxPumping() override { effects.push_back("message"); }
    void ShowRefusalPumping() override { effects.push_back("refusal"); }
    void LeaveRefused() override { effects.push_back("leave 1"); }
    void TrackTrayMenuPumping() override { effects.push_back("menu"); }
    void ShowAboutBoxPumping() override { effects.push_back("about"); }
    void ShowModalAboutBoxPumping() override { effects.push_back("modal about"); }
    bool TakeQueuedRepeatPumping(std::uint32_t) override
    {
        effects.push_back("peek");
        return false;
    }
    void EnableModeControls(bool on) override { effects.push_back("controls " + std::to_string(on)); }
    void SetModeRadios(bool oc) override { effects.push_back("radios " + std::to_string(oc)); }
    int OverclockRadioState() override { return 1; }
    void EndModalLoop() override { effects.push_back("end"); }
    Lines effects;
};

// The lines that start with the prefix.
inline Lines Matching(const Lines& lines, const std::string& prefix)
{
    Lines found;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(found),
                 [&](const std::string& line) { return line.starts_with(prefix); });
    return found;
}
