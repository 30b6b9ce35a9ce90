// A stand-in for the NVIDIA driver behind nvapi_QueryInterface, scripted by a plan and logging every
// call with its arguments and status. Portable: the stand-in DLL and the native tests share it.
//
// Plan lines (one directive each, '#' starts a comment; numbers decimal or 0x-hex):
//   log <path>                      where the DLL appends its log (the DLL only)
//   missing <id> ...                interface IDs answered with null
//   initialize <status>             status of the initialise entry (default 0)
//   displays <n>                    display enumeration: OK below index n, then the end (default 1)
//   display-error <index> <status>  that index answers the status instead
//   physical <count> [<status>]     physical GPU enumeration (default 1 0)
//   logical <count> [<status>]      logical GPU enumeration (default 1 0)
//   status <entry> <status>         what GpuOverclockSwitch, GpuOverclockLimit or GpuStockClockSwitch returns
//   reset-after <n>                 the driver is reset (as by an update) after n switch-entry calls: GPU
//                                   handles enumerated before it answer NVAPI_HANDLE_INVALIDATED, and the
//                                   next enumeration hands out fresh ones (0x2100 + i)
//   fault <n> [<count>]             the switch-entry calls after the first n fault (count of them, 1 by
//                                   default): logged "-> fault", then the installed fault runs (the DLL:
//                                   an access violation)
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "gpu/nvapi_types.h"

struct StandInPlan {
    std::string logPath;
    std::set<std::uint32_t> missing;
    NvAPI_Status initialize = NVAPI_OK;
    std::uint32_t displays = 1;
    std::map<std::uint32_t, NvAPI_Status> displayErrors;
    std::uint32_t physicalCount = 1;
    NvAPI_Status physicalStatus = NVAPI_OK;
    std::uint32_t logicalCount = 1;
    NvAPI_Status logicalStatus = NVAPI_OK;
    std::map<std::string, NvAPI_Status> statuses;
    std::optional<std::uint32_t> resetAfter;
    std::optional<std::uint32_t> faultAfter;
    std::uint32_t faultCount = 1;

    // Parses the plan text; an unreadable line yields an error message naming it.
    static std::optional<StandInPlan> Parse(const std::string& text, std::string* error);
};

// Handles the stand-in hands out, recognisable in logs.
inline NvHandle StandInDisplayHandle(std::uint32_t index)
{
    return reinterpret_cast<NvHandle>(std::uintptr_t{0x1000} + index);
}
// `generation` counts the driver's resets: each hands out a new set of physical GPU handles.
inline NvHandle StandInPhysicalGpuHandle(std::uint32_t index, std::uint32_t generation = 0)
{
    return reinterpret_cast<NvHandle>(std::uintptr_t{0x2000} + 0x100 * generation + index);
}
inline NvHandle StandInLogicalGpuHandle(std::uint32_t index)
{
    return reinterpret_cast<NvHandle>(std::uintptr_t{0x3000} + index);
}

// The driver: one per process, since the entries are plain functions.
namespace standin_driver {

// Installs the plan, the log sink and what a planned fault does; every later call follows the plan. A
// fault that returns lets the call go on as planned otherwise.
void Install(const StandInPlan& plan, std::function<void(const std::string&)> log,
             std::function<void()> fault = {});
// The export.
void* NVAPI_CDECL QueryInterface(std::uint32_t interfaceId);

}  // namespace standin_driver
