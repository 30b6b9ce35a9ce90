// The stand-in driver behind a fake loader, for native tests: the loader's own calls and the driver's
// calls land in one log, in the order they happen.
#pragma once

#include <string>
#include <vector>

#include "gpu/driver_library.h"
#include "standin_driver.h"

class FakeDriverLibrary : public DriverLibrary {
public:
    // Installs the stand-in driver with the plan; its calls go to Log().
    explicit FakeDriverLibrary(const StandInPlan& plan = {});

    void* Load() override;
    void* Symbol(void* module, const char* name) override;
    void Unload(void* module) override;

    bool loadFails = false;
    bool exportMissing = false;
    int loaded = 0;  // loads minus unloads

    // Everything that happened: "Load", "Symbol nvapi_QueryInterface", "Unload" and the driver's lines.
    std::vector<std::string>& Log() { return m_log; }
    // The calls of the six entries only: no loader, QueryInterface or initialise lines.
    std::vector<std::string> EntryCalls() const;

private:
    std::vector<std::string> m_log;
};
