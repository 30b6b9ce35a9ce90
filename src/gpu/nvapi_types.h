// Types, status values and interface IDs of the NVIDIA driver API as this program uses them.
#pragma once

#include <cstddef>
#include <cstdint>

// The driver's entries use the C calling convention; 32-bit Windows must be told so.
#if defined(_WIN32) && !defined(_WIN64)
#define NVAPI_CDECL __cdecl
#else
#define NVAPI_CDECL
#endif

using NvAPI_Status = std::int32_t;
using NvHandle = void*;  // opaque driver handle of a display or a GPU

inline constexpr NvAPI_Status NVAPI_OK = 0;
inline constexpr NvAPI_Status NVAPI_ERROR = -1;
inline constexpr NvAPI_Status NVAPI_LIBRARY_NOT_FOUND = -2;
inline constexpr NvAPI_Status NVAPI_NO_IMPLEMENTATION = -3;
inline constexpr NvAPI_Status NVAPI_END_ENUMERATION = -7;
// The GPU handle is no longer valid: the driver was updated or reset since it was enumerated.
inline constexpr NvAPI_Status NVAPI_HANDLE_INVALIDATED = -8;

inline constexpr std::size_t kDisplayHandleCount = 128;
inline constexpr std::size_t kGpuHandleCount = 64;

// Interface IDs under which nvapi_QueryInterface hands out the entries.
namespace nvapi_id {
inline constexpr std::uint32_t kInitialize = 0x0150E828;
inline constexpr std::uint32_t kEnumNvidiaDisplayHandle = 0x9ABDD40D;
inline constexpr std::uint32_t kEnumPhysicalGPUs = 0xE5AC921F;
inline constexpr std::uint32_t kEnumLogicalGPUs = 0x48B3EA59;
inline constexpr std::uint32_t kGpuOverclockSwitch = 0xB23B70EE;
inline constexpr std::uint32_t kGpuOverclockLimit = 0xFDFC7D49;
inline constexpr std::uint32_t kGpuStockClockSwitch = 0xFA579A0F;
}  // namespace nvapi_id

// Signatures of the export and the entries.
using NvQueryInterfaceFunction = void*(NVAPI_CDECL*)(std::uint32_t interfaceId);
using NvInitializeFunction = NvAPI_Status(NVAPI_CDECL*)();
using NvEnumDisplayFunction = NvAPI_Status(NVAPI_CDECL*)(std::uint32_t index, NvHandle* display);
using NvEnumGpusFunction = NvAPI_Status(NVAPI_CDECL*)(NvHandle* handles, std::uint32_t* count);
using NvGpuSwitchFunction = NvAPI_Status(NVAPI_CDECL*)(NvHandle gpu, std::int32_t value);
using NvGpuLimitFunction = NvAPI_Status(NVAPI_CDECL*)(NvHandle gpu, std::int32_t first, std::int32_t second);
