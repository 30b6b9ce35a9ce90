// The device context of a whole window, frame included; of the whole screen for no window. Released
// when the object goes away.
#pragma once

#include "platform/dc.h"

class CWindowDC : public CDC {
public:
    explicit CWindowDC(HWND window);
    ~CWindowDC() override;

private:
    HWND m_hWnd;
};
