// The one message pump of the win tests: keeps the thread's messages flowing while a test waits.
#pragma once

#include <windows.h>

#include <functional>

// Dispatches messages until `done` holds or the time is up; true when it held.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);
// Pumps until `message` arrives for `window` (taken, not dispatched) or the time is up.
bool WaitForMessage(HWND window, UINT message, DWORD timeoutMs);

// A hidden message-only window that posted messages can be addressed to; destroyed with the object.
class MessageWindow {
public:
    MessageWindow();
    ~MessageWindow();
    MessageWindow(const MessageWindow&) = delete;
    MessageWindow& operator=(const MessageWindow&) = delete;
    HWND Get() const { return m_window; }

private:
    HWND m_window;
};
