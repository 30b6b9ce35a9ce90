#include "gpu/system_driver_library.h"

#include <windows.h>

void* SystemDriverLibrary::Load()
{
    // Never the program's folder or the current directory: a library planted there is not the driver.
    return LoadLibraryExA(kDriverLibraryName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

void* SystemDriverLibrary::Symbol(void* module, const char* name)
{
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void SystemDriverLibrary::Unload(void* module)
{
    FreeLibrary(static_cast<HMODULE>(module));
}

NvApi& SystemNvApi()
{
    static SystemDriverLibrary library;
    static NvApi driver(library);
    return driver;
}
