// The simulator's answers that the end-to-end scenarios rely on: a simulator that answered what the real
// service refuses would let a wrong request pass them.
#include "firmware_sim/firmware_model.h"

#include <gtest/gtest.h>

namespace firmware_sim {
namespace {

const std::string kAp6 = "root\\WMI:Q:ORV_AP:AP:6", kSet = "root\\WMI:S:ORV_AP:AP:6:";

std::string Padded(const std::string& command)
{
    return command + std::string(kSettingsRequestSize - command.size(), '\0');
}

// What the model does with the message (padded to its size of 80), checking AP item 6 afterwards.
std::pair<SettingsAction, std::string> Outcome(const std::string& message, std::size_t size = 80,
                                               std::int32_t ap6 = 16)
{
    FirmwareModel model(StoredValues{11, -22, 16});
    const SettingsOutcome outcome = model.HandleSettingsRequest(size == 80 ? Padded(message) : message, size);
    EXPECT_EQ(model.values().ap6, ap6) << message;
    return {outcome.action, outcome.answer};
}

TEST(FirmwareModel, AnswersOnlyWhatTheServiceAnswers)
{
    using A = SettingsAction;
    using Answer = std::pair<SettingsAction, std::string>;
    EXPECT_EQ(Outcome("root\\WMI:Q:ORV_System:System:0"), Answer(A::kAnswer, {"11\0", 3}));
    EXPECT_EQ(Outcome("root\\WMI:Q:ORV_System:System:1"), Answer(A::kAnswer, {"-22\0", 4}));
    EXPECT_EQ(Outcome(kAp6), Answer(A::kAnswer, {"16\0", 3}));
    EXPECT_EQ(Outcome(kSet + "-2147483648", 80, INT32_MIN), Answer(A::kAnswer, {"-2147483648\0", 12}));

    // Only an 80-byte, NUL-terminated, zero-padded request of a known command is answered; a set value is an
    // optional minus and decimal digits within 32 bits.
    std::string dirty = Padded(kAp6);
    dirty[60] = 'x';
    const std::pair<std::string, std::size_t> refused[] = {
        {Padded(kAp6).substr(0, 79), 79},         {kAp6 + '\0', 23}, {Padded(kAp6), 5000}, {dirty, 80},
        {kSet + std::string(55, '0') + "18", 80},
    };
    for (const auto& [message, size] : refused) {
        EXPECT_EQ(Outcome(message, size).first, A::kClose) << message << " " << size;
    }
    for (const std::string& command : std::initializer_list<std::string>{
             kAp6 + " ", "root\\WMI:Q:ORV_AP:AP:7", "root\\wmi:Q:ORV_AP:AP:6",
             "root\\WMI:S:ORV_System:System:0:1", kSet, kSet + "+5", kSet + " 5", kSet + "5 ", kSet + "0x10",
             kSet + "--1", kSet + "2147483648", kSet + "-2147483649"}) {
        EXPECT_EQ(Outcome(command).first, A::kClose) << command;
    }
    // The event subscription: the ORV_Event query in root\wmi, ignoring case, and nothing more.
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
