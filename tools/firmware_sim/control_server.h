// Serves the simulator's control pipe: one command and one answer per connection.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

#include "firmware_sim/pipe_connection.h"
#include "firmware_sim/pipe_listener.h"

namespace firmware_sim {

// Belongs to the simulator alone: the product never opens it.
inline constexpr wchar_t kControlPipe[] = L"\\\\.\\pipe\\ORVWmiAcpi.Simulator";

struct ControlReply {
    std::string answer;
    bool stop = false;  // end the simulator once the answer is delivered
};

class ControlServer {
public:
    using Executor = std::function<ControlReply(std::string_view command)>;

    ControlServer(Executor execute, HANDLE stop_event);

    bool Start() { return listener_.Start(); }
    void Stop() { listener_.Stop(); }

private:
    void Serve(PipeConnection connection);

    const Executor execute_;
    const HANDLE stop_event_;
    PipeListener listener_;
};

}  // namespace firmware_sim
