// A 32-bit top-down DIB section selected into its own memory device context: something to draw into
// with real GDI and then read pixel by pixel or save as a BMP file.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

class DibCanvas {
public:
    DibCanvas(int width, int height);
    ~DibCanvas();
    DibCanvas(const DibCanvas&) = delete;
    DibCanvas& operator=(const DibCanvas&) = delete;

    bool Valid() const { return m_bits != nullptr; }
    HDC Dc() const { return m_dc; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }

    // The pixel as a COLORREF (0x00BBGGRR); CLR_INVALID outside the canvas.
    COLORREF Pixel(int x, int y) const;
    void Fill(COLORREF color);
    // A 24-bit BMP file of the whole canvas; false when it cannot be written.
    bool SaveBmp(const std::wstring& path) const;

private:
    int m_width;
    int m_height;
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_previous = nullptr;
    std::uint32_t* m_bits = nullptr;
};
