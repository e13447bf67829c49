// Parser for the AT command datagrams the simulated Kestrix receives on its
// AT port. Pure C++, no framework: the simulator and the tests use it alike.
//
// One datagram holds zero or more commands, each ended by a carriage return:
//
//   "AT*" NAME [ "=" SEQ { "," ARG } ] "\r"
//
// NAME is one of REF, PCMD, FTRIM, CONFIG, CONFIG_IDS, COMWDG, LED, PWM
// (capitals). SEQ and integer arguments are signed 32-bit decimals (an optional
// "-", then 1 to 10 digits, within range; no "+", no spaces). String arguments
// are double-quoted and hold no double quote or carriage return. Only the
// watchdog may come without "=" and sequence field ("AT*COMWDG\r", the link
// probe). Argument counts per command:
//
//   REF        1 integer  (flag word)
//   PCMD       5 integers (flag, roll, pitch, gaz, yaw; the last four are the
//                          IEEE-754 single bits of a real)
//   FTRIM      none
//   CONFIG     2 strings  (key, value)
//   CONFIG_IDS 3 strings  (session, profile, application)
//   COMWDG     none
//   LED        3 integers (type, frequency as single bits, duration)
//   PWM        4 integers (motor 1..4)
//
// Anything else (an unknown name, a wrong argument count or kind, a number out
// of range, a stray byte, a command missing its carriage return at the end of
// the datagram) is one unparsed command. Empty commands (two carriage returns
// in a row) are skipped without counting: the tool's "Send" with an empty edit
// produces one.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kestrix::sim {

enum class AtKind : uint8_t { Ref, Pcmd, Ftrim, Config, ConfigIds, Comwdg, Led, Pwm };

struct AtCommand {
    AtKind kind = AtKind::Comwdg;
    bool hasSequence = false;   // false only for the probe "AT*COMWDG"
    int32_t sequence = 0;
    int argCount = 0;
    std::array<int32_t, 5> ints{};      // integer arguments, in order
    std::array<std::string, 3> texts{}; // string arguments (unquoted), in order
};

// Name as written after "AT*" ("REF", "CONFIG_IDS", ...).
std::string_view AtKindName(AtKind kind);

// Parses one command text without its carriage return. Returns false (and
// leaves `out` unspecified) when the text is not a command of the catalogue.
bool ParseAtCommand(std::string_view text, AtCommand& out);

// Splits datagrams into commands, parses them, and keeps the counters.
class AtParser {
public:
    // Parses every command of one datagram; returns the commands that parsed,
    // in order. `out` is cleared first.
    void feed(std::string_view datagram, std::vector<AtCommand>& out);

    uint64_t datagrams() const { return datagrams_; }
    uint64_t parsed() const { return parsed_; }
    uint64_t unparsed() const { return unparsed_; }
    // The sequence number of the last command seen that carried one (0 before).
    int32_t lastSequence() const { return lastSequence_; }
    bool sawSequence() const { return sawSequence_; }

private:
    uint64_t datagrams_ = 0;
    uint64_t parsed_ = 0;
    uint64_t unparsed_ = 0;
    int32_t lastSequence_ = 0;
    bool sawSequence_ = false;
};

} // namespace kestrix::sim
