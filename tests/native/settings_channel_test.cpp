#include "firmware/settings_channel.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>

#include "fakes.h"

namespace {

TEST(SettingsChannel, EachOperationSendsItsCommandsAndReadsTheReplies)
{
    using namespace fake_firmware;
    const std::string noNul(kReplySize, '7');
    const std::function<int()> option = [] { return int{IsOverclockOptionOn()}; },
                               system0 = [] { return int{IsSystem0ForceOff()}; },
                               system1 = [] { return int{IsSystem1ForceOff()}; }, get = GetApItem6,
                               set17 = [] { return int{SetApItem6(17)}; },
                               setMin = [] { return int{SetApItem6(INT32_MIN)}; };
    // {operation, replies, result, commands sent (nothing is retried)}
    using Case = std::tuple<std::function<int()>, Replies, int, Lines>;
    // clang-format off
    const Case cases[] = {
        {option, {"1"}, 0, {q0}}, {option, {"-1"}, 1, {q0}}, {option, {"258"}, 1, {q0}},
        {option, {fail}, 0, {q0}}, {system0, {"4"}, 1, {q0}}, {system0, {"3"}, 0, {q0}},
        {system0, {"258"}, 0, {q0}}, {system1, {"257"}, 1, {q1}}, {system1, {"2"}, 0, {q1}},
        {system1, {fail}, 0, {q1}}, {get, {"16"}, 16, {ap6}}, {get, {"-1"}, -1, {ap6}},
        {get, {"none"}, -1, {ap6}}, {get, {noNul}, -1, {ap6}}, {get, {fail}, -1, {ap6}},
        // Only the read-back decides whether a set went through.
        {set17, {"17", "17"}, 1, {set + "17", ap6}}, {set17, {"16", "17"}, 1, {set + "17", ap6}},
        {set17, {"17", "16"}, 0, {set + "17", ap6}}, {set17, {"17", fail}, 0, {set + "17", ap6}},
        {set17, {fail}, 0, {set + "17"}}, {setMin, {"", "-2147483648"}, 1, {set + "-2147483648", ap6}},
    };
    // clang-format on
    for (const auto& [operation, replies, result, sent] : cases) {
        Reset();
        for (const auto& reply : replies) {
            script.push_back(reply && *reply != noNul ? *reply + '\0' : reply);
        }
        EXPECT_EQ(operation(), result) << sent[0] << " " << replies[0].value_or("fail");
        EXPECT_EQ(log, sent);
    }
}

TEST(SettingsChannel, ReplyIsReadAsAtoiWouldButSaturatesAndWithoutDigitsIsNoValue)
{
    const std::optional<std::int32_t> none;
    // clang-format off
    const std::pair<std::string, std::optional<std::int32_t>> cases[] = {
        {"18", 18}, {"  \t\n\v\f\r42", 42}, {"+7", 7}, {"-5", -5}, {"17 and more", 17}, {"abc", none},
        {"", none}, {"- 5", none}, {"+-5", none}, {"-", none}, {"000000000000000000000012", 12},
        {"2147483648", INT32_MAX}, {"99999999999999999999999999", INT32_MAX}, {"-2147483648", INT32_MIN},
        {"-99999999999999999999", INT32_MIN},
    };
    // clang-format on
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(ParseReply(text.c_str(), text.size() + 1), value) << '"' << text << '"';
    }
    // Never read past the size: a NUL beyond it does not count.
    EXPECT_EQ(ParseReply("12345", 6), 12345);
    EXPECT_EQ(ParseReply("12345", 5), std::nullopt);
    // A command that does not fit leaves the request all zero, and so nothing is sent.
    char request[kRequestSize];
    EXPECT_FALSE(FormatRequest(request, std::string(kRequestSize, 'x')));
    EXPECT_EQ(std::string(request, kRequestSize), std::string(kRequestSize, '\0'));
    EXPECT_TRUE(FormatRequest(request, std::string(kRequestSize - 1, 'x')));
}

}  // namespace
