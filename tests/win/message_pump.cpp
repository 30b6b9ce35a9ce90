#include "message_pump.h"

namespace {

// Dispatches messages until `done` holds, `take` claims one instead, or the time is up.
bool Pump(const std::function<bool(const MSG&)>& take, const std::function<bool()>& done, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG msg;
        while (!done() && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (take(msg)) {
                return true;
            }
            DispatchMessageW(&msg);
        }
        const ULONGLONG now = GetTickCount64();
        if (done() || now >= deadline) {
            return done();
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
    }
}

}  // namespace

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    return Pump([](const MSG&) { return false; }, done, timeoutMs);
}

bool WaitForMessage(HWND window, UINT message, DWORD timeoutMs)
{
    return Pump([&](const MSG& msg) { return msg.hwnd == window && msg.message == message; },
                [] { return false; }, timeoutMs);
}

MessageWindow::MessageWindow()
    : m_window(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr))
{
}

MessageWindow::~MessageWindow()
{
    DestroyWindow(m_window);
}
