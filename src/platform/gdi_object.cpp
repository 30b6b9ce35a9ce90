#include "platform/gdi_object.h"

#include <utility>

#include "platform/gdi_tally.h"

CGdiObject::CGdiObject(CGdiObject&& other) noexcept : m_hObject(std::exchange(other.m_hObject, nullptr)) {}

CGdiObject& CGdiObject::operator=(CGdiObject&& other) noexcept
{
    if (this != &other) {
        DeleteObject();
        m_hObject = std::exchange(other.m_hObject, nullptr);
    }
    return *this;
}

CGdiObject::~CGdiObject()
{
    DeleteObject();
}

BOOL CGdiObject::DeleteObject()
{
    if (m_hObject == nullptr) {
        return FALSE;
    }
    ::DeleteObject(std::exchange(m_hObject, nullptr));
    GdiTally::Deleted();
    return TRUE;
}

BOOL CGdiObject::Own(HGDIOBJ created)
{
    DeleteObject();
    if (created == nullptr) {
        return FALSE;
    }
    m_hObject = created;
    GdiTally::Created();
    return TRUE;
}
