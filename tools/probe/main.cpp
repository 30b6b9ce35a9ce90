// probe: a small console helper for the end-to-end tests. It finds windows, samples their
// visibility, sends or posts messages, tells whether a tray icon is there and where the open tray menu's
// entries are, on the virtual desktop named by --desktop (Wine keeps windows per desktop), and prints what it
// saw on standard output.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <iterator>
#include <string>
#include <vector>

#include "menu_gallery/menu_renderer.h"
#include "menu_gallery/tray_menu_sample.h"
#include "platform/dpi.h"
#include "platform/unique_handle.h"

namespace {

// The dialog class of the main window; every probe command addresses windows by this class and title.
constexpr wchar_t kDialogClass[] = L"#32770";

unsigned long long Number(const wchar_t* text)
{
    return std::wcstoull(text, nullptr, 0);
}

HWND FindDialog(const wchar_t* title)
{
    return FindWindowW(kDialogClass, title);
}

bool WaitFor(const wchar_t* title, bool present, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if ((FindDialog(title) != nullptr) == present) {
            return true;
        }
        if (GetTickCount64() >= deadline) {
            return false;
        }
        Sleep(10);
    }
}

// Samples every top-level window with the title from now until the time is up; a window that is
// visible in any sample counts.
int WatchHidden(const wchar_t* title, DWORD durationMs)
{
    const ULONGLONG deadline = GetTickCount64() + durationMs;
    unsigned samples = 0;
    unsigned found = 0;
    unsigned visible = 0;
    while (GetTickCount64() < deadline) {
        ++samples;
        HWND window = FindDialog(title);
        if (window != nullptr) {
            ++found;
            if (IsWindowVisible(window)) {
                ++visible;
            }
        }
        Sleep(1);
    }
    std::printf("samples %u found %u visible %u\n", samples, found, visible);
    return found > 0 && visible == 0 ? 0 : 1;
}

BOOL CALLBACK PrintWindow(HWND window, LPARAM)
{
    wchar_t className[128] = {};
    wchar_t title[256] = {};
    GetClassNameW(window, className, 128);
    GetWindowTextW(window, title, 256);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    RECT r{};
    GetWindowRect(window, &r);
    std::printf("%p pid %lu visible %d class \"%ls\" title \"%ls\" rect %ld,%ld,%ld,%ld\n",
                static_cast<void*>(window), pid, IsWindowVisible(window) ? 1 : 0, className, title, r.left,
                r.top, r.right, r.bottom);
    return TRUE;
}

// The shell answers a modification of an icon it does not have with failure; a modification that
// changes nothing so tells whether the window's icon is in the tray.
int HasTrayIcon(const wchar_t* title, UINT iconId)
{
    HWND window = FindDialog(title);
    if (window == nullptr) {
        std::puts("no window");
        return 1;
    }
    NOTIFYICONDATAW record{};
    record.cbSize = sizeof(record);
    record.hWnd = window;
    record.uID = iconId;
    const bool present = Shell_NotifyIconW(NIM_MODIFY, &record) != FALSE;
    std::puts(present ? "present" : "absent");
    return present ? 0 : 1;
}

// The tip of every icon in Wine's notification area, as its shell shows it: the tools of the shell's
// tooltip controls. A control answers only with memory in the shell's process, so the requests and the
// texts go there and back. One line per icon shown, its lines joined by "|".
BOOL CALLBACK PrintTrayTips(HWND tooltip, LPARAM shellId)
{
    wchar_t className[64] = {};
    DWORD processId = 0;
    GetWindowThreadProcessId(tooltip, &processId);
    if (processId != static_cast<DWORD>(shellId) || GetClassNameW(tooltip, className, 64) == 0 ||
        std::wcscmp(className, TOOLTIPS_CLASSW) != 0) {
        return TRUE;
    }
    const UniqueHandle shell(
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId));
    constexpr std::size_t kTextChars = 1024;  // what the control may write
    auto* remote =
        static_cast<BYTE*>(VirtualAllocEx(shell.Get(), nullptr, sizeof(TTTOOLINFOW) + kTextChars * 2,
                                          MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (remote == nullptr) {
        std::puts("?");
        return TRUE;
    }
    const auto ask = [&](UINT message, WPARAM wParam) {
        DWORD_PTR unused = 0;
        return SendMessageTimeoutW(tooltip, message, wParam, reinterpret_cast<LPARAM>(remote),
                                   SMTO_ABORTIFHUNG, 5000, &unused) != 0;
    };
    const auto tools = SendMessageW(tooltip, TTM_GETTOOLCOUNT, 0, 0);
    for (LRESULT index = 0; index < tools; ++index) {
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof tool;
        wchar_t text[kTextChars] = {};
        bool read = WriteProcessMemory(shell.Get(), remote, &tool, sizeof tool, nullptr) &&
                    ask(TTM_ENUMTOOLSW, static_cast<WPARAM>(index)) &&
                    ReadProcessMemory(shell.Get(), remote, &tool, sizeof tool, nullptr);
        tool.lpszText = reinterpret_cast<wchar_t*>(remote + sizeof tool);
        read = read && WriteProcessMemory(shell.Get(), remote, &tool, sizeof tool, nullptr) &&
               ask(TTM_GETTEXTW, kTextChars) &&
               ReadProcessMemory(shell.Get(), tool.lpszText, text, sizeof text - 2, nullptr);
        std::wstring line = read ? text : L"?";
        std::replace(line.begin(), line.end(), L'\n', L'|');
        // Wine's shell keeps the tool of an icon it no longer shows, with an empty rectangle.
        if (!read || !IsRectEmpty(&tool.rect)) {
            std::printf("%ls\n", line.c_str());
        }
    }
    VirtualFreeEx(shell.Get(), remote, 0, MEM_RELEASE);
    return TRUE;
}

int PrintTrayTips()
{
    DWORD shellId = 0;
    GetWindowThreadProcessId(FindWindowW(L"Shell_TrayWnd", nullptr), &shellId);
    EnumWindows(PrintTrayTips, static_cast<LPARAM>(shellId));
    return shellId != 0 ? 0 : 1;
}

BOOL CALLBACK PrintStaticText(HWND child, LPARAM)
{
    wchar_t className[32] = {};
    GetClassNameW(child, className, 32);
    if (_wcsicmp(className, L"Static") == 0) {
        wchar_t text[512] = {};
        GetWindowTextW(child, text, 512);
        if (text[0] != L'\0') {
            std::printf("%ls\n", text);
        }
    }
    return TRUE;
}

// The texts of a dialog's static controls, such as a message box's message.
int PrintTexts(const wchar_t* title)
{
    HWND window = FindDialog(title);
    if (window == nullptr) {
        return 1;
    }
    EnumChildWindows(window, PrintStaticText, 0);
    return 0;
}

int PrintRect(HWND window)
{
    RECT rect{};
    if (window == nullptr || !GetWindowRect(window, &rect)) {
        return 1;
    }
    std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right, rect.bottom);
    return 0;
}

// The open popup menu, if any: menus are windows of this class while they are shown.
HWND OpenMenu()
{
    HWND menu = FindWindowW(L"#32768", nullptr);
    return menu != nullptr && IsWindowVisible(menu) ? menu : nullptr;
}

// Where to click the tray menu's entry named by its text (in any case) in the open menu: two thirds
// across, within the entries' column, and the middle of its row down. The rows are the menu engine's own
// measures of the tray menu for the DPI the menu opened at, stacked as the menu window stacks them. Another
// process's menu cannot be asked for its items under Wine, so an open menu of another height is taken for
// one that this reckoning does not describe, and gets no answer.
int PrintMenuPoint(const wchar_t* name)
{
    RECT open{};
    const HWND window = OpenMenu();
    const auto named = [name](const TrayMenuEntry& entry) { return _wcsicmp(entry.text, name) == 0; };
    const auto* entry = std::find_if(std::begin(kTrayMenuEntries), std::end(kTrayMenuEntries), named);
    if (window == nullptr || !GetWindowRect(window, &open) || entry == std::end(kTrayMenuEntries)) {
        return 1;
    }
    const UINT dpi = DpiAtPoint({open.left, open.top});
    const auto menu = BuildTrayMenu({true, true, CMenuXP::kStyleFlat, dpi});
    const MenuLayout layout = LayOutMenu(*menu, dpi);
    if (layout.size.cy != open.bottom - open.top) {
        std::fprintf(stderr, "probe: the open menu is %ld high, the tray menu at %u DPI %ld\n",
                     open.bottom - open.top, dpi, layout.size.cy);
        return 1;
    }
    const RECT row = layout.entries[static_cast<std::size_t>(TrayMenuPosition(entry->id))].rect;
    std::printf("%ld %ld\n", open.left + (open.right - open.left) * 2 / 3,
                open.top + kMenuFrame + (row.top + row.bottom) / 2);
    return 0;
}

int CountDialogs(const wchar_t* title)
{
    int count = 0;
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, kDialogClass, title)) != nullptr) {
        ++count;
    }
    std::printf("%d\n", count);
    return 0;
}

// Starts a program on the desktop (when one is named) and waits for it; the probe's exit code is then
// the program's.
int Run(const wchar_t* desktop, DWORD timeoutMs, const std::vector<const wchar_t*>& command)
{
    // Arguments are quoted only when they hold a space: installers read "/S" as a different option.
    std::wstring line;
    for (const wchar_t* part : command) {
        const bool quote = line.empty() || *part == L'\0' || std::wcspbrk(part, L" \t") != nullptr;
        line += line.empty() ? L"" : L" ";
        line += quote ? std::wstring(L"\"") + part + L"\"" : std::wstring(part);
    }
    std::wstring desktopName = desktop != nullptr ? desktop : L"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.lpDesktop = desktop != nullptr ? desktopName.data() : nullptr;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info)) {
        std::fprintf(stderr, "probe: cannot start %ls (error %lu)\n", line.c_str(), GetLastError());
        return 127;
    }
    const UniqueHandle thread(info.hThread);
    const UniqueHandle process(info.hProcess);
    if (WaitForSingleObject(process.Get(), timeoutMs) != WAIT_OBJECT_0) {
        std::fprintf(stderr, "probe: %ls still runs after %lu ms\n", line.c_str(), timeoutMs);
        return 124;
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(process.Get(), &exitCode);
    return static_cast<int>(exitCode);
}

int Usage()
{
    std::fputs(
        "usage: probe [--desktop NAME] COMMAND ...\n"
        "  run MS PROGRAM [ARGS...]      run a program on the desktop; exit with its exit code\n"
        "  hold                          keep the desktop in use until killed\n"
        "  find TITLE                    exit 0 when the dialog exists\n"
        "  count TITLE                   print the number of dialogs with the title\n"
        "  text TITLE                    print the texts of the dialog's static controls\n"
        "  rect TITLE                    print the dialog's window rectangle: left top right bottom\n"
        "  menu-rect                     print the open popup menu's rectangle; exit 1 when none is open\n"
        "  menu-point ENTRY              print where to click the open tray menu's entry: x y\n"
        "  send-registered TITLE NAME WPARAM LPARAM  send a message registered under NAME\n"
        "  wait-window TITLE MS          wait until it exists\n"
        "  wait-gone TITLE MS            wait until it is gone\n"
        "  watch-hidden TITLE MS         sample its visibility; exit 0 when found and never visible\n"
        "  post TITLE MSG WPARAM LPARAM  post a message to it\n"
        "  send TITLE MSG WPARAM LPARAM  send a message (5 s bound) and print the result\n"
        "  tray-has TITLE ID             exit 0 when the dialog's tray icon ID is in the tray\n"
        "  tray-tips                     print the tip of every icon in Wine's tray, its lines joined by |\n"
        "  windows                       list the top-level windows\n"
        "  path TITLE                    print the path of the program whose dialog it is\n"
        "  lock FILE                     keep the file open, undeletable, until killed\n",
        stderr);
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    std::vector<const wchar_t*> args(argv + 1, argv + argc);
    const wchar_t* desktopName = nullptr;
    if (args.size() >= 2 && std::wcscmp(args[0], L"--desktop") == 0) {
        desktopName = args[1];
        HDESK desktop = OpenDesktopW(args[1], 0, FALSE, GENERIC_ALL);
        if (desktop == nullptr || !SetThreadDesktop(desktop)) {
            std::fprintf(stderr, "probe: cannot use desktop %ls\n", args[1]);
            return 2;
        }
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.empty()) {
        return Usage();
    }
    const std::wstring command = args[0];
    if (command == L"run" && args.size() >= 3) {
        return Run(desktopName, static_cast<DWORD>(Number(args[1])), {args.begin() + 2, args.end()});
    }
    if (command == L"hold" && args.size() == 1) {
        Sleep(INFINITE);
        return 0;
    }
    if (command == L"rect" && args.size() == 2) {
        return PrintRect(FindDialog(args[1]));
    }
    if (command == L"menu-rect" && args.size() == 1) {
        return PrintRect(OpenMenu());
    }
    if (command == L"menu-point" && args.size() == 2) {
        return PrintMenuPoint(args[1]);
    }
    if (command == L"send-registered" && args.size() == 5) {
        HWND window = FindDialog(args[1]);
        const UINT message = RegisterWindowMessageW(args[2]);
        DWORD_PTR result = 0;
        if (window == nullptr || message == 0 ||
            !SendMessageTimeoutW(window, message, static_cast<WPARAM>(Number(args[3])),
                                 static_cast<LPARAM>(Number(args[4])), SMTO_ABORTIFHUNG, 5000, &result)) {
            return 1;
        }
        std::printf("%lld\n", static_cast<long long>(result));
        return 0;
    }
    if (command == L"text" && args.size() == 2) {
        return PrintTexts(args[1]);
    }
    if (command == L"count" && args.size() == 2) {
        return CountDialogs(args[1]);
    }
    if (command == L"find" && args.size() == 2) {
        return FindDialog(args[1]) != nullptr ? 0 : 1;
    }
    if (command == L"wait-window" && args.size() == 3) {
        return WaitFor(args[1], true, static_cast<DWORD>(Number(args[2]))) ? 0 : 1;
    }
    if (command == L"wait-gone" && args.size() == 3) {
        return WaitFor(args[1], false, static_cast<DWORD>(Number(args[2]))) ? 0 : 1;
    }
    if (command == L"watch-hidden" && args.size() == 3) {
        return WatchHidden(args[1], static_cast<DWORD>(Number(args[2])));
    }
    if ((command == L"post" || command == L"send") && args.size() == 5) {
        HWND window = FindDialog(args[1]);
        if (window == nullptr) {
            std::fprintf(stderr, "probe: no window \"%ls\"\n", args[1]);
            return 1;
        }
        const UINT message = static_cast<UINT>(Number(args[2]));
        const WPARAM wParam = static_cast<WPARAM>(Number(args[3]));
        const LPARAM lParam = static_cast<LPARAM>(Number(args[4]));
        if (command == L"post") {
            return PostMessageW(window, message, wParam, lParam) ? 0 : 1;
        }
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result)) {
            std::fprintf(stderr, "probe: send failed, error %lu\n", GetLastError());
            return 1;
        }
        std::printf("%lld\n", static_cast<long long>(result));
        return 0;
    }
    if (command == L"tray-has" && args.size() == 3) {
        return HasTrayIcon(args[1], static_cast<UINT>(Number(args[2])));
    }
    if (command == L"tray-tips" && args.size() == 1) {
        return PrintTrayTips();
    }
    if (command == L"path" && args.size() == 2) {
        DWORD processId = 0;
        GetWindowThreadProcessId(FindDialog(args[1]), &processId);
        const UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
        wchar_t path[MAX_PATH];
        DWORD size = MAX_PATH;
        if (!process || !QueryFullProcessImageNameW(process.Get(), 0, path, &size)) {
            return 1;
        }
        std::printf("%ls\n", path);
        return 0;
    }
    if (command == L"lock" && args.size() == 2) {
        // As a running program's file is on Windows: readable, but neither written nor deleted.
        const UniqueHandle file(
            CreateFileW(args[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!file) {
            return 1;
        }
        Sleep(INFINITE);
        return 0;
    }
    if (command == L"windows" && args.size() == 1) {
        EnumWindows(PrintWindow, 0);
        return 0;
    }
    return Usage();
}
