#include "firmware/event_listener.h"

#include <algorithm>
#include <utility>

#include "firmware/firmware_pipes.h"
#include "firmware/pipe_client.h"
#include "firmware/service_connection.h"

namespace {

std::uint32_t LittleEndian32(const unsigned char (&bytes)[4])
{
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

}  // namespace

EventListener::EventListener(std::string subscription, Sink sink, Resubscribed resubscribed)
    : m_subscription(std::move(subscription)),
      m_sink(std::move(sink)),
      m_resubscribed(std::move(resubscribed)),
      m_stop(MakeManualResetEvent()),
      m_firstAttemptDone(MakeManualResetEvent())
{
    if (m_stop && m_firstAttemptDone) {
        m_thread.Reset(CreateThread(nullptr, 0, &EventListener::ThreadMain, this, 0, nullptr));
    }
}

EventListener::~EventListener()
{
    if (m_thread) {
        SetEvent(m_stop.Get());
        WaitForSingleObject(m_thread.Get(), INFINITE);
    }
}

bool EventListener::WaitForFirstAttempt(DWORD timeoutMs)
{
    return m_thread && WaitForSingleObject(m_firstAttemptDone.Get(), timeoutMs) == WAIT_OBJECT_0 &&
           m_firstAttemptAccepted.load();
}

DWORD WINAPI EventListener::ThreadMain(void* listener)
{
    static_cast<EventListener*>(listener)->Run();
    return 0;
}

void EventListener::Run()
{
    DWORD backoff = firmware_pipes::kFirstBackoffMs;
    bool first = true;
    while (!Stopping()) {
        PipeClient pipe;
        const bool accepted = Subscribe(pipe);
        if (first) {
            m_firstAttemptAccepted = accepted;
            SetEvent(m_firstAttemptDone.Get());
            first = false;
        } else if (accepted) {
            // A service that came late or came back: what it says now may differ from before.
            m_resubscribed();
        }
        if (accepted) {
            backoff = firmware_pipes::kFirstBackoffMs;
            Listen(pipe);
        }
        if (WaitForSingleObject(m_stop.Get(), backoff) == WAIT_OBJECT_0) {
            return;
        }
        if (!accepted) {
            backoff = std::min<DWORD>(backoff * 2, firmware_pipes::kMaxBackoffMs);
        }
    }
}

bool EventListener::Subscribe(PipeClient& pipe)
{
    const ULONGLONG connectDeadline = GetTickCount64() + firmware_pipes::kConnectTimeoutMs;
    pipe = ConnectToService(firmware_pipes::kEventPipe, connectDeadline, m_stop.Get());
    if (!pipe) {
        return false;
    }
    const ULONGLONG deadline = GetTickCount64() + firmware_pipes::kSubscribeTimeoutMs;
    if (pipe.Write(m_subscription.data(), static_cast<DWORD>(m_subscription.size()), deadline,
                   m_stop.Get()) != PipeStatus::Done) {
        return false;
    }
    unsigned char answer[4];
    DWORD received = 0;
    return pipe.Read(answer, sizeof(answer), &received, deadline, m_stop.Get()) == PipeStatus::Done &&
           received == sizeof(answer) && LittleEndian32(answer) == firmware_pipes::kSubscriptionAccepted;
}

void EventListener::Listen(PipeClient& pipe)
{
    for (;;) {
        unsigned char message[4];
        DWORD received = 0;
        const PipeStatus status =
            pipe.Read(message, sizeof(message), &received, PipeClient::kNoDeadline, m_stop.Get());
        // Anything but a whole 4-byte code means the connection is gone or the service is confused:
        // either way a fresh subscription is the way back.
        if (status != PipeStatus::Done || received != sizeof(message)) {
            return;
        }
        m_sink(LittleEndian32(message));
    }
}

bool EventListener::Stopping() const
{
    return WaitForSingleObject(m_stop.Get(), 0) == WAIT_OBJECT_0;
}
