#include "platform/win_app.h"

#include "platform/system_function.h"

namespace {
CWinApp* g_application = nullptr;
}

CWinApp::CWinApp()
{
    g_application = this;
}

CWinApp::~CWinApp()
{
    if (g_application == this) {
        g_application = nullptr;
    }
}

BOOL CWinApp::InitInstance()
{
    return TRUE;
}

void CWinApp::SetRegistryKey(const wchar_t*) {}

CWinApp* CWinApp::Current()
{
    return g_application;
}

void AfxEnableControlContainer() {}

HINSTANCE ProgramInstance()
{
    return GetModuleHandleW(nullptr);
}

bool RestrictDllSearchToSystem()
{
    // Looked up, so that a system without it still starts the program.
    const auto setDefaultDllDirectories =
        SystemFunction<BOOL(WINAPI*)(DWORD)>(L"kernel32.dll", "SetDefaultDllDirectories");
    return setDefaultDllDirectories != nullptr && setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

int RunApplication()
{
    CWinApp* application = CWinApp::Current();
    if (application == nullptr) {
        return 1;
    }
    application->InitInstance();
    return 0;
}
