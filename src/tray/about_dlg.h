// The About box. The tray menu shows one, made when first shown and kept; the system menu's About
// runs a separate one modally.
#pragma once

#include "platform/dialog.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg();

    // Moves the box to the centre of the desktop, keeping its size, and repaints it.
    void CenterOnDesktop();
};
