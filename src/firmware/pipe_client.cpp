#include "firmware/pipe_client.h"

#include <algorithm>

PipeOpenFunction g_openPipe = &CreateFileW;

namespace {

// A wait for a busy pipe is cut into slices this long, so that an abort is seen within one.
constexpr DWORD kBusyWaitSliceMs = 50;

DWORD Remaining(ULONGLONG deadline)
{
    if (deadline == PipeClient::kNoDeadline) {
        return INFINITE;
    }
    const ULONGLONG now = GetTickCount64();
    return now >= deadline ? 0 : static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, INFINITE - 1));
}

// Waits for `object` or the abort event; WAIT_OBJECT_0 + 1 means aborted.
DWORD WaitWithAbort(HANDLE object, HANDLE abortEvent, DWORD timeoutMs)
{
    const HANDLE handles[] = {object, abortEvent};
    return WaitForMultipleObjects(abortEvent != nullptr ? 2 : 1, handles, FALSE, timeoutMs);
}

}  // namespace

PipeClient PipeClient::Connect(const wchar_t* name, ULONGLONG deadline, HANDLE abortEvent)
{
    PipeClient client;
    client.m_ioDone = MakeManualResetEvent();
    if (!client.m_ioDone) {
        return client;
    }
    for (;;) {
        client.m_pipe.Reset(g_openPipe(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                       kPipeOpenFlags, nullptr));
        if (client.m_pipe) {
            DWORD mode = PIPE_READMODE_MESSAGE;
            if (!SetNamedPipeHandleState(client.m_pipe.Get(), &mode, nullptr, nullptr)) {
                client.m_pipe.Reset();
            }
            return client;
        }
        // No pipe means no service: nothing to wait for. Only a service whose instances are all busy
        // is worth a wait, and the wait ends as soon as one is free.
        if (GetLastError() != ERROR_PIPE_BUSY) {
            return client;
        }
        const DWORD remaining = Remaining(deadline);
        if (remaining == 0) {
            return client;
        }
        if (abortEvent != nullptr && WaitForSingleObject(abortEvent, 0) == WAIT_OBJECT_0) {
            return client;
        }
        // Never 0: that would mean the server's default time-out. Anything but a slice that ran out
        // (the pipe went away, say) ends the attempt.
        if (!WaitNamedPipeW(name, std::min(remaining, kBusyWaitSliceMs)) &&
            GetLastError() != ERROR_SEM_TIMEOUT) {
            return client;
        }
    }
}

PipeStatus PipeClient::Write(const void* data, DWORD size, ULONGLONG deadline, HANDLE abortEvent)
{
    OVERLAPPED io{};
    io.hEvent = m_ioDone.Get();
    DWORD written = 0;
    const BOOL started = WriteFile(m_pipe.Get(), data, size, nullptr, &io);
    const PipeStatus status = Finish(io, started, &written, deadline, abortEvent);
    return status == PipeStatus::Done && written != size ? PipeStatus::Failed : status;
}

PipeStatus PipeClient::Read(void* buffer, DWORD size, DWORD* received, ULONGLONG deadline, HANDLE abortEvent)
{
    OVERLAPPED io{};
    io.hEvent = m_ioDone.Get();
    *received = 0;
    const BOOL started = ReadFile(m_pipe.Get(), buffer, size, nullptr, &io);
    return Finish(io, started, received, deadline, abortEvent);
}

PipeStatus PipeClient::Finish(OVERLAPPED& io, BOOL started, DWORD* transferred, ULONGLONG deadline,
                              HANDLE abortEvent)
{
    if (!started) {
        const DWORD error = GetLastError();
        if (error == ERROR_MORE_DATA) {
            return PipeStatus::TooLong;
        }
        if (error != ERROR_IO_PENDING) {
            return PipeStatus::Failed;
        }
        const DWORD wait = WaitWithAbort(io.hEvent, abortEvent, Remaining(deadline));
        if (wait != WAIT_OBJECT_0) {
            // The buffer and the OVERLAPPED belong to the caller's frame: the operation must be
            // over, cancelled or not, before we return.
            CancelIoEx(m_pipe.Get(), &io);
            GetOverlappedResult(m_pipe.Get(), &io, transferred, TRUE);
            return wait == WAIT_OBJECT_0 + 1 ? PipeStatus::Aborted : PipeStatus::TimedOut;
        }
    }
    if (!GetOverlappedResult(m_pipe.Get(), &io, transferred, FALSE)) {
        return GetLastError() == ERROR_MORE_DATA ? PipeStatus::TooLong : PipeStatus::Failed;
    }
    return PipeStatus::Done;
}
