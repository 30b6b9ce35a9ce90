#include "platform/dc.h"

#include <utility>

#include "platform/gdi_tally.h"

CDC::~CDC()
{
    DeleteDC();
}

BOOL CDC::Attach(HDC dc)
{
    if (dc == nullptr || m_hDC != nullptr) {
        return FALSE;
    }
    m_hDC = dc;
    return TRUE;
}

HDC CDC::Detach()
{
    m_bCreated = false;
    return std::exchange(m_hDC, nullptr);
}

BOOL CDC::CreateCompatibleDC(const CDC* dc)
{
    if (m_hDC != nullptr) {
        return FALSE;
    }
    m_hDC = ::CreateCompatibleDC(dc != nullptr ? dc->m_hDC : nullptr);
    if (m_hDC == nullptr) {
        return FALSE;
    }
    m_bCreated = true;
    GdiTally::Created();
    return TRUE;
}

BOOL CDC::DeleteDC()
{
    if (m_hDC == nullptr) {
        return FALSE;
    }
    if (m_bCreated) {
        GdiTally::Deleted();
    }
    m_bCreated = false;
    return ::DeleteDC(std::exchange(m_hDC, nullptr));
}
