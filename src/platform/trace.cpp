#include "platform/trace.h"

#include <windows.h>

#include <cwchar>
#include <iterator>

void TraceIgnoredFailure(const wchar_t* what)
{
    const DWORD error = GetLastError();
    wchar_t line[256];
    std::swprintf(line, std::size(line), L"Tendral: %ls failed (error %lu)\n", what,
                  static_cast<unsigned long>(error));
    OutputDebugStringW(line);
    SetLastError(error);
}
