#include "firmware_sim/settings_server.h"

#include "firmware/firmware_pipes.h"

namespace firmware_sim {
namespace {

// Enough for any request worth journaling; the size of a longer one is still counted.
constexpr std::size_t kMaxKeptRequest = 4096;
// A client that connects and sends nothing is let go after this long.
constexpr DWORD kRequestTimeoutMs = 5000;

}  // namespace

SettingsServer::SettingsServer(ServiceState& state, HANDLE stop_event, std::function<void()> after_decision)
    : state_(state),
      stop_event_(stop_event),
      after_decision_(std::move(after_decision)),
      listener_(firmware_pipes::kSettingsPipe,
                [this](PipeConnection connection) { Serve(std::move(connection)); })
{
}

void SettingsServer::Serve(PipeConnection connection)
{
    PipeMessage request = connection.ReadMessage(kMaxKeptRequest, kRequestTimeoutMs, stop_event_);
    if (request.result != PipeIo::kDone)
        return;
    SettingsDecision decision = state_.DecideSettings(request.bytes, request.size);
    after_decision_();

    const SettingsOutcome& outcome = decision.outcome;
    switch (outcome.action) {
        case SettingsAction::kAnswer:
            if (outcome.delay_ms > 0 && WaitForSingleObject(stop_event_, outcome.delay_ms) == WAIT_OBJECT_0)
                return;
            if (connection.WriteMessage(outcome.answer, firmware_pipes::kExchangeTimeoutMs, stop_event_) ==
                PipeIo::kDone) {
                connection.AwaitPeerClose(firmware_pipes::kExchangeTimeoutMs, stop_event_);
            }
            return;
        case SettingsAction::kClose:
            return;
        case SettingsAction::kHang: {
            HANDLE waits[] = {decision.hang_release->Get(), stop_event_};
            WaitForMultipleObjects(2, waits, FALSE, INFINITE);
            return;  // then closed without an answer
        }
    }
}

}  // namespace firmware_sim
