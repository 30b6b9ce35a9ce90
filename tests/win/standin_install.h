// Puts the stand-in driver library where the real driver keeps its library: the system directory.
#pragma once

#include <string>

// The stand-in's file as built (bin/../standin/), and its name in the system directory.
std::wstring StandInBuiltPath(const wchar_t* fileName);
std::wstring SystemDriverPath();

// Copies the built library (the stand-in driver by default) into the system directory under the
// driver's name; false when it could not.
bool InstallDriverLibrary(const wchar_t* builtFileName = nullptr);
// Removes it again; true when no driver library is left there.
bool RemoveDriverLibrary();
