// An owned font.
#pragma once

#include "platform/gdi_object.h"

class CFont : public CGdiObject {
public:
    BOOL CreateFontIndirect(const LOGFONTW* logFont) { return Own(::CreateFontIndirectW(logFont)); }
    BOOL CreateFont(int height, int width, int escapement, int orientation, int weight, BYTE italic,
                    BYTE underline, BYTE strikeOut, BYTE charSet, BYTE outPrecision, BYTE clipPrecision,
                    BYTE quality, BYTE pitchAndFamily, const wchar_t* faceName)
    {
        return Own(::CreateFontW(height, width, escapement, orientation, weight, italic, underline, strikeOut,
                                 charSet, outPrecision, clipPrecision, quality, pitchAndFamily, faceName));
    }
    // The font's description; 0 when there is no font.
    int GetLogFont(LOGFONTW* logFont) const
    {
        return m_hObject != nullptr ? GetObjectW(m_hObject, sizeof(LOGFONTW), logFont) : 0;
    }
};
