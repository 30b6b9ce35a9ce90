// State and decisions of the simulated firmware service. Portable: the Win32 servers only move bytes
// between the pipes and this model, so everything that decides an answer is tested natively.
// Not thread-safe; the caller serialises access.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "firmware/firmware_pipes.h"

namespace firmware_sim {

inline constexpr std::size_t kSettingsRequestSize = firmware_pipes::kRequestSize;
// Status answered to a subscription the service does not accept.
inline constexpr std::uint32_t kSubscriptionRefused = 1;

enum class SettingsAction {
    kAnswer,  // write `answer` as one message, after `delay_ms`
    kClose,   // close the connection without an answer
    kHang,    // keep the connection open and unanswered until the fault changes or the service stops
};

struct SettingsOutcome {
    SettingsAction action = SettingsAction::kClose;
    std::string answer;  // the whole answer message; carries its NUL unless a fault leaves it out
    std::uint32_t delay_ms = 0;
    std::string journal_line;
};

struct SubscriptionOutcome {
    std::uint32_t status = kSubscriptionRefused;
    std::string journal_line;
};

enum class ControlEffect {
    kNone,              // `answer` is complete
    kRaiseEvent,        // write `event_code` `event_count` times to every subscriber, then answer
                        // CountAnswer(written)
    kCountSubscribers,  // answer CountAnswer(subscribers)
    kStop,              // answer, then end the service
};

struct ControlOutcome {
    std::string answer;
    std::string journal_line;
    ControlEffect effect = ControlEffect::kNone;
    std::uint32_t event_code = 0;
    std::uint32_t event_count = 1;  // a burst: the same code this many times in a row
    bool fault_changed = false;     // a fault command was accepted: hung exchanges are let go
};

struct StoredValues {
    std::int32_t system0 = 0;
    std::int32_t system1 = 0;
    std::int32_t ap6 = 0;
};

class FirmwareModel {
public:
    explicit FirmwareModel(StoredValues initial);

    // `message` holds the bytes received (possibly only the start of an oversized message);
    // `message_size` is the size of the whole message.
    SettingsOutcome HandleSettingsRequest(std::string_view message, std::size_t message_size);
    SubscriptionOutcome HandleSubscription(std::string_view message, std::size_t message_size) const;
    ControlOutcome ApplyControl(std::string_view command);

    // True while the `down` fault is in force: neither the settings nor the event pipe is served.
    bool IsDown() const;
    const StoredValues& values() const { return values_; }

    static std::string EventJournalLine(std::uint32_t code, std::size_t subscribers);
    static std::string UnsubscribeJournalLine();
    static std::string CountAnswer(std::size_t count);

private:
    enum class FaultKind { kNone, kDown, kClose, kReply, kNoNul, kOverlong, kSlow, kHang, kFailSet };

    struct Fault {
        FaultKind kind = FaultKind::kNone;
        std::string text;          // reply, nonul
        std::uint32_t number = 0;  // overlong: length; slow: delay in ms
        std::uint32_t skip_left = 0;
        std::optional<std::uint32_t> count_left;
    };

    struct Command {
        std::int32_t* value;
        std::optional<std::int32_t> new_value;  // set only
    };

    std::optional<Command> ParseSettingsCommand(std::string_view text);
    std::optional<Fault> TakeFault(bool is_set);
    SettingsOutcome Serve(const Command& command, std::string_view request);
    SettingsOutcome ServeFaulted(const Fault& fault, const Command& command, std::string_view request);
    std::string ApplyFaultCommand(std::span<const std::string_view> words);
    std::int32_t* ValueByName(std::string_view name);

    StoredValues values_;
    Fault fault_;
};

// Value of a settings set: an optional minus sign and decimal digits within the 32-bit signed range.
std::optional<std::int32_t> ParseSetValue(std::string_view text);
// Value given on the command line or to `ctl set`: a settings set value, or 0x-hex up to 32 bits
// (taken as the two's complement bit pattern, as firmware words often are masks).
std::optional<std::int32_t> ParseValueArgument(std::string_view text);
// Event code: decimal or 0x-hex, unsigned 32 bits.
std::optional<std::uint32_t> ParseEventCode(std::string_view text);
// Bytes as the journal writes them: printable ASCII as is, anything else as \xNN.
std::string EscapeForJournal(std::string_view bytes);

}  // namespace firmware_sim
