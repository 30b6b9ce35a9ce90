// Puts a built stand-in library where the real driver keeps its library: the system directory.
#pragma once

#include <string>

// The driver's library in the system directory, and a stand-in's file as built (bin/../standin/).
std::wstring SystemDriverPath();
std::wstring StandInBuiltPath(const wchar_t* fileName);
// Copies the built library (the stand-in driver by default) there; false when it could not.
bool InstallDriverLibrary(const wchar_t* builtFileName = nullptr);
