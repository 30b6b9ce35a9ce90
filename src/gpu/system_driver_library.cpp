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

namespace {

// At namespace scope: a function's own statics would bring the runtime's thread-safe initialisation,
// and with it a threads library. Nothing asks for the driver before main.
SystemDriverLibrary g_library;
NvApi g_driver(g_library);

}  // namespace

NvApi& SystemNvApi()
{
    return g_driver;
}
