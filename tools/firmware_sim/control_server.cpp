#include "firmware_sim/control_server.h"

namespace firmware_sim {
namespace {

constexpr std::size_t kMaxCommandSize = 4096;
constexpr DWORD kCommandTimeoutMs = 5000;
constexpr DWORD kAnswerTimeoutMs = 5000;

}  // namespace

ControlServer::ControlServer(Executor execute, HANDLE stop_event)
    : execute_(std::move(execute)),
      stop_event_(stop_event),
      listener_(kControlPipe, [this](PipeConnection connection) { Serve(std::move(connection)); })
{
}

void ControlServer::Serve(PipeConnection connection)
{
    PipeMessage command = connection.ReadMessage(kMaxCommandSize, kCommandTimeoutMs, stop_event_);
    if (command.result != PipeIo::kDone)
        return;
    // A cut command could read as another one, so an over-long one is not looked at.
    ControlReply reply = command.size > command.bytes.size() ? ControlReply{"error command too long"}
                                                             : execute_(command.bytes);
    if (connection.WriteMessage(reply.answer, kAnswerTimeoutMs, stop_event_) == PipeIo::kDone) {
        connection.AwaitPeerClose(kAnswerTimeoutMs, stop_event_);
    }
    if (reply.stop)
        SetEvent(stop_event_);
}

}  // namespace firmware_sim
