// The application object: runs the hidden main window modally and ends the process after it.
#pragma once

#include "platform/win_app.h"

class CVelkaroApp : public CWinApp {
public:
    BOOL InitInstance() override;
};
