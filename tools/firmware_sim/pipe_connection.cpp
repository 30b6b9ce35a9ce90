#include "firmware_sim/pipe_connection.h"

#include <algorithm>
#include <vector>

namespace firmware_sim {
namespace {

constexpr DWORD kReadChunk = 4096;

PipeIo ResultOfError(DWORD error)
{
    switch (error) {
        case ERROR_BROKEN_PIPE:
        case ERROR_PIPE_NOT_CONNECTED:
        case ERROR_NO_DATA:
            return PipeIo::kClosed;
        default:
            return PipeIo::kFailed;
    }
}

DWORD Remaining(ULONGLONG deadline)
{
    ULONGLONG now = GetTickCount64();
    return now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
}

}  // namespace

PipeConnection::PipeConnection(UniqueHandle pipe, bool server_end)
    : pipe_(std::move(pipe)),
      server_end_(server_end),
      read_event_(MakeManualResetEvent()),
      write_event_(MakeManualResetEvent())
{
}

PipeConnection::~PipeConnection()
{
    if (pipe_ && server_end_)
        DisconnectNamedPipe(pipe_.Get());
}

PipeIo PipeConnection::Wait(OVERLAPPED& overlapped, DWORD timeout_ms, HANDLE stop, HANDLE interrupt,
                            DWORD& transferred, bool* more_data)
{
    HANDLE waits[3] = {overlapped.hEvent};
    DWORD count = 1;
    if (stop)
        waits[count++] = stop;
    if (interrupt)
        waits[count++] = interrupt;
    DWORD signalled = WaitForMultipleObjects(count, waits, FALSE, timeout_ms);
    PipeIo result = PipeIo::kDone;
    if (signalled != WAIT_OBJECT_0) {
        if (signalled == WAIT_TIMEOUT) {
            result = PipeIo::kTimedOut;
        } else if (stop && signalled == WAIT_OBJECT_0 + 1) {
            result = PipeIo::kStopped;
        } else if (interrupt && signalled == WAIT_OBJECT_0 + count - 1) {
            result = PipeIo::kInterrupted;
        } else {
            result = PipeIo::kFailed;
        }
        CancelIoEx(pipe_.Get(), &overlapped);
    }
    // Always collect the operation, so that the OVERLAPPED is no longer in use when we return.
    if (!GetOverlappedResult(pipe_.Get(), &overlapped, &transferred, TRUE) && result == PipeIo::kDone) {
        DWORD error = GetLastError();
        if (error == ERROR_MORE_DATA && more_data) {
            *more_data = true;
        } else {
            result = ResultOfError(error);
        }
    }
    return result;
}

PipeMessage PipeConnection::ReadMessage(std::size_t max_kept, DWORD timeout_ms, HANDLE stop, HANDLE interrupt)
{
    ULONGLONG deadline = timeout_ms == INFINITE ? 0 : GetTickCount64() + timeout_ms;
    PipeMessage message;
    std::vector<char> chunk(kReadChunk);
    while (true) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = read_event_.Get();
        ResetEvent(read_event_.Get());
        BOOL done = ReadFile(pipe_.Get(), chunk.data(), kReadChunk, nullptr, &overlapped);
        DWORD error = done ? ERROR_SUCCESS : GetLastError();
        if (!done && error != ERROR_IO_PENDING && error != ERROR_MORE_DATA) {
            message.result = ResultOfError(error);
            return message;
        }
        DWORD got = 0;
        bool more_data = false;
        DWORD wait_ms = timeout_ms == INFINITE ? INFINITE : Remaining(deadline);
        message.result = Wait(overlapped, wait_ms, stop, interrupt, got, &more_data);
        if (message.result != PipeIo::kDone)
            return message;
        std::size_t keep = std::min<std::size_t>(got, max_kept - std::min(max_kept, message.bytes.size()));
        message.bytes.append(chunk.data(), keep);
        message.size += got;
        // A message that did not fit the chunk completes with ERROR_MORE_DATA; read on to its end.
        if (!more_data)
            return message;
    }
}

PipeIo PipeConnection::WriteMessage(std::string_view bytes, DWORD timeout_ms, HANDLE stop)
{
    OVERLAPPED overlapped{};
    overlapped.hEvent = write_event_.Get();
    ResetEvent(write_event_.Get());
    BOOL done = WriteFile(pipe_.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, &overlapped);
    if (!done && GetLastError() != ERROR_IO_PENDING)
        return ResultOfError(GetLastError());
    DWORD written = 0;
    PipeIo result = Wait(overlapped, timeout_ms, stop, nullptr, written, nullptr);
    if (result == PipeIo::kDone && written != bytes.size())
        return PipeIo::kFailed;
    return result;
}

void PipeConnection::AwaitPeerClose(DWORD timeout_ms, HANDLE stop)
{
    ULONGLONG deadline = GetTickCount64() + timeout_ms;
    // Whatever the peer still sends is not part of the exchange and is dropped.
    while (ReadMessage(0, Remaining(deadline), stop).result == PipeIo::kDone) {
    }
}

}  // namespace firmware_sim
