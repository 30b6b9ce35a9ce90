// An owned bitmap.
#pragma once

#include "platform/gdi_object.h"

class CBitmap : public CGdiObject {
public:
    BOOL CreateBitmap(int width, int height, UINT planes, UINT bitsPerPixel, const void* bits)
    {
        return Own(::CreateBitmap(width, height, planes, bitsPerPixel, bits));
    }
    // A device-dependent bitmap compatible with `dc`, made from device-independent pixels.
    BOOL CreateDIBitmap(HDC dc, const BITMAPINFOHEADER* header, DWORD init, const void* bits,
                        const BITMAPINFO* info, UINT usage)
    {
        return Own(::CreateDIBitmap(dc, header, init, bits, info, usage));
    }
    // Takes over a bitmap made elsewhere, such as the two that GetIconInfo hands to its caller.
    BOOL Attach(HBITMAP bitmap) { return Own(bitmap); }
};
