// The driver library loaded for real from the Wine prefix's system directory: the stand-in driver, a library
// that is not a driver, or a driver planted where the program is.
#include <gtest/gtest.h>

#include "gpu/gpu_check.h"
#include "gpu/system_driver_library.h"
#include "simulator_process.h"
#include "standin_install.h"

namespace {

// Frees the driver library as often as it was loaded, so that the next load is afresh; whether it was loaded.
bool UnloadDriver()
{
    const bool loaded = GetModuleHandleA(kDriverLibraryName) != nullptr;
    while (HMODULE module = GetModuleHandleA(kDriverLibraryName))
        FreeLibrary(module);
    return loaded;
}

TEST(DriverLoader, OnlyTheDriverInTheSystemDirectoryIsKept)
{
    SystemDriverLibrary library;
    ASSERT_TRUE(InstallDriverLibrary());
    NvApi driver(library);
    EXPECT_TRUE(PassesGpuCheck(driver));  // its entries resolved
    EXPECT_TRUE(UnloadDriver());
    ASSERT_TRUE(InstallDriverLibrary(L"nvapi_noexport.dll"));
    EXPECT_EQ(NvApi(library).NvAPI_Initialize(), NVAPI_ERROR);
    EXPECT_FALSE(UnloadDriver());
    // The stand-in beside the program, which is the current directory too, and none in the system one.
    const std::wstring planted =
        ProgramDirectory() + SystemDriverPath().substr(SystemDriverPath().rfind(L'\\'));
    ASSERT_TRUE(DeleteFileW(SystemDriverPath().c_str()));
    ASSERT_TRUE(CopyFileW(StandInBuiltPath(nullptr).c_str(), planted.c_str(), FALSE));
    SetCurrentDirectoryW(ProgramDirectory().c_str());
    EXPECT_EQ(NvApi(library).NvAPI_Initialize(), NVAPI_LIBRARY_NOT_FOUND);
    EXPECT_FALSE(UnloadDriver());
    DeleteFileW(planted.c_str());
    EXPECT_TRUE(InstallDriverLibrary());
}

}  // namespace
