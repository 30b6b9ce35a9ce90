#include "firmware/service_connection.h"

#include <memory>

#include "platform/local_memory.h"
#include "platform/unique_handle.h"

SecurityInfoReader g_getSecurityInfo = &GetSecurityInfo;

namespace {

DWORD LastSubAuthority(PSID sid)
{
    const UCHAR count = *GetSidSubAuthorityCount(sid);
    return count > 0 ? *GetSidSubAuthority(sid, count - 1U) : 0;
}

// A token information record of variable size, read whole; nothing when it cannot be read.
std::unique_ptr<BYTE[]> TokenInformation(TOKEN_INFORMATION_CLASS kind)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return nullptr;
    }
    const UniqueHandle owner(token);
    DWORD size = 0;
    GetTokenInformation(token, kind, nullptr, 0, &size);
    if (size == 0) {
        return nullptr;
    }
    auto record = std::make_unique<BYTE[]>(size);
    return GetTokenInformation(token, kind, record.get(), size, &size) ? std::move(record) : nullptr;
}

// The integrity level of an object's mandatory label; an object without one counts as medium, as Windows
// treats it.
DWORD LabelIntegrity(PACL sacl)
{
    for (DWORD i = 0; sacl != nullptr && i < sacl->AceCount; ++i) {
        void* ace = nullptr;
        if (GetAce(sacl, i, &ace) &&
            static_cast<ACE_HEADER*>(ace)->AceType == SYSTEM_MANDATORY_LABEL_ACE_TYPE) {
            return LastSubAuthority(&static_cast<SYSTEM_MANDATORY_LABEL_ACE*>(ace)->SidStart);
        }
    }
    return SECURITY_MANDATORY_MEDIUM_RID;
}

bool IsSystemOrAdministrators(PSID owner)
{
    for (const WELL_KNOWN_SID_TYPE kind :
         {WinLocalSystemSid, WinLocalServiceSid, WinNetworkServiceSid, WinBuiltinAdministratorsSid}) {
        if (IsWellKnownSid(owner, kind)) {
            return true;
        }
    }
    return false;
}

// This process's user at this process's integrity level or above.
bool IsOwnUserAtOwnLevel(PSID owner, PACL sacl)
{
    const auto user = TokenInformation(TokenUser);
    const auto level = TokenInformation(TokenIntegrityLevel);
    if (user == nullptr || level == nullptr ||
        !EqualSid(owner, reinterpret_cast<const TOKEN_USER*>(user.get())->User.Sid)) {
        return false;
    }
    const DWORD own =
        LastSubAuthority(reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(level.get())->Label.Sid);
    return own != 0 && LabelIntegrity(sacl) >= own;
}

}  // namespace

bool IsServicePipe(HANDLE pipe)
{
    PSID owner = nullptr;
    PACL sacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD result =
        g_getSecurityInfo(pipe, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION | LABEL_SECURITY_INFORMATION,
                          &owner, nullptr, nullptr, &sacl, &descriptor);
    const LocalMemory holder(descriptor);  // owner and sacl point into it
    if (result != ERROR_SUCCESS || owner == nullptr || !IsValidSid(owner)) {
        return false;
    }
    return IsSystemOrAdministrators(owner) || IsOwnUserAtOwnLevel(owner, sacl);
}

PipeClient ConnectToService(const wchar_t* name, ULONGLONG deadline, HANDLE abortEvent)
{
    PipeClient pipe = PipeClient::Connect(name, deadline, abortEvent);
    if (pipe && !IsServicePipe(pipe.Handle())) {
        return PipeClient();
    }
    return pipe;
}
