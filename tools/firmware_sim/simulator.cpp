#include "firmware_sim/simulator.h"

namespace firmware_sim {

Simulator::Simulator(StoredValues initial, Journal& journal)
    : stop_event_(MakeManualResetEvent()),
      state_(initial, journal),
      settings_(state_, stop_event_.Get(), [this] { SyncDownState(); }),
      events_(state_, stop_event_.Get()),
      control_([this](std::string_view command) { return Execute(command); }, stop_event_.Get())
{
}

bool Simulator::Start()
{
    if (!stop_event_ || !settings_.Start())
        return false;
    if (events_.Start() && control_.Start())
        return true;
    SetEvent(stop_event_.Get());
    settings_.Stop();
    events_.Stop();
    return false;
}

int Simulator::Run()
{
    WaitForSingleObject(stop_event_.Get(), INFINITE);
    {
        std::lock_guard lock(sync_mutex_);
        stopping_ = true;
    }
    // Every handler waits on the stop event too, so these return promptly even with hung exchanges.
    control_.Stop();
    settings_.Stop();
    events_.Stop();
    return 0;
}

ControlReply Simulator::Execute(std::string_view command)
{
    ControlOutcome outcome = state_.ApplyControl(command);
    ControlReply reply{outcome.answer};
    switch (outcome.effect) {
        case ControlEffect::kNone:
            break;
        case ControlEffect::kRaiseEvent: {
            std::size_t written = 0;
            for (std::uint32_t i = 0; i < outcome.event_count; ++i) {
                written = events_.Broadcast(outcome.event_code);
                state_.NoteEvent(outcome.event_code, written);
            }
            reply.answer = FirmwareModel::CountAnswer(written);
            break;
        }
        case ControlEffect::kCountSubscribers:
            reply.answer = FirmwareModel::CountAnswer(events_.SubscriberCount());
            break;
        case ControlEffect::kStop:
            reply.stop = true;
            break;
    }
    if (outcome.fault_changed)
        SyncDownState();
    return reply;
}

void Simulator::SyncDownState()
{
    std::lock_guard lock(sync_mutex_);
    bool down = state_.IsDown();
    if (stopping_ || down == down_)
        return;
    down_ = down;
    if (down) {
        settings_.Pause();
        events_.Pause();
    } else {
        settings_.Resume();
        events_.Resume();
    }
}

}  // namespace firmware_sim
