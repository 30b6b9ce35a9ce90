// How long a right click takes to show the tray menu, painted, beside a plain menu that the system
// draws with the same four entries, both opened the same way from the same owner in this run. Each
// opening is timed from the right click's handling to the moment the menu's loop first has nothing
// left to do (WM_ENTERIDLE), when the menu is on screen and painted; then the menu is closed. Prints
// medians and their ratio; asserts nothing.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "platform/menu.h"
#include "tray/tray_icon.h"
#include "tray/tray_menu.h"

using Clock = std::chrono::steady_clock;

namespace {

constexpr int kSamples = 301, kWarmUp = 10;

Clock::time_point g_painted;

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ENTERIDLE && wParam == MSGF_MENU) {
        g_painted = Clock::now();
        EndMenu();
        return 0;
    }
    if ((message == WM_MEASUREITEM || message == WM_DRAWITEM) && CMenu::DispatchOwnerDraw(message, lParam)) {
        return TRUE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// What the program does for a right click with a menu the system draws: the foreground, the menu at
// the cursor, tracked, freed.
void ShowPlainMenu(HWND owner)
{
    POINT cursor{};
    GetCursorPos(&cursor);
    SetForegroundWindow(owner);
    HMENU menu = CreatePopupMenu();
    for (const TrayMenuEntry& entry : kTrayMenuEntries) {
        AppendMenuW(menu, MF_STRING, entry.id, entry.text);
    }
    TrackPopupMenu(menu, 0, cursor.x, cursor.y, 0, owner, nullptr);
    PostMessageW(owner, WM_NULL, 0, 0);
    DestroyMenu(menu);
}

// The sample below which `fraction` of them lie, in ms.
double PercentileMs(std::vector<Clock::duration> samples, double fraction)
{
    const auto at = samples.begin() + static_cast<std::ptrdiff_t>(fraction * (samples.size() - 1));
    std::nth_element(samples.begin(), at, samples.end());
    return std::chrono::duration<double, std::milli>(*at).count();
}

void Flush()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageW(&message);
    }
}

}  // namespace

int main()
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = OwnerProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"menu_open_bench";
    RegisterClassW(&windowClass);
    HWND owner = CreateWindowExW(0, windowClass.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                 windowClass.hInstance, nullptr);
    TrayIcon icon;  // never added: the shell is not asked where it is, as under Wine
    std::vector<Clock::duration> trayTimes, plainTimes;
    // Alternating, so that both see the same conditions.
    for (int round = 0; round < kWarmUp + kSamples; ++round) {
        for (const bool tray : {true, false}) {
            Flush();
            const Clock::time_point start = Clock::now();
            tray ? ShowTrayMenu(owner, icon, true, true) : ShowPlainMenu(owner);
            if (round >= kWarmUp) {
                (tray ? trayTimes : plainTimes).push_back(g_painted - start);
            }
        }
    }
    const double trayMs = PercentileMs(trayTimes, 0.5), plainMs = PercentileMs(plainTimes, 0.5);
    // The quickest tenth: what the work itself costs, with the least of the machine's other load in it.
    const double trayQuickMs = PercentileMs(trayTimes, 0.1), plainQuickMs = PercentileMs(plainTimes, 0.1);
    // Each round's two openings saw nearly the same conditions: the median of their ratios shakes less
    // than the ratio of the medians when the machine's load swings.
    std::vector<double> ratios;
    for (std::size_t i = 0; i < trayTimes.size(); ++i) {
        ratios.push_back(std::chrono::duration<double>(trayTimes[i]).count() /
                         std::chrono::duration<double>(plainTimes[i]).count());
    }
    std::nth_element(ratios.begin(), ratios.begin() + ratios.size() / 2, ratios.end());
    std::printf("right click to painted menu, median of %d openings:\n", kSamples);
    std::printf("  the tray menu:              %7.2f ms\n", trayMs);
    std::printf("  a plain menu, same entries: %7.2f ms\n", plainMs);
    std::printf("  ratio of the medians:       %7.2f\n", plainMs > 0 ? trayMs / plainMs : 0.0);
    std::printf("  median ratio of a round:    %7.2f\n", ratios[ratios.size() / 2]);
    std::printf("  10th percentiles:           %7.2f ms and %.2f ms, ratio %.2f\n", trayQuickMs, plainQuickMs,
                plainQuickMs > 0 ? trayQuickMs / plainQuickMs : 0.0);
    DestroyWindow(owner);
    return 0;
}
