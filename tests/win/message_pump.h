// Waiting for posted messages in a test without blocking forever.
#pragma once

#include <windows.h>

#include <vector>

// Pumps the thread's messages until `message` arrives for `window` or the time is up.
bool WaitForMessage(HWND window, UINT message, DWORD timeoutMs, MSG* received = nullptr);
// Pumps for the whole duration and returns every `message` that arrived for `window`.
std::vector<MSG> CollectMessages(HWND window, UINT message, DWORD durationMs);

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
