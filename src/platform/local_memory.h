// Memory that a system call allocated with LocalAlloc for the caller (a security descriptor, a SID's
// text): freed with LocalFree exactly once, when the owner goes away.
#pragma once

#include <windows.h>

#include <memory>

struct LocalFreeDeleter {
    void operator()(void* memory) const { LocalFree(memory); }
};
using LocalMemory = std::unique_ptr<void, LocalFreeDeleter>;
