// Start-up of Velkaro.exe (one build or several, to compare them) against a minimal tray program, all
// started in turn: medians of the moments a user can tell, and their ratio. Prints figures, asserts
// nothing.
#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "platform/unique_handle.h"
#include "resources/resource.h"
#include "tray/tray_icon.h"
#include "tray/tray_menu.h"

namespace {

struct Program {
    const wchar_t* path;
    const wchar_t* windowClass;
    const wchar_t* title;
};

enum Milestone { kWindow, kIcon, kLoop, kClick, kExit, kMilestones };
constexpr const char* kMilestoneNames[kMilestones] = {"the window exists", "the icon is in the shell",
                                                      "the message loop answers", "a click opens the menu",
                                                      "exit after \"Exit\""};
constexpr DWORD kTimeoutMs = 20000;
constexpr DWORD kSettleMs = 500;

double Now()
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Polls every millisecond until `done` holds; false after the timeout.
template <class Condition>
bool Await(Condition done)
{
    for (const double deadline = Now() + kTimeoutMs; !done(); Sleep(1)) {
        if (Now() > deadline) {
            return false;
        }
    }
    return true;
}

// A top-level window of the process; only a visible one if asked.
HWND FindOf(DWORD pid, const wchar_t* windowClass, const wchar_t* title, bool visible = false)
{
    HWND window = nullptr;
    DWORD owner = 0;
    while (
        (window = FindWindowExW(nullptr, window, windowClass, title)) != nullptr &&
        (GetWindowThreadProcessId(window, &owner), owner != pid || (visible && !IsWindowVisible(window)))) {
    }
    return window;
}

bool IconShown(HWND window)
{
    NOTIFYICONDATAW record{};
    record.cbSize = sizeof(record);
    record.hWnd = window;
    record.uID = kTrayIconId;
    return Shell_NotifyIconW(NIM_MODIFY, &record) != FALSE;  // changes nothing, fails for no icon
}

bool MenuOpen(DWORD pid)
{
    return FindOf(pid, L"#32768", nullptr, true) != nullptr;
}

// One start, one click on the icon, one Exit; false when a step did not come.
bool Measure(const Program& program, const wchar_t* desktop, double (&times)[kMilestones])
{
    std::wstring line = std::wstring(L"\"") + program.path + L"\"";
    std::wstring desktopName = desktop;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.lpDesktop = desktopName.data();
    PROCESS_INFORMATION info{};
    const double start = Now();
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info)) {
        std::fprintf(stderr, "startup_bench: cannot start %ls (error %lu)\n", program.path, GetLastError());
        return false;
    }
    const UniqueHandle thread(info.hThread);
    const UniqueHandle process(info.hProcess);
    HWND window = nullptr;
    bool ok = Await([&] { return (window = FindOf(info.dwProcessId, program.windowClass, program.title)); });
    times[kWindow] = Now() - start;
    ok = ok && Await([&] { return IconShown(window); });
    times[kIcon] = Now() - start;
    // Sent once the icon shows, when the program has no reason left to wait for an answer from the
    // shell: it is answered when the program reads its messages again.
    ok = ok && SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, kTimeoutMs, nullptr) != 0;
    times[kLoop] = Now() - start;
    // The click a user makes at once: its menu opens after whatever the program queued for itself.
    ok = ok && PostMessageW(window, WM_TRAYNOTIFY, kTrayIconId, WM_RBUTTONUP) &&
         Await([&] { return MenuOpen(info.dwProcessId); });
    times[kClick] = Now() - start;
    ok =
        ok && PostMessageW(window, WM_CANCELMODE, 0, 0) && Await([&] { return !MenuOpen(info.dwProcessId); });
    const double exitAsked = Now();
    ok = ok && PostMessageW(window, WM_COMMAND, ID_TRAY_EXIT, 0) &&
         WaitForSingleObject(process.Get(), kTimeoutMs) == WAIT_OBJECT_0;
    times[kExit] = Now() - exitAsked;
    if (!ok) {
        std::fprintf(stderr, "startup_bench: %ls did not get through its start and exit\n", program.path);
        TerminateProcess(process.Get(), 1);
    }
    return ok;
}

double Median(std::vector<double> values)
{
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 5) {
        std::fputs("usage: startup_bench DESKTOP RUNS MINIMAL_EXE VELKARO_EXE [VELKARO_EXE...]\n", stderr);
        return 2;
    }
    HDESK desktop = OpenDesktopW(argv[1], 0, FALSE, GENERIC_ALL);
    if (desktop == nullptr || !SetThreadDesktop(desktop)) {
        std::fprintf(stderr, "startup_bench: cannot use desktop %ls\n", argv[1]);
        return 2;
    }
    const int runs = std::max(1, _wtoi(argv[2]));
    std::vector<Program> programs = {{argv[3], L"TendralMinimalTray", L"Minimal tray"}};
    for (int i = 4; i < argc; ++i) {
        programs.push_back({argv[i], L"#32770", L"" TENDRAL_MAIN_WINDOW_CAPTION});
    }
    const int count = static_cast<int>(programs.size());
    std::vector<std::vector<double>> samples(count * kMilestones);
    // One start of each first, unrecorded: the first start of a program pays for reading it from disk.
    for (int run = -1; run < runs; ++run) {
        for (int turn = 0; turn < count; ++turn) {
            // Each goes first in its turn of rounds, after the last one's exit has settled.
            const int p = (turn + run + count) % count;
            Sleep(kSettleMs);
            double times[kMilestones];
            if (!Measure(programs[p], argv[1], times)) {
                return 1;
            }
            for (int m = 0; run >= 0 && m < kMilestones; ++m) {
                samples[p * kMilestones + m].push_back(times[m]);
            }
        }
    }
    std::printf(
        "%d starts of each, in turn; medians in ms from the process's creation (the exit's from the "
        "command),\nand each program's ratio to the minimal tray program\n%-26s %9s",
        runs, "", "minimal");
    for (int p = 1; p < count; ++p) {
        std::printf(" %9s%d %6s", "program ", p, "ratio");
    }
    std::printf("\n");
    for (int m = 0; m < kMilestones; ++m) {
        const double minimal = Median(samples[m]);
        std::printf("%-26s %9.1f", kMilestoneNames[m], minimal);
        for (int p = 1; p < count; ++p) {
            const double product = Median(samples[p * kMilestones + m]);
            std::printf(" %10.1f %5.2fx", product, minimal > 0 ? product / minimal : 0.0);
        }
        std::printf("\n");
    }
    return 0;
}
