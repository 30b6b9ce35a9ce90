#include "firmware_sim/firmware_model.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace firmware_sim {
namespace {

constexpr char kQueryAp6[] = "root\\WMI:Q:ORV_AP:AP:6";
constexpr char kSetAp6[] = "root\\WMI:S:ORV_AP:AP:6:";

// The request buffer a client sends: the command, its NUL and zero padding to 80 bytes.
std::string Request(std::string_view command)
{
    std::string message(command);
    message.resize(kSettingsRequestSize, '\0');
    return message;
}

SettingsOutcome Send(FirmwareModel& model, std::string_view command)
{
    std::string message = Request(command);
    return model.HandleSettingsRequest(message, message.size());
}

std::string AnswerOf(FirmwareModel& model, std::string_view command)
{
    SettingsOutcome outcome = Send(model, command);
    return outcome.action == SettingsAction::kAnswer ? outcome.answer : "<no answer>";
}

FirmwareModel MakeModel()
{
    return FirmwareModel(StoredValues{11, -22, 16});
}

TEST(FirmwareModelSettings, AnswersEachAcceptedCommand)
{
    struct Case {
        std::string command;
        std::string answer;
        std::string journal;
    };
    const std::vector<Case> cases = {
        {"root\\WMI:Q:ORV_System:System:0", std::string("11\0", 3),
         "SETTINGS root\\WMI:Q:ORV_System:System:0 -> 11"},
        {"root\\WMI:Q:ORV_System:System:1", std::string("-22\0", 4),
         "SETTINGS root\\WMI:Q:ORV_System:System:1 -> -22"},
        {kQueryAp6, std::string("16\0", 3), "SETTINGS root\\WMI:Q:ORV_AP:AP:6 -> 16"},
        {std::string(kSetAp6) + "18", std::string("18\0", 3), "SETTINGS root\\WMI:S:ORV_AP:AP:6:18 -> 18"},
        {std::string(kSetAp6) + "-2147483648", std::string("-2147483648\0", 12),
         "SETTINGS root\\WMI:S:ORV_AP:AP:6:-2147483648 -> -2147483648"},
        {std::string(kSetAp6) + "2147483647", std::string("2147483647\0", 11),
         "SETTINGS root\\WMI:S:ORV_AP:AP:6:2147483647 -> 2147483647"},
        {std::string(kSetAp6) + "007", std::string("7\0", 2), "SETTINGS root\\WMI:S:ORV_AP:AP:6:007 -> 7"},
        {std::string(kSetAp6) + "-0", std::string("0\0", 2), "SETTINGS root\\WMI:S:ORV_AP:AP:6:-0 -> 0"},
    };
    for (const Case& c : cases) {
        FirmwareModel model = MakeModel();
        SettingsOutcome outcome = Send(model, c.command);
        EXPECT_EQ(outcome.action, SettingsAction::kAnswer) << c.command;
        EXPECT_EQ(outcome.answer, c.answer) << c.command;
        EXPECT_EQ(outcome.delay_ms, 0u) << c.command;
        EXPECT_EQ(outcome.journal_line, c.journal);
    }
}

TEST(FirmwareModelSettings, RefusesEverythingElseAndKeepsTheValue)
{
    const std::vector<std::string> commands = {
        "", "root\\WMI:Q:ORV_Foo:Foo:0", "root\\WMI:Q:ORV_AP:AP:7", "root\\CIMV2:Q:ORV_AP:AP:6",
        "root\\wmi:Q:ORV_AP:AP:6", "root\\WMI:Q:ORV_AP:AP:6:", "root\\WMI:S:ORV_System:System:0:1",
        "root\\WMI:X:ORV_AP:AP:6", "root\\WMI:Q:ORV_AP:AP:6 ",
        // Set values that are not an optional '-' and decimal digits within 32 bits.
        std::string(kSetAp6), std::string(kSetAp6) + "+5", std::string(kSetAp6) + "5 ",
        std::string(kSetAp6) + " 5", std::string(kSetAp6) + "1.5", std::string(kSetAp6) + "0x10",
        std::string(kSetAp6) + "-", std::string(kSetAp6) + "--1", std::string(kSetAp6) + "2147483648",
        std::string(kSetAp6) + "-2147483649", std::string(kSetAp6) + "99999999999999999999",
        std::string(kSetAp6) + "1:2"};
    for (const std::string& command : commands) {
        FirmwareModel model = MakeModel();
        SettingsOutcome outcome = Send(model, command);
        EXPECT_EQ(outcome.action, SettingsAction::kClose) << command;
        EXPECT_EQ(outcome.journal_line, "SETTINGS " + command + " -> refused");
        EXPECT_EQ(model.values().ap6, 16) << command;
    }
}

TEST(FirmwareModelSettings, RefusesMessagesThatAreNotAZeroPaddedRequestBuffer)
{
    struct Case {
        std::string message;  // the bytes received
        std::size_t size;     // the whole message's size
        std::string journal;
    };
    std::string padded = Request(kQueryAp6);
    std::string dirty_padding = padded;
    dirty_padding[60] = 'x';
    // A well-formed set filling all 80 bytes: the terminating NUL is missing.
    std::string unterminated_set = std::string(kSetAp6) + std::string(55, '0') + "18";
    const std::vector<Case> cases = {
        {padded.substr(0, 79), 79, "SETTINGS root\\WMI:Q:ORV_AP:AP:6 [size 79] -> refused"},
        {padded + '\0', 81, "SETTINGS root\\WMI:Q:ORV_AP:AP:6 [size 81] -> refused"},
        {std::string(kQueryAp6) + '\0', 23, "SETTINGS root\\WMI:Q:ORV_AP:AP:6 [size 23] -> refused"},
        {std::string(kQueryAp6), 22, "SETTINGS root\\WMI:Q:ORV_AP:AP:6 [size 22] -> refused"},
        {"", 0, "SETTINGS  [size 0] -> refused"},
        {padded, 5000, "SETTINGS root\\WMI:Q:ORV_AP:AP:6 [size 5000] -> refused"},  // only its start kept
        {dirty_padding, 80, "SETTINGS root\\WMI:Q:ORV_AP:AP:6 [padding] -> refused"},
        {std::string(80, 'A'), 80, "SETTINGS " + std::string(80, 'A') + " -> refused"},  // no NUL
        {unterminated_set, 80, "SETTINGS " + unterminated_set + " -> refused"},
    };
    for (const Case& c : cases) {
        FirmwareModel model = MakeModel();
        SettingsOutcome outcome = model.HandleSettingsRequest(c.message, c.size);
        EXPECT_EQ(outcome.action, SettingsAction::kClose) << c.journal;
        EXPECT_EQ(outcome.journal_line, c.journal);
    }
}

TEST(FirmwareModelFaults, EachFaultTakesAQuery)
{
    struct Case {
        std::string fault;
        SettingsAction action;
        std::string answer;
        std::uint32_t delay_ms;
        std::string journal_result;
    };
    const std::vector<Case> cases = {
        {"close", SettingsAction::kClose, "", 0, "fault close"},
        {"hang", SettingsAction::kHang, "", 0, "fault hang"},
        {"reply abc", SettingsAction::kAnswer, std::string("abc\0", 4), 0, "fault reply abc"},
        {"nonul 42", SettingsAction::kAnswer, "42", 0, "fault nonul 42"},
        {"overlong 5", SettingsAction::kAnswer, std::string("11111\0", 6), 0, "fault overlong 5"},
        {"slow 1500", SettingsAction::kAnswer, std::string("16\0", 3), 1500, "fault slow 1500 16"},
        {"failset", SettingsAction::kAnswer, std::string("16\0", 3), 0, "16"},  // queries are not its concern
        {"down", SettingsAction::kAnswer, std::string("16\0", 3), 0, "16"},     // a connected one is served
    };
    for (const Case& c : cases) {
        FirmwareModel model = MakeModel();
        ASSERT_EQ(model.ApplyControl("fault " + c.fault).answer, "ok");
        SettingsOutcome outcome = Send(model, kQueryAp6);
        EXPECT_EQ(outcome.action, c.action) << c.fault;
        EXPECT_EQ(outcome.answer, c.answer) << c.fault;
        EXPECT_EQ(outcome.delay_ms, c.delay_ms) << c.fault;
        EXPECT_EQ(outcome.journal_line, "SETTINGS root\\WMI:Q:ORV_AP:AP:6 -> " + c.journal_result);
        EXPECT_EQ(AnswerOf(model, "root\\WMI:Q:ORV_AP:AP:7"), "<no answer>") << "refusal beats " << c.fault;
    }
}

TEST(FirmwareModelFaults, FailsetAnswersTheStoredValueOfSetsOnly)
{
    FirmwareModel model = MakeModel();
    model.ApplyControl("fault failset --skip 1 --count 1");
    EXPECT_EQ(AnswerOf(model, kQueryAp6), std::string("16\0", 3));  // queries count for neither
    EXPECT_EQ(AnswerOf(model, std::string(kSetAp6) + "20"), std::string("20\0", 3));  // skipped
    SettingsOutcome failed = Send(model, std::string(kSetAp6) + "21");
    EXPECT_EQ(failed.answer, std::string("20\0", 3));
    EXPECT_EQ(failed.journal_line, "SETTINGS root\\WMI:S:ORV_AP:AP:6:21 -> fault failset 20");
    EXPECT_EQ(model.values().ap6, 20);
    EXPECT_EQ(AnswerOf(model, std::string(kSetAp6) + "22"), std::string("22\0", 3));  // count used up
}

TEST(FirmwareModelFaults, SkipAndCountBoundTheFaultedExchanges)
{
    FirmwareModel model = MakeModel();
    model.ApplyControl("fault close --count 2 --skip 2");
    std::vector<SettingsAction> seen;
    for (int i = 0; i < 6; ++i) {
        Send(model, "root\\WMI:Q:Bad");  // refusals are no exchange of the fault's
        seen.push_back(Send(model, kQueryAp6).action);
    }
    const std::vector<SettingsAction> expected = {SettingsAction::kAnswer, SettingsAction::kAnswer,
                                                  SettingsAction::kClose,  SettingsAction::kClose,
                                                  SettingsAction::kAnswer, SettingsAction::kAnswer};
    EXPECT_EQ(seen, expected);

    model.ApplyControl("fault close");  // without --count it stays
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Send(model, kQueryAp6).action, SettingsAction::kClose);
    model.ApplyControl("fault none");
    EXPECT_EQ(Send(model, kQueryAp6).action, SettingsAction::kAnswer);
}

TEST(FirmwareModelControl, AcceptedCommands)
{
    struct Case {
        std::string command;
        std::string answer;
        ControlEffect effect;
        bool fault_changed;
    };
    const std::vector<Case> cases = {
        {"ping", "ok", ControlEffect::kNone, false},
        {"get system0", "ok 11", ControlEffect::kNone, false},
        {"get system1", "ok -22", ControlEffect::kNone, false},
        {"  get   ap6 ", "ok 16", ControlEffect::kNone, false},
        {"set ap6 -7", "ok", ControlEffect::kNone, false},
        {"subscribers", "", ControlEffect::kCountSubscribers, false},
        {"event 7", "", ControlEffect::kRaiseEvent, false},
        {"event 0x60 10", "", ControlEffect::kRaiseEvent, false},
        {"stop", "ok", ControlEffect::kStop, false},
        {"fault none", "ok", ControlEffect::kNone, true},
        // The reply text is the next word, whatever it is.
        {"fault reply --count", "ok", ControlEffect::kNone, true},
        {"fault overlong 65536 --skip 0 --count 4294967295", "ok", ControlEffect::kNone, true},
        {"fault slow 0", "ok", ControlEffect::kNone, true},
        {"fault down --skip 3", "ok", ControlEffect::kNone, true},
    };
    for (const Case& c : cases) {
        FirmwareModel model = MakeModel();
        ControlOutcome outcome = model.ApplyControl(c.command);
        EXPECT_EQ(outcome.answer, c.answer) << c.command;
        EXPECT_EQ(outcome.effect, c.effect) << c.command;
        EXPECT_EQ(outcome.fault_changed, c.fault_changed) << c.command;
        EXPECT_EQ(outcome.journal_line, "# " + c.command);
    }
}

TEST(FirmwareModelControl, RefusesBadCommandsAndKeepsTheState)
{
    const std::vector<std::string> commands = {
        // Unknown or malformed commands.
        "", "   ", "pong", "PING", "ping now", "subscribers 1", "stop now",
        // Values: unknown names, bad or out-of-range numbers, extra words.
        "get", "get ap7", "get ap6 x", "set ap6", "set ap7 1", "set ap6 x", "set ap6 2147483648",
        "set ap6 0x100000000", "set ap6 1 2", "event", "event -1", "event 0x100000000", "event 1 0",
        "event 1 1001", "event 1 x", "event 1 2 3",
        // Faults: unknown names, missing or out-of-range arguments, bad or repeated options.
        "fault", "fault bogus", "fault none --skip 1", "fault reply", "fault overlong 0",
        "fault overlong 65537", "fault overlong x", "fault slow -1", "fault slow 600001", "fault close extra",
        "fault close --skip", "fault close --skip x", "fault close --count 0",
        "fault close --skip 1 --skip 2", "fault close --count 1 --count 2", "fault down --count 1",
        "fault close --delay 5"};
    for (const std::string& command : commands) {
        FirmwareModel model = MakeModel();
        model.ApplyControl("fault hang");
        ControlOutcome outcome = model.ApplyControl(command);
        EXPECT_TRUE(outcome.answer.starts_with("error ")) << command << ": " << outcome.answer;
        EXPECT_EQ(outcome.effect, ControlEffect::kNone) << command;
        EXPECT_FALSE(outcome.fault_changed) << command;
        EXPECT_EQ(model.values().ap6, 16) << command;
        EXPECT_EQ(Send(model, kQueryAp6).action, SettingsAction::kHang) << "old fault kept after " << command;
    }
}

TEST(FirmwareModelSubscription, AcceptsOnlyTheOrvEventQueryIgnoringCase)
{
    struct Case {
        std::string message;
        std::uint32_t status;
        std::string journal;
    };
    const std::vector<Case> cases = {
        {"root\\wmi\nWQL\nSelect * from ORV_Event", 0,
         "SUBSCRIBE root\\wmi|WQL|Select * from ORV_Event -> 0"},
        {"ROOT\\WMI\nwql\nSELECT * FROM orv_event", 0,
         "SUBSCRIBE ROOT\\WMI|wql|SELECT * FROM orv_event -> 0"},
        {"root\\cimv2\nWQL\nSelect * from ORV_Event", 1,
         "SUBSCRIBE root\\cimv2|WQL|Select * from ORV_Event -> 1"},
        {"root\\wmi\nSQL\nSelect * from ORV_Event", 1,
         "SUBSCRIBE root\\wmi|SQL|Select * from ORV_Event -> 1"},
        {"root\\wmi\nWQL\nSelect * from Other", 1, "SUBSCRIBE root\\wmi|WQL|Select * from Other -> 1"},
        {"root\\wmi\nWQL\nSelect * from ORV_Event\n", 1,
         "SUBSCRIBE root\\wmi|WQL|Select * from ORV_Event| -> 1"},
        {"root\\wmi\r\nWQL\r\nSelect * from ORV_Event", 1,
         "SUBSCRIBE root\\wmi\\x0D|WQL\\x0D|Select * from ORV_Event -> 1"},
        {std::string("root\\wmi\nWQL\nSelect * from ORV_Event") + '\0', 1,
         "SUBSCRIBE root\\wmi|WQL|Select * from ORV_Event\\x00 -> 1"},
        {"root\\wmi\nWQL", 1, "SUBSCRIBE root\\wmi|WQL -> 1"},
        {"", 1, "SUBSCRIBE  -> 1"},
    };
    FirmwareModel model = MakeModel();
    for (const Case& c : cases) {
        SubscriptionOutcome outcome = model.HandleSubscription(c.message, c.message.size());
        EXPECT_EQ(outcome.status, c.status) << c.journal;
        EXPECT_EQ(outcome.journal_line, c.journal);
    }
    std::string good = cases[0].message;
    SubscriptionOutcome truncated = model.HandleSubscription(good, 5000);
    EXPECT_EQ(truncated.status, 1u);
    EXPECT_EQ(truncated.journal_line, "SUBSCRIBE root\\wmi|WQL|Select * from ORV_Event [size 5000] -> 1");
}

}  // namespace
}  // namespace firmware_sim
