// The settings exchange against the firmware service simulator, in every way the service can fail.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "firmware/orv_call_name_pipe.h"
#include "firmware/settings_channel.h"
#include "simulator_process.h"

namespace {

struct Exchange {
    int result;
    std::string reply;  // up to the first NUL
    ULONGLONG elapsedMs;
};

Exchange Call(const std::string& command)
{
    char request[kRequestSize] = {};
    std::memcpy(request, command.data(), command.size());
    char reply[kReplySize];
    std::memset(reply, 'X', sizeof(reply));  // stale bytes, as in a buffer that is never cleared
    const ULONGLONG start = GetTickCount64();
    const int result = ORV_CallNamePipe(request, kRequestSize, reply, kReplySize);
    const ULONGLONG elapsed = GetTickCount64() - start;
    return {result, std::string(reply, strnlen(reply, sizeof(reply))), elapsed};
}

class CallNamePipe : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(simulator.Start({2, 0, 16})); }

    void Fault(const std::wstring& fault) { ASSERT_EQ(simulator.Ctl(L"fault " + fault), "ok"); }

    SimulatorProcess simulator;
};

TEST_F(CallNamePipe, AnswersQueriesAndSets)
{
    EXPECT_EQ(Call(kQueryApItem6).reply, "16");
    const Exchange set = Call("root\\WMI:S:ORV_AP:AP:6:17");
    EXPECT_NE(set.result, 0);
    EXPECT_EQ(set.reply, "17");
    EXPECT_EQ(Call(kQueryApItem6).reply, "17");
    EXPECT_EQ(Call(kQuerySystemItem0).reply, "2");
    EXPECT_EQ(simulator.Ctl(L"get ap6"), "ok 17");
}

TEST_F(CallNamePipe, ManyExchangesInARowAllSucceed)
{
    for (int i = 0; i < 50; ++i) {
        ASSERT_NE(Call(kQuerySystemItem1).result, 0) << i;
    }
}

TEST_F(CallNamePipe, RefusedCommandFailsWithoutAnswer)
{
    const Exchange exchange = Call("root\\WMI:Q:ORV_AP:AP:7");
    EXPECT_EQ(exchange.result, 0);
    EXPECT_EQ(exchange.reply, "");
}

TEST_F(CallNamePipe, EveryFaultFailsWithNothingInTheReplyThatLooksLikeAnAnswer)
{
    const std::wstring faults[] = {L"close", L"nonul 17", L"overlong 800", L"overlong 5000"};
    for (const std::wstring& fault : faults) {
        Fault(fault);
        const Exchange exchange = Call(kQueryApItem6);
        EXPECT_EQ(exchange.result, 0) << std::string(fault.begin(), fault.end());
        EXPECT_EQ(exchange.reply, "") << std::string(fault.begin(), fault.end());
    }
}

TEST_F(CallNamePipe, AnswerThatJustFitsIsTaken)
{
    Fault(L"overlong 799");
    const Exchange exchange = Call(kQueryApItem6);
    EXPECT_NE(exchange.result, 0);
    EXPECT_EQ(exchange.reply, std::string(799, '1'));
}

TEST_F(CallNamePipe, GarbageIsAnAnswerButNoValue)
{
    Fault(L"reply garbage");
    EXPECT_EQ(Call(kQueryApItem6).reply, "garbage");
    EXPECT_EQ(GetApItem6(), -1);
    EXPECT_FALSE(IsOverclockOptionOn());
}

TEST_F(CallNamePipe, AServiceThatIsDownOrGoneFailsAndOneThatIsBackAnswers)
{
    Fault(L"down");
    EXPECT_EQ(Call(kQueryApItem6).result, 0);
    Fault(L"none");
    EXPECT_EQ(Call(kQueryApItem6).reply, "16");
    simulator.Stop();
    EXPECT_EQ(Call(kQueryApItem6).result, 0);
    EXPECT_EQ(GetApItem6(), -1);
    EXPECT_FALSE(IsOverclockOptionOn());
}

TEST_F(CallNamePipe, SlowAnswerWithinTheBoundIsTaken)
{
    Fault(L"slow 700");
    const Exchange exchange = Call(kQueryApItem6);
    EXPECT_NE(exchange.result, 0);
    EXPECT_EQ(exchange.reply, "16");
}

TEST_F(CallNamePipe, SlowAnswerBeyondTheBoundAndNoAnswerAtAllGiveUpAfterTwoSeconds)
{
    for (const std::wstring fault : {L"slow 4000", L"hang"}) {
        Fault(fault);
        const Exchange exchange = Call(kQueryApItem6);
        EXPECT_EQ(exchange.result, 0);
        EXPECT_EQ(exchange.reply, "");
        EXPECT_GE(exchange.elapsedMs, 1900u);
        EXPECT_LT(exchange.elapsedMs, 3500u);
    }
    Fault(L"none");
    EXPECT_EQ(Call(kQueryApItem6).reply, "16");
}

TEST_F(CallNamePipe, SetReadBackThroughTheRealPipe)
{
    EXPECT_TRUE(SetApItem6(17));
    Fault(L"failset");
    EXPECT_FALSE(SetApItem6(16));
    EXPECT_EQ(GetApItem6(), 17);
    Fault(L"close --skip 1");
    EXPECT_FALSE(SetApItem6(16));  // the set went through, its read-back did not
    Fault(L"none");
    EXPECT_EQ(GetApItem6(), 16);
}

TEST_F(CallNamePipe, TheServiceSeesExactlyTheRequestedCommands)
{
    IsOverclockOptionOn();
    IsSystem1ForceOff();
    SetApItem6(17);
    EXPECT_EQ(simulator.Journal(), (std::vector<std::string>{
                                       "SETTINGS root\\WMI:Q:ORV_System:System:0 -> 2",
                                       "SETTINGS root\\WMI:Q:ORV_System:System:1 -> 0",
                                       "SETTINGS root\\WMI:S:ORV_AP:AP:6:17 -> 17",
                                       "SETTINGS root\\WMI:Q:ORV_AP:AP:6 -> 17",
                                   }));
}

TEST(CallNamePipeArguments, BadBuffersFailWithoutAnExchange)
{
    char request[kRequestSize] = "root\\WMI:Q:ORV_AP:AP:6";
    char reply[kReplySize] = "17";
    EXPECT_EQ(ORV_CallNamePipe(nullptr, kRequestSize, reply, kReplySize), 0);
    EXPECT_EQ(reply[0], '\0');
    reply[0] = '1';
    EXPECT_EQ(ORV_CallNamePipe(request, 0, reply, kReplySize), 0);
    EXPECT_EQ(reply[0], '\0');
    EXPECT_EQ(ORV_CallNamePipe(request, kRequestSize, nullptr, kReplySize), 0);
    EXPECT_EQ(ORV_CallNamePipe(request, kRequestSize, reply, 0), 0);
}

}  // namespace
