#include "gpu/nvapi.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_driver_library.h"
#include "gpu/gpu_check.h"

namespace {

using Lines = std::vector<std::string>;

StandInPlan Plan(const std::string& text)
{
    std::string error;
    std::optional<StandInPlan> plan = StandInPlan::Parse(text, &error);
    EXPECT_TRUE(plan.has_value()) << error;
    return plan.value_or(StandInPlan{});
}

TEST(NvApiInitialize, LoadsResolvesAndInitialisesWithoutAskingForAnyOtherEntry)
{
    FakeDriverLibrary library;
    NvApi driver(library);
    EXPECT_EQ(driver.NvAPI_Initialize(), NVAPI_OK);
    EXPECT_EQ(library.Log(), (Lines{"Load", "Symbol nvapi_QueryInterface",
                                    "nvapi_QueryInterface(0x150E828) -> entry", "NvAPI_Initialize() -> 0"}));
    EXPECT_EQ(library.loaded, 1);

    // A held module is not loaded again; the export and the initialise entry are asked anew.
    library.Log().clear();
    EXPECT_EQ(driver.NvAPI_Initialize(), NVAPI_OK);
    EXPECT_EQ(library.Log(), (Lines{"Symbol nvapi_QueryInterface", "nvapi_QueryInterface(0x150E828) -> entry",
                                    "NvAPI_Initialize() -> 0"}));
}

TEST(NvApiInitialize, EachFailureUnloadsAndNothingResolvesAfterwards)
{
    struct Case {
        const char* name;
        std::string plan;
        bool loadFails;
        bool exportMissing;
        NvAPI_Status expected;
        int loadedAfter;
    };
    const Case cases[] = {
        {"no library", "", true, false, NVAPI_LIBRARY_NOT_FOUND, 0},
        {"no export", "", false, true, NVAPI_ERROR, 0},
        {"no initialise entry", "missing 0x0150E828", false, false, NVAPI_ERROR, 0},
        {"initialise fails", "initialize -5", false, false, NVAPI_ERROR, 0},
    };
    for (const Case& c : cases) {
        FakeDriverLibrary library(Plan(c.plan));
        library.loadFails = c.loadFails;
        library.exportMissing = c.exportMissing;
        NvApi driver(library);
        EXPECT_EQ(driver.NvAPI_Initialize(), c.expected) << c.name;
        EXPECT_EQ(library.loaded, c.loadedAfter) << c.name;
        if (!c.loadFails) {
            EXPECT_EQ(library.Log().back(), "Unload") << c.name;
        }
        library.Log().clear();
        EXPECT_EQ(driver.GpuOverclockSwitch(nullptr, 1), NVAPI_NO_IMPLEMENTATION) << c.name;
        EXPECT_TRUE(library.Log().empty()) << c.name;
    }
}

TEST(NvApiEntries, ResolvedOnFirstUseOnlyAndNeverBeforeInitialisation)
{
    FakeDriverLibrary library;
    NvApi driver(library);
    NvHandle gpu = reinterpret_cast<NvHandle>(0x2000);
    EXPECT_EQ(driver.GpuOverclockSwitch(gpu, 1), NVAPI_NO_IMPLEMENTATION);
    EXPECT_TRUE(library.Log().empty());

    ASSERT_EQ(driver.NvAPI_Initialize(), NVAPI_OK);
    library.Log().clear();
    EXPECT_EQ(driver.GpuOverclockSwitch(gpu, 1), NVAPI_OK);
    EXPECT_EQ(driver.GpuOverclockSwitch(gpu, 0), NVAPI_OK);
    EXPECT_EQ(library.Log(),
              (Lines{"nvapi_QueryInterface(0xB23B70EE) -> entry", "GpuOverclockSwitch(0x2000,1) -> 0",
                     "GpuOverclockSwitch(0x2000,0) -> 0"}));
}

TEST(NvApiEntries, ANullAnswerIsFinal)
{
    FakeDriverLibrary library(Plan("missing 0xFDFC7D49"));
    NvApi driver(library);
    ASSERT_EQ(driver.NvAPI_Initialize(), NVAPI_OK);
    library.Log().clear();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(driver.GpuOverclockLimit(nullptr, 1, 0), NVAPI_NO_IMPLEMENTATION);
    }
    EXPECT_EQ(library.Log(), Lines{"nvapi_QueryInterface(0xFDFC7D49) -> null"});
}

TEST(NvApiEntries, ArgumentsAndStatusesPassThroughUntouched)
{
    FakeDriverLibrary library(
        Plan("status GpuOverclockSwitch -123\nstatus GpuOverclockLimit 7\nstatus GpuStockClockSwitch "
             "-2147483648"));
    NvApi driver(library);
    ASSERT_EQ(driver.NvAPI_Initialize(), NVAPI_OK);
    NvHandle gpu = reinterpret_cast<NvHandle>(0xABCDE);
    EXPECT_EQ(driver.GpuOverclockSwitch(gpu, -9), -123);
    EXPECT_EQ(driver.GpuOverclockLimit(gpu, 2147483647, -1), 7);
    EXPECT_EQ(driver.GpuStockClockSwitch(gpu, 42), -2147483647 - 1);
    EXPECT_EQ(library.EntryCalls(), (Lines{"GpuOverclockSwitch(0xABCDE,-9) -> -123",
                                           "GpuOverclockLimit(0xABCDE,2147483647,-1) -> 7",
                                           "GpuStockClockSwitch(0xABCDE,42) -> -2147483648"}));
}

TEST(NvApiEntries, AnEntryCalledBeforeASuccessfulInitialisationResolvesAfterIt)
{
    FakeDriverLibrary library;
    library.loadFails = true;
    NvApi driver(library);
    EXPECT_EQ(driver.NvAPI_Initialize(), NVAPI_LIBRARY_NOT_FOUND);
    EXPECT_EQ(driver.GpuStockClockSwitch(nullptr, 1), NVAPI_NO_IMPLEMENTATION);
    library.loadFails = false;
    ASSERT_EQ(driver.NvAPI_Initialize(), NVAPI_OK);
    EXPECT_EQ(driver.GpuStockClockSwitch(nullptr, 1), NVAPI_OK);
}

TEST(EnumerateGpus, ChecksDisplaysThenPhysicalThenLogicalGpus)
{
    struct Case {
        const char* plan;
        bool expected;
        Lines calls;
    };
    const Case cases[] = {
        {"displays 2",
         true,
         {"NvAPI_EnumNvidiaDisplayHandle(0) -> 0", "NvAPI_EnumNvidiaDisplayHandle(1) -> 0",
          "NvAPI_EnumNvidiaDisplayHandle(2) -> -7", "NvAPI_EnumPhysicalGPUs() -> 0 0x2000",
          "NvAPI_EnumLogicalGPUs() -> 0 0x3000"}},
        // No display driven by the NVIDIA GPU is fine.
        {"displays 0",
         true,
         {"NvAPI_EnumNvidiaDisplayHandle(0) -> -7", "NvAPI_EnumPhysicalGPUs() -> 0 0x2000",
          "NvAPI_EnumLogicalGPUs() -> 0 0x3000"}},
        {"displays 5\ndisplay-error 1 -4",
         false,
         {"NvAPI_EnumNvidiaDisplayHandle(0) -> 0", "NvAPI_EnumNvidiaDisplayHandle(1) -> -4"}},
        {"physical 1 -6",
         false,
         {"NvAPI_EnumNvidiaDisplayHandle(0) -> 0", "NvAPI_EnumNvidiaDisplayHandle(1) -> -7",
          "NvAPI_EnumPhysicalGPUs() -> -6"}},
        {"logical 1 -6",
         false,
         {"NvAPI_EnumNvidiaDisplayHandle(0) -> 0", "NvAPI_EnumNvidiaDisplayHandle(1) -> -7",
          "NvAPI_EnumPhysicalGPUs() -> 0 0x2000", "NvAPI_EnumLogicalGPUs() -> -6"}},
        {"physical 2\nlogical 0",
         true,
         {"NvAPI_EnumNvidiaDisplayHandle(0) -> 0", "NvAPI_EnumNvidiaDisplayHandle(1) -> -7",
          "NvAPI_EnumPhysicalGPUs() -> 0 0x2000 0x2001", "NvAPI_EnumLogicalGPUs() -> 0"}},
        {"missing 0x48B3EA59",
         false,
         {"NvAPI_EnumNvidiaDisplayHandle(0) -> 0", "NvAPI_EnumNvidiaDisplayHandle(1) -> -7",
          "NvAPI_EnumPhysicalGPUs() -> 0 0x2000"}},
    };
    for (const Case& c : cases) {
        FakeDriverLibrary library(Plan(c.plan));
        NvApi driver(library);
        ASSERT_EQ(driver.NvAPI_Initialize(), NVAPI_OK);
        EXPECT_EQ(driver.EnumerateGpus(), c.expected) << c.plan;
        EXPECT_EQ(library.EntryCalls(), Lines(c.calls.begin(), c.calls.end())) << c.plan;
    }
}

TEST(EnumerateGpus, FillsTheTablesAndStopsAtTheEndOfTheDisplayTable)
{
    FakeDriverLibrary library(Plan("displays 300\nphysical 3\nlogical 2"));
    NvApi driver(library);
    ASSERT_EQ(driver.NvAPI_Initialize(), NVAPI_OK);
    EXPECT_TRUE(driver.EnumerateGpus());
    const Lines calls = library.EntryCalls();
    ASSERT_EQ(calls.size(), kDisplayHandleCount + 2);
    EXPECT_EQ(calls[kDisplayHandleCount - 1], "NvAPI_EnumNvidiaDisplayHandle(127) -> 0");
    EXPECT_EQ(driver.displayHandles[127], StandInDisplayHandle(127));
    EXPECT_EQ(driver.FirstPhysicalGpu(), StandInPhysicalGpuHandle(0));
    EXPECT_EQ(driver.physicalGpuCount, 3u);
    EXPECT_EQ(driver.physicalGpuHandles[2], StandInPhysicalGpuHandle(2));
    EXPECT_EQ(driver.logicalGpuCount, 2u);
}

TEST(GpuCheck, PassesOnlyWithAnInitialisedDriverAndItsGpus)
{
    FakeDriverLibrary good;
    NvApi goodDriver(good);
    EXPECT_TRUE(PassesGpuCheck(goodDriver));

    FakeDriverLibrary noLibrary;
    noLibrary.loadFails = true;
    NvApi noDriver(noLibrary);
    EXPECT_FALSE(PassesGpuCheck(noDriver));
    EXPECT_EQ(noLibrary.Log(), Lines{"Load"});

    FakeDriverLibrary noGpu(Plan("physical 0 -6"));
    NvApi noGpuDriver(noGpu);
    EXPECT_FALSE(PassesGpuCheck(noGpuDriver));
}

TEST(StandInPlan, RefusesLinesItCannotRead)
{
    for (const char* text :
         {"displays", "displays many", "bogus 1", "status GpuOverclockSwitch", "physical 1 2 3"}) {
        std::string error;
        EXPECT_FALSE(StandInPlan::Parse(text, &error).has_value()) << text;
        EXPECT_NE(error.find("cannot read"), std::string::npos);
    }
}

}  // namespace
