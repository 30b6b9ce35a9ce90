#include "standin_driver.h"

#include <cstdio>
#include <sstream>
#include <utility>
#include <vector>

namespace {

StandInPlan g_plan;
std::function<void(const std::string&)> g_log;
std::function<void()> g_fault;
// Resets of the driver so far, and switch-entry calls so far (for the plan's reset-after).
std::uint32_t g_generation = 0;
std::uint32_t g_switchCalls = 0;

void Log(const std::string& line)
{
    if (g_log) {
        g_log(line);
    }
}

std::string Hex(std::uintptr_t value)
{
    char text[32];
    std::snprintf(text, sizeof(text), "0x%llX", static_cast<unsigned long long>(value));
    return text;
}

std::string Handle(NvHandle handle)
{
    return Hex(reinterpret_cast<std::uintptr_t>(handle));
}

// A physical GPU handle from before the driver's last reset.
bool IsStale(NvHandle gpu)
{
    const std::uintptr_t value = reinterpret_cast<std::uintptr_t>(gpu);
    const std::uintptr_t current =
        reinterpret_cast<std::uintptr_t>(StandInPhysicalGpuHandle(0, g_generation));
    return value >= 0x2000 && value < current && (value - 0x2000) % 0x100 < kGpuHandleCount;
}

// One call of a switch entry: a stale handle is refused as by the real driver after an update, and a
// call the plan makes fault faults once it is logged.
NvAPI_Status SwitchEntry(const char* name, NvHandle gpu, const std::string& arguments)
{
    if (g_plan.resetAfter && g_generation == 0 && g_switchCalls >= *g_plan.resetAfter) {
        g_generation = 1;
    }
    const std::uint32_t call = g_switchCalls++;
    const std::string line = std::string(name) + "(" + Handle(gpu) + "," + arguments + ") -> ";
    if (g_plan.faultAfter && call >= *g_plan.faultAfter && call - *g_plan.faultAfter < g_plan.faultCount) {
        Log(line + "fault");
        if (g_fault) {
            g_fault();
        }
    }
    NvAPI_Status status = NVAPI_HANDLE_INVALIDATED;
    if (!IsStale(gpu)) {
        const auto found = g_plan.statuses.find(name);
        status = found != g_plan.statuses.end() ? found->second : NVAPI_OK;
    }
    Log(line + std::to_string(status));
    return status;
}

NvAPI_Status NVAPI_CDECL Initialize()
{
    Log("NvAPI_Initialize() -> " + std::to_string(g_plan.initialize));
    return g_plan.initialize;
}

NvAPI_Status NVAPI_CDECL EnumNvidiaDisplayHandle(std::uint32_t index, NvHandle* display)
{
    NvAPI_Status status = index < g_plan.displays ? NVAPI_OK : NVAPI_END_ENUMERATION;
    const auto error = g_plan.displayErrors.find(index);
    if (error != g_plan.displayErrors.end()) {
        status = error->second;
    }
    if (status == NVAPI_OK) {
        *display = StandInDisplayHandle(index);
    }
    Log("NvAPI_EnumNvidiaDisplayHandle(" + std::to_string(index) + ") -> " + std::to_string(status));
    return status;
}

NvAPI_Status FillGpus(const char* name, NvHandle* handles, std::uint32_t* count, std::uint32_t planned,
                      NvAPI_Status status, NvHandle (*handle)(std::uint32_t, std::uint32_t))
{
    std::string line = std::string(name) + "() -> " + std::to_string(status);
    if (status == NVAPI_OK) {
        *count = planned;
        for (std::uint32_t i = 0; i < planned && i < kGpuHandleCount; ++i) {
            handles[i] = handle(i, g_generation);
            line += ' ' + Handle(handles[i]);
        }
    }
    Log(line);
    return status;
}

NvAPI_Status NVAPI_CDECL EnumPhysicalGPUs(NvHandle* handles, std::uint32_t* count)
{
    return FillGpus("NvAPI_EnumPhysicalGPUs", handles, count, g_plan.physicalCount, g_plan.physicalStatus,
                    StandInPhysicalGpuHandle);
}

NvAPI_Status NVAPI_CDECL EnumLogicalGPUs(NvHandle* handles, std::uint32_t* count)
{
    return FillGpus("NvAPI_EnumLogicalGPUs", handles, count, g_plan.logicalCount, g_plan.logicalStatus,
                    [](std::uint32_t index, std::uint32_t) { return StandInLogicalGpuHandle(index); });
}

NvAPI_Status NVAPI_CDECL GpuOverclockSwitch(NvHandle gpu, std::int32_t on)
{
    return SwitchEntry("GpuOverclockSwitch", gpu, std::to_string(on));
}

NvAPI_Status NVAPI_CDECL GpuOverclockLimit(NvHandle gpu, std::int32_t first, std::int32_t second)
{
    return SwitchEntry("GpuOverclockLimit", gpu, std::to_string(first) + "," + std::to_string(second));
}

NvAPI_Status NVAPI_CDECL GpuStockClockSwitch(NvHandle gpu, std::int32_t on)
{
    return SwitchEntry("GpuStockClockSwitch", gpu, std::to_string(on));
}

bool ParseNumber(const std::string& word, long long* value)
{
    try {
        std::size_t used = 0;
        *value = std::stoll(word, &used, 0);
        return used == word.size();
    } catch (...) {
        return false;
    }
}

}  // namespace

std::optional<StandInPlan> StandInPlan::Parse(const std::string& text, std::string* error)
{
    StandInPlan plan;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        line = line.substr(0, line.find('#'));
        std::istringstream words(line);
        std::string directive;
        if (!(words >> directive)) {
            continue;
        }
        std::vector<std::string> arguments;
        for (std::string word; words >> word;) {
            arguments.push_back(word);
        }
        std::vector<long long> numbers;
        bool numeric = true;
        for (const std::string& argument : arguments) {
            long long value = 0;
            numeric = numeric && ParseNumber(argument, &value);
            numbers.push_back(value);
        }
        const auto status = [](long long value) { return static_cast<NvAPI_Status>(value); };
        const auto count = [](long long value) { return static_cast<std::uint32_t>(value); };
        bool understood = true;
        if (directive == "log" && arguments.size() == 1) {
            plan.logPath = arguments[0];
        } else if (directive == "status" && arguments.size() == 2) {
            long long value = 0;
            understood = ParseNumber(arguments[1], &value);
            plan.statuses[arguments[0]] = status(value);
        } else if (!numeric) {
            understood = false;
        } else if (directive == "missing" && !numbers.empty()) {
            for (long long id : numbers) {
                plan.missing.insert(static_cast<std::uint32_t>(id));
            }
        } else if (directive == "initialize" && numbers.size() == 1) {
            plan.initialize = status(numbers[0]);
        } else if (directive == "displays" && numbers.size() == 1) {
            plan.displays = count(numbers[0]);
        } else if (directive == "reset-after" && numbers.size() == 1) {
            plan.resetAfter = count(numbers[0]);
        } else if (directive == "fault" && !numbers.empty() && numbers.size() <= 2) {
            plan.faultAfter = count(numbers[0]);
            plan.faultCount = numbers.size() == 2 ? count(numbers[1]) : 1;
        } else if (directive == "display-error" && numbers.size() == 2) {
            plan.displayErrors[count(numbers[0])] = status(numbers[1]);
        } else if ((directive == "physical" || directive == "logical") && !numbers.empty() &&
                   numbers.size() <= 2) {
            (directive == "physical" ? plan.physicalCount : plan.logicalCount) = count(numbers[0]);
            (directive == "physical" ? plan.physicalStatus : plan.logicalStatus) =
                numbers.size() == 2 ? status(numbers[1]) : NVAPI_OK;
        } else {
            understood = false;
        }
        if (!understood) {
            if (error != nullptr) {
                *error = "cannot read plan line: " + line;
            }
            return std::nullopt;
        }
    }
    return plan;
}

namespace standin_driver {

void Install(const StandInPlan& plan, std::function<void(const std::string&)> log,
             std::function<void()> fault)
{
    g_plan = plan;
    g_log = std::move(log);
    g_fault = std::move(fault);
    g_generation = 0;
    g_switchCalls = 0;
}

void* NVAPI_CDECL QueryInterface(std::uint32_t interfaceId)
{
    const std::pair<std::uint32_t, void*> entries[] = {
        {nvapi_id::kInitialize, reinterpret_cast<void*>(&Initialize)},
        {nvapi_id::kEnumNvidiaDisplayHandle, reinterpret_cast<void*>(&EnumNvidiaDisplayHandle)},
        {nvapi_id::kEnumPhysicalGPUs, reinterpret_cast<void*>(&EnumPhysicalGPUs)},
        {nvapi_id::kEnumLogicalGPUs, reinterpret_cast<void*>(&EnumLogicalGPUs)},
        {nvapi_id::kGpuOverclockSwitch, reinterpret_cast<void*>(&GpuOverclockSwitch)},
        {nvapi_id::kGpuOverclockLimit, reinterpret_cast<void*>(&GpuOverclockLimit)},
        {nvapi_id::kGpuStockClockSwitch, reinterpret_cast<void*>(&GpuStockClockSwitch)},
    };
    void* entry = nullptr;
    for (const auto& [id, function] : entries) {
        if (id == interfaceId && g_plan.missing.count(interfaceId) == 0) {
            entry = function;
        }
    }
    Log("nvapi_QueryInterface(" + Hex(interfaceId) + ") -> " + (entry != nullptr ? "entry" : "null"));
    return entry;
}

}  // namespace standin_driver
