// The firmware library's event side: windows registered with AddHWND receive the firmware's events
// as WM_FIRMWARE_EVENT once ORVWMIEvent has subscribed.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

class EventListener;

// Posted to every registered window; wParam is the event code, lParam 0.
inline constexpr UINT WM_FIRMWARE_EVENT = 0x4040;
// Posted to every registered window when the service accepted the subscription again, after it was
// not there at first or went away: the firmware's settings are worth reading afresh. No parameters.
inline constexpr UINT WM_FIRMWARE_RESUBSCRIBED = 0x4041;

// A method description whose two strings are allocated with malloc (for example _wcsdup).
struct ORV_METHOD_DEF {
    wchar_t* pszMethodName;
    wchar_t* pszParameters;
    std::uint32_t dwMethodId;
};

class CORVWmiAcpi {
public:
    CORVWmiAcpi();
    ~CORVWmiAcpi();
    CORVWmiAcpi(const CORVWmiAcpi&) = delete;
    // Takes over the other object's registered windows; each object keeps its own subscription.
    CORVWmiAcpi& operator=(const CORVWmiAcpi& other);

    void AddHWND(HWND window);

    // Subscribes to the event query in the namespace, waiting at most about a second for the service,
    // and returns whether it accepted. Whatever the answer, the subscription is kept alive in the
    // background: made again when the service comes (back). `buffer` is the caller's scratch space;
    // the library does not write to it, since it is given no size.
    bool ORVWMIEvent(const wchar_t* query, char* buffer, const wchar_t* nameSpace, const wchar_t* language);

    // Frees the record's two strings and zeroes the record.
    void FreeMethodWMI(ORV_METHOD_DEF* method);

private:
    void Deliver(UINT message, WPARAM wParam);

    mutable SRWLOCK m_windowsLock = SRWLOCK_INIT;
    std::vector<HWND> m_windows;
    // Declared last, so destroyed first: the listener is stopped and waited for before the windows it
    // posts to are gone.
    std::unique_ptr<EventListener> m_listener;
};
