// How the driver library is reached: loading it, looking up its export, unloading it. The product
// uses the system's loader; tests substitute their own.
#pragma once

class DriverLibrary {
public:
    virtual ~DriverLibrary() = default;
    // The loaded module, or null when the library cannot be loaded.
    virtual void* Load() = 0;
    virtual void* Symbol(void* module, const char* name) = 0;
    virtual void Unload(void* module) = 0;
};
