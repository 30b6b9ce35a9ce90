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

// How a pipe is opened: CreateFileW. A test that checks the open flags puts a recorder in its place;
// the program never changes it.
using PipeOpenFunction = HANDLE(WINAPI*)(LPCWSTR name, DWORD access, DWORD share,
                                         LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                                         HANDLE templateFile);
extern PipeOpenFunction g_openPipe;

// The open flags: overlapped I/O, and a server that may identify the user but never act as the user.
// A process that squats on the service's pipe name while the service is away gets no more than that.
inline constexpr DWORD kPipeOpenFlags =
    FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION;

class PipeClient {
public:
    static constexpr ULONGLONG kNoDeadline = ~0ULL;

    // Connects and switches the handle to message reads. A pipe that does not exist fails at once; a
    // pipe whose instances are all busy is waited for until the deadline (a GetTickCount64 time) or
    // the abort event. Test the result with operator bool.
    static PipeClient Connect(const wchar_t* name, ULONGLONG deadline, HANDLE abortEvent);

    explicit operator bool() const { return static_cast<bool>(m_pipe); }
    HANDLE Handle() const { return m_pipe.Get(); }

    PipeStatus Write(const void* data, DWORD size, ULONGLONG deadline, HANDLE abortEvent);
    // Reads one whole message; TooLong when it is longer than size.
    PipeStatus Read(void* buffer, DWORD size, DWORD* received, ULONGLONG deadline, HANDLE abortEvent);

private:
    PipeStatus Finish(OVERLAPPED& io, BOOL started, DWORD* transferred, ULONGLONG deadline,
                      HANDLE abortEvent);

    UniqueHandle m_pipe;
    UniqueHandle m_ioDone;
};
