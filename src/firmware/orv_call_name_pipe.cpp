#include "firmware/orv_call_name_pipe.h"

#include <windows.h>

#include <cstring>

#include "firmware/firmware_pipes.h"
#include "firmware/pipe_client.h"
#include "firmware/service_connection.h"

extern "C" int ORV_CallNamePipe(const char* request, int requestSize, char* reply, int replySize)
{
    if (reply == nullptr || replySize <= 0) {
        return 0;
    }
    reply[0] = '\0';
    if (request == nullptr || requestSize <= 0) {
        return 0;
    }
    const ULONGLONG start = GetTickCount64();
    const ULONGLONG deadline = start + firmware_pipes::kExchangeTimeoutMs;
    PipeClient pipe =
        ConnectToService(firmware_pipes::kSettingsPipe, start + firmware_pipes::kConnectTimeoutMs, nullptr);
    if (!pipe) {
        return 0;
    }
    if (pipe.Write(request, static_cast<DWORD>(requestSize), deadline, nullptr) != PipeStatus::Done) {
        return 0;
    }
    DWORD received = 0;
    const PipeStatus status = pipe.Read(reply, static_cast<DWORD>(replySize), &received, deadline, nullptr);
    if (status != PipeStatus::Done || std::memchr(reply, '\0', received) == nullptr) {
        reply[0] = '\0';
        return 0;
    }
    return 1;
}
