#include "gpu/nvapi.h"

#include <gtest/gtest.h>

#include "fakes.h"
#include "gpu/gpu_check.h"

namespace {

using fake_firmware::log;

// Each entry is asked for by its ID on first use only, and its status passes through.
TEST(NvApi, Entries)
{
    FakeDriverLibrary library(
        "status GpuOverclockSwitch -123\nstatus GpuOverclockLimit 7\nmissing 0xFA579A0F");
    library.loadFails = true;
    NvApi driver(library);
    fake_firmware::Reset();
    EXPECT_EQ(driver.NvAPI_Initialize(), NVAPI_LIBRARY_NOT_FOUND);
    // An entry called before initialising resolves after a later initialisation.
    EXPECT_EQ(driver.GpuOverclockSwitch(nullptr, 1), NVAPI_NO_IMPLEMENTATION);
    library.loadFails = false;
    ASSERT_TRUE(driver.NvAPI_Initialize() == NVAPI_OK && driver.NvAPI_Initialize() == NVAPI_OK);
    EXPECT_EQ(library.loaded, 1);  // a held module is not loaded again
    for (int twice = 0; twice < 2; ++twice) {
        EXPECT_TRUE(driver.EnumerateGpus());
        EXPECT_EQ(driver.GpuOverclockSwitch(nullptr, 1), -123);
        EXPECT_EQ(driver.GpuOverclockLimit(nullptr, 1, 0), 7);
        EXPECT_EQ(driver.GpuStockClockSwitch(nullptr, 0), NVAPI_NO_IMPLEMENTATION);
    }
    // Initialise, asked for by each of the two initialisations after the load failed, then the
    // enumeration's three entries and the three switch entries once each, though each was called twice.
    EXPECT_EQ(Matching(log, "nvapi_QueryInterface").size(), 2u + 3u + 3u);
}

TEST(NvApi, GpuCheck)
{
    // {plan, load fails, export missing, initialise status, passes, display calls, physical, logical GPUs}
    using Case =
        std::tuple<const char*, bool, bool, NvAPI_Status, bool, std::size_t, std::uint32_t, std::uint32_t>;
    // clang-format off
    const Case cases[] = {
        // A failed initialisation unloads the library and leaves every entry unresolved.
        {"", true, false, NVAPI_LIBRARY_NOT_FOUND, false, 0, 0, 0},
        {"", false, true, NVAPI_ERROR, false, 0, 0, 0},
        {"missing 0x0150E828", false, false, NVAPI_ERROR, false, 0, 0, 0},
        {"initialize -5", false, false, NVAPI_ERROR, false, 0, 0, 0},
        {"displays 2", false, false, NVAPI_OK, true, 3, 1, 1},
        {"displays 0", false, false, NVAPI_OK, true, 1, 1, 1},  // no display on the NVIDIA GPU is fine
        {"displays 300\nphysical 3\nlogical 2", false, false, NVAPI_OK, true, kDisplayHandleCount, 3, 2},
        {"displays 5\ndisplay-error 1 -4", false, false, NVAPI_OK, false, 2, 0, 0},
        {"physical 1 -6", false, false, NVAPI_OK, false, 2, 0, 0},
        {"logical 1 -6", false, false, NVAPI_OK, false, 2, 1, 0},
        {"physical 2\nlogical 0", false, false, NVAPI_OK, true, 2, 2, 0},
    };
    // clang-format on
    for (const auto& [plan, loadFails, exportMissing, status, passes, displayCalls, physical, logical] :
         cases) {
        SCOPED_TRACE(plan);
        FakeDriverLibrary library(plan);
        library.loadFails = loadFails;
        library.exportMissing = exportMissing;
        NvApi driver(library);
        fake_firmware::Reset();
        EXPECT_EQ(PassesGpuCheck(driver), passes);
        EXPECT_EQ(Matching(log, "NvAPI_EnumNvidiaDisplayHandle").size(), displayCalls);
        EXPECT_EQ(driver.physicalGpuCount, physical);
        EXPECT_EQ(driver.logicalGpuCount, logical);
        EXPECT_EQ(library.loaded, status == NVAPI_OK ? 1 : 0);
        EXPECT_EQ(driver.NvAPI_Initialize(), status);
    }
}

}  // namespace
