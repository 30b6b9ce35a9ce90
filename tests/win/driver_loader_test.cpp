// The driver library loaded for real from the Wine prefix's system directory: a library that is not a
// driver, or a driver planted where the program is. The main window's tests load the stand-in driver
// from there.
#include <gtest/gtest.h>

#include "gpu/system_driver_library.h"
#include "simulator_process.h"
#include "standin_install.h"

namespace {

TEST(DriverLoader, OnlyTheDriverInTheSystemDirectoryIsKept)
{
    SystemDriverLibrary library;
    ASSERT_TRUE(InstallDriverLibrary(L"nvapi_noexport.dll"));
    EXPECT_EQ(NvApi(library).NvAPI_Initialize(), NVAPI_ERROR);
    EXPECT_EQ(GetModuleHandleA(kDriverLibraryName), nullptr);
    // The stand-in beside the program, which is the current directory too, and none in the system one.
    const std::wstring planted =
        ProgramDirectory() + SystemDriverPath().substr(SystemDriverPath().rfind(L'\\'));
    ASSERT_TRUE(DeleteFileW(SystemDriverPath().c_str()));
    ASSERT_TRUE(CopyFileW(StandInBuiltPath(nullptr).c_str(), planted.c_str(), FALSE));
    SetCurrentDirectoryW(ProgramDirectory().c_str());
    EXPECT_EQ(NvApi(library).NvAPI_Initialize(), NVAPI_LIBRARY_NOT_FOUND);
    EXPECT_EQ(GetModuleHandleA(kDriverLibraryName), nullptr);
    DeleteFileW(planted.c_str());
    EXPECT_TRUE(InstallDriverLibrary());
}

}  // namespace
