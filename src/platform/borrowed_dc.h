// A device context that belongs to someone else, the system's in a draw request: wrapped for the
// drawing calls and handed back when the scope ends, whichever way it ends; never deleted.
#pragma once

#include "platform/dc.h"

class CBorrowedDC : public CDC {
public:
    explicit CBorrowedDC(HDC dc) { Attach(dc); }
    ~CBorrowedDC() override { Detach(); }
};
