#include "firmware_sim/service_state.h"

namespace firmware_sim {

ServiceState::ServiceState(StoredValues initial, Journal& journal)
    : model_(initial),
      journal_(journal),
      hang_release_(std::make_shared<UniqueHandle>(MakeManualResetEvent()))
{
}

SettingsDecision ServiceState::DecideSettings(std::string_view message, std::size_t message_size)
{
    std::lock_guard lock(mutex_);
    SettingsDecision decision{model_.HandleSettingsRequest(message, message_size), nullptr};
    if (decision.outcome.action == SettingsAction::kHang)
        decision.hang_release = hang_release_;
    journal_.Write(decision.outcome.journal_line);
    return decision;
}

std::uint32_t ServiceState::DecideSubscription(std::string_view message, std::size_t message_size)
{
    std::lock_guard lock(mutex_);
    SubscriptionOutcome outcome = model_.HandleSubscription(message, message_size);
    journal_.Write(outcome.journal_line);
    return outcome.status;
}

void ServiceState::NoteUnsubscribe()
{
    std::lock_guard lock(mutex_);
    journal_.Write(FirmwareModel::UnsubscribeJournalLine());
}

ControlOutcome ServiceState::ApplyControl(std::string_view command)
{
    std::lock_guard lock(mutex_);
    ControlOutcome outcome = model_.ApplyControl(command);
    journal_.Write(outcome.journal_line);
    if (outcome.fault_changed) {
        // Exchanges hung so far end; later hangs wait for the next change.
        SetEvent(hang_release_->Get());
        hang_release_ = std::make_shared<UniqueHandle>(MakeManualResetEvent());
    }
    return outcome;
}

void ServiceState::NoteEvent(std::uint32_t code, std::size_t subscribers)
{
    std::lock_guard lock(mutex_);
    journal_.Write(FirmwareModel::EventJournalLine(code, subscribers));
}

bool ServiceState::IsDown()
{
    std::lock_guard lock(mutex_);
    return model_.IsDown();
}

}  // namespace firmware_sim
