// The firmware settings the overclock controller reads and writes: text commands through
// ORV_CallNamePipe, answered with decimal text. Every call is a fresh exchange; nothing is cached.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "firmware/firmware_pipes.h"

inline constexpr std::size_t kRequestSize = firmware_pipes::kRequestSize;
inline constexpr std::size_t kReplySize = 800;

inline constexpr char kQuerySystemItem0[] = "root\\WMI:Q:ORV_System:System:0";
inline constexpr char kQuerySystemItem1[] = "root\\WMI:Q:ORV_System:System:1";
inline constexpr char kQueryApItem6[] = "root\\WMI:Q:ORV_AP:AP:6";
inline constexpr char kSetApItem6Prefix[] = "root\\WMI:S:ORV_AP:AP:6:";

inline constexpr std::int32_t kOverclockOptionBit = 0x02;  // System item 0
inline constexpr std::int32_t kSystem0ForceOffBit = 0x04;  // System item 0
inline constexpr std::int32_t kSystem1ForceOffBit = 0x01;  // System item 1

// True when the firmware's overclock option is on.
bool IsOverclockOptionOn();
// The option as the firmware tells it; empty when the service gave no value.
std::optional<bool> ReadOverclockOption();
// True when the firmware forces the overclocked mode off (checked after its events).
bool IsSystem0ForceOff();
bool IsSystem1ForceOff();
// GetApItem6's answer when the read failed.
inline constexpr std::int32_t kApItem6ReadFailed = -1;

// AP item 6, whose bit 0 is the firmware's copy of the overclocked mode; kApItem6ReadFailed when the
// read failed.
std::int32_t GetApItem6();
// Writes AP item 6 and reads it back; true when the write went through and the read-back matches.
bool SetApItem6(std::int32_t value);

// Puts the command text at the start of an all-zero request buffer. False, with the buffer all zero,
// when the text and its NUL do not fit.
bool FormatRequest(char (&request)[kRequestSize], std::string_view command);
// The set command for AP item 6 with the value's signed decimal text.
bool FormatSetApItem6Request(char (&request)[kRequestSize], std::int32_t value);
// Reads the decimal number at the start of a reply the way atoi does (leading white space, a sign,
// digits up to the first other character), but never reads past `size` bytes and saturates at the
// 32-bit bounds. Empty when the reply has no NUL within `size` bytes or no digits: such a reply is no
// value, and taking it as 0 would let a switch write 0 over the firmware's other bits.
std::optional<std::int32_t> ParseReply(const char* reply, std::size_t size);
