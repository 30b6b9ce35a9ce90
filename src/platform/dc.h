// A device context. The object owns what it holds and deletes it when it goes away; a device context
// that belongs to someone else is wrapped with Attach and let go with Detach before that.
#pragma once

#include <windows.h>

class CDC {
public:
    CDC() = default;
    virtual ~CDC();
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    HDC GetSafeHdc() const { return m_hDC; }
    // FALSE when `dc` is null or the object already holds one.
    BOOL Attach(HDC dc);
    HDC Detach();

    // A memory device context compatible with `dc` (the screen when null).
    BOOL CreateCompatibleDC(const CDC* dc);
    BOOL DeleteDC();

    HDC m_hDC = nullptr;

protected:
    // True while m_hDC was made by this object, so that the tally counts its deletion.
    bool m_bCreated = false;
};
