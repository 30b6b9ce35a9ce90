#include "firmware_sim/firmware_model.h"

#include <algorithm>
#include <span>
#include <vector>

#include "firmware/firmware_pipes.h"

namespace firmware_sim {
namespace {

constexpr std::string_view kQuerySystem0 = "root\\WMI:Q:ORV_System:System:0";
constexpr std::string_view kQuerySystem1 = "root\\WMI:Q:ORV_System:System:1";
constexpr std::string_view kQueryAp6 = "root\\WMI:Q:ORV_AP:AP:6";
constexpr std::string_view kSetAp6Prefix = "root\\WMI:S:ORV_AP:AP:6:";

constexpr std::string_view kSubscriptionNamespace = "root\\wmi";
constexpr std::string_view kSubscriptionLanguage = "WQL";
constexpr std::string_view kSubscriptionQuery = "Select * from ORV_Event";

// Bounds that keep a mistyped fault from exhausting memory or time.
constexpr std::uint32_t kMaxOverlongLength = 65536;
constexpr std::uint32_t kMaxSlowDelayMs = 600000;

constexpr std::uint64_t kUint32Limit = 0xFFFFFFFFull;

std::optional<std::uint64_t> ParseDigits(std::string_view text, unsigned base, std::uint64_t limit)
{
    if (text.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        unsigned digit;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = static_cast<unsigned>(c - 'a' + 10);
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = static_cast<unsigned>(c - 'A' + 10);
        } else {
            return std::nullopt;
        }
        if (digit >= base)
            return std::nullopt;
        value = value * base + digit;
        if (value > limit)
            return std::nullopt;
    }
    return value;
}

bool HasHexPrefix(std::string_view text)
{
    return text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

std::optional<std::uint32_t> ParseCount(std::string_view text)
{
    auto value = ParseDigits(text, 10, kUint32Limit);
    if (!value)
        return std::nullopt;
    return static_cast<std::uint32_t>(*value);
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

std::vector<std::string_view> Split(std::string_view text, char separator, bool skip_empty)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (true) {
        std::size_t end = text.find(separator, start);
        std::string_view part = text.substr(start, end == std::string_view::npos ? end : end - start);
        if (!skip_empty || !part.empty())
            parts.push_back(part);
        if (end == std::string_view::npos)
            break;
        start = end + 1;
    }
    return parts;
}

std::string_view UpToNul(std::string_view bytes)
{
    return bytes.substr(0, bytes.find('\0'));
}

std::string SettingsLine(std::string_view request, std::string_view result)
{
    return "SETTINGS " + std::string(request) + " -> " + std::string(result);
}

SettingsOutcome Refuse(std::string_view request)
{
    SettingsOutcome outcome;
    outcome.action = SettingsAction::kClose;
    outcome.journal_line = SettingsLine(request, "refused");
    return outcome;
}

std::string Error(std::string_view reason)
{
    return "error " + std::string(reason);
}

}  // namespace

FirmwareModel::FirmwareModel(StoredValues initial) : values_(initial) {}

SettingsOutcome FirmwareModel::HandleSettingsRequest(std::string_view message, std::size_t message_size)
{
    std::string_view text = UpToNul(message);
    std::string request = EscapeForJournal(text);
    if (message_size != kSettingsRequestSize) {
        return Refuse(request + " [size " + std::to_string(message_size) + "]");
    }
    if (text.size() == message.size())
        return Refuse(request);  // no terminating NUL
    std::string_view padding = message.substr(text.size());
    if (padding.find_first_not_of('\0') != std::string_view::npos)
        return Refuse(request + " [padding]");

    std::optional<Command> command = ParseSettingsCommand(text);
    if (!command)
        return Refuse(request);
    if (std::optional<Fault> fault = TakeFault(command->new_value.has_value())) {
        return ServeFaulted(*fault, *command, request);
    }
    return Serve(*command, request);
}

std::optional<FirmwareModel::Command> FirmwareModel::ParseSettingsCommand(std::string_view text)
{
    if (text == kQuerySystem0)
        return Command{&values_.system0, std::nullopt};
    if (text == kQuerySystem1)
        return Command{&values_.system1, std::nullopt};
    if (text == kQueryAp6)
        return Command{&values_.ap6, std::nullopt};
    if (text.starts_with(kSetAp6Prefix)) {
        std::optional<std::int32_t> value = ParseSetValue(text.substr(kSetAp6Prefix.size()));
        if (value)
            return Command{&values_.ap6, value};
    }
    return std::nullopt;
}

// Decides whether the current fault takes this exchange. --skip and --count count only the exchanges
// the fault concerns (for failset: sets), so that a test's intent does not depend on how many
// read-backs the client makes in between.
std::optional<FirmwareModel::Fault> FirmwareModel::TakeFault(bool is_set)
{
    if (fault_.kind == FaultKind::kNone)
        return std::nullopt;
    if (fault_.kind == FaultKind::kFailSet && !is_set)
        return std::nullopt;
    if (fault_.skip_left > 0) {
        --fault_.skip_left;
        return std::nullopt;
    }
    Fault taken = fault_;
    if (fault_.count_left && --*fault_.count_left == 0)
        fault_ = Fault{};
    return taken;
}

SettingsOutcome FirmwareModel::Serve(const Command& command, std::string_view request)
{
    if (command.new_value)
        *command.value = *command.new_value;
    std::string value = std::to_string(*command.value);
    SettingsOutcome outcome;
    outcome.action = SettingsAction::kAnswer;
    outcome.answer = value + '\0';
    outcome.journal_line = SettingsLine(request, value);
    return outcome;
}

// A faulted set stores nothing: the firmware call failed. Only `slow` is a right answer, merely late.
SettingsOutcome FirmwareModel::ServeFaulted(const Fault& fault, const Command& command,
                                            std::string_view request)
{
    SettingsOutcome outcome;
    outcome.action = SettingsAction::kAnswer;
    std::string detail;
    switch (fault.kind) {
        case FaultKind::kClose:
            outcome.action = SettingsAction::kClose;
            detail = "close";
            break;
        case FaultKind::kHang:
            outcome.action = SettingsAction::kHang;
            detail = "hang";
            break;
        case FaultKind::kReply:
            outcome.answer = fault.text + '\0';
            detail = "reply " + EscapeForJournal(fault.text);
            break;
        case FaultKind::kNoNul:
            outcome.answer = fault.text;
            detail = "nonul " + EscapeForJournal(fault.text);
            break;
        case FaultKind::kOverlong:
            outcome.answer = std::string(fault.number, '1') + '\0';
            detail = "overlong " + std::to_string(fault.number);
            break;
        case FaultKind::kSlow: {
            outcome = Serve(command, request);
            outcome.delay_ms = fault.number;
            detail = "slow " + std::to_string(fault.number) + " " + std::to_string(*command.value);
            break;
        }
        case FaultKind::kFailSet:
            outcome.answer = std::to_string(*command.value) + '\0';
            detail = "failset " + std::to_string(*command.value);
            break;
        case FaultKind::kNone:
        case FaultKind::kDown:  // once down, an exchange that was already connected is still served
            return Serve(command, request);
    }
    outcome.journal_line = SettingsLine(request, "fault " + detail);
    return outcome;
}

SubscriptionOutcome FirmwareModel::HandleSubscription(std::string_view message,
                                                      std::size_t message_size) const
{
    std::vector<std::string_view> parts = Split(message, '\n', false);
    std::string shown;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            shown += '|';
        shown += EscapeForJournal(parts[i]);
    }
    if (message_size != message.size())
        shown += " [size " + std::to_string(message_size) + "]";

    bool accepted = message_size == message.size() && parts.size() == 3 &&
                    EqualsIgnoringCase(parts[0], kSubscriptionNamespace) &&
                    EqualsIgnoringCase(parts[1], kSubscriptionLanguage) &&
                    EqualsIgnoringCase(parts[2], kSubscriptionQuery);
    SubscriptionOutcome outcome;
    outcome.status = accepted ? firmware_pipes::kSubscriptionAccepted : kSubscriptionRefused;
    outcome.journal_line = "SUBSCRIBE " + shown + " -> " + std::to_string(outcome.status);
    return outcome;
}

ControlOutcome FirmwareModel::ApplyControl(std::string_view command)
{
    ControlOutcome outcome;
    outcome.journal_line = "# " + EscapeForJournal(command);
    std::vector<std::string_view> words = Split(command, ' ', true);
    if (words.empty()) {
        outcome.answer = Error("empty command");
        return outcome;
    }
    std::string_view verb = words[0];
    std::size_t count = words.size();
    if (verb == "ping" && count == 1) {
        outcome.answer = "ok";
    } else if (verb == "get" && count == 2) {
        std::int32_t* value = ValueByName(words[1]);
        outcome.answer =
            value ? "ok " + std::to_string(*value) : Error("unknown value " + std::string(words[1]));
    } else if (verb == "set" && count == 3) {
        std::int32_t* value = ValueByName(words[1]);
        std::optional<std::int32_t> new_value = ParseValueArgument(words[2]);
        if (!value) {
            outcome.answer = Error("unknown value " + std::string(words[1]));
        } else if (!new_value) {
            outcome.answer = Error("bad value " + std::string(words[2]));
        } else {
            *value = *new_value;
            outcome.answer = "ok";
        }
    } else if (verb == "event" && (count == 2 || count == 3)) {
        std::optional<std::uint32_t> code = ParseEventCode(words[1]);
        std::optional<std::int32_t> times =
            count == 3 ? ParseValueArgument(words[2]) : std::optional<std::int32_t>(1);
        if (!code) {
            outcome.answer = Error("bad event code " + std::string(words[1]));
        } else if (!times || *times < 1 || *times > 1000) {
            outcome.answer = Error("bad event count " + std::string(words[2]));
        } else {
            outcome.effect = ControlEffect::kRaiseEvent;
            outcome.event_code = *code;
            outcome.event_count = static_cast<std::uint32_t>(*times);
        }
    } else if (verb == "subscribers" && count == 1) {
        outcome.effect = ControlEffect::kCountSubscribers;
    } else if (verb == "fault") {
        outcome.answer = ApplyFaultCommand(std::span(words).subspan(1));
        outcome.fault_changed = outcome.answer == "ok";
    } else if (verb == "stop" && count == 1) {
        outcome.effect = ControlEffect::kStop;
        outcome.answer = "ok";
    } else {
        outcome.answer = Error("unknown command");
    }
    return outcome;
}

std::string FirmwareModel::ApplyFaultCommand(std::span<const std::string_view> words)
{
    if (words.empty())
        return Error("fault needs a name");
    std::string_view name = words[0];
    Fault fault;
    std::size_t next = 1;
    bool takes_argument = false;
    if (name == "none") {
        if (words.size() != 1)
            return Error("fault none takes no arguments");
    } else if (name == "down") {
        fault.kind = FaultKind::kDown;
    } else if (name == "close") {
        fault.kind = FaultKind::kClose;
    } else if (name == "hang") {
        fault.kind = FaultKind::kHang;
    } else if (name == "failset") {
        fault.kind = FaultKind::kFailSet;
    } else if (name == "reply" || name == "nonul") {
        fault.kind = name == "reply" ? FaultKind::kReply : FaultKind::kNoNul;
        takes_argument = true;
    } else if (name == "overlong" || name == "slow") {
        fault.kind = name == "overlong" ? FaultKind::kOverlong : FaultKind::kSlow;
        takes_argument = true;
    } else {
        return Error("unknown fault " + std::string(name));
    }

    if (takes_argument) {
        if (words.size() < 2)
            return Error("fault " + std::string(name) + " needs an argument");
        std::string_view argument = words[next++];
        if (fault.kind == FaultKind::kReply || fault.kind == FaultKind::kNoNul) {
            fault.text = std::string(argument);
        } else {
            std::optional<std::uint32_t> number = ParseCount(argument);
            bool overlong = fault.kind == FaultKind::kOverlong;
            std::uint32_t low = overlong ? 1 : 0;
            std::uint32_t high = overlong ? kMaxOverlongLength : kMaxSlowDelayMs;
            if (!number || *number < low || *number > high) {
                return Error("fault " + std::string(name) + " takes " + std::to_string(low) + ".." +
                             std::to_string(high));
            }
            fault.number = *number;
        }
    }

    bool has_skip = false;
    while (next < words.size()) {
        std::string_view option = words[next++];
        if (option != "--skip" && option != "--count")
            return Error("unexpected " + std::string(option));
        if (next >= words.size())
            return Error(std::string(option) + " needs a number");
        std::optional<std::uint32_t> number = ParseCount(words[next++]);
        if (!number)
            return Error("bad number for " + std::string(option));
        if (option == "--skip") {
            if (has_skip)
                return Error("--skip given twice");
            has_skip = true;
            fault.skip_left = *number;
        } else {
            if (fault.count_left)
                return Error("--count given twice");
            // Down cannot count the exchanges it prevents; it ends only with `fault none`.
            if (fault.kind == FaultKind::kDown)
                return Error("fault down takes no --count");
            if (*number == 0)
                return Error("--count must be at least 1");
            fault.count_left = *number;
        }
    }
    fault_ = fault;
    return "ok";
}

std::int32_t* FirmwareModel::ValueByName(std::string_view name)
{
    if (name == "system0")
        return &values_.system0;
    if (name == "system1")
        return &values_.system1;
    if (name == "ap6")
        return &values_.ap6;
    return nullptr;
}

bool FirmwareModel::IsDown() const
{
    return fault_.kind == FaultKind::kDown && fault_.skip_left == 0;
}

std::string FirmwareModel::EventJournalLine(std::uint32_t code, std::size_t subscribers)
{
    return "EVENT " + std::to_string(code) + " -> " + std::to_string(subscribers) + " subscribers";
}

std::string FirmwareModel::UnsubscribeJournalLine()
{
    return "UNSUBSCRIBE";
}

std::string FirmwareModel::CountAnswer(std::size_t count)
{
    return "ok " + std::to_string(count);
}

std::optional<std::int32_t> ParseSetValue(std::string_view text)
{
    bool negative = text.starts_with('-');
    if (negative)
        text.remove_prefix(1);
    std::optional<std::uint64_t> magnitude = ParseDigits(text, 10, negative ? 0x80000000ull : 0x7FFFFFFFull);
    if (!magnitude)
        return std::nullopt;
    std::int64_t value =
        negative ? -static_cast<std::int64_t>(*magnitude) : static_cast<std::int64_t>(*magnitude);
    return static_cast<std::int32_t>(value);
}

std::optional<std::int32_t> ParseValueArgument(std::string_view text)
{
    if (!HasHexPrefix(text))
        return ParseSetValue(text);
    std::optional<std::uint64_t> bits = ParseDigits(text.substr(2), 16, kUint32Limit);
    if (!bits)
        return std::nullopt;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(*bits));
}

std::optional<std::uint32_t> ParseEventCode(std::string_view text)
{
    std::optional<std::uint64_t> code = HasHexPrefix(text) ? ParseDigits(text.substr(2), 16, kUint32Limit)
                                                           : ParseDigits(text, 10, kUint32Limit);
    if (!code)
        return std::nullopt;
    return static_cast<std::uint32_t>(*code);
}

std::string EscapeForJournal(std::string_view bytes)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string escaped;
    escaped.reserve(bytes.size());
    for (char c : bytes) {
        auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F) {
            escaped += c;
        } else {
            escaped += "\\x";
            escaped += kHex[byte >> 4];
            escaped += kHex[byte & 0x0F];
        }
    }
    return escaped;
}

}  // namespace firmware_sim
