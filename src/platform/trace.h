// A trace of a failure the program deliberately goes on after: what failed and the system's error
// code go to the debugger output (a debugger or DebugView shows them). It changes nothing else, not
// even the thread's last error.
#pragma once

void TraceIgnoredFailure(const wchar_t* what);
