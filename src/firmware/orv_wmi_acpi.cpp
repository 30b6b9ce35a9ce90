#include "firmware/orv_wmi_acpi.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "firmware/event_listener.h"
#include "firmware/firmware_pipes.h"
#include "platform/utf8.h"

namespace {

// Long enough for the connect bound and the answer bound of one subscription attempt.
constexpr DWORD kFirstAttemptWaitMs =
    firmware_pipes::kConnectTimeoutMs + firmware_pipes::kSubscribeTimeoutMs + 500;

}  // namespace

CORVWmiAcpi::CORVWmiAcpi() = default;

CORVWmiAcpi::~CORVWmiAcpi() = default;

CORVWmiAcpi& CORVWmiAcpi::operator=(const CORVWmiAcpi& other)
{
    if (this != &other) {
        AcquireSRWLockShared(&other.m_windowsLock);
        std::vector<HWND> windows = other.m_windows;
        ReleaseSRWLockShared(&other.m_windowsLock);

        AcquireSRWLockExclusive(&m_windowsLock);
        m_windows = std::move(windows);
        ReleaseSRWLockExclusive(&m_windowsLock);
    }
    return *this;
}

void CORVWmiAcpi::AddHWND(HWND window)
{
    if (window == nullptr) {
        return;
    }
    AcquireSRWLockExclusive(&m_windowsLock);
    if (std::find(m_windows.begin(), m_windows.end(), window) == m_windows.end()) {
        m_windows.push_back(window);
    }
    ReleaseSRWLockExclusive(&m_windowsLock);
}

bool CORVWmiAcpi::ORVWMIEvent(const wchar_t* query, char*, const wchar_t* nameSpace, const wchar_t* language)
{
    if (query == nullptr || nameSpace == nullptr || language == nullptr) {
        return false;
    }
    const std::string subscription = ToUtf8(nameSpace) + '\n' + ToUtf8(language) + '\n' + ToUtf8(query);
    m_listener.reset();
    m_listener = std::make_unique<EventListener>(
        subscription, [this](std::uint32_t code) { Deliver(WM_FIRMWARE_EVENT, code); },
        [this] { Deliver(WM_FIRMWARE_RESUBSCRIBED, 0); });
    return m_listener->WaitForFirstAttempt(kFirstAttemptWaitMs);
}

void CORVWmiAcpi::FreeMethodWMI(ORV_METHOD_DEF* method)
{
    if (method == nullptr) {
        return;
    }
    std::free(method->pszMethodName);
    std::free(method->pszParameters);
    std::memset(method, 0, sizeof(*method));
}

void CORVWmiAcpi::Deliver(UINT message, WPARAM wParam)
{
    AcquireSRWLockShared(&m_windowsLock);
    const std::vector<HWND> windows = m_windows;
    ReleaseSRWLockShared(&m_windowsLock);
    for (HWND window : windows) {
        if (IsWindow(window)) {
            PostMessageW(window, message, wParam, 0);
        }
    }
}
