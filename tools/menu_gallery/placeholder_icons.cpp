#include "menu_gallery/placeholder_icons.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <initializer_list>

namespace {

constexpr int kSide = 32;
constexpr double kStroke = 2.6;           // half the width of a line
constexpr std::uint32_t kRed = 0xD02020;  // 0x00RRGGBB
constexpr std::uint32_t kBlack = 0x202020;
constexpr double kPi = 3.14159265358979323846;

struct Segment {
    double x0, y0, x1, y1;
};

double DistanceToSegment(double x, double y, const Segment& s)
{
    const double dx = s.x1 - s.x0;
    const double dy = s.y1 - s.y0;
    const double t = std::clamp(((x - s.x0) * dx + (y - s.y0) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
    return std::hypot(x - (s.x0 + t * dx), y - (s.y0 + t * dy));
}

bool NearAny(double x, double y, std::initializer_list<Segment> segments)
{
    return std::any_of(segments.begin(), segments.end(),
                       [&](const Segment& s) { return DistanceToSegment(x, y, s) <= kStroke; });
}

bool QuestionMark(double x, double y)
{
    // An open arc over the top, a stroke down to the stem, and a dot.
    const double radius = std::hypot(x - 16, y - 11);
    const double angle = std::atan2(y - 11, x - 16) * 180 / kPi;  // y grows downward
    const bool onArc = std::abs(radius - 6.5) <= kStroke && (angle <= 60 || angle >= 160);
    return onArc || NearAny(x, y, {{19.0, 16.5, 16.0, 19.0}, {16.0, 19.0, 16.0, 21.0}}) ||
           std::hypot(x - 16, y - 26.5) <= 2.4;
}

// Builds a 32-bit icon whose opaque pixels are those `shape` says, in `color`.
HICON MakeIcon(const std::function<bool(double, double)>& shape, std::uint32_t color)
{
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
    // The AND mask too, for targets that cannot blend (monochrome ones): set bits are transparent.
    unsigned char maskBits[kSide * kSide / 8] = {};
    HICON icon = nullptr;
    if (colorBitmap != nullptr) {
        auto* pixels = static_cast<std::uint32_t*>(bits);
        for (int y = 0; y < kSide; ++y) {
            for (int x = 0; x < kSide; ++x) {
                // Pixel centres; fully opaque or fully transparent, so no blending is involved.
                const bool opaque = shape(x + 0.5, y + 0.5);
                pixels[y * kSide + x] = opaque ? 0xFF000000 | color : 0;
                if (!opaque) {
                    maskBits[(y * kSide + x) / 8] |= static_cast<unsigned char>(0x80 >> (x % 8));
                }
            }
        }
    }
    HBITMAP maskBitmap = CreateBitmap(kSide, kSide, 1, 1, maskBits);
    if (colorBitmap != nullptr && maskBitmap != nullptr) {
        ICONINFO info{};
        info.fIcon = TRUE;
        info.hbmColor = colorBitmap;
        info.hbmMask = maskBitmap;
        icon = CreateIconIndirect(&info);
    }
    if (colorBitmap != nullptr) {
        DeleteObject(colorBitmap);
    }
    if (maskBitmap != nullptr) {
        DeleteObject(maskBitmap);
    }
    return icon;
}

std::uint32_t PixelColor(COLORREF color)
{
    return (static_cast<std::uint32_t>(GetRValue(color)) << 16) | (GetGValue(color) << 8) | GetBValue(color);
}

}  // namespace

HICON MakePlaceholderIcon(PlaceholderIcon kind)
{
    const auto check = [](double x, double y) { return NearAny(x, y, {{6, 17, 13, 24}, {13, 24, 26, 8}}); };
    switch (kind) {
        case PlaceholderIcon::RedCheck:
            return MakeIcon(check, kRed);
        case PlaceholderIcon::BlackCheck:
            return MakeIcon(check, kBlack);
        case PlaceholderIcon::RedQuestion:
            return MakeIcon(QuestionMark, kRed);
        case PlaceholderIcon::RedCross:
            return MakeIcon(
                [](double x, double y) {
                    return NearAny(x, y, {{8, 8, 24, 24}, {24, 8, 8, 24}});
                },
                kRed);
    }
    return nullptr;
}

HICON MakeSquareIcon(COLORREF color, int inset)
{
    return MakeIcon(
        [inset](double x, double y) {
            return x >= inset && x < kSide - inset && y >= inset && y < kSide - inset;
        },
        PixelColor(color));
}
