// COM initialised on the calling thread, and uninitialised once when the owner goes, unless kept.
#pragma once

#include "brightness/com_runtime.h"

class ComInitialization {
public:
    ComInitialization() = default;
    ComInitialization(const ComInitialization&) = delete;
    ComInitialization& operator=(const ComInitialization&) = delete;
    ~ComInitialization()
    {
        if (m_initialized) {
            g_comRuntime.uninitialize();
        }
    }

    // Joins the multithreaded apartment. Only a successful call (S_OK, or S_FALSE when the thread was
    // already in it) is undone: uninitialising after a refusal would tear down someone else's COM.
    HRESULT Initialize()
    {
        const HRESULT result = g_comRuntime.initializeEx(nullptr, COINIT_MULTITHREADED);
        m_initialized = SUCCEEDED(result);
        return result;
    }

    // Leaves COM initialised on this thread for good.
    void Keep() { m_initialized = false; }

private:
    bool m_initialized = false;
};
