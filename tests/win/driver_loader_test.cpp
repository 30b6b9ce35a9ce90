// The driver library loaded for real from the Wine prefix's system directory: the stand-in driver,
// scripted by its plan, or a library that is not a driver at all.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "gpu/gpu_check.h"
#include "gpu/system_driver_library.h"
#include "simulator_process.h"
#include "standin_install.h"

namespace {

using Lines = std::vector<std::string>;

std::string TempPath(const char* name)
{
    char directory[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, directory);
    return std::string(directory) + "tendral-" + std::to_string(GetCurrentProcessId()) + "-" + name;
}

class DriverLoader : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(InstallDriverLibrary());
        DeleteFileA(m_logPath.c_str());
    }

    void TearDown() override
    {
        // Every test loads the driver afresh, so that it reads its plan again.
        while (HMODULE module = GetModuleHandleA(kDriverLibraryName)) {
            FreeLibrary(module);
        }
        InstallDriverLibrary();
        SetEnvironmentVariableW(L"TENDRAL_NVAPI_PLAN", nullptr);
        DeleteFileA(m_planPath.c_str());
        DeleteFileA(m_logPath.c_str());
    }

    void UsePlan(const std::string& plan)
    {
        std::ofstream(m_planPath) << "log " << m_logPath << "\n" << plan << "\n";
        SetEnvironmentVariableA("TENDRAL_NVAPI_PLAN", m_planPath.c_str());
    }

    Lines DriverLog() const
    {
        Lines lines;
        std::ifstream log(m_logPath);
        for (std::string line; std::getline(log, line);) {
            lines.push_back(line);
        }
        return lines;
    }

    bool DriverLoaded() const { return GetModuleHandleA(kDriverLibraryName) != nullptr; }

    SystemDriverLibrary library;

private:
    std::string m_planPath = TempPath("plan.txt");
    std::string m_logPath = TempPath("driver.log");
};

TEST_F(DriverLoader, TheStandInInitialisesAndStaysLoaded)
{
    UsePlan("");
    NvApi driver(library);
    EXPECT_EQ(driver.NvAPI_Initialize(), NVAPI_OK);
    EXPECT_TRUE(DriverLoaded());
    EXPECT_TRUE(driver.EnumerateGpus());
    EXPECT_EQ(driver.FirstPhysicalGpu(), reinterpret_cast<NvHandle>(0x2000));
    EXPECT_EQ(driver.GpuOverclockSwitch(driver.FirstPhysicalGpu(), 1), NVAPI_OK);
    const Lines log = DriverLog();
    ASSERT_EQ(log.size(), 11u);
    EXPECT_EQ(log[0], "nvapi_QueryInterface(0x150E828) -> entry");
    EXPECT_EQ(log[1], "NvAPI_Initialize() -> 0");
    EXPECT_EQ(log.back(), "GpuOverclockSwitch(0x2000,1) -> 0");
}

TEST_F(DriverLoader, ALibraryWithoutTheQueryExportIsRefusedAndUnloaded)
{
    while (HMODULE module = GetModuleHandleA(kDriverLibraryName)) {
        FreeLibrary(module);
    }
    ASSERT_TRUE(InstallDriverLibrary(L"nvapi_noexport.dll"));
    NvApi driver(library);
    EXPECT_EQ(driver.NvAPI_Initialize(), NVAPI_ERROR);
    EXPECT_FALSE(DriverLoaded());
    EXPECT_FALSE(PassesGpuCheck(driver));
}

TEST_F(DriverLoader, AMissingOrFailingInitialiseEntryIsRefusedAndUnloaded)
{
    for (const char* plan : {"missing 0x0150E828", "initialize -5"}) {
        UsePlan(plan);
        NvApi driver(library);
        EXPECT_EQ(driver.NvAPI_Initialize(), NVAPI_ERROR) << plan;
        EXPECT_FALSE(DriverLoaded()) << plan;
    }
}

TEST_F(DriverLoader, DisplayEnumerationEndingAtIndexZeroStillChecksTheGpus)
{
    UsePlan("displays 0");
    NvApi driver(library);
    EXPECT_TRUE(PassesGpuCheck(driver));
    const Lines log = DriverLog();
    EXPECT_EQ(Lines(log.end() - 5, log.end()),
              (Lines{"NvAPI_EnumNvidiaDisplayHandle(0) -> -7", "nvapi_QueryInterface(0xE5AC921F) -> entry",
                     "NvAPI_EnumPhysicalGPUs() -> 0 0x2000", "nvapi_QueryInterface(0x48B3EA59) -> entry",
                     "NvAPI_EnumLogicalGPUs() -> 0 0x3000"}));
}

TEST_F(DriverLoader, ADisplayErrorStopsBeforeThePhysicalEnumeration)
{
    UsePlan("displays 5\ndisplay-error 3 -4");
    NvApi driver(library);
    EXPECT_FALSE(PassesGpuCheck(driver));
    const Lines log = DriverLog();
    EXPECT_EQ(log.back(), "NvAPI_EnumNvidiaDisplayHandle(3) -> -4");
    for (const std::string& line : log) {
        EXPECT_EQ(line.find("EnumPhysicalGPUs"), std::string::npos) << line;
    }
}

TEST_F(DriverLoader, MoreThan128DisplaysStopAtTheEndOfTheTable)
{
    UsePlan("displays 1000");
    NvApi driver(library);
    EXPECT_TRUE(PassesGpuCheck(driver));
    int displayCalls = 0;
    for (const std::string& line : DriverLog()) {
        displayCalls += line.rfind("NvAPI_EnumNvidiaDisplayHandle(", 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(displayCalls, 128);
    EXPECT_EQ(driver.displayHandles[127], reinterpret_cast<NvHandle>(0x1000 + 127));
}

TEST_F(DriverLoader, ALibraryPlantedBesideTheProgramOrInTheCurrentDirectoryIsNotLoaded)
{
    while (HMODULE module = GetModuleHandleA(kDriverLibraryName)) {
        FreeLibrary(module);
    }
    ASSERT_TRUE(RemoveDriverLibrary());
    const std::wstring fileName = SystemDriverPath().substr(SystemDriverPath().find_last_of(L'\\') + 1);
    const std::wstring planted = ProgramDirectory() + L"\\" + fileName;
    ASSERT_TRUE(CopyFileW(StandInBuiltPath(fileName.c_str()).c_str(), planted.c_str(), FALSE));
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(ProgramDirectory().c_str());

    NvApi driver(library);
    EXPECT_EQ(driver.NvAPI_Initialize(), NVAPI_LIBRARY_NOT_FOUND);
    EXPECT_FALSE(DriverLoaded());

    SetCurrentDirectoryW(previous);
    DeleteFileW(planted.c_str());
}

}  // namespace
