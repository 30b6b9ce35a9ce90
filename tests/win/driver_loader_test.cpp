// Libraries are loaded from the system directory only: any library once the search is restricted, and
// the driver library, which is refused when it is not a driver or found only where the program is. The
// main window's tests load the stand-in driver from the Wine prefix's system directory too.
#include <gtest/gtest.h>

#include "gpu/system_driver_library.h"
#include "platform/win_app.h"
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

// A library that a portable copy's folder holds (here the test program's) is found there until the
// search is restricted; then only the system directory's are.
TEST(LibrarySearch, ALibraryBesideTheProgramIsNoLongerLoadedOnceRestricted)
{
    const std::wstring planted = ProgramDirectory() + L"\\tendral_planted.dll";
    ASSERT_TRUE(CopyFileW(StandInBuiltPath(L"nvapi_noexport.dll").c_str(), planted.c_str(), FALSE));
    const HMODULE before = LoadLibraryW(L"tendral_planted.dll");
    EXPECT_NE(before, nullptr);
    FreeLibrary(before);
    EXPECT_TRUE(RestrictDllSearchToSystem());
    EXPECT_EQ(LoadLibraryW(L"tendral_planted.dll"), nullptr);
    EXPECT_NE(LoadLibraryW(L"version.dll"), nullptr);
    DeleteFileW(planted.c_str());
}

}  // namespace
