#include "platform/trace.h"

#include <windows.h>

#include <initializer_list>

namespace {

// Appends `value` to `line` from `length` on; returns the new length. The line has room for it.
int AppendNumber(wchar_t* line, int length, std::int64_t value, TraceBase base)
{
    const unsigned divisor = base == TraceBase::Hex ? 16 : 10;
    std::uint64_t magnitude = value < 0 && base == TraceBase::Decimal ? 0 - static_cast<std::uint64_t>(value)
                                                                      : static_cast<std::uint64_t>(value);
    if (base == TraceBase::Hex) {
        magnitude &= 0xFFFFFFFFull;  // statuses and codes are 32-bit
        line[length++] = L'0';
        line[length++] = L'x';
    } else if (value < 0) {
        line[length++] = L'-';
    }
    wchar_t digits[24];
    int count = 0;
    do {
        digits[count++] = L"0123456789ABCDEF"[magnitude % divisor];
        magnitude /= divisor;
    } while (magnitude != 0);
    while (count > 0) {
        line[length++] = digits[--count];
    }
    return length;
}

// "Tendral: ", the text, `after`, the number, `end`.
void Trace(const wchar_t* text, const wchar_t* after, std::int64_t value, TraceBase base, const wchar_t* end)
{
    const DWORD error = GetLastError();
    wchar_t line[320];
    const int room = static_cast<int>(sizeof line / sizeof line[0]) - 40;  // for the number and the end
    int length = 0;
    for (const wchar_t* part : {L"Tendral: ", text, after}) {
        for (; *part != L'\0' && length < room; ++part) {
            line[length++] = *part;
        }
    }
    length = AppendNumber(line, length, value, base);
    for (; *end != L'\0'; ++end) {
        line[length++] = *end;
    }
    line[length] = L'\0';
    OutputDebugStringW(line);
    SetLastError(error);
}

}  // namespace

void TraceIgnoredFailure(const wchar_t* what)
{
    Trace(what, L" failed (error ", GetLastError(), TraceBase::Decimal, L")\n");
}

void TraceValue(const wchar_t* text, std::int64_t value, TraceBase base)
{
    Trace(text, L"", value, base, L"\n");
}
