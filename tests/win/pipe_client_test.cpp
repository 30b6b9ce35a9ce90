// How the library opens the service's pipes: for identification only, at once when there is no
// pipe, and with a wait when the pipe is there but busy.
#include "firmware/pipe_client.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "firmware/firmware_pipes.h"
#include "firmware/orv_call_name_pipe.h"
#include "firmware/orv_wmi_acpi.h"
#include "firmware/settings_channel.h"
#include "simulator_process.h"

namespace {

struct Opened {
    std::wstring name;
    DWORD flags;
};

std::vector<Opened> g_opened;

HANDLE WINAPI RecordOpen(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                         DWORD disposition, DWORD flags, HANDLE templateFile)
{
    g_opened.push_back({name, flags});
    return CreateFileW(name, access, share, security, disposition, flags, templateFile);
}

class PipeOpening : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_opened.clear();
        g_openPipe = &RecordOpen;
    }
    void TearDown() override { g_openPipe = &CreateFileW; }
};

TEST_F(PipeOpening, BothPipesLetTheServerIdentifyTheUserButNeverActAsTheUser)
{
    SimulatorProcess simulator;
    ASSERT_TRUE(simulator.Start());
    EXPECT_EQ(GetApItem6(), 16);
    {
        CORVWmiAcpi firmware;
        char buffer[260] = {};
        EXPECT_TRUE(firmware.ORVWMIEvent(L"Select * from ORV_Event", buffer, L"root\\wmi", L"WQL"));
    }
    ASSERT_EQ(g_opened.size(), 2u);
    EXPECT_EQ(g_opened[0].name, firmware_pipes::kSettingsPipe);
    EXPECT_EQ(g_opened[1].name, firmware_pipes::kEventPipe);
    for (const Opened& opened : g_opened) {
        EXPECT_TRUE(opened.flags & SECURITY_SQOS_PRESENT);
        // The impersonation level is a two-bit field: identification, not impersonation or delegation.
        EXPECT_EQ(opened.flags & (SECURITY_DELEGATION | SECURITY_IMPERSONATION), SECURITY_IDENTIFICATION);
        EXPECT_TRUE(opened.flags & FILE_FLAG_OVERLAPPED);
    }
}

TEST_F(PipeOpening, AMissingPipeFailsAtTheFirstTry)
{
    const ULONGLONG deadline = GetTickCount64() + 1000;
    EXPECT_FALSE(PipeClient::Connect(L"\\\\.\\pipe\\tendral-test-missing", deadline, nullptr));
    EXPECT_EQ(g_opened.size(), 1u);
    // And so does the exchange with a service that is not there.
    char request[kRequestSize] = "root\\WMI:Q:ORV_AP:AP:6";
    char reply[kReplySize];
    EXPECT_EQ(ORV_CallNamePipe(request, kRequestSize, reply, kReplySize), 0);
    EXPECT_EQ(g_opened.size(), 2u);
}

TEST_F(PipeOpening, ABusyPipeIsWaitedForUntilAnInstanceIsFree)
{
    const wchar_t name[] = L"\\\\.\\pipe\\tendral-test-busy";
    UniqueHandle server(CreateNamedPipeW(name, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                         PIPE_TYPE_MESSAGE | PIPE_WAIT, 1, 512, 512, 0, nullptr));
    ASSERT_TRUE(server);
    // Another client holds the only instance; the server lets it go after a moment and listens again.
    UniqueHandle other(
        CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(other);
    std::thread freeing([&] {
        Sleep(300);
        DisconnectNamedPipe(server.Get());
        UniqueHandle connected = MakeManualResetEvent();
        OVERLAPPED io{};
        io.hEvent = connected.Get();
        if (!ConnectNamedPipe(server.Get(), &io) && GetLastError() == ERROR_IO_PENDING) {
            if (WaitForSingleObject(connected.Get(), 5000) != WAIT_OBJECT_0) {
                CancelIoEx(server.Get(), &io);
            }
            DWORD ignored = 0;
            GetOverlappedResult(server.Get(), &io, &ignored, TRUE);
        }
    });
    const PipeClient client = PipeClient::Connect(name, GetTickCount64() + 3000, nullptr);
    freeing.join();
    EXPECT_TRUE(client);
    EXPECT_GE(g_opened.size(), 2u);
}

}  // namespace
