// The COM library calls of the brightness watcher, gathered so that tests without a WMI service can
// put recorders and fake objects in their place. The program never changes them.
#pragma once

#include <windows.h>

#include <objbase.h>

struct ComRuntime {
    decltype(&CoInitializeEx) initializeEx = &CoInitializeEx;
    decltype(&CoInitializeSecurity) initializeSecurity = &CoInitializeSecurity;
    decltype(&CoCreateInstance) createInstance = &CoCreateInstance;
    decltype(&CoSetProxyBlanket) setProxyBlanket = &CoSetProxyBlanket;
    decltype(&CoUninitialize) uninitialize = &CoUninitialize;
};

extern ComRuntime g_comRuntime;
