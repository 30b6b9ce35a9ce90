// Process entry of a GUI program built on the platform layer.
#include "platform/win_app.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    return RunApplication();
}
