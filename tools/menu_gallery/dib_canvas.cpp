#include "menu_gallery/dib_canvas.h"

#include <cstdio>
#include <vector>

DibCanvas::DibCanvas(int width, int height) : m_width(width), m_height(height)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down: row 0 is the top row
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    m_dc = CreateCompatibleDC(nullptr);
    m_bitmap = CreateDIBSection(m_dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (m_dc == nullptr || m_bitmap == nullptr) {
        return;
    }
    m_previous = SelectObject(m_dc, m_bitmap);
    m_bits = static_cast<std::uint32_t*>(bits);
}

DibCanvas::~DibCanvas()
{
    if (m_previous != nullptr) {
        SelectObject(m_dc, m_previous);
    }
    if (m_bitmap != nullptr) {
        DeleteObject(m_bitmap);
    }
    if (m_dc != nullptr) {
        DeleteDC(m_dc);
    }
}

COLORREF DibCanvas::Pixel(int x, int y) const
{
    if (m_bits == nullptr || x < 0 || y < 0 || x >= m_width || y >= m_height) {
        return CLR_INVALID;
    }
    GdiFlush();
    const std::uint32_t pixel = m_bits[static_cast<std::size_t>(y) * m_width + x];
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

void DibCanvas::Fill(COLORREF color)
{
    HBRUSH brush = CreateSolidBrush(color);
    const RECT all{0, 0, m_width, m_height};
    FillRect(m_dc, &all, brush);
    DeleteObject(brush);
}

bool DibCanvas::SaveBmp(const std::wstring& path) const
{
    if (m_bits == nullptr) {
        return false;
    }
    GdiFlush();
    const int stride = (m_width * 3 + 3) & ~3;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = m_width;
    header.biHeight = m_height;  // bottom-up, as most readers expect
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(stride * m_height);
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + header.biSizeImage;

    std::vector<unsigned char> rows(header.biSizeImage);
    for (int y = 0; y < m_height; ++y) {
        unsigned char* out = rows.data() + static_cast<std::size_t>(m_height - 1 - y) * stride;
        for (int x = 0; x < m_width; ++x) {
            const std::uint32_t pixel = m_bits[static_cast<std::size_t>(y) * m_width + x];
            out[3 * x] = pixel & 0xFF;
            out[3 * x + 1] = (pixel >> 8) & 0xFF;
            out[3 * x + 2] = (pixel >> 16) & 0xFF;
        }
    }
    FILE* stream = _wfopen(path.c_str(), L"wb");
    if (stream == nullptr) {
        return false;
    }
    const bool written = fwrite(&file, sizeof file, 1, stream) == 1 &&
                         fwrite(&header, sizeof header, 1, stream) == 1 &&
                         fwrite(rows.data(), rows.size(), 1, stream) == 1;
    return fclose(stream) == 0 && written;
}
