#include "standin_install.h"

#include <windows.h>

#include "simulator_process.h"

namespace {

#ifdef _WIN64
constexpr wchar_t kDriverFileName[] = L"nvapi64.dll";
#else
constexpr wchar_t kDriverFileName[] = L"nvapi.dll";
#endif

}  // namespace

std::wstring StandInBuiltPath(const wchar_t* fileName)
{
    return ProgramDirectory() + L"\\..\\standin\\" + fileName;
}

std::wstring SystemDriverPath()
{
    wchar_t directory[MAX_PATH] = {};
    GetSystemDirectoryW(directory, MAX_PATH);
    return std::wstring(directory) + L"\\" + kDriverFileName;
}

bool InstallDriverLibrary(const wchar_t* builtFileName)
{
    const std::wstring source = StandInBuiltPath(builtFileName != nullptr ? builtFileName : kDriverFileName);
    // A library this process has loaded cannot be overwritten; the same bytes are as good as a copy.
    return CopyFileW(source.c_str(), SystemDriverPath().c_str(), FALSE) != FALSE ||
           ReadFileText(source) == ReadFileText(SystemDriverPath());
}

bool RemoveDriverLibrary()
{
    DeleteFileW(SystemDriverPath().c_str());
    return GetFileAttributesW(SystemDriverPath().c_str()) == INVALID_FILE_ATTRIBUTES;
}
