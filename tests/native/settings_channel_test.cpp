#include "firmware/settings_channel.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "fake_call_name_pipe.h"

namespace {

using fake_firmware::Answer;
using fake_firmware::Fail;

class SettingsChannel : public ::testing::Test {
protected:
    void SetUp() override { fake_firmware::Reset(); }
    void TearDown() override { fake_firmware::Reset(); }
};

std::string Padded(const std::string& text)
{
    return text + std::string(kRequestSize - text.size(), '\0');
}

TEST_F(SettingsChannel, EveryOperationSendsItsCommandZeroPaddedWithSizes80And800)
{
    IsOverclockOptionOn();
    IsSystem0ForceOff();
    IsSystem1ForceOff();
    GetApItem6();
    Answer("0");
    SetApItem6(3);

    const auto& requests = fake_firmware::Requests();
    const std::string expected[] = {
        "root\\WMI:Q:ORV_System:System:0", "root\\WMI:Q:ORV_System:System:0",
        "root\\WMI:Q:ORV_System:System:1", "root\\WMI:Q:ORV_AP:AP:6",
        "root\\WMI:S:ORV_AP:AP:6:3",       "root\\WMI:Q:ORV_AP:AP:6",
    };
    ASSERT_EQ(requests.size(), std::size(expected));
    for (std::size_t i = 0; i < requests.size(); ++i) {
        EXPECT_EQ(requests[i].bytes, Padded(expected[i])) << i;
        EXPECT_EQ(requests[i].requestSize, 80);
        EXPECT_EQ(requests[i].replySize, 800);
    }
}

TEST_F(SettingsChannel, SetWritesSignedDecimalWithoutPadding)
{
    const std::pair<std::int32_t, std::string> cases[] = {
        {0, "0"}, {17, "17"}, {-1, "-1"}, {INT32_MAX, "2147483647"}, {INT32_MIN, "-2147483648"},
    };
    for (const auto& [value, text] : cases) {
        fake_firmware::Reset();
        SetApItem6(value);
        ASSERT_EQ(fake_firmware::Requests().size(), 1u);
        EXPECT_EQ(fake_firmware::Requests()[0].bytes, Padded("root\\WMI:S:ORV_AP:AP:6:" + text));
    }
}

TEST_F(SettingsChannel, ReplyIsReadAsAtoiWouldButSaturatesAndWithoutDigitsIsNoValue)
{
    const std::pair<std::string, std::optional<std::int32_t>> cases[] = {
        {"18", 18},
        {"  \t\n\v\f\r42", 42},
        {"+7", 7},
        {"-5", -5},
        {"17 and more", 17},
        {"17abc", 17},
        {"abc", std::nullopt},
        {"", std::nullopt},
        {"- 5", std::nullopt},
        {"+-5", std::nullopt},
        {"-", std::nullopt},
        {"2147483647", INT32_MAX},
        {"2147483648", INT32_MAX},
        {"99999999999999999999999999", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"-2147483649", INT32_MIN},
        {"-99999999999999999999999999", INT32_MIN},
        {"000000000000000000000012", 12},
    };
    for (const auto& [text, value] : cases) {
        const std::string reply = text + '\0';
        EXPECT_EQ(ParseReply(reply.data(), reply.size()), value) << '"' << text << '"';
    }
}

TEST_F(SettingsChannel, ReplyIsNeverReadPastItsSize)
{
    const std::string digits = "123456";
    EXPECT_EQ(ParseReply(digits.data(), digits.size()), std::nullopt);
    const std::string exact = "12345\0";
    EXPECT_EQ(ParseReply(exact.data(), 6), 12345);
    // A NUL beyond the size does not count.
    EXPECT_EQ(ParseReply(exact.data(), 5), std::nullopt);
}

TEST_F(SettingsChannel, BitTestsReadTheirOwnBit)
{
    struct Case {
        std::string system0;
        std::string system1;
        bool optionOn;
        bool system0ForceOff;
        bool system1ForceOff;
    };
    const Case cases[] = {
        {"6", "1", true, true, true},      {"1", "0", false, false, false},
        {"2", "2", true, false, false},    {"4", "3", false, true, true},
        {"-1", "-1", true, true, true},    {"garbage", "x1", false, false, false},
        {"258", "257", true, false, true},
    };
    for (const Case& c : cases) {
        Answer(c.system0);
        EXPECT_EQ(IsOverclockOptionOn(), c.optionOn) << c.system0;
        Answer(c.system0);
        EXPECT_EQ(IsSystem0ForceOff(), c.system0ForceOff) << c.system0;
        Answer(c.system1);
        EXPECT_EQ(IsSystem1ForceOff(), c.system1ForceOff) << c.system1;
    }
}

TEST_F(SettingsChannel, UnreachableServiceReadsAsClearBitsAndFailedValues)
{
    EXPECT_FALSE(IsOverclockOptionOn());
    EXPECT_FALSE(IsSystem0ForceOff());
    EXPECT_FALSE(IsSystem1ForceOff());
    EXPECT_EQ(GetApItem6(), -1);
    EXPECT_FALSE(SetApItem6(17));
    // Nothing is retried: one attempt per operation, and the set sends no read-back.
    EXPECT_EQ(fake_firmware::Requests().size(), 5u);
}

TEST_F(SettingsChannel, GetApItem6)
{
    Answer("16");
    EXPECT_EQ(GetApItem6(), 16);
    Answer("-1");
    EXPECT_EQ(GetApItem6(), -1);
    Answer("not a number");
    EXPECT_EQ(GetApItem6(), -1);
    // A reply that fills the whole buffer without a NUL is no answer.
    fake_firmware::AnswerBytes(std::string(kReplySize, '7'));
    EXPECT_EQ(GetApItem6(), -1);
}

TEST_F(SettingsChannel, SetIsTrueOnlyWhenTheReadBackMatches)
{
    Answer("17");
    Answer("17");
    EXPECT_TRUE(SetApItem6(17));
    EXPECT_EQ(fake_firmware::RequestTexts(),
              (std::vector<std::string>{"root\\WMI:S:ORV_AP:AP:6:17", "root\\WMI:Q:ORV_AP:AP:6"}));

    fake_firmware::Reset();
    Answer("16");  // the set's own answer is not what decides
    Answer("17");
    EXPECT_TRUE(SetApItem6(17));

    fake_firmware::Reset();
    Answer("17");
    Answer("16");
    EXPECT_FALSE(SetApItem6(17));

    fake_firmware::Reset();
    Answer("3");
    Fail();
    EXPECT_FALSE(SetApItem6(3));
    EXPECT_EQ(fake_firmware::Requests().size(), 2u);

    fake_firmware::Reset();
    Fail();
    EXPECT_FALSE(SetApItem6(3));
    EXPECT_EQ(fake_firmware::Requests().size(), 1u);
}

TEST_F(SettingsChannel, StoredMinusOneCannotBeToldFromAFailedRead)
{
    Answer("-1");
    Answer("-1");
    EXPECT_TRUE(SetApItem6(-1));
}

TEST_F(SettingsChannel, RequestThatDoesNotFitIsNotSent)
{
    char request[kRequestSize];
    EXPECT_FALSE(FormatRequest(request, std::string(kRequestSize, 'x')));
    EXPECT_EQ(std::string(request, kRequestSize), std::string(kRequestSize, '\0'));
    EXPECT_TRUE(FormatRequest(request, std::string(kRequestSize - 1, 'x')));
    EXPECT_EQ(request[kRequestSize - 1], '\0');
}

}  // namespace
