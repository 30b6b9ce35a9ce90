// One connected end of a message-mode pipe opened for overlapped I/O. Every operation waits for its own
// completion (or cancels it) before returning, bounded by a timeout and ended early by a stop event, so
// no I/O outlives the call and no peer can hold a thread for ever.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/unique_handle.h"

namespace firmware_sim {

enum class PipeIo {
    kDone,
    kClosed,  // the other end closed or disconnected
    kTimedOut,
    kStopped,      // the stop event was signalled
    kInterrupted,  // the interrupt event was signalled
    kFailed,
};

struct PipeMessage {
    PipeIo result = PipeIo::kFailed;
    std::string bytes;     // the start of the message, at most the size asked for
    std::size_t size = 0;  // the size of the whole message
};

class PipeConnection {
public:
    // A server end is disconnected when the connection goes; a client end is only closed.
    PipeConnection(UniqueHandle pipe, bool server_end);
    PipeConnection(PipeConnection&&) = default;
    PipeConnection& operator=(PipeConnection&&) = delete;
    ~PipeConnection();

    // Reads one whole message, keeping at most `max_kept` bytes of it. `stop` and `interrupt` may be null.
    PipeMessage ReadMessage(std::size_t max_kept, DWORD timeout_ms, HANDLE stop, HANDLE interrupt = nullptr);
    PipeIo WriteMessage(std::string_view bytes, DWORD timeout_ms, HANDLE stop);
    // Waits until the client has closed its end: it has then taken the answer, which disconnecting
    // earlier would throw away.
    void AwaitPeerClose(DWORD timeout_ms, HANDLE stop);

private:
    PipeIo Wait(OVERLAPPED& overlapped, DWORD timeout_ms, HANDLE stop, HANDLE interrupt, DWORD& transferred,
                bool* more_data);

    UniqueHandle pipe_;
    bool server_end_;
    UniqueHandle read_event_;
    UniqueHandle write_event_;  // separate, so that a write may go on while a read is pending
};

}  // namespace firmware_sim
