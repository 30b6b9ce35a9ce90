// The end of the program on an error nothing can handle: the C++ runtime's (memory exhausted, a
// container's bound) or the program's own. It raises a fault of the program's own code, so that the
// fault guard makes its last act (the switch-off) as for any other fault, and ends the process if
// nothing catches it.
#pragma once

// The exception code of such an end, and the process's exit code after it.
inline constexpr unsigned long kFatalProgramError = 0xE0000001;

[[noreturn]] void EndOnFatalError();
