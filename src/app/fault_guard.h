// The last word when a fault that nothing handles would end the process (an access violation in the
// driver's library, say): one attempt at the program's last act, then the process ends with the
// fault's code, without a crash dialog that would keep it, and its icon, on screen.
#pragma once

#include <windows.h>

// How long the last act may take: a switch-off is at most a few bounded firmware exchanges.
inline constexpr DWORD kFaultLastActBoundMs = 15000;

class FaultGuard {
public:
    using LastAct = void (*)(void* context);

    // From here on a fault on any thread runs `act` once, on a thread of its own, and then ends the
    // process. A fault inside the act ends it at once.
    FaultGuard(LastAct act, void* context);
    // The act is forgotten: a later fault ends the process at once.
    ~FaultGuard();
    FaultGuard(const FaultGuard&) = delete;
    FaultGuard& operator=(const FaultGuard&) = delete;

private:
    LPTOP_LEVEL_EXCEPTION_FILTER m_previous;
};
