// Client end of a message-mode pipe with every wait bounded: by a deadline and by an optional
// abort event, so that no caller can hang on a service that stops answering.
#pragma once

#include <windows.h>

#include "platform/unique_handle.h"

enum class PipeStatus {
    Done,
    Failed,    // broken, closed by the server, or refused
    TimedOut,  // the deadline passed; the operation was cancelled
    Aborted,   // the abort event was signalled; the operation was cancelled
    TooLong,   // the message did not fit the buffer
};

class PipeClient {
public:
    static constexpr ULONGLONG kNoDeadline = ~0ULL;

    // Connects within the deadline (a GetTickCount64 time), retrying while no instance listens or
    // all are busy, and switches the handle to message reads. Test the result with operator bool.
    static PipeClient Connect(const wchar_t* name, ULONGLONG deadline, HANDLE abortEvent);

    explicit operator bool() const { return static_cast<bool>(m_pipe); }

    PipeStatus Write(const void* data, DWORD size, ULONGLONG deadline, HANDLE abortEvent);
    // Reads one whole message; TooLong when it is longer than size.
    PipeStatus Read(void* buffer, DWORD size, DWORD* received, ULONGLONG deadline, HANDLE abortEvent);

private:
    PipeStatus Finish(OVERLAPPED& io, BOOL started, DWORD* transferred, ULONGLONG deadline,
                      HANDLE abortEvent);

    UniqueHandle m_pipe;
    UniqueHandle m_ioDone;
};
