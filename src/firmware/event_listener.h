// Background subscription to the firmware service's event pipe. A thread of its own subscribes,
// hands every event code to the sink, and subscribes again with backoff when the service is not
// there or the connection breaks; each such later subscription that the service accepts is reported.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/unique_handle.h"

class PipeClient;

class EventListener {
public:
    using Sink = std::function<void(std::uint32_t code)>;
    using Resubscribed = std::function<void()>;

    // `subscription` is the subscription message. `sink` gets every event code; `resubscribed` is
    // called when the service accepts a subscription after an attempt that failed or a connection that
    // broke, that is every time but the first attempt. Both are called on the listener's thread.
    EventListener(std::string subscription, Sink sink, Resubscribed resubscribed);
    // Stops the thread and waits for it: the sink is never called after this returns.
    ~EventListener();
    EventListener(const EventListener&) = delete;
    EventListener& operator=(const EventListener&) = delete;

    // Waits for the outcome of the first subscription attempt; true when the service accepted it.
    bool WaitForFirstAttempt(DWORD timeoutMs);

private:
    static DWORD WINAPI ThreadMain(void* listener);
    void Run();
    bool Subscribe(PipeClient& pipe);
    void Listen(PipeClient& pipe);
    bool Stopping() const;

    std::string m_subscription;
    Sink m_sink;
    Resubscribed m_resubscribed;
    UniqueHandle m_stop;
    UniqueHandle m_firstAttemptDone;
    std::atomic<bool> m_firstAttemptAccepted{false};
    UniqueHandle m_thread;
};
