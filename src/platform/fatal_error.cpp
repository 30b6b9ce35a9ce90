// Linked into the program itself, ahead of the C++ runtime: these definitions take the place of the
// runtime's terminate handler, which demangles and prints the exception's name, and of its throw
// helpers, which build exception objects with strings. Nothing in the program catches an exception,
// so each of them could only end the program; now they do so at once, and the runtime's parts that
// they would bring stay out of it.
#include "platform/fatal_error.h"

#include <windows.h>

#include <cstdlib>
#include <exception>
#include <new>

void EndOnFatalError()
{
    RaiseException(kFatalProgramError, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    TerminateProcess(GetCurrentProcess(), kFatalProgramError);
    for (;;) {
    }
}

// The runtime's operator new throws when memory runs out, which would bring all of exception handling;
// here it ends the program instead. The nothrow form answers null, as it must.
void* operator new(std::size_t size)
{
    void* const memory = std::malloc(size != 0 ? size : 1);
    if (memory == nullptr) {
        EndOnFatalError();
    }
    return memory;
}
void* operator new[](std::size_t size)
{
    return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return std::malloc(size != 0 ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return std::malloc(size != 0 ? size : 1);
}
void operator delete(void* memory) noexcept
{
    std::free(memory);
}
void operator delete[](void* memory) noexcept
{
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept
{
    std::free(memory);
}

namespace __gnu_cxx {

void __verbose_terminate_handler()
{
    EndOnFatalError();
}

}  // namespace __gnu_cxx

namespace std {

void __throw_bad_exception()
{
    EndOnFatalError();
}
void __throw_bad_alloc()
{
    EndOnFatalError();
}
void __throw_bad_array_new_length()
{
    EndOnFatalError();
}
void __throw_bad_cast()
{
    EndOnFatalError();
}
void __throw_bad_typeid()
{
    EndOnFatalError();
}
void __throw_logic_error(const char*)
{
    EndOnFatalError();
}
void __throw_domain_error(const char*)
{
    EndOnFatalError();
}
void __throw_invalid_argument(const char*)
{
    EndOnFatalError();
}
void __throw_length_error(const char*)
{
    EndOnFatalError();
}
void __throw_out_of_range(const char*)
{
    EndOnFatalError();
}
void __throw_out_of_range_fmt(const char*, ...)
{
    EndOnFatalError();
}
void __throw_runtime_error(const char*)
{
    EndOnFatalError();
}
void __throw_range_error(const char*)
{
    EndOnFatalError();
}
void __throw_overflow_error(const char*)
{
    EndOnFatalError();
}
void __throw_underflow_error(const char*)
{
    EndOnFatalError();
}
void __throw_system_error(int)
{
    EndOnFatalError();
}
void __throw_future_error(int)
{
    EndOnFatalError();
}
void __throw_bad_function_call()
{
    EndOnFatalError();
}

}  // namespace std
