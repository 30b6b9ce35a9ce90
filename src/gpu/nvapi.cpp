#include "gpu/nvapi.h"

NvApi::NvApi(DriverLibrary& library) : m_library(library) {}

NvAPI_Status NvApi::NvAPI_Initialize()
{
    if (m_module == nullptr) {
        m_module = m_library.Load();
        if (m_module == nullptr) {
            return NVAPI_LIBRARY_NOT_FOUND;
        }
    }
    m_queryInterface =
        reinterpret_cast<NvQueryInterfaceFunction>(m_library.Symbol(m_module, "nvapi_QueryInterface"));
    if (m_queryInterface == nullptr) {
        Release();
        return NVAPI_ERROR;
    }
    void* initialize = m_queryInterface(nvapi_id::kInitialize);
    if (initialize == nullptr || reinterpret_cast<NvInitializeFunction>(initialize)() != NVAPI_OK) {
        Release();
        return NVAPI_ERROR;
    }
    return NVAPI_OK;
}

void NvApi::Release()
{
    m_queryInterface = nullptr;
    m_library.Unload(m_module);
    m_module = nullptr;
}

void* NvApi::Resolve(EntryRecord& record)
{
    if (record.resolvedEntry == nullptr && m_queryInterface != nullptr && !record.tried) {
        record.resolvedEntry = m_queryInterface(record.interfaceId);
        record.tried = true;
    }
    return record.resolvedEntry;
}

NvAPI_Status NvApi::NvAPI_EnumNvidiaDisplayHandle(std::uint32_t index, NvHandle* display)
{
    return Call<NvEnumDisplayFunction>(m_enumDisplay, index, display);
}

NvAPI_Status NvApi::NvAPI_EnumPhysicalGPUs(NvHandle* handles, std::uint32_t* count)
{
    return Call<NvEnumGpusFunction>(m_enumPhysical, handles, count);
}

NvAPI_Status NvApi::NvAPI_EnumLogicalGPUs(NvHandle* handles, std::uint32_t* count)
{
    return Call<NvEnumGpusFunction>(m_enumLogical, handles, count);
}

NvAPI_Status NvApi::GpuOverclockSwitch(NvHandle gpu, std::int32_t on)
{
    return Call<NvGpuSwitchFunction>(m_overclockSwitch, gpu, on);
}

NvAPI_Status NvApi::GpuOverclockLimit(NvHandle gpu, std::int32_t first, std::int32_t second)
{
    return Call<NvGpuLimitFunction>(m_overclockLimit, gpu, first, second);
}

NvAPI_Status NvApi::GpuStockClockSwitch(NvHandle gpu, std::int32_t on)
{
    return Call<NvGpuSwitchFunction>(m_stockClockSwitch, gpu, on);
}

bool NvApi::EnumerateGpus()
{
    // The table has room for 128 displays; a driver that reports more is taken as done there, since
    // the display handles only serve as a check.
    for (std::uint32_t index = 0; index < kDisplayHandleCount; ++index) {
        const NvAPI_Status status = NvAPI_EnumNvidiaDisplayHandle(index, &displayHandles[index]);
        if (status == NVAPI_END_ENUMERATION) {
            break;
        }
        if (status != NVAPI_OK) {
            return false;
        }
    }
    if (NvAPI_EnumPhysicalGPUs(physicalGpuHandles, &physicalGpuCount) != NVAPI_OK) {
        return false;
    }
    return NvAPI_EnumLogicalGPUs(logicalGpuHandles, &logicalGpuCount) == NVAPI_OK;
}
