#include "firmware_sim/event_server.h"

#include <chrono>
#include <string>

#include "firmware/firmware_pipes.h"

namespace firmware_sim {
namespace {

constexpr std::size_t kMaxKeptSubscription = 4096;
constexpr DWORD kSubscriptionTimeoutMs = 5000;
// A subscriber that does not take its events within this long is dropped.
constexpr DWORD kEventWriteTimeoutMs = 1000;
// Bound on waiting for dropped subscribers to be gone.
constexpr auto kDropWait = std::chrono::seconds(2);

std::string LittleEndian(std::uint32_t value)
{
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return bytes;
}

}  // namespace

EventServer::EventServer(ServiceState& state, HANDLE stop_event)
    : state_(state),
      stop_event_(stop_event),
      listener_(firmware_pipes::kEventPipe,
                [this](PipeConnection connection) { Serve(std::move(connection)); })
{
}

void EventServer::Pause()
{
    listener_.Pause();
    std::unique_lock lock(mutex_);
    paused_ = true;
    for (Subscriber* subscriber : subscribers_)
        SetEvent(subscriber->drop_event.Get());
    subscribers_changed_.wait_for(lock, kDropWait, [this] { return subscribers_.empty(); });
}

void EventServer::Resume()
{
    {
        std::lock_guard lock(mutex_);
        paused_ = false;
    }
    listener_.Resume();
}

std::size_t EventServer::Broadcast(std::uint32_t code)
{
    std::string message = LittleEndian(code);
    std::lock_guard lock(mutex_);
    std::size_t written = 0;
    for (Subscriber* subscriber : subscribers_) {
        if (subscriber->connection->WriteMessage(message, kEventWriteTimeoutMs, stop_event_) ==
            PipeIo::kDone) {
            ++written;
        } else {
            SetEvent(subscriber->drop_event.Get());
        }
    }
    return written;
}

std::size_t EventServer::SubscriberCount()
{
    std::lock_guard lock(mutex_);
    return subscribers_.size();
}

void EventServer::Serve(PipeConnection connection)
{
    PipeMessage subscription =
        connection.ReadMessage(kMaxKeptSubscription, kSubscriptionTimeoutMs, stop_event_);
    if (subscription.result != PipeIo::kDone)
        return;
    std::uint32_t status = state_.DecideSubscription(subscription.bytes, subscription.size);
    if (status != firmware_pipes::kSubscriptionAccepted) {
        if (connection.WriteMessage(LittleEndian(status), firmware_pipes::kExchangeTimeoutMs, stop_event_) ==
            PipeIo::kDone) {
            connection.AwaitPeerClose(firmware_pipes::kExchangeTimeoutMs, stop_event_);
        }
        return;
    }
    HoldSubscriber(connection);
}

void EventServer::HoldSubscriber(PipeConnection& connection)
{
    Subscriber self{&connection, MakeManualResetEvent()};
    bool held = false;
    {
        // The answer goes out under the lock, so that no event code can overtake it.
        std::lock_guard lock(mutex_);
        std::string accepted = LittleEndian(firmware_pipes::kSubscriptionAccepted);
        if (!paused_ && connection.WriteMessage(accepted, firmware_pipes::kExchangeTimeoutMs, stop_event_) ==
                            PipeIo::kDone) {
            subscribers_.push_back(&self);
            held = true;
        }
    }
    // Anything a subscriber sends is ignored; the read ends when it goes, is dropped, or we stop.
    while (held &&
           connection.ReadMessage(0, INFINITE, stop_event_, self.drop_event.Get()).result == PipeIo::kDone) {
    }
    // Journaled before it leaves the list, so that whoever waits for the list to empty finds the line.
    state_.NoteUnsubscribe();
    if (!held)
        return;
    {
        std::lock_guard lock(mutex_);
        subscribers_.remove(&self);
    }
    subscribers_changed_.notify_all();
}

}  // namespace firmware_sim
