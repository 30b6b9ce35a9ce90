#include "square_icon.h"

#include <cstdint>

HICON MakeSquareIcon(COLORREF color, int inset)
{
    constexpr int kSide = 32;
    BITMAPV5HEADER header{};
    header.bV5Size = sizeof header;
    header.bV5Width = kSide;
    header.bV5Height = -kSide;
    header.bV5Planes = 1;
    header.bV5BitCount = 32;
    header.bV5Compression = BI_BITFIELDS;
    header.bV5RedMask = 0x00FF0000;
    header.bV5GreenMask = 0x0000FF00;
    header.bV5BlueMask = 0x000000FF;
    header.bV5AlphaMask = 0xFF000000;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HBITMAP colorBitmap =
        CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0);
    ReleaseDC(nullptr, screen);
    unsigned char maskBits[kSide * kSide / 8] = {};  // set bits are transparent
    const std::uint32_t pixel =
        0xFF000000u | (std::uint32_t{GetRValue(color)} << 16) | (GetGValue(color) << 8) | GetBValue(color);
    if (colorBitmap != nullptr) {
        auto* pixels = static_cast<std::uint32_t*>(bits);
        for (int y = 0; y < kSide; ++y) {
            for (int x = 0; x < kSide; ++x) {
                const bool opaque = x >= inset && x < kSide - inset && y >= inset && y < kSide - inset;
                pixels[y * kSide + x] = opaque ? pixel : 0;
                if (!opaque) {
                    maskBits[(y * kSide + x) / 8] |= static_cast<unsigned char>(0x80 >> (x % 8));
                }
            }
        }
    }
    HBITMAP maskBitmap = CreateBitmap(kSide, kSide, 1, 1, maskBits);
    HICON icon = nullptr;
    if (colorBitmap != nullptr && maskBitmap != nullptr) {
        ICONINFO info{TRUE, 0, 0, maskBitmap, colorBitmap};
        icon = CreateIconIndirect(&info);
    }
    DeleteObject(colorBitmap);
    DeleteObject(maskBitmap);
    return icon;
}
