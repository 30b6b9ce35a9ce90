// The application object: the program derives one class from CWinApp and creates one global instance.
// The entry point runs its InitInstance once; all message processing happens in the main dialog's loop.
#pragma once

#include <windows.h>

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // True would ask for a message loop of the application's own; this layer has none, so the
    // entry point ends the process whatever InitInstance returns.
    virtual BOOL InitInstance();

    // Names the registry key under which settings would be kept. The program keeps no settings, so
    // nothing is done with it.
    void SetRegistryKey(const wchar_t* key);

    static CWinApp* Current();
};

// Dialogs of this program host no ActiveX controls, so there is no container support to switch on;
// the call stays where the start-up order has it.
void AfxEnableControlContainer();

// The module whose resources (templates, icons, strings) the program loads.
HINSTANCE ProgramInstance();

// Runs the one application object; called by the entry point.
int RunApplication();

// From here on the system loads libraries for this process from the system directory only, never from
// the program's own folder, which for a portable copy may be a Downloads folder holding anything. False
// where the system cannot be told (Windows 7 without its loader update).
bool RestrictDllSearchToSystem();
