// firmware_sim: plays the machine's firmware service for tests and demos (serve), and drives a running
// one through its control pipe (ctl). docs/firmware-protocol.md describes both.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "firmware_sim/control_server.h"
#include "firmware_sim/firmware_model.h"
#include "firmware_sim/journal.h"
#include "firmware_sim/pipe_connection.h"
#include "firmware_sim/simulator.h"
#include "platform/unique_handle.h"

namespace {

using firmware_sim::PipeConnection;
using firmware_sim::PipeIo;
using firmware_sim::PipeMessage;

constexpr int kExitOk = 0;
constexpr int kExitRefused = 1;
constexpr int kExitCannotStart = 2;
constexpr int kExitNoSimulator = 2;

constexpr DWORD kControlTimeoutMs = 5000;
constexpr DWORD kConnectRetryMs = 50;
constexpr std::size_t kMaxAnswerSize = 4096;

void PrintUsage()
{
    std::fputs(
        "usage: firmware_sim serve [--system0 N] [--system1 N] [--ap6 N] [--journal FILE]\n"
        "       firmware_sim ctl <command> [arguments]\n",
        stderr);
}

std::string ToUtf8(std::wstring_view text)
{
    if (text.empty())
        return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                   nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size, nullptr,
                        nullptr);
    return utf8;
}

int Serve(const std::vector<std::wstring>& args)
{
    firmware_sim::StoredValues values;
    std::optional<std::wstring> journal_path;
    std::vector<std::wstring> seen;
    for (std::size_t i = 0; i < args.size(); i += 2) {
        const std::wstring& option = args[i];
        bool known =
            option == L"--system0" || option == L"--system1" || option == L"--ap6" || option == L"--journal";
        if (!known || i + 1 >= args.size() || std::find(seen.begin(), seen.end(), option) != seen.end()) {
            PrintUsage();
            return kExitCannotStart;
        }
        seen.push_back(option);
        if (option == L"--journal") {
            journal_path = args[i + 1];
            continue;
        }
        std::optional<std::int32_t> value = firmware_sim::ParseValueArgument(ToUtf8(args[i + 1]));
        if (!value) {
            std::fprintf(stderr, "firmware_sim: bad value for %ls: %ls\n", option.c_str(),
                         args[i + 1].c_str());
            return kExitCannotStart;
        }
        (option == L"--system0"   ? values.system0
         : option == L"--system1" ? values.system1
                                  : values.ap6) = *value;
    }

    firmware_sim::Journal journal;
    if (journal_path && !journal.Open(*journal_path)) {
        std::fprintf(stderr, "firmware_sim: cannot create journal %ls (%lu)\n", journal_path->c_str(),
                     GetLastError());
        return kExitCannotStart;
    }
    firmware_sim::Simulator simulator(values, journal);
    if (!simulator.Start()) {
        std::fputs("firmware_sim: the firmware pipes are already served\n", stderr);
        return kExitCannotStart;
    }
    return simulator.Run();
}

// Connects to the control pipe, waiting for a simulator that is still starting until `deadline`.
UniqueHandle ConnectControlPipe(ULONGLONG deadline)
{
    while (true) {
        UniqueHandle pipe(CreateFileW(firmware_sim::kControlPipe, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
        if (pipe) {
            DWORD mode = PIPE_READMODE_MESSAGE;
            if (SetNamedPipeHandleState(pipe.Get(), &mode, nullptr, nullptr))
                return pipe;
            return UniqueHandle();
        }
        ULONGLONG now = GetTickCount64();
        if (now >= deadline)
            return UniqueHandle();
        DWORD remaining = static_cast<DWORD>(deadline - now);
        if (GetLastError() == ERROR_PIPE_BUSY) {
            WaitNamedPipeW(firmware_sim::kControlPipe, remaining);
        } else {
            Sleep(std::min(kConnectRetryMs, remaining));
        }
    }
}

int Control(const std::vector<std::wstring>& args)
{
    std::string command;
    for (const std::wstring& arg : args) {
        if (!command.empty())
            command += ' ';
        command += ToUtf8(arg);
    }
    ULONGLONG deadline = GetTickCount64() + kControlTimeoutMs;
    UniqueHandle pipe = ConnectControlPipe(deadline);
    if (!pipe) {
        std::fputs("firmware_sim: no simulator answers\n", stderr);
        return kExitNoSimulator;
    }
    PipeConnection connection(std::move(pipe), false);
    auto remaining = [deadline] {
        ULONGLONG now = GetTickCount64();
        return now >= deadline ? DWORD{0} : static_cast<DWORD>(deadline - now);
    };
    PipeMessage answer;
    if (connection.WriteMessage(command, remaining(), nullptr) == PipeIo::kDone) {
        answer = connection.ReadMessage(kMaxAnswerSize, remaining(), nullptr);
    }
    if (answer.result != PipeIo::kDone) {
        std::fputs("firmware_sim: no simulator answers\n", stderr);
        return kExitNoSimulator;
    }
    std::printf("%s\n", answer.bytes.c_str());
    bool ok = answer.bytes == "ok" || answer.bytes.starts_with("ok ");
    return ok ? kExitOk : kExitRefused;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    std::vector<std::wstring> args(argv + std::min(argc, 2), argv + argc);
    std::wstring_view mode = argc >= 2 ? argv[1] : L"";
    if (mode == L"serve")
        return Serve(args);
    if (mode == L"ctl" && !args.empty())
        return Control(args);
    PrintUsage();
    return kExitCannotStart;
}
