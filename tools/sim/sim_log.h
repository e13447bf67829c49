// The datagram log of the simulator (--log FILE), for tests.
//
// One line per datagram received on either port, written and flushed as the
// datagram arrives:
//
//   TIME LOCALPORT SOURCEPORT BYTES\n
//
// TIME is the system's monotonic clock (CLOCK_MONOTONIC, the clock of
// std::chrono::steady_clock and QElapsedTimer on Linux) in milliseconds with
// exactly three decimals; LOCALPORT is the simulator's port the datagram
// arrived on (5554 or 5556); SOURCEPORT is its sender's port; BYTES is the
// datagram's exact content: printable ASCII 0x20..0x7E as is, except the
// backslash, written "\\"; the carriage return written "\r"; every other byte
// "\xHH" with two upper-case hex digits. An empty datagram leaves BYTES empty
// (the line ends in the space after SOURCEPORT). Example:
//
//   12345.678 5556 5556 AT*COMWDG=4\r
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kestrix::sim {

// Appends the escaped form of the bytes to `out`.
void AppendEscaped(std::string& out, const uint8_t* data, std::size_t size);

// One whole log line, newline included.
void FormatLogLine(std::string& out, int64_t monotonicNs, uint16_t localPort, uint16_t sourcePort,
                   const uint8_t* data, std::size_t size);

// Inverse of AppendEscaped; false on a malformed escape.
bool UnescapeLogBytes(std::string_view escaped, std::string& out);

} // namespace kestrix::sim
