// An owned pen.
#pragma once

#include "platform/gdi_object.h"

class CPen : public CGdiObject {
public:
    CPen() = default;
    CPen(int style, int width, COLORREF color) { CreatePen(style, width, color); }
    BOOL CreatePen(int style, int width, COLORREF color) { return Own(::CreatePen(style, width, color)); }
};
