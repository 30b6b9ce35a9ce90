#include "recording_window.h"

#include "brightness/event_sink.h"

namespace {

constexpr wchar_t kClassName[] = L"BrightnessRecorder";

}  // namespace

RecordingWindow::RecordingWindow()
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &RecordingWindow::Procedure;
    windowClass.lpszClassName = kClassName;
    RegisterClassW(&windowClass);  // fails harmlessly when a previous window registered it
    m_window = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

RecordingWindow::~RecordingWindow()
{
    if (m_window != nullptr) {
        DestroyWindow(m_window);
    }
}

LRESULT CALLBACK RecordingWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<RecordingWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_BRIGHTNESS && self != nullptr) {
        self->m_received.push_back({wParam, lParam, InSendMessage() != FALSE});
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
