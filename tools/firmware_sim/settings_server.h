// Serves the settings pipe: one request and at most one answer per connection, as the model decides.
#pragma once

#include <windows.h>

#include <functional>

#include "firmware_sim/pipe_connection.h"
#include "firmware_sim/pipe_listener.h"
#include "firmware_sim/service_state.h"

namespace firmware_sim {

class SettingsServer {
public:
    // `after_decision` runs after every request the model decided on (a fault may have changed state).
    SettingsServer(ServiceState& state, HANDLE stop_event, std::function<void()> after_decision);

    bool Start() { return listener_.Start(); }
    void Pause() { listener_.Pause(); }
    void Resume() { listener_.Resume(); }
    void Stop() { listener_.Stop(); }

private:
    void Serve(PipeConnection connection);

    ServiceState& state_;
    const HANDLE stop_event_;
    const std::function<void()> after_decision_;
    PipeListener listener_;
};

}  // namespace firmware_sim
