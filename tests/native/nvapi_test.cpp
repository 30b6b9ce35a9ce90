#include "gpu/nvapi.h"

#include <gtest/gtest.h>

#include "fakes.h"
#include "gpu/gpu_check.h"

namespace {

using fake_firmware::log;

TEST(NvApi, AsksForEachEntryByItsIdOnceAndPassesArgumentsAndStatusesThrough)
{
    FakeDriverLibrary library("status GpuOverclockSwitch -123\nstatus GpuOverclockLimit 7");
    NvApi driver(library);
    fake_firmware::Reset();
    NvHandle handles[kGpuHandleCount];
    std::uint32_t count = 0;
    EXPECT_EQ(driver.GpuOverclockSwitch(nullptr, 1), NVAPI_NO_IMPLEMENTATION);  // never before initialising
    ASSERT_EQ(driver.NvAPI_Initialize(), NVAPI_OK);
    for (int twice = 0; twice < 2; ++twice) {
        EXPECT_EQ(driver.NvAPI_EnumNvidiaDisplayHandle(0, handles), NVAPI_OK);
        EXPECT_EQ(driver.NvAPI_EnumPhysicalGPUs(handles, &count), NVAPI_OK);
        EXPECT_EQ(driver.NvAPI_EnumLogicalGPUs(handles, &count), NVAPI_OK);
        EXPECT_EQ(driver.GpuOverclockSwitch(reinterpret_cast<NvHandle>(0xABCDE), -9), -123);
        EXPECT_EQ(driver.GpuOverclockLimit(nullptr, 2147483647, -1), 7);
        EXPECT_EQ(driver.GpuStockClockSwitch(nullptr, 42), NVAPI_OK);
    }
    EXPECT_EQ(Matching(log, "nvapi_QueryInterface"),
              (Lines{"nvapi_QueryInterface(0x150E828) -> entry", "nvapi_QueryInterface(0x9ABDD40D) -> entry",
                     "nvapi_QueryInterface(0xE5AC921F) -> entry", "nvapi_QueryInterface(0x48B3EA59) -> entry",
                     "nvapi_QueryInterface(0xB23B70EE) -> entry", "nvapi_QueryInterface(0xFDFC7D49) -> entry",
                     "nvapi_QueryInterface(0xFA579A0F) -> entry"}));
    EXPECT_EQ(Matching(log, "Gpu"),
              (Lines{"GpuOverclockSwitch(0xABCDE,-9) -> -123", "GpuOverclockLimit(0x0,2147483647,-1) -> 7",
                     "GpuStockClockSwitch(0x0,42) -> 0", "GpuOverclockSwitch(0xABCDE,-9) -> -123",
                     "GpuOverclockLimit(0x0,2147483647,-1) -> 7", "GpuStockClockSwitch(0x0,42) -> 0"}));
}

TEST(NvApi, AMissingEntryIsAskedForOnceAndAnEarlyCallResolvesAfterALaterInitialisation)
{
    FakeDriverLibrary library("missing 0xFDFC7D49");
    library.loadFails = true;
    NvApi driver(library);
    fake_firmware::Reset();
    EXPECT_EQ(driver.NvAPI_Initialize(), NVAPI_LIBRARY_NOT_FOUND);
    EXPECT_EQ(driver.GpuStockClockSwitch(nullptr, 1), NVAPI_NO_IMPLEMENTATION);
    library.loadFails = false;
    ASSERT_EQ(driver.NvAPI_Initialize(), NVAPI_OK);
    ASSERT_EQ(driver.NvAPI_Initialize(), NVAPI_OK);
    EXPECT_EQ(library.loaded, 1);  // a held module is not loaded again
    EXPECT_EQ(driver.GpuStockClockSwitch(nullptr, 1), NVAPI_OK);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(driver.GpuOverclockLimit(nullptr, 1, 0), NVAPI_NO_IMPLEMENTATION);
    }
    EXPECT_EQ(Matching(log, "nvapi_QueryInterface(0xFDFC7D49)").size(), 1u);
}

TEST(NvApi, EachInitialisationFailureUnloadsAndLeavesEveryEntryUnresolved)
{
    struct Case {
        const char* plan;
        bool loadFails, exportMissing;
        NvAPI_Status expected;
    };
    const Case cases[] = {
        {"", true, false, NVAPI_LIBRARY_NOT_FOUND},
        {"", false, true, NVAPI_ERROR},
        {"missing 0x0150E828", false, false, NVAPI_ERROR},
        {"initialize -5", false, false, NVAPI_ERROR},
    };
    for (const Case& c : cases) {
        FakeDriverLibrary library(c.plan);
        library.loadFails = c.loadFails;
        library.exportMissing = c.exportMissing;
        NvApi driver(library);
        EXPECT_EQ(driver.NvAPI_Initialize(), c.expected) << c.plan;
        EXPECT_FALSE(PassesGpuCheck(driver)) << c.plan;
        EXPECT_EQ(library.loaded, 0) << c.plan;
        fake_firmware::Reset();
        EXPECT_EQ(driver.GpuOverclockSwitch(nullptr, 1), NVAPI_NO_IMPLEMENTATION) << c.plan;
        EXPECT_TRUE(log.empty()) << c.plan;
    }
}

TEST(NvApi, EnumerateGpus)
{
    struct Case {
        const char* plan;
        bool passes;
        std::size_t displayCalls;
        std::uint32_t physical, logical;
    };
    const Case cases[] = {
        {"displays 2", true, 3, 1, 1},
        {"displays 0", true, 1, 1, 1},  // no display on the NVIDIA GPU is fine
        {"displays 300\nphysical 3\nlogical 2", true, kDisplayHandleCount, 3, 2},  // the table's end
        {"displays 5\ndisplay-error 1 -4", false, 2, 0, 0},
        {"physical 1 -6", false, 2, 0, 0},
        {"logical 1 -6", false, 2, 1, 0},
        {"missing 0x48B3EA59", false, 2, 1, 0},
        {"physical 2\nlogical 0", true, 2, 2, 0},
    };
    for (const Case& c : cases) {
        FakeDriverLibrary library(c.plan);
        NvApi driver(library);
        fake_firmware::Reset();
        EXPECT_EQ(PassesGpuCheck(driver), c.passes) << c.plan;
        EXPECT_EQ(Matching(log, "NvAPI_EnumNvidiaDisplayHandle").size(), c.displayCalls) << c.plan;
        EXPECT_EQ(driver.physicalGpuCount, c.physical) << c.plan;
        EXPECT_EQ(driver.logicalGpuCount, c.logical) << c.plan;
    }
    EXPECT_EQ(log.back(), "NvAPI_EnumLogicalGPUs() -> 0");
}

}  // namespace
