// The driver library as installed by the NVIDIA driver, loaded from the system directory only.
#pragma once

#include "gpu/driver_library.h"
#include "gpu/nvapi.h"

// The driver's library for this build's architecture.
#ifdef _WIN64
inline constexpr char kDriverLibraryName[] = "nvapi64.dll";
#else
inline constexpr char kDriverLibraryName[] = "nvapi.dll";
#endif

class SystemDriverLibrary : public DriverLibrary {
public:
    void* Load() override;
    void* Symbol(void* module, const char* name) override;
    void Unload(void* module) override;
};

// The process's one driver interface; the library stays loaded until the process ends.
NvApi& SystemNvApi();
