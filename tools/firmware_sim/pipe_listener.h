// Accepts clients on a named pipe and hands each connected instance to a handler on its own thread.
// Several instances listen at all times, so that a client arriving while others have just connected still
// finds one listening (Wine clients otherwise see ERROR_FILE_NOT_FOUND or ERROR_PIPE_BUSY).
#pragma once

#include <windows.h>

#include <array>
#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "firmware_sim/pipe_connection.h"
#include "platform/local_memory.h"
#include "platform/unique_handle.h"

namespace firmware_sim {

class PipeListener {
public:
    using Handler = std::function<void(PipeConnection connection)>;

    PipeListener(std::wstring name, Handler handler);
    PipeListener(const PipeListener&) = delete;
    PipeListener& operator=(const PipeListener&) = delete;
    ~PipeListener();

    // Begins listening; false when the name is already served by another process.
    bool Start();
    // No instance listens until Resume; connections being served go on.
    void Pause();
    void Resume();
    // Ends listening and waits for every handler; the owner makes its handlers end first.
    void Stop();

private:
    struct Slot {
        UniqueHandle pipe;
        UniqueHandle connected;
        OVERLAPPED overlapped{};
        bool already_connected = false;
    };
    struct HandlerThread {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> finished;
    };

    UniqueHandle CreateInstance(bool first_instance) const;
    void Listen(Slot& slot);
    void CloseSlot(Slot& slot);
    void AcceptLoop();
    void Dispatch(UniqueHandle pipe);
    void JoinHandlers(bool finished_only);

    const std::wstring name_;
    const Handler handler_;
    const LocalMemory security_;  // the pipes' security descriptor
    std::mutex state_mutex_;      // serialises Start, Pause, Resume and Stop
    bool accepting_ = false;
    UniqueHandle quit_event_;
    std::thread accept_thread_;
    // Four: a few clients at once (the program, a probe, a test) each find an instance at first try.
    std::array<Slot, 4> slots_;  // owned by the accept thread while it runs
    std::mutex handlers_mutex_;
    std::list<HandlerThread> handlers_;
};

}  // namespace firmware_sim
