// Process entry of a GUI program built on the platform layer.
#include "platform/trace.h"
#include "platform/win_app.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    // First of all, before anything makes the system load a library on the program's behalf.
    if (!RestrictDllSearchToSystem()) {
        TraceIgnoredFailure(L"restricting where libraries are loaded from");
    }
    return RunApplication();
}
