#include "fake_driver_library.h"

namespace {

int g_module;  // its address is the module handle

}  // namespace

FakeDriverLibrary::FakeDriverLibrary(const StandInPlan& plan)
{
    standin_driver::Install(plan, [this](const std::string& line) { m_log.push_back(line); });
}

void* FakeDriverLibrary::Load()
{
    m_log.push_back("Load");
    if (loadFails) {
        return nullptr;
    }
    ++loaded;
    return &g_module;
}

void* FakeDriverLibrary::Symbol(void* module, const char* name)
{
    m_log.push_back(std::string("Symbol ") + name);
    if (module != &g_module || exportMissing || std::string(name) != "nvapi_QueryInterface") {
        return nullptr;
    }
    return reinterpret_cast<void*>(&standin_driver::QueryInterface);
}

void FakeDriverLibrary::Unload(void* module)
{
    m_log.push_back("Unload");
    if (module == &g_module) {
        --loaded;
    }
}

std::vector<std::string> FakeDriverLibrary::EntryCalls() const
{
    std::vector<std::string> calls;
    for (const std::string& line : m_log) {
        if (line != "Load" && line != "Unload" && line.rfind("Symbol ", 0) != 0 &&
            line.rfind("nvapi_QueryInterface", 0) != 0 && line.rfind("NvAPI_Initialize", 0) != 0) {
            calls.push_back(line);
        }
    }
    return calls;
}
