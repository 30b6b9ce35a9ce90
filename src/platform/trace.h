// Traces to the debugger output (a debugger or DebugView shows them). They change nothing else, not
// even the thread's last error, and format without the C runtime's printf.
#pragma once

#include <cstdint>

// A failure the program deliberately goes on after: what failed and the system's error code.
void TraceIgnoredFailure(const wchar_t* what);
// A line of text followed by a number, in decimal or as 0x-hex.
enum class TraceBase { Decimal, Hex };
void TraceValue(const wchar_t* text, std::int64_t value, TraceBase base);
