#include "firmware/settings_channel.h"

#include <charconv>
#include <climits>
#include <cstring>

#include "firmware/orv_call_name_pipe.h"

namespace {

// One exchange; the value of the answer, or empty when the exchange failed or the answer is not a
// NUL-terminated text.
std::optional<std::int32_t> Query(const char (&request)[kRequestSize])
{
    // Cleared so that nothing of an earlier exchange, or of uninitialised memory, can be read as
    // this one's answer.
    char reply[kReplySize] = {};
    if (ORV_CallNamePipe(request, kRequestSize, reply, kReplySize) == 0) {
        return std::nullopt;
    }
    return ParseReply(reply, kReplySize);
}

std::optional<std::int32_t> QueryCommand(std::string_view command)
{
    char request[kRequestSize];
    if (!FormatRequest(request, command)) {
        return std::nullopt;
    }
    return Query(request);
}

bool TestBit(std::string_view command, std::int32_t mask)
{
    const std::optional<std::int32_t> value = QueryCommand(command);
    return value.has_value() && (*value & mask) != 0;
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

bool IsOverclockOptionOn()
{
    return ReadOverclockOption().value_or(false);
}

std::optional<bool> ReadOverclockOption()
{
    const std::optional<std::int32_t> value = QueryCommand(kQuerySystemItem0);
    return value ? std::optional((*value & kOverclockOptionBit) != 0) : std::nullopt;
}

bool IsSystem0ForceOff()
{
    return TestBit(kQuerySystemItem0, kSystem0ForceOffBit);
}

bool IsSystem1ForceOff()
{
    return TestBit(kQuerySystemItem1, kSystem1ForceOffBit);
}

std::int32_t GetApItem6()
{
    return QueryCommand(kQueryApItem6).value_or(kApItem6ReadFailed);
}

bool SetApItem6(std::int32_t value)
{
    char request[kRequestSize];
    if (!FormatSetApItem6Request(request, value)) {
        return false;
    }
    char reply[kReplySize] = {};
    if (ORV_CallNamePipe(request, kRequestSize, reply, kReplySize) == 0) {
        return false;
    }
    // The set's own answer is not trusted; only a fresh read tells what the firmware now holds.
    return GetApItem6() == value;
}

bool FormatRequest(char (&request)[kRequestSize], std::string_view command)
{
    std::memset(request, 0, kRequestSize);
    if (command.size() >= kRequestSize || command.find('\0') != std::string_view::npos) {
        return false;
    }
    std::memcpy(request, command.data(), command.size());
    return true;
}

bool FormatSetApItem6Request(char (&request)[kRequestSize], std::int32_t value)
{
    char text[kRequestSize];
    const std::size_t prefixLength = sizeof(kSetApItem6Prefix) - 1;
    std::memcpy(text, kSetApItem6Prefix, prefixLength);
    const std::to_chars_result end = std::to_chars(text + prefixLength, text + sizeof(text), value);
    return FormatRequest(request, std::string_view(text, static_cast<std::size_t>(end.ptr - text)));
}

std::optional<std::int32_t> ParseReply(const char* reply, std::size_t size)
{
    const char* const end = static_cast<const char*>(std::memchr(reply, '\0', size));
    if (end == nullptr) {
        return std::nullopt;
    }
    const char* p = reply;
    while (p < end && IsSpace(*p)) {
        ++p;
    }
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    // Accumulate the magnitude and stop growing just past the 32-bit range: longer digit runs only
    // saturate.
    constexpr std::int64_t kLimit = static_cast<std::int64_t>(INT32_MAX) + 1;
    std::int64_t magnitude = 0;
    const char* const digits = p;
    for (; p < end && *p >= '0' && *p <= '9'; ++p) {
        magnitude = magnitude * 10 + (*p - '0');
        if (magnitude > kLimit) {
            magnitude = kLimit;
        }
    }
    if (p == digits) {
        return std::nullopt;
    }
    if (negative) {
        return static_cast<std::int32_t>(-magnitude);  // -kLimit is INT32_MIN
    }
    return static_cast<std::int32_t>(magnitude == kLimit ? INT32_MAX : magnitude);
}
