// Result codes of the Marlet engine and their texts. A code is 0 for success, a property
// rule (104..117), exhausted memory (200), or a socket-library / host-lookup error number.
#pragma once

#include <cstdint>
#include <string>

#include "wsaerror.h"

namespace marlet {

using Code = int32_t;

inline constexpr Code kOk = 0;
inline constexpr Code kAlreadyActive = 104;
inline constexpr Code kLocalPortWhileActive = 106;
inline constexpr Code kLocalHostWhileActive = 107;
inline constexpr Code kNotActive = 109;
inline constexpr Code kMaxPacketSizeWhileActive = 112;
inline constexpr Code kRemoteHostWhileConnected = 114;
inline constexpr Code kRemotePortWhileConnected = 115;
inline constexpr Code kRemotePortZero = 116;
inline constexpr Code kUseConnectionWhileActive = 117;
inline constexpr Code kOutOfMemory = 200;

// Socket-library numbers the engine itself looks at.
inline constexpr Code kWouldBlock = WSAEWOULDBLOCK;
inline constexpr Code kNotSocket = WSAENOTSOCK;
inline constexpr Code kMessageTooLong = WSAEMSGSIZE;
inline constexpr Code kConnectionReset = WSAECONNRESET;
inline constexpr Code kNotInitialised = WSANOTINITIALISED;
inline constexpr Code kHostNotFound = WSAHOST_NOT_FOUND;

// The message a property rule fails with, or nullptr for a code that is not a rule.
const char* RuleText(Code code);

// Table text of a socket-library or lookup code, or nullptr when the table has no row.
const char* SocketErrorText(Code code);

// The text reported for a code that failed without leaving its own text:
// "Out of memory." for 200, else "[code] " and the table text.
std::string CodeText(Code code);

// Texts of the error callback, which reports receive failures while no call runs.
inline constexpr const char* kUnreachableText = "Destination unreachable (service unavailable?).";
inline constexpr const char* kRecvErrorText = "Winsock error in recv()";
inline constexpr Code kEventOutOfMemory = 7;
inline constexpr const char* kEventOutOfMemoryText = "Out of memory while firing DataIn.";

}  // namespace marlet
