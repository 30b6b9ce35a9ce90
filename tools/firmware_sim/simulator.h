// The simulated firmware service: the settings, event and control servers around one model.
#pragma once

#include <mutex>
#include <string_view>

#include "firmware_sim/control_server.h"
#include "firmware_sim/event_server.h"
#include "firmware_sim/firmware_model.h"
#include "firmware_sim/journal.h"
#include "firmware_sim/service_state.h"
#include "firmware_sim/settings_server.h"
#include "platform/unique_handle.h"

namespace firmware_sim {

class Simulator {
public:
    Simulator(StoredValues initial, Journal& journal);

    // False when a pipe is already served by another process.
    bool Start();
    // Serves until `ctl stop`, then ends every connection and returns the exit code.
    int Run();

private:
    ControlReply Execute(std::string_view command);
    // Pauses or resumes both firmware pipes to match the `down` fault.
    void SyncDownState();

    UniqueHandle stop_event_;
    ServiceState state_;
    SettingsServer settings_;
    EventServer events_;
    ControlServer control_;
    std::mutex sync_mutex_;
    bool down_ = false;
    bool stopping_ = false;
};

}  // namespace firmware_sim
