#include "app/instance_mutex.h"

#include <utility>

#include "platform/trace.h"

InstanceMutex g_instanceMutex;
OpenMutexFunction g_openMutex = &OpenMutexW;

bool InstanceMutex::Take()
{
    if (UniqueHandle running{g_openMutex(SYNCHRONIZE, FALSE, kInstanceMutexName)};
        running || GetLastError() == ERROR_ACCESS_DENIED) {
        return false;
    }
    UniqueHandle created{CreateMutexW(nullptr, TRUE, kInstanceMutexName)};
    if (!created || GetLastError() == ERROR_ALREADY_EXISTS) {
        return false;
    }
    m_handle = std::move(created);
    m_held = true;
    return true;
}

void InstanceMutex::Release()
{
    if (!m_held) {
        return;
    }
    m_held = false;
    if (!ReleaseMutex(m_handle.Get())) {
        TraceIgnoredFailure(L"releasing the instance mutex");
    }
    m_handle.Reset();
}
