// A hidden message-only window that records every WM_BRIGHTNESS it receives.
#pragma once

#include <windows.h>

#include <vector>

class RecordingWindow {
public:
    struct Received {
        WPARAM wParam;
        LPARAM lParam;
        bool sentFromAnotherThread;
    };

    RecordingWindow();
    ~RecordingWindow();
    RecordingWindow(const RecordingWindow&) = delete;
    RecordingWindow& operator=(const RecordingWindow&) = delete;

    HWND Get() const { return m_window; }
    const std::vector<Received>& Messages() const { return m_received; }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_window = nullptr;
    std::vector<Received> m_received;
};
