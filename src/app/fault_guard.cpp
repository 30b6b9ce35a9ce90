#include "app/fault_guard.h"

#include <atomic>

#include "platform/system_function.h"
#include "platform/trace.h"
#include "platform/unique_handle.h"

namespace {

std::atomic<FaultGuard::LastAct> g_lastAct{nullptr};
std::atomic<void*> g_lastActContext{nullptr};
std::atomic<bool> g_faulted{false};

DWORD WINAPI RunLastAct(void*)
{
    if (const FaultGuard::LastAct act = g_lastAct.load()) {
        act(g_lastActContext.load());
    }
    return 0;
}

LONG WINAPI EndAfterLastAct(EXCEPTION_POINTERS* fault)
{
    const UINT code = fault != nullptr && fault->ExceptionRecord != nullptr
                          ? static_cast<UINT>(fault->ExceptionRecord->ExceptionCode)
                          : 1;
    if (!g_faulted.exchange(true)) {
        // Not on this thread: its stack may be spent, and a lock it holds (the heap's, the loader's) may
        // never be let go. Bounded, so that the process ends even when the act hangs on such a lock.
        const UniqueHandle thread(CreateThread(nullptr, 0, &RunLastAct, nullptr, 0, nullptr));
        if (thread) {
            WaitForSingleObject(thread.Get(), kFaultLastActBoundMs);
        } else {
            RunLastAct(nullptr);
        }
    }
    TerminateProcess(GetCurrentProcess(), code);
    return EXCEPTION_EXECUTE_HANDLER;
}

#ifndef UOI_TIMERPROC_EXCEPTION_SUPPRESSION
constexpr int UOI_TIMERPROC_EXCEPTION_SUPPRESSION = 7;
#endif
constexpr DWORD kCallbackFilterEnabled = 0x1;  // PROCESS_CALLBACK_FILTER_ENABLED

// Windows may swallow a fault in a window procedure it called back from the kernel (64-bit Windows and
// WOW64) or in a timer callback; the program would then run on after a fault, in an unknown state.
void LetFaultsInCallbacksThrough()
{
    BOOL suppress = FALSE;
    if (!SetUserObjectInformationW(GetCurrentProcess(), UOI_TIMERPROC_EXCEPTION_SUPPRESSION, &suppress,
                                   sizeof suppress)) {
        TraceIgnoredFailure(L"letting faults in timer callbacks through");
    }
    // Windows 7 SP1 and later with the exception-policy update; looked up, since others lack them.
    const auto getPolicy =
        SystemFunction<BOOL(WINAPI*)(LPDWORD)>(L"kernel32.dll", "GetProcessUserModeExceptionPolicy");
    const auto setPolicy =
        SystemFunction<BOOL(WINAPI*)(DWORD)>(L"kernel32.dll", "SetProcessUserModeExceptionPolicy");
    DWORD policy = 0;
    if (getPolicy != nullptr && setPolicy != nullptr && getPolicy(&policy) &&
        !setPolicy(policy & ~kCallbackFilterEnabled)) {
        TraceIgnoredFailure(L"letting faults in window callbacks through");
    }
}

}  // namespace

FaultGuard::FaultGuard(LastAct act, void* context)
{
    g_lastActContext = context;
    g_lastAct = act;
    LetFaultsInCallbacksThrough();
    // Should the filter itself be passed by, no error box keeps the process either.
    SetErrorMode(GetErrorMode() | SEM_NOGPFAULTERRORBOX);
    m_previous = SetUnhandledExceptionFilter(&EndAfterLastAct);
}

FaultGuard::~FaultGuard()
{
    g_lastAct = nullptr;
    SetUnhandledExceptionFilter(m_previous);
}
