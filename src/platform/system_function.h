// A function of a system library, looked up when first needed: older systems lack some functions, and
// a library the program calls only now and then need not be loaded with it.
#pragma once

#include <windows.h>

// The library is taken from the system directory unless the process has it loaded; null when the
// library or the function is missing.
template <class Function>
Function SystemFunction(const wchar_t* library, const char* name)
{
    HMODULE module = GetModuleHandleW(library);
    if (module == nullptr) {
        module = LoadLibraryExW(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
    return module != nullptr
               ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)))
               : nullptr;
}
