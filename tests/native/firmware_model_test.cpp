// The simulator's answers that the end-to-end scenarios rely on: a simulator that answered what the real
// service refuses would let a wrong request pass them.
#include "firmware_sim/firmware_model.h"

#include <gtest/gtest.h>

namespace firmware_sim {
namespace {

const std::string kQueryAp6 = "root\\WMI:Q:ORV_AP:AP:6", kSetAp6 = "root\\WMI:S:ORV_AP:AP:6:";

std::string Padded(const std::string& command)
{
    return command + std::string(kSettingsRequestSize - command.size(), '\0');
}

TEST(FirmwareModel, SettingsRequests)
{
    std::string dirty = Padded(kQueryAp6);
    dirty[60] = 'x';
    struct Case {
        std::string message;
        std::size_t size;
        std::string answer;  // empty: the connection is closed without one
        std::int32_t ap6;    // afterwards
    };
    const Case cases[] = {
        {Padded("root\\WMI:Q:ORV_System:System:0"), 80, std::string("11\0", 3), 16},
        {Padded("root\\WMI:Q:ORV_System:System:1"), 80, std::string("-22\0", 4), 16},
        {Padded(kQueryAp6), 80, std::string("16\0", 3), 16},
        {Padded(kSetAp6 + "18"), 80, std::string("18\0", 3), 18},
        {Padded(kSetAp6 + "-2147483648"), 80, std::string("-2147483648\0", 12), INT32_MIN},
        // Only an 80-byte, NUL-terminated, zero-padded request of a known command is answered.
        {Padded(kQueryAp6).substr(0, 79), 79, "", 16},
        {kQueryAp6 + '\0', 23, "", 16},
        {Padded(kQueryAp6), 5000, "", 16},
        {dirty, 80, "", 16},
        {kSetAp6 + std::string(55, '0') + "18", 80, "", 16},
        {Padded("root\\WMI:Q:ORV_AP:AP:7"), 80, "", 16},
        {Padded("root\\wmi:Q:ORV_AP:AP:6"), 80, "", 16},
        {Padded(kQueryAp6 + " "), 80, "", 16},
        {Padded("root\\WMI:S:ORV_System:System:0:1"), 80, "", 16},
    };
    std::size_t row = 0;
    for (const Case& c : cases) {
        FirmwareModel model(StoredValues{11, -22, 16});
        const SettingsOutcome outcome = model.HandleSettingsRequest(c.message, c.size);
        EXPECT_EQ(outcome.action, c.answer.empty() ? SettingsAction::kClose : SettingsAction::kAnswer) << row;
        EXPECT_EQ(outcome.answer, c.answer) << row;
        EXPECT_EQ(model.values().ap6, c.ap6) << row++;
    }
    // A set value is an optional minus and decimal digits within 32 bits, nothing else.
    for (const std::string value :
         {"", "+5", " 5", "5 ", "1.5", "0x10", "-", "--1", "2147483648", "-2147483649"}) {
        FirmwareModel model(StoredValues{11, -22, 16});
        EXPECT_EQ(model.HandleSettingsRequest(Padded(kSetAp6 + value), 80).action, SettingsAction::kClose)
            << value;
        EXPECT_EQ(model.values().ap6, 16) << value;
    }
}

TEST(FirmwareModel, EachFaultTakesAnExchange)
{
    const std::pair<std::string, std::string> cases[] = {
        {"close", ""},
        {"reply abc", std::string("abc\0", 4)},
        {"nonul 42", "42"},
        {"overlong 5", std::string("11111\0", 6)},
        {"failset", std::string("16\0", 3)},
    };
    for (const auto& [fault, answer] : cases) {
        FirmwareModel model(StoredValues{11, -22, 16});
        ASSERT_EQ(model.ApplyControl("fault " + fault + " --count 1").answer, "ok");
        const std::string request = Padded(fault == "failset" ? kSetAp6 + "17" : kQueryAp6);
        const SettingsOutcome outcome = model.HandleSettingsRequest(request, 80);
        EXPECT_EQ(outcome.action, answer.empty() ? SettingsAction::kClose : SettingsAction::kAnswer) << fault;
        EXPECT_EQ(outcome.answer, answer) << fault;
        EXPECT_EQ(model.values().ap6, 16) << fault;
        EXPECT_EQ(model.HandleSettingsRequest(request, 80).action, SettingsAction::kAnswer) << fault;
    }
}

TEST(FirmwareModel, AcceptsOnlyTheOrvEventSubscriptionIgnoringCase)
{
    const std::pair<std::string, std::uint32_t> cases[] = {
        {"root\\wmi\nWQL\nSelect * from ORV_Event", 0},     {"ROOT\\WMI\nwql\nSELECT * FROM orv_event", 0},
        {"root\\cimv2\nWQL\nSelect * from ORV_Event", 1},   {"root\\wmi\nWQL\nSelect * from ORV_Event\n", 1},
        {"root\\wmi\r\nWQL\r\nSelect * from ORV_Event", 1}, {"root\\wmi\nWQL", 1},
    };
    const FirmwareModel model(StoredValues{});
    for (const auto& [message, status] : cases) {
        EXPECT_EQ(model.HandleSubscription(message, message.size()).status, status) << message;
    }
}

}  // namespace
}  // namespace firmware_sim
