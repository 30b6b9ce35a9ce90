// A library that is not the driver: it lacks nvapi_QueryInterface. Tests install it under the
// driver's name.
#include <windows.h>

extern "C" __declspec(dllexport) int standin_without_query_interface()
{
    return 0;
}
