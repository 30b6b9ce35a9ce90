// A pointer of the calling thread's own, in a TLS slot of the system's: the C++ runtime's
// thread_local would bring its emulation and a threads library into the program.
#pragma once

#include <windows.h>

template <class T>
class ThreadSlot {
public:
    ThreadSlot() : m_index(TlsAlloc()) {}
    ~ThreadSlot()
    {
        if (m_index != TLS_OUT_OF_INDEXES) {
            TlsFree(m_index);
        }
    }
    ThreadSlot(const ThreadSlot&) = delete;
    ThreadSlot& operator=(const ThreadSlot&) = delete;

    // Null until this thread sets it. Leaves the thread's last error as it was, which TlsGetValue
    // clears: hooks call this in the middle of other code.
    T* Get() const
    {
        if (m_index == TLS_OUT_OF_INDEXES) {
            return nullptr;
        }
        const DWORD error = GetLastError();
        T* const value = static_cast<T*>(TlsGetValue(m_index));
        SetLastError(error);
        return value;
    }
    void Set(T* value)
    {
        if (m_index != TLS_OUT_OF_INDEXES) {
            TlsSetValue(m_index, value);
        }
    }

private:
    DWORD m_index;
};
