// Owning BSTR: allocated from a string, freed exactly once, through the loaded COM runtime.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <utility>

#include "brightness/com_runtime.h"

class UniqueBstr {
public:
    UniqueBstr() = default;
    explicit UniqueBstr(const wchar_t* text) : m_text(g_comRuntime.allocString(text)) {}
    UniqueBstr(const UniqueBstr&) = delete;
    UniqueBstr& operator=(const UniqueBstr&) = delete;
    ~UniqueBstr() { Reset(); }

    BSTR Get() const { return m_text; }

    void Reset(const wchar_t* text = nullptr)
    {
        g_comRuntime.freeString(std::exchange(m_text, nullptr));
        if (text != nullptr) {
            m_text = g_comRuntime.allocString(text);
        }
    }

private:
    BSTR m_text = nullptr;
};
