// Serves the event pipe: takes subscriptions, keeps the accepted ones as subscribers and writes each
// raised event code to all of them. Every subscriber keeps a read pending, so that its disconnection is
// seen (and journaled) at once.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <list>
#include <mutex>

#include "firmware_sim/pipe_connection.h"
#include "firmware_sim/pipe_listener.h"
#include "firmware_sim/service_state.h"
#include "platform/unique_handle.h"

namespace firmware_sim {

class EventServer {
public:
    EventServer(ServiceState& state, HANDLE stop_event);

    bool Start() { return listener_.Start(); }
    // Stops listening and disconnects every subscriber.
    void Pause();
    void Resume();
    void Stop() { listener_.Stop(); }

    // Returns the number of subscribers the code was written to.
    std::size_t Broadcast(std::uint32_t code);
    std::size_t SubscriberCount();

private:
    struct Subscriber {
        PipeConnection* connection;
        UniqueHandle drop_event;  // signalled to make the subscriber's thread let it go
    };

    void Serve(PipeConnection connection);
    void HoldSubscriber(PipeConnection& connection);

    ServiceState& state_;
    const HANDLE stop_event_;
    std::mutex mutex_;  // guards the subscribers and orders writes to them
    std::condition_variable subscribers_changed_;
    std::list<Subscriber*> subscribers_;
    bool paused_ = false;
    PipeListener listener_;
};

}  // namespace firmware_sim
