// Start-up of Velkaro.exe (one build or several, to compare them) against a minimal tray program, all
// started in turn: medians of the moments a user can tell, and their ratio. Prints figures, asserts
// nothing.
#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "platform/unique_handle.h"
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
    static const double ticksPerMs = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / ticksPerMs;
}

DWORD ProcessOf(HWND window)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

// Polls every millisecond until `done` holds; false after the timeout.
template <class Condition>
bool Await(Condition done)
{
    const double deadline = Now() + kTimeoutMs;
    while (!done()) {
        if (Now() > deadline) {
            return false;
        }
        Sleep(1);
    }
    return true;
}

HWND FindProgramWindow(const Program& program, DWORD pid)
{
    for (HWND window = nullptr;
         (window = FindWindowExW(nullptr, window, program.windowClass, program.title));) {
        if (ProcessOf(window) == pid) {
            return window;
        }
    }
    return nullptr;
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
    for (HWND menu = nullptr; (menu = FindWindowExW(nullptr, menu, L"#32768", nullptr));) {
        if (ProcessOf(menu) == pid && IsWindowVisible(menu)) {
            return true;
        }
    }
    return false;
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
    bool ok = Await([&] { return (window = FindProgramWindow(program, info.dwProcessId)) != nullptr; });
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
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0.0 : n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
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
        programs.push_back({argv[i], L"#32770", L"Ormund"});
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
