// The one owner of a GDI object (font, brush, pen or bitmap): it deletes the object exactly once, when it
// goes away or when DeleteObject is called. Ownership moves, never copies.
#pragma once

#include <windows.h>

class CGdiObject {
public:
    CGdiObject() = default;
    CGdiObject(CGdiObject&& other) noexcept;
    CGdiObject& operator=(CGdiObject&& other) noexcept;
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
    ~CGdiObject();

    HGDIOBJ GetSafeHandle() const { return m_hObject; }
    // Deletes the object now; FALSE when there was none.
    BOOL DeleteObject();

    HGDIOBJ m_hObject = nullptr;

protected:
    // Takes over a newly created object in place of the one held; FALSE when creation failed.
    BOOL Own(HGDIOBJ created);
};
