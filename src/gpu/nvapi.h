// The NVIDIA driver API: loading and initialising the driver library, lazy resolution of each entry
// by interface ID (on first use, at most once), and the enumeration of displays and GPUs.
#pragma once

#include <cstdint>

#include "gpu/driver_library.h"
#include "gpu/nvapi_types.h"

class NvApi {
public:
    explicit NvApi(DriverLibrary& library);
    NvApi(const NvApi&) = delete;
    NvApi& operator=(const NvApi&) = delete;

    // Loads the library (unless held), resolves the query export and runs the driver's initialise entry.
    NvAPI_Status NvAPI_Initialize();

    // The entries. Each returns the entry's status, or NVAPI_NO_IMPLEMENTATION when it cannot be
    // resolved; callable at any time, before or after a failed initialisation too.
    NvAPI_Status NvAPI_EnumNvidiaDisplayHandle(std::uint32_t index, NvHandle* display);
    NvAPI_Status NvAPI_EnumPhysicalGPUs(NvHandle* handles, std::uint32_t* count);
    NvAPI_Status NvAPI_EnumLogicalGPUs(NvHandle* handles, std::uint32_t* count);
    NvAPI_Status GpuOverclockSwitch(NvHandle gpu, std::int32_t on);
    NvAPI_Status GpuOverclockLimit(NvHandle gpu, std::int32_t first, std::int32_t second);
    NvAPI_Status GpuStockClockSwitch(NvHandle gpu, std::int32_t on);

    // Fills the tables below: true when the display, physical and logical enumerations all succeed.
    bool EnumerateGpus();

    // The GPU the switch sequences drive.
    NvHandle FirstPhysicalGpu() const { return physicalGpuHandles[0]; }

    NvHandle displayHandles[kDisplayHandleCount] = {};
    NvHandle physicalGpuHandles[kGpuHandleCount] = {};
    std::uint32_t physicalGpuCount = 0;
    NvHandle logicalGpuHandles[kGpuHandleCount] = {};
    std::uint32_t logicalGpuCount = 0;

private:
    struct EntryRecord {
        const std::uint32_t interfaceId;
        void* resolvedEntry = nullptr;
        bool tried = false;
    };

    // The record's entry, asked for once when a query function is there; null when there is none.
    void* Resolve(EntryRecord& record);
    void Release();

    template <class Function, class... Arguments>
    NvAPI_Status Call(EntryRecord& record, Arguments... arguments)
    {
        void* entry = Resolve(record);
        if (entry == nullptr) {
            return NVAPI_NO_IMPLEMENTATION;
        }
        return reinterpret_cast<Function>(entry)(arguments...);
    }

    DriverLibrary& m_library;
    void* m_module = nullptr;
    NvQueryInterfaceFunction m_queryInterface = nullptr;
    EntryRecord m_enumDisplay{nvapi_id::kEnumNvidiaDisplayHandle};
    EntryRecord m_enumPhysical{nvapi_id::kEnumPhysicalGPUs};
    EntryRecord m_enumLogical{nvapi_id::kEnumLogicalGPUs};
    EntryRecord m_overclockSwitch{nvapi_id::kGpuOverclockSwitch};
    EntryRecord m_overclockLimit{nvapi_id::kGpuOverclockLimit};
    EntryRecord m_stockClockSwitch{nvapi_id::kGpuStockClockSwitch};
};
