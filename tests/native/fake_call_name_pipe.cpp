#include <cstring>
#include <stdexcept>

#include "fakes.h"
#include "firmware/orv_call_name_pipe.h"

namespace fake_firmware {
Values service;
bool running = false;
std::deque<std::optional<std::string>> script;
Lines log;

void Reset(Values values, bool run)
{
    service = values;
    running = run;
    script.clear();
    log.clear();
}
}  // namespace fake_firmware

extern "C" int ORV_CallNamePipe(const char* request, int requestSize, char* reply, int replySize)
{
    using namespace fake_firmware;
    const std::string command(request, strnlen(request, static_cast<std::size_t>(requestSize)));
    const std::string whole(request, static_cast<std::size_t>(requestSize));
    if (requestSize != 80 || replySize != 800 || whole != command + std::string(80 - command.size(), '\0')) {
        log.push_back("bad request " + command);
        return 0;
    }
    log.push_back(command);
    std::optional<std::string> answer;
    if (!script.empty()) {
        answer = script.front();
        script.pop_front();
    } else if (running) {
        const std::string set = "root\\WMI:S:ORV_AP:AP:6:";
        if (command.rfind(set, 0) == 0) {
            service.ap6 = std::stoi(command.substr(set.size()));
        }
        const std::int32_t value = command == "root\\WMI:Q:ORV_System:System:0"   ? service.system0
                                   : command == "root\\WMI:Q:ORV_System:System:1" ? service.system1
                                                                                  : service.ap6;
        answer = std::to_string(value) + '\0';
    }
    if (!answer) {
        return 0;
    }
    std::memcpy(reply, answer->data(), std::min<std::size_t>(answer->size(), 800));
    return 1;
}

namespace {
int g_module;  // its address is the module handle
}  // namespace

FakeDriverLibrary::FakeDriverLibrary(const std::string& plan)
{
    std::string error;
    const std::optional<StandInPlan> parsed = StandInPlan::Parse(plan, &error);
    if (!parsed) {
        throw std::runtime_error(error);
    }
    standin_driver::Install(*parsed, [](const std::string& line) { fake_firmware::log.push_back(line); });
}

void* FakeDriverLibrary::Load()
{
    loaded += loadFails ? 0 : 1;
    return loadFails ? nullptr : &g_module;
}

void* FakeDriverLibrary::Symbol(void* module, const char* name)
{
    const bool found = module == &g_module && !exportMissing && std::string(name) == "nvapi_QueryInterface";
    return found ? reinterpret_cast<void*>(&standin_driver::QueryInterface) : nullptr;
}

void FakeDriverLibrary::Unload(void* module)
{
    loaded -= module == &g_module ? 1 : 0;
}

Lines Matching(const Lines& lines, const std::string& prefix, bool keep)
{
    Lines found;
    for (const std::string& line : lines) {
        if ((line.rfind(prefix, 0) == 0) == keep) {
            found.push_back(line);
        }
    }
    return found;
}
