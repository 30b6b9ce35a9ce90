// The firmware library against the firmware service simulator: the settings exchange, how the service's
// pipes are opened (for identification only, never waiting for a pipe that is not there, waiting for a busy
// one), and the events, whose subscription is made again when the service comes late or comes back.
#include <gtest/gtest.h>
#include <windows.h>

#include <sddl.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "firmware/firmware_pipes.h"
#include "firmware/orv_call_name_pipe.h"
#include "firmware/orv_wmi_acpi.h"
#include "firmware/pipe_client.h"
#include "firmware/service_connection.h"
#include "firmware/settings_channel.h"
#include "message_pump.h"
#include "platform/local_memory.h"
#include "simulator_process.h"

namespace {

std::vector<DWORD> g_openFlags;

HANDLE WINAPI RecordOpen(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                         DWORD disposition, DWORD flags, HANDLE templateFile)
{
    g_openFlags.push_back(flags);
    return CreateFileW(name, access, share, security, disposition, flags, templateFile);
}

// One exchange of the query for AP item 6, with its answer in `reply`.
int QueryApItem6(char (&reply)[kReplySize])
{
    char request[kRequestSize] = {};
    std::strcpy(request, kQueryApItem6);
    return ORV_CallNamePipe(request, kRequestSize, reply, kReplySize);
}

TEST(CallNamePipe, OnlyAWholeAnswerWithItsNulWithinTheBoundsIsTaken)
{
    struct Row {
        const wchar_t* fault;
        std::string reply;
        ULONGLONG minMs = 0, maxMs = 1500;
    };
    const Row rows[] = {
        {L"down", "", 0, 700},  // no pipe: nothing to wait for, not the 1 s connect bound
        {L"none", "16"},           {L"close", ""},
        {L"nonul 17", ""},         {L"overlong 799", std::string(799, '1')},  // with its NUL, just fits
        {L"overlong 800", ""},     {L"slow 700", "16"},
        {L"hang", "", 1900, 3500},
    };
    SimulatorProcess simulator;
    ASSERT_TRUE(simulator.Start());
    g_openPipe = &RecordOpen;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.fault);
        ASSERT_EQ(simulator.Ctl(std::wstring(L"fault ") + row.fault), "ok");
        char reply[kReplySize];
        std::memset(reply, 'X', sizeof(reply));  // stale bytes, as in a buffer never cleared
        const ULONGLONG start = GetTickCount64();
        EXPECT_EQ(QueryApItem6(reply), row.reply.empty() ? 0 : 1);
        const ULONGLONG elapsed = GetTickCount64() - start;
        EXPECT_EQ(std::string(reply, strnlen(reply, sizeof(reply))), row.reply);
        EXPECT_TRUE(elapsed >= row.minMs && elapsed < row.maxMs) << elapsed << " ms";
    }
    g_openPipe = &CreateFileW;
    // The service may identify the user but never act as the user.
    for (const DWORD flags : g_openFlags)
        EXPECT_EQ(flags, FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION);
}

TEST(PipeOpening, ABusyPipeIsWaitedForUntilAnInstanceIsFree)
{
    const wchar_t name[] = L"\\\\.\\pipe\\tendral-test-busy";
    UniqueHandle server(CreateNamedPipeW(name, PIPE_ACCESS_DUPLEX, PIPE_TYPE_MESSAGE, 1, 0, 0, 0, nullptr));
    UniqueHandle other(CreateFileW(name, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(server && other);
    // The other client lets the only instance go after a moment, and the server listens again.
    std::jthread freeing([&] {
        Sleep(300);
        DisconnectNamedPipe(server.Get());
        ConnectNamedPipe(server.Get(), nullptr);
    });
    EXPECT_TRUE(PipeClient::Connect(name, GetTickCount64() + 3000, nullptr));
    // Should the client have given up, another must take the instance for the server to go on.
    WaitNamedPipeW(name, 1000);
    CloseHandle(CreateFileW(name, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
}

using Posted = std::vector<std::tuple<HWND, UINT, WPARAM>>;

bool Subscribe(CORVWmiAcpi& firmware, const wchar_t* query = L"Select * from ORV_Event")
{
    char buffer[260] = {};
    return firmware.ORVWMIEvent(query, buffer, L"root\\wmi", L"WQL");
}

// The library's messages that arrived within the time, in order.
Posted PostedWithin(DWORD ms)
{
    Sleep(ms);
    Posted posted;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_FIRMWARE_EVENT, WM_FIRMWARE_RESUBSCRIBED, PM_REMOVE))
        posted.emplace_back(msg.hwnd, msg.message, msg.wParam);
    return posted;
}

TEST(FirmwareEvents, EachEventIsPostedWithItsCodeOnceToEveryRegisteredWindowWhileTheObjectLives)
{
    SimulatorProcess simulator;
    ASSERT_TRUE(simulator.Start());
    MessageWindow first;
    MessageWindow second;
    {
        CORVWmiAcpi firmware;
        {
            CORVWmiAcpi registered;
            MessageWindow gone;
            registered.AddHWND(gone.Get());
            registered.AddHWND(first.Get());
            registered.AddHWND(second.Get());
            registered.AddHWND(first.Get());
            firmware = registered;
        }
        EXPECT_FALSE(Subscribe(firmware, L"Select * from Other_Event"));
        ASSERT_TRUE(Subscribe(firmware));
        Posted expected;
        for (const unsigned code : {0x60u, 0x160u, 0xFFFFFFFFu}) {
            ASSERT_EQ(simulator.Ctl(L"event " + std::to_wstring(code)), "ok 1");
            expected.emplace_back(first.Get(), WM_FIRMWARE_EVENT, code);
            expected.emplace_back(second.Get(), WM_FIRMWARE_EVENT, code);
        }
        // Nothing else: no second post to a window registered twice, and no news of the first subscription.
        EXPECT_EQ(PostedWithin(500), expected);
    }
    simulator.Ctl(L"event 96");
    EXPECT_EQ(PostedWithin(300), Posted{});
}

TEST(FirmwareEvents, ASubscriptionMadeAgainIsReportedOnceAndEventsFlowAgain)
{
    SimulatorProcess simulator;
    MessageWindow window;
    CORVWmiAcpi firmware;
    firmware.AddHWND(window.Get());
    // Without the service a subscription fails at once, and so does the end of a listener waiting for it.
    const ULONGLONG start = GetTickCount64();
    EXPECT_FALSE(Subscribe(firmware));
    Sleep(2000);  // the listener now waits between its third and fourth attempts
    EXPECT_FALSE(Subscribe(firmware));
    EXPECT_LT(GetTickCount64() - start, 3000u);
    for (const char* way : {"the service comes late", "the service restarts"}) {
        SCOPED_TRACE(way);
        ASSERT_TRUE(simulator.Start());
        ASSERT_TRUE(WaitForMessage(window.Get(), WM_FIRMWARE_RESUBSCRIBED, 8000));
        ASSERT_EQ(simulator.Ctl(L"event 121"), "ok 1");
        EXPECT_EQ(PostedWithin(500), (Posted{{window.Get(), WM_FIRMWARE_EVENT, 121}}));
    }
}

// The pipe's security descriptor a test plays, in the security descriptor language; empty: unreadable.
std::wstring g_playedDescriptor;

DWORD WINAPI PlayDescriptor(HANDLE, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID* owner, PSID*, PACL*,
                            PACL* sacl, PSECURITY_DESCRIPTOR* descriptor)
{
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    if (g_playedDescriptor.empty() || !ConvertStringSecurityDescriptorToSecurityDescriptorW(
                                          g_playedDescriptor.c_str(), SDDL_REVISION_1, descriptor, nullptr)) {
        return ERROR_ACCESS_DENIED;
    }
    GetSecurityDescriptorOwner(*descriptor, owner, &defaulted);
    GetSecurityDescriptorSacl(*descriptor, &present, sacl, &defaulted);
    return ERROR_SUCCESS;
}

// This process's user and integrity level: the user's SID, and the RID of its level.
std::pair<std::wstring, DWORD> OwnUserAndLevel()
{
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    const UniqueHandle owner(token);
    BYTE user[256];
    BYTE level[64];
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, user, sizeof(user), &size);
    GetTokenInformation(token, TokenIntegrityLevel, level, sizeof(level), &size);
    wchar_t* text = nullptr;
    ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &text);
    const LocalMemory held(text);
    const std::wstring sid = text != nullptr ? text : L"";
    const PSID label = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(level)->Label.Sid;
    return {sid, *GetSidSubAuthority(label, *GetSidSubAuthorityCount(label) - 1U)};
}

TEST(ServiceIdentity, OnlyThePipeOfTheSystemOfAdministratorsOrOfTheUserAtItsLevelIsBelieved)
{
    SimulatorProcess simulator;
    ASSERT_TRUE(simulator.Start());
    // The simulator's pipe as the system tells it: made by the user who runs it, at the user's level.
    EXPECT_TRUE(IsServicePipe(
        PipeClient::Connect(firmware_pipes::kSettingsPipe, GetTickCount64() + 1000, nullptr).Handle()));
    const auto [user, level] = OwnUserAndLevel();
    ASSERT_FALSE(user.empty());
    const std::wstring me = L"O:" + user;
    const std::wstring other = L"O:S-1-5-21-1004336348-1177238915-682003330-1001";
    const std::pair<std::wstring, bool> descriptors[] = {
        {L"O:SY", true},  // a service as LocalSystem, in session 0 or not
        {L"O:LS", true},
        {L"O:NS", true},
        {L"O:BA", true},  // an elevated process, whoever started it
        {me + L"S:(ML;;NW;;;SI)", true},
        {me, level <= SECURITY_MANDATORY_MEDIUM_RID},  // no label: medium
        {me + L"S:(ML;;NW;;;LW)", false},              // a sandboxed process of the user's
        {other, false},                                // another standard user, a scheduled task say
        {other + L"S:(ML;;NW;;;SI)", false},
        {L"O:BU", false},
        {L"O:WD", false},
        {L"G:SY", false},  // no owner
        {L"", false},      // the owner cannot be read
    };
    const SecurityInfoReader system = std::exchange(g_getSecurityInfo, &PlayDescriptor);
    // The lines of the exchanges and subscriptions: a subscription's end is journaled when the service
    // notices it, which may be after the next row began.
    const auto words = [&] {
        return std::ranges::count_if(
            simulator.Journal(), [](const std::string& line) { return !line.starts_with("UNSUBSCRIBE"); });
    };
    for (const auto& [descriptor, believed] : descriptors) {
        SCOPED_TRACE(testing::Message() << std::string(descriptor.begin(), descriptor.end()));
        g_playedDescriptor = descriptor;
        const auto exchanges = words();
        char reply[kReplySize];
        CORVWmiAcpi firmware;
        EXPECT_EQ(std::pair(QueryApItem6(reply) == 1, Subscribe(firmware)), std::pair(believed, believed));
        EXPECT_EQ(words(), exchanges + (believed ? 2 : 0)) << "refused before a word";
    }
    g_getSecurityInfo = system;
}

}  // namespace
