// An owned brush.
#pragma once

#include "platform/gdi_object.h"

class CBrush : public CGdiObject {
public:
    CBrush() = default;
    explicit CBrush(COLORREF color) { CreateSolidBrush(color); }
    BOOL CreateSolidBrush(COLORREF color) { return Own(::CreateSolidBrush(color)); }
};
