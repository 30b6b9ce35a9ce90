// firmware_sim: plays the machine's firmware service for tests and demos (serve), and drives a running
// one through its control pipe (ctl). docs/firmware-protocol.md describes both.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "firmware/pipe_client.h"
#include "firmware_sim/control_server.h"
#include "firmware_sim/firmware_model.h"
#include "firmware_sim/journal.h"
#include "firmware_sim/simulator.h"
#include "platform/utf8.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitRefused = 1;
constexpr int kExitCannotStart = 2;
constexpr int kExitNoSimulator = 2;

constexpr DWORD kControlTimeoutMs = 5000;
constexpr std::size_t kMaxAnswerSize = 4096;

void PrintUsage()
{
    std::fputs(
        "usage: firmware_sim serve [--system0 N] [--system1 N] [--ap6 N] [--journal FILE]\n"
        "       firmware_sim ctl <command> [arguments]\n",
        stderr);
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

int Control(const std::vector<std::wstring>& args)
{
    std::string command;
    for (const std::wstring& arg : args) {
        if (!command.empty())
            command += ' ';
        command += ToUtf8(arg);
    }
    // A simulator that is still starting gets until the deadline to open its pipe and answer.
    const ULONGLONG deadline = GetTickCount64() + kControlTimeoutMs;
    PipeClient pipe = PipeClient::Connect(firmware_sim::kControlPipe, deadline, nullptr);
    while (!pipe && GetTickCount64() < deadline) {
        Sleep(10);
        pipe = PipeClient::Connect(firmware_sim::kControlPipe, deadline, nullptr);
    }
    char buffer[kMaxAnswerSize];
    DWORD received = 0;
    if (!pipe ||
        pipe.Write(command.data(), static_cast<DWORD>(command.size()), deadline, nullptr) !=
            PipeStatus::Done ||
        pipe.Read(buffer, sizeof(buffer), &received, deadline, nullptr) != PipeStatus::Done) {
        std::fputs("firmware_sim: no simulator answers\n", stderr);
        return kExitNoSimulator;
    }
    const std::string answer(buffer, received);
    std::printf("%s\n", answer.c_str());
    const bool ok = answer == "ok" || answer.starts_with("ok ");
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
