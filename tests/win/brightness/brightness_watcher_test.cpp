// The subscription against fakes of every object WMI hands out (order, arguments, clean-up of every
// path), and once against the system's own WMI.
#include "brightness/brightness_watcher.h"

#include <gtest/gtest.h>
#include <wbemcli.h>

#include <cstring>
#include <string>
#include <vector>

#include "brightness/wmi_identifiers.h"
#include "brightness_test_support.h"
#include "fake_wmi.h"

namespace {

using Steps = std::vector<std::string>;

Steps operator+(Steps steps, const Steps& more)
{
    steps.insert(steps.end(), more.begin(), more.end());
    return steps;
}

const Steps kLocator = {
    "CoInitializeEx null 0",
    "CoInitializeSecurity null -1 null null 0 3 null 0 null",
    "CoCreateInstance WbemLocator null 1 IWbemLocator",
};
const Steps kConnect = kLocator + Steps{"ConnectServer ROOT\\WMI(8) null null null 0 null null"};
const Steps kBlanket = kConnect + Steps{"CoSetProxyBlanket services 10 0 null 3 3 null 0"};
const Steps kApartment = kBlanket + Steps{"CoCreateInstance UnsecuredApartment null 4 IUnsecuredApartment"};
const Steps kStub = kApartment + Steps{"CreateObjectStub sink(1)"};
const Steps kStubSink = kStub + Steps{"QueryInterface stub IWbemObjectSink"};
const Steps kQuery =
    kStubSink +
    Steps{"ExecNotificationQueryAsync WQL(3) SELECT * FROM WmiMonitorBrightnessEvent(39) 0x80 null stubSink"};

TEST(BrightnessWatcher, EveryOutcomeReleasesWhatItObtainedInOrderAndUninitialisesOnce)
{
    using Fault = FakeWmi::Fault;
    const struct {
        Fault fault;
        HRESULT initialize;
        int code;
        Steps journal;
        const char* output;
    } cases[] = {
        {Fault::Locator, S_OK, 3, kLocator + Steps{"CoUninitialize"}, ""},
        {Fault::Connect, S_OK, 4, kConnect + Steps{"Release locator", "CoUninitialize"}, ""},
        {Fault::Blanket, S_OK, 5, kBlanket + Steps{"Release services", "Release locator", "CoUninitialize"},
         ""},
        {Fault::Apartment, S_OK, 6,
         kApartment + Steps{"Release services", "Release locator", "CoUninitialize"}, ""},
        {Fault::Stub, S_OK, 6,
         kStub + Steps{"Release services", "Release locator", "Release apartment", "CoUninitialize"}, ""},
        {Fault::StubMissing, S_OK, 6,
         kStub + Steps{"Release services", "Release locator", "Release apartment", "CoUninitialize"}, ""},
        // The stub held the sink too; the program's reference goes after the stub's.
        {Fault::StubSink, S_OK, 6,
         kStubSink + Steps{"Release services", "Release locator", "Release apartment", "Release stub",
                           "stub drops sink -> 1", "CoUninitialize"},
         ""},
        // The sink's counts show the program letting go of it between the stub and the stub sink.
        {Fault::Query, S_OK, 1,
         kQuery + Steps{"Release services", "Release locator", "Release apartment", "Release stub",
                        "stub drops sink -> 2", "Release stubSink sink(1)", "stubSink drops sink -> 0",
                        "CoUninitialize"},
         "ExecNotificationQueryAsync failed with = 0x8004100C\n"},
        // Already initialised on this thread: the S_FALSE is balanced too.
        {Fault::Blanket, S_FALSE, 5,
         kBlanket + Steps{"Release services", "Release locator", "CoUninitialize"}, ""},
        // COM refused (another apartment type): nothing of ours to undo.
        {Fault::Locator, RPC_E_CHANGED_MODE, 3, kLocator, ""},
        // WMI keeps the stub sink; COM stays initialised.
        {Fault::None, S_OK, 0,
         kQuery + Steps{"Release apartment", "Release stub", "stub drops sink -> 2",
                        "Release stubSink sink(1)", "Release services", "Release locator"},
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "fault " << static_cast<int>(c.fault) << ", code " << c.code);
        std::atomic<HWND> target{nullptr};
        FakeWmi wmi(c.fault, c.initialize);
        StdoutCapture output;
        const int code = StartBrightnessWatcher(target);
        const std::string written = output.Finish();
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(wmi.Journal(), c.journal);
        EXPECT_EQ(written, c.output);
        if (wmi.sinkSeen != nullptr) {
            // Every reference to the sink is gone once WMI lets go of its handler.
            EXPECT_EQ(WasDeleted(), c.code != 0);
            wmi.DropHandler();
            EXPECT_TRUE(WasDeleted());
        }
    }
}

TEST(BrightnessWatcher, IdentifiersAreThoseOfTheSystemHeaders)
{
    const struct {
        const GUID& held;
        const GUID& system;
    } ids[] = {
        {wmi::CLSID_WbemLocator, ::CLSID_WbemLocator},
        {wmi::IID_IWbemLocator, ::IID_IWbemLocator},
        {wmi::CLSID_UnsecuredApartment, ::CLSID_UnsecuredApartment},
        {wmi::IID_IUnsecuredApartment, ::IID_IUnsecuredApartment},
        {wmi::IID_IWbemObjectSink, ::IID_IWbemObjectSink},
        {wmi::IID_IUnknown, ::IID_IUnknown},
    };
    for (const auto& id : ids) {
        EXPECT_EQ(std::memcmp(&id.held, &id.system, sizeof(GUID)), 0) << &id - ids;
    }
}

DWORD WINAPI WatchOnFreshThread(void* code)
{
    static std::atomic<HWND> noWindow{nullptr};
    *static_cast<int*>(code) = StartBrightnessWatcher(noWindow);
    // S_OK only if the watcher left this thread's COM uninitialised.
    const HRESULT again = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    CoUninitialize();
    if (again == S_FALSE) {
        CoUninitialize();
    }
    return static_cast<DWORD>(again);
}

// The system's own WMI. Wine's has no unsecured apartment, so there it ends with code 6; whatever the
// code, COM is left initialised exactly when the subscription stands.
TEST(BrightnessWatcher, AgainstTheSystemsWmiEndsWithADefinedCodeAndBalancedCom)
{
    int code = -1;
    HANDLE thread = CreateThread(nullptr, 0, WatchOnFreshThread, &code, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, 30000), WAIT_OBJECT_0);
    DWORD again = 0;
    GetExitCodeThread(thread, &again);
    CloseHandle(thread);
    RecordProperty("code", code);
    std::printf("the system's WMI: code %d\n", code);
    EXPECT_TRUE(code == 0 || code == 1 || (code >= 3 && code <= 6)) << code;
    EXPECT_EQ(static_cast<HRESULT>(again), code == 0 ? S_FALSE : S_OK) << code;
    if (GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr) {
        EXPECT_EQ(code, 6);
    }
}

}  // namespace
