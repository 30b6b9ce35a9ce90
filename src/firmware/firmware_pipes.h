// Names and limits of the pipe protocol between the firmware library and the firmware service.
// Shared by the library and the firmware service simulator; docs/firmware-protocol.md describes them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace firmware_pipes {

inline constexpr wchar_t kSettingsPipe[] = L"\\\\.\\pipe\\ORVWmiAcpi";
inline constexpr wchar_t kEventPipe[] = L"\\\\.\\pipe\\ORVWmiAcpi.Events";

// A settings request is exactly this many bytes: the NUL-terminated command, zero-padded.
inline constexpr std::size_t kRequestSize = 80;

// A client gives up connecting after this long (no instance listening, or all busy).
inline constexpr std::uint32_t kConnectTimeoutMs = 1000;
// Bound on one whole settings exchange: a hung service never holds the caller longer.
inline constexpr std::uint32_t kExchangeTimeoutMs = 2000;
// Bound on the event subscription's answer.
inline constexpr std::uint32_t kSubscribeTimeoutMs = 1000;

// Reconnect backoff of the event listener.
inline constexpr std::uint32_t kFirstBackoffMs = 500;
inline constexpr std::uint32_t kMaxBackoffMs = 10000;

// Subscription answer: accepted; any other value is a refusal.
inline constexpr std::uint32_t kSubscriptionAccepted = 0;

}  // namespace firmware_pipes
