// Owning BSTR: allocated from a string, freed exactly once.
#pragma once

#include <windows.h>

#include <oleauto.h>

#include <utility>

class UniqueBstr {
public:
    UniqueBstr() = default;
    explicit UniqueBstr(const wchar_t* text) : m_text(SysAllocString(text)) {}
    UniqueBstr(const UniqueBstr&) = delete;
    UniqueBstr& operator=(const UniqueBstr&) = delete;
    ~UniqueBstr() { Reset(); }

    BSTR Get() const { return m_text; }

    void Reset(const wchar_t* text = nullptr)
    {
        SysFreeString(std::exchange(m_text, nullptr));
        if (text != nullptr) {
            m_text = SysAllocString(text);
        }
    }

private:
    BSTR m_text = nullptr;
};
