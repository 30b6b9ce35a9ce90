// The COM and automation calls of the brightness watcher, gathered so that tests without a WMI service
// can put recorders and fake objects in their place. The program sets none: what is unset comes from
// the system's ole32 and oleaut32 when the watcher starts, on its own thread, so that the program's
// start neither loads nor initialises COM.
#pragma once

#include <windows.h>

#include <objbase.h>
#include <oleauto.h>

struct ComRuntime {
    decltype(&CoInitializeEx) initializeEx = nullptr;
    decltype(&CoInitializeSecurity) initializeSecurity = nullptr;
    decltype(&CoCreateInstance) createInstance = nullptr;
    decltype(&CoSetProxyBlanket) setProxyBlanket = nullptr;
    decltype(&CoUninitialize) uninitialize = nullptr;
    decltype(&SysAllocString) allocString = nullptr;
    decltype(&SysFreeString) freeString = nullptr;
    decltype(&VariantClear) variantClear = nullptr;

    // Takes every call still unset from the system's libraries; false when one cannot be had.
    bool Load();
};

extern ComRuntime g_comRuntime;
