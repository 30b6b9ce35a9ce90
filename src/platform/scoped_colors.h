// Sets a device context's text colour, and optionally its background colour, for one scope and always
// sets the previous ones back, so that a drawing step leaves the context as it found it.
#pragma once

#include <windows.h>

#include <optional>

class ScopedColors {
public:
    ScopedColors(HDC dc, COLORREF text, std::optional<COLORREF> background = std::nullopt)
        : m_dc(dc),
          m_previousText(SetTextColor(dc, text)),
          m_previousBackground(background ? std::optional(SetBkColor(dc, *background)) : std::nullopt)
    {
    }
    ~ScopedColors()
    {
        SetTextColor(m_dc, m_previousText);
        if (m_previousBackground) {
            SetBkColor(m_dc, *m_previousBackground);
        }
    }
    ScopedColors(const ScopedColors&) = delete;
    ScopedColors& operator=(const ScopedColors&) = delete;

private:
    HDC m_dc;
    COLORREF m_previousText;
    std::optional<COLORREF> m_previousBackground;
};
