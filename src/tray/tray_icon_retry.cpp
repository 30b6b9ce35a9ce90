#include "tray/tray_icon_retry.h"

#include "tray/tray_icon.h"

void TrayIconRetry::Start(HWND window)
{
    Stop();
    if (SetTimer(window, kTimerId, kIntervalMs, nullptr) != 0) {
        m_window = window;
        m_attemptsLeft = kAttempts;
    }
}

void TrayIconRetry::OnTick(NOTIFYICONDATAW& record)
{
    if (m_window == nullptr) {
        return;
    }
    // An add that timed out may have gone through after all; RestoreTrayIcon then finds the icon.
    if (RestoreTrayIcon(record) || --m_attemptsLeft <= 0) {
        Stop();
    }
}

void TrayIconRetry::Stop()
{
    if (m_window != nullptr) {
        KillTimer(m_window, kTimerId);
    }
    m_window = nullptr;
    m_attemptsLeft = 0;
}
