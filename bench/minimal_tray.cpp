// The yardstick for the start-up benchmark: the least a tray program can be. One hidden window, one
// icon and a menu the system draws, answering the same callback and Exit command as Velkaro.exe.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include "tray/tray_icon.h"
#include "tray/tray_menu.h"

namespace {

constexpr wchar_t kClass[] = L"TendralMinimalTray";

void Notify(HWND window, DWORD message)
{
    NOTIFYICONDATAW record{};
    record.cbSize = sizeof(record);
    record.hWnd = window;
    record.uID = kTrayIconId;
    record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record.uCallbackMessage = WM_TRAYNOTIFY;
    record.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    lstrcpynW(record.szTip, L"Minimal tray", ARRAYSIZE(record.szTip));
    Shell_NotifyIconW(message, &record);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        case WM_TRAYNOTIFY:
            if (lParam == WM_RBUTTONUP) {
                POINT cursor{};
                GetCursorPos(&cursor);
                SetForegroundWindow(window);
                HMENU menu = CreatePopupMenu();
                AppendMenuW(menu, MF_STRING, ID_TRAY_EXIT, L"Exit");
                TrackPopupMenu(menu, 0, cursor.x, cursor.y, 0, window, nullptr);
                DestroyMenu(menu);
                PostMessageW(window, WM_NULL, 0, 0);
            }
            return 0;
        case WM_COMMAND:
            if (LOWORD(wParam) == ID_TRAY_EXIT) {
                DestroyWindow(window);
            }
            return 0;
        case WM_DESTROY:
            Notify(window, NIM_DELETE);
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    // What every program of the common controls' version 6 must do first, as the real one does: the
    // yardstick's floor includes it.
    INITCOMMONCONTROLSEX controls{sizeof controls, 0xFF};
    InitCommonControlsEx(&controls);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kClass;
    RegisterClassW(&windowClass);
    HWND window = CreateWindowW(kClass, L"Minimal tray", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        return 1;
    }
    Notify(window, NIM_ADD);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
