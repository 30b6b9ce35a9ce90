#include "message_pump.h"

bool WaitForMessage(HWND window, UINT message, DWORD timeoutMs, MSG* received)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.hwnd == window && msg.message == message) {
                if (received != nullptr) {
                    *received = msg;
                }
                return true;
            }
            DispatchMessageW(&msg);
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) {
            return false;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
    }
}

std::vector<MSG> CollectMessages(HWND window, UINT message, DWORD durationMs)
{
    std::vector<MSG> messages;
    const ULONGLONG deadline = GetTickCount64() + durationMs;
    MSG msg;
    while (GetTickCount64() < deadline) {
        const DWORD remaining = static_cast<DWORD>(deadline - GetTickCount64());
        if (WaitForMessage(window, message, remaining, &msg)) {
            messages.push_back(msg);
        }
    }
    return messages;
}

MessageWindow::MessageWindow()
    : m_window(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr))
{
}

MessageWindow::~MessageWindow()
{
    if (m_window != nullptr) {
        DestroyWindow(m_window);
    }
}
