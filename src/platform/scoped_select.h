// Selects a GDI object into a device context for one scope and always selects the previous one back.
// Declare it after the object it selects, so that the object is selected out before it is deleted.
#pragma once

#include <windows.h>

class ScopedSelect {
public:
    // A null object selects nothing.
    ScopedSelect(HDC dc, HGDIOBJ object)
        : m_dc(dc), m_previous(object != nullptr ? SelectObject(dc, object) : nullptr)
    {
    }
    ~ScopedSelect()
    {
        if (m_previous != nullptr && m_previous != HGDI_ERROR) {
            SelectObject(m_dc, m_previous);
        }
    }
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_previous;
};
