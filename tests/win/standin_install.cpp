#include "standin_install.h"

#include <windows.h>

#include "simulator_process.h"

// Spelled out here rather than taken from the product, so that a wrong name there shows.
#ifdef _WIN64
static constexpr wchar_t kDriverFileName[] = L"nvapi64.dll";
#else
static constexpr wchar_t kDriverFileName[] = L"nvapi.dll";
#endif

std::wstring SystemDriverPath()
{
    wchar_t directory[MAX_PATH] = {};
    GetSystemDirectoryW(directory, MAX_PATH);
    return std::wstring(directory) + L"\\" + kDriverFileName;
}

std::wstring StandInBuiltPath(const wchar_t* fileName)
{
    return ProgramDirectory() + L"\\..\\standin\\" + (fileName != nullptr ? fileName : kDriverFileName);
}

bool InstallDriverLibrary(const wchar_t* builtFileName)
{
    // A library this process holds cannot be overwritten; the only one it keeps is the stand-in driver.
    return CopyFileW(StandInBuiltPath(builtFileName).c_str(), SystemDriverPath().c_str(), FALSE) ||
           (builtFileName == nullptr && GetModuleHandleW(kDriverFileName) != nullptr);
}
