// A test icon of known geometry: opaque `color` inside the square [inset, 32 - inset), transparent
// elsewhere. The caller owns it (DestroyIcon); null when it cannot be made.
#pragma once

#include <windows.h>

HICON MakeSquareIcon(COLORREF color, int inset);
