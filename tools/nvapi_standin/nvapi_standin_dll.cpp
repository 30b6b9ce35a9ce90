// The stand-in driver library, built as nvapi.dll (32-bit) or nvapi64.dll (64-bit) and installed in the
// Wine prefix's system directory, where the real driver puts its library. The plan file is named by
// the TENDRAL_NVAPI_PLAN environment variable; without it the driver has one display and one GPU and
// every entry succeeds, and nothing is logged.
#include <windows.h>

#include <cstdio>
#include <string>

#include "standin_driver.h"

namespace {

// A real access violation, as a faulty driver makes it: a write to an address no process maps.
void WriteThroughABadPointer()
{
    volatile std::uintptr_t address = 8;  // read at run time, so that the compiler cannot see it
    *reinterpret_cast<volatile int*>(address) = 1;
}

std::string ReadFileText(const wchar_t* path)
{
    std::string text;
    FILE* file = _wfopen(path, L"rb");
    if (file == nullptr) {
        return text;
    }
    char buffer[4096];
    std::size_t read = 0;
    while ((read = std::fread(buffer, 1, sizeof(buffer), file)) > 0) {
        text.append(buffer, read);
    }
    std::fclose(file);
    return text;
}

void LoadPlan()
{
    wchar_t path[MAX_PATH] = {};
    StandInPlan plan;
    if (GetEnvironmentVariableW(L"TENDRAL_NVAPI_PLAN", path, MAX_PATH) > 0) {
        std::string error;
        if (std::optional<StandInPlan> parsed = StandInPlan::Parse(ReadFileText(path), &error)) {
            plan = *parsed;
        } else {
            std::fprintf(stderr, "nvapi stand-in: %s\n", error.c_str());
        }
    }
    std::string logPath = plan.logPath;
    standin_driver::Install(
        plan,
        [logPath](const std::string& line) {
            if (logPath.empty()) {
                return;
            }
            // Opened for each line so that every line is on disk at once, whoever reads it.
            if (FILE* log = std::fopen(logPath.c_str(), "ab")) {
                std::fprintf(log, "%s\n", line.c_str());
                std::fclose(log);
            }
        },
        &WriteThroughABadPointer);
}

}  // namespace

extern "C" __declspec(dllexport) void* NVAPI_CDECL nvapi_QueryInterface(std::uint32_t interfaceId)
{
    return standin_driver::QueryInterface(interfaceId);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        LoadPlan();
    }
    return TRUE;
}
