#include "firmware/service_connection.h"

#include <memory>

#include "platform/unique_handle.h"

namespace {

// A token information record of variable size, read whole; nothing when it cannot be read.
std::unique_ptr<BYTE[]> TokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind)
{
    DWORD size = 0;
    GetTokenInformation(token, kind, nullptr, 0, &size);
    if (size == 0) {
        return nullptr;
    }
    auto record = std::make_unique<BYTE[]>(size);
    return GetTokenInformation(token, kind, record.get(), size, &size) ? std::move(record) : nullptr;
}

DWORD IntegrityLevel(HANDLE token)
{
    const auto record = TokenInformation(token, TokenIntegrityLevel);
    if (record == nullptr) {
        return 0;
    }
    const PSID label = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(record.get())->Label.Sid;
    const UCHAR count = *GetSidSubAuthorityCount(label);
    return count > 0 ? *GetSidSubAuthority(label, count - 1U) : 0;
}

UniqueHandle ProcessToken(HANDLE process)
{
    HANDLE token = nullptr;
    return UniqueHandle(OpenProcessToken(process, TOKEN_QUERY, &token) ? token : nullptr);
}

std::optional<PipeServer> ReadPipeServer(HANDLE pipe)
{
    ULONG processId = 0;
    ULONG session = 0;
    // The session from the pipe itself: asking it of the process would need rights over a service's
    // process that a user's program does not have.
    if (!GetNamedPipeServerProcessId(pipe, &processId) || !GetNamedPipeServerSessionId(pipe, &session)) {
        return std::nullopt;
    }
    PipeServer server;
    server.session = session;
    if (server.session == 0) {
        return server;  // a service: nothing more to know, nor always the right to know it
    }
    const UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    const UniqueHandle serverToken = process ? ProcessToken(process.Get()) : UniqueHandle();
    const UniqueHandle ownToken = ProcessToken(GetCurrentProcess());
    if (!serverToken || !ownToken) {
        return std::nullopt;
    }
    const auto serverUser = TokenInformation(serverToken.Get(), TokenUser);
    const auto ownUser = TokenInformation(ownToken.Get(), TokenUser);
    if (serverUser == nullptr || ownUser == nullptr) {
        return std::nullopt;
    }
    server.sameUser = EqualSid(reinterpret_cast<const TOKEN_USER*>(serverUser.get())->User.Sid,
                               reinterpret_cast<const TOKEN_USER*>(ownUser.get())->User.Sid) != FALSE;
    server.integrity = IntegrityLevel(serverToken.Get());
    return server;
}

bool IsTrusted(const std::optional<PipeServer>& server)
{
    if (!server.has_value()) {
        return false;
    }
    const DWORD own = OwnIntegrityLevel();
    return server->session == 0 || (server->sameUser && own != 0 && server->integrity >= own);
}

}  // namespace

PipeServerReader g_readPipeServer = &ReadPipeServer;

PipeClient ConnectToService(const wchar_t* name, ULONGLONG deadline, HANDLE abortEvent)
{
    PipeClient pipe = PipeClient::Connect(name, deadline, abortEvent);
    if (pipe && !IsTrusted(g_readPipeServer(pipe.Handle()))) {
        return PipeClient();
    }
    return pipe;
}

DWORD OwnIntegrityLevel()
{
    const UniqueHandle token = ProcessToken(GetCurrentProcess());
    return token ? IntegrityLevel(token.Get()) : 0;
}
