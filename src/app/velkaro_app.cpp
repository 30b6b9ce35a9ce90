#include "app/velkaro_app.h"

#include <commctrl.h>

#include "app/velkaro_dlg.h"

BOOL CVelkaroApp::InitInstance()
{
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = 0xFF;  // all the basic window classes
    InitCommonControlsEx(&controls);

    CWinApp::InitInstance();
    AfxEnableControlContainer();
    SetRegistryKey(L"Local AppWizard-Generated Applications");

    {
        // Nothing in this layer asks for the application's main window, so it is not recorded.
        CVelkaroDlg dialog;
        dialog.DoModal();
    }
    return FALSE;
}
