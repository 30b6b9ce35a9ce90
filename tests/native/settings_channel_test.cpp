#include "firmware/settings_channel.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>

#include "fakes.h"

namespace {

using Reply = std::optional<std::string>;  // nullopt: the exchange fails

TEST(SettingsChannel, SendsEachCommandAsTheServiceExpects)
{
    const std::string q0 = "root\\WMI:Q:ORV_System:System:0", q1 = "root\\WMI:Q:ORV_System:System:1",
                      ap6 = "root\\WMI:Q:ORV_AP:AP:6", set = "root\\WMI:S:ORV_AP:AP:6:";
    const std::pair<std::function<void()>, Lines> cases[] = {
        {[] { IsOverclockOptionOn(); }, {q0}},
        {[] { IsSystem0ForceOff(); }, {q0}},
        {[] { IsSystem1ForceOff(); }, {q1}},
        {[] { GetApItem6(); }, {ap6}},
        {[] { SetApItem6(17); }, {set + "17", ap6}},
        {[] { SetApItem6(-1); }, {set + "-1", ap6}},
        {[] { SetApItem6(INT32_MAX); }, {set + "2147483647", ap6}},
        {[] { SetApItem6(INT32_MIN); }, {set + "-2147483648", ap6}},
    };
    for (const auto& [operation, expected] : cases) {
        fake_firmware::Reset({}, true);
        operation();
        EXPECT_EQ(fake_firmware::log, expected);
    }
}

TEST(SettingsChannel, ResultOfEachReply)
{
    const auto option = [] { return int{IsOverclockOptionOn()}; };
    const auto system0 = [] { return int{IsSystem0ForceOff()}; };
    const auto system1 = [] { return int{IsSystem1ForceOff()}; };
    const auto set17 = [] { return int{SetApItem6(17)}; };
    const std::string noNul(kReplySize, '7');
    struct Case {
        std::function<int()> operation;
        std::vector<Reply> replies;
        int expected;
        std::size_t sent;  // nothing is retried
    };
    const Case cases[] = {
        {option, {"2"}, 1, 1},
        {option, {"1"}, 0, 1},
        {option, {"-1"}, 1, 1},
        {option, {"258"}, 1, 1},
        {option, {"garbage"}, 0, 1},
        {option, {std::nullopt}, 0, 1},
        {system0, {"4"}, 1, 1},
        {system0, {"3"}, 0, 1},
        {system0, {"258"}, 0, 1},
        {system1, {"257"}, 1, 1},
        {system1, {"2"}, 0, 1},
        {system1, {"x1"}, 0, 1},
        {GetApItem6, {"16"}, 16, 1},
        {GetApItem6, {"-1"}, -1, 1},
        {GetApItem6, {"none"}, -1, 1},
        {GetApItem6, {noNul}, -1, 1},
        {GetApItem6, {std::nullopt}, -1, 1},
        // Only the read-back decides whether a set went through.
        {set17, {"17", "17"}, 1, 2},
        {set17, {"16", "17"}, 1, 2},
        {set17, {"17", "16"}, 0, 2},
        {set17, {"17", std::nullopt}, 0, 2},
        {set17, {std::nullopt}, 0, 1},
    };
    for (const Case& c : cases) {
        fake_firmware::Reset({}, false);
        for (const Reply& reply : c.replies) {
            fake_firmware::script.push_back(reply && *reply != noNul ? *reply + '\0' : reply);
        }
        EXPECT_EQ(c.operation(), c.expected) << (c.replies[0] ? *c.replies[0] : "fail");
        EXPECT_EQ(fake_firmware::log.size(), c.sent);
    }
}

TEST(SettingsChannel, ReplyIsReadAsAtoiWouldButSaturatesAndWithoutDigitsIsNoValue)
{
    const std::pair<std::string, std::optional<std::int32_t>> cases[] = {
        {"18", 18},
        {"  \t\n\v\f\r42", 42},
        {"+7", 7},
        {"-5", -5},
        {"17 and more", 17},
        {"abc", std::nullopt},
        {"", std::nullopt},
        {"- 5", std::nullopt},
        {"+-5", std::nullopt},
        {"-", std::nullopt},
        {"2147483648", INT32_MAX},
        {"99999999999999999999999999", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"-99999999999999999999999999", INT32_MIN},
        {"000000000000000000000012", 12},
    };
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(ParseReply(text.c_str(), text.size() + 1), value) << '"' << text << '"';
    }
    // Never read past the size: a NUL beyond it does not count.
    EXPECT_EQ(ParseReply("12345", 6), 12345);
    EXPECT_EQ(ParseReply("12345", 5), std::nullopt);
}

TEST(SettingsChannel, RequestThatDoesNotFitIsNotSent)
{
    char request[kRequestSize];
    EXPECT_FALSE(FormatRequest(request, std::string(kRequestSize, 'x')));
    EXPECT_EQ(std::string(request, kRequestSize), std::string(kRequestSize, '\0'));
    EXPECT_TRUE(FormatRequest(request, std::string(kRequestSize - 1, 'x')));
}

}  // namespace
