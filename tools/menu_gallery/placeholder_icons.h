// Simple 32 x 32 icons with alpha that stand in for the program's menu icons (131 to 134) until the
// resources exist. Drawn from geometry, so that every run makes the same pixels.
#pragma once

#include <windows.h>

enum class PlaceholderIcon {
    RedCheck,     // 131
    BlackCheck,   // 132
    RedQuestion,  // 133
    RedCross,     // 134
};

// A new icon that the caller owns (DestroyIcon); null when it cannot be made.
HICON MakePlaceholderIcon(PlaceholderIcon kind);

// An icon whose pixels are `color` inside the square [inset, 32 - inset) and transparent elsewhere.
HICON MakeSquareIcon(COLORREF color, int inset);
