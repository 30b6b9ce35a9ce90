// The firmware model shared by the servers' threads: each decision is taken and journaled under one
// lock, so the journal shows the order in which the service decided.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>

#include "firmware_sim/firmware_model.h"
#include "firmware_sim/journal.h"
#include "platform/unique_handle.h"

namespace firmware_sim {

struct SettingsDecision {
    SettingsOutcome outcome;
    // For a hung exchange: signalled when the fault is changed, which lets the exchange go.
    std::shared_ptr<UniqueHandle> hang_release;
};

class ServiceState {
public:
    ServiceState(StoredValues initial, Journal& journal);

    SettingsDecision DecideSettings(std::string_view message, std::size_t message_size);
    std::uint32_t DecideSubscription(std::string_view message, std::size_t message_size);
    void NoteUnsubscribe();
    ControlOutcome ApplyControl(std::string_view command);
    void NoteEvent(std::uint32_t code, std::size_t subscribers);
    bool IsDown();

private:
    std::mutex mutex_;
    FirmwareModel model_;
    Journal& journal_;
    std::shared_ptr<UniqueHandle> hang_release_;
};

}  // namespace firmware_sim
