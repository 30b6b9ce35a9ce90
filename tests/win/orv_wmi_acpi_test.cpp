// Firmware events reach registered windows through the library's subscription, survive a service
// restart, and stop with the library object.
#include "firmware/orv_wmi_acpi.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cwchar>
#include <functional>

#include "message_pump.h"
#include "simulator_process.h"

namespace {

constexpr char kSubscriptionLine[] = "SUBSCRIBE root\\wmi|WQL|Select * from ORV_Event -> 0";

bool Subscribe(CORVWmiAcpi& firmware)
{
    char buffer[260] = {};
    return firmware.ORVWMIEvent(L"Select * from ORV_Event", buffer, L"root\\wmi", L"WQL");
}

class FirmwareEvents : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(simulator.Start()); }

    SimulatorProcess simulator;
    MessageWindow window;
};

TEST_F(FirmwareEvents, EachEventIsPostedWithItsCodeToEveryRegisteredWindow)
{
    MessageWindow second;
    CORVWmiAcpi firmware;
    firmware.AddHWND(window.Get());
    firmware.AddHWND(second.Get());
    firmware.AddHWND(window.Get());  // registered once, posted once
    ASSERT_TRUE(Subscribe(firmware));
    EXPECT_EQ(simulator.Journal(), std::vector<std::string>{kSubscriptionLine});

    for (const unsigned code : {0x60u, 0x5Du, 0x160u, 0xFFFFFFFFu}) {
        ASSERT_EQ(simulator.Ctl(L"event " + std::to_wstring(code)), "ok 1");
        MSG msg{};
        ASSERT_TRUE(WaitForMessage(window.Get(), WM_FIRMWARE_EVENT, 3000, &msg)) << code;
        EXPECT_EQ(msg.wParam, static_cast<WPARAM>(code));
        EXPECT_EQ(msg.lParam, 0);
        ASSERT_TRUE(WaitForMessage(second.Get(), WM_FIRMWARE_EVENT, 3000, &msg)) << code;
        EXPECT_EQ(msg.wParam, static_cast<WPARAM>(code));
    }
    EXPECT_TRUE(CollectMessages(window.Get(), WM_FIRMWARE_EVENT, 300).empty());
    // The first subscription is no news.
    EXPECT_TRUE(CollectMessages(window.Get(), WM_FIRMWARE_RESUBSCRIBED, 300).empty());
}

TEST_F(FirmwareEvents, AWindowThatIsGoneGetsNothingAndTheOthersStillDo)
{
    CORVWmiAcpi firmware;
    {
        MessageWindow gone;
        firmware.AddHWND(gone.Get());
    }
    firmware.AddHWND(window.Get());
    ASSERT_TRUE(Subscribe(firmware));
    ASSERT_EQ(simulator.Ctl(L"event 96"), "ok 1");
    EXPECT_TRUE(WaitForMessage(window.Get(), WM_FIRMWARE_EVENT, 3000));
}

TEST_F(FirmwareEvents, RefusedSubscriptionReturnsFalse)
{
    CORVWmiAcpi firmware;
    char buffer[260] = {};
    EXPECT_FALSE(firmware.ORVWMIEvent(L"Select * from Other_Event", buffer, L"root\\wmi", L"WQL"));
    EXPECT_FALSE(firmware.ORVWMIEvent(nullptr, buffer, L"root\\wmi", L"WQL"));
    // The caller's buffer is not written.
    EXPECT_EQ(std::string(buffer, sizeof(buffer)), std::string(sizeof(buffer), '\0'));
}

TEST_F(FirmwareEvents, ASubscriptionMadeAgainIsReportedOnceAndEventsFlowAgain)
{
    struct Way {
        const char* name;
        std::function<void()> before;  // before subscribing
        std::function<void()> after;   // after subscribing
    };
    const Way ways[] = {
        {"service restarts", [] {},
         [&] {
             ASSERT_TRUE(simulator.Stop());
             ASSERT_TRUE(simulator.Start());
         }},
        {"service was down", [] {},
         [&] {
             ASSERT_EQ(simulator.Ctl(L"fault down"), "ok");
             ASSERT_EQ(simulator.Ctl(L"subscribers"), "ok 0");
             ASSERT_EQ(simulator.Ctl(L"fault none"), "ok");
         }},
        {"service starts later", [&] { ASSERT_TRUE(simulator.Stop()); },
         [&] { ASSERT_TRUE(simulator.Start()); }},
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        way.before();
        CORVWmiAcpi firmware;
        firmware.AddHWND(window.Get());
        Subscribe(firmware);
        way.after();
        ASSERT_TRUE(simulator.WaitForSubscribers(1, 8000));
        EXPECT_TRUE(WaitForMessage(window.Get(), WM_FIRMWARE_RESUBSCRIBED, 3000));
        EXPECT_TRUE(CollectMessages(window.Get(), WM_FIRMWARE_RESUBSCRIBED, 300).empty());
        ASSERT_EQ(simulator.Ctl(L"event 121"), "ok 1");
        MSG msg{};
        ASSERT_TRUE(WaitForMessage(window.Get(), WM_FIRMWARE_EVENT, 3000, &msg));
        EXPECT_EQ(msg.wParam, 121u);
    }
}

TEST_F(FirmwareEvents, AServiceThatIsNotThereCostsTheSubscriberAtMostTheConnectBound)
{
    ASSERT_TRUE(simulator.Stop());
    CORVWmiAcpi firmware;
    const ULONGLONG start = GetTickCount64();
    EXPECT_FALSE(Subscribe(firmware));
    EXPECT_LT(GetTickCount64() - start, 3000u);
}

TEST_F(FirmwareEvents, NothingIsPostedAfterTheObjectIsDestroyed)
{
    {
        CORVWmiAcpi firmware;
        firmware.AddHWND(window.Get());
        ASSERT_TRUE(Subscribe(firmware));
    }
    ASSERT_TRUE(simulator.WaitForSubscribers(0, 3000));
    EXPECT_EQ(simulator.Ctl(L"event 96"), "ok 0");
    EXPECT_TRUE(CollectMessages(window.Get(), WM_FIRMWARE_EVENT, 500).empty());
    EXPECT_EQ(simulator.Journal().back(), "EVENT 96 -> 0 subscribers");
}

TEST_F(FirmwareEvents, DestroyingWhileTheServiceIsAwayReturnsPromptly)
{
    ASSERT_TRUE(simulator.Stop());
    ULONGLONG start = 0;
    {
        CORVWmiAcpi firmware;
        Subscribe(firmware);
        Sleep(1200);  // the listener is now between two attempts
        start = GetTickCount64();
    }
    EXPECT_LT(GetTickCount64() - start, 1000u);
}

TEST_F(FirmwareEvents, CopyAssignmentTakesOverTheRegisteredWindows)
{
    CORVWmiAcpi source;
    source.AddHWND(window.Get());
    CORVWmiAcpi target;
    target = source;
    target = target;
    ASSERT_TRUE(Subscribe(target));
    ASSERT_EQ(simulator.Ctl(L"event 96"), "ok 1");
    EXPECT_TRUE(WaitForMessage(window.Get(), WM_FIRMWARE_EVENT, 3000));
}

TEST(FreeMethodWMI, FreesBothStringsAndZeroesTheRecord)
{
    CORVWmiAcpi firmware;
    ORV_METHOD_DEF method{_wcsdup(L"SetItem"), _wcsdup(L"AP:6"), 42};
    firmware.FreeMethodWMI(&method);
    EXPECT_EQ(method.pszMethodName, nullptr);
    EXPECT_EQ(method.pszParameters, nullptr);
    EXPECT_EQ(method.dwMethodId, 0u);

    ORV_METHOD_DEF empty{nullptr, nullptr, 7};
    firmware.FreeMethodWMI(&empty);
    EXPECT_EQ(empty.dwMethodId, 0u);
    firmware.FreeMethodWMI(nullptr);
}

}  // namespace
