// The named mutex that keeps the program to one instance: taken at start-up, released and closed at
// shutdown.
#pragma once

#include "platform/unique_handle.h"

// Named mutex that keeps the program to one instance.
inline constexpr wchar_t kInstanceMutexName[] = L"Tendral";

class InstanceMutex {
public:
    // True when this process now holds the mutex. Any sign of another holder of the name counts as
    // another instance: a handle to it, a refusal to open it (a first instance with higher rights
    // made it), or a create that fails or only opens it.
    bool Take();
    // Lets another instance start; once, and only if taken.
    void Release();
    bool Held() const { return m_held; }

private:
    UniqueHandle m_handle;
    bool m_held = false;
};

// The system call that opens the name. Tests replace it: Wine's mutexes take no access rules, so a
// first instance with higher rights, which this user may not open, cannot be staged there.
using OpenMutexFunction = HANDLE(WINAPI*)(DWORD access, BOOL inherit, LPCWSTR name);
extern OpenMutexFunction g_openMutex;

// Held while this process is the running instance.
extern InstanceMutex g_instanceMutex;
