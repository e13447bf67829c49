// Command line of kestrix_sim. Pure C++, so tests check it without starting
// the program.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrix::sim {

inline constexpr uint16_t kSimAtPort = 5556;
inline constexpr uint16_t kSimNavdataPort = 5554;

struct SimOptions {
    std::string address = "127.0.0.2";
    uint32_t addressValue = 0x7F000002u; // host byte order
    double rate = 200.0;                 // full navdata, datagrams per second
    double demoRate = 15.0;              // reduced navdata, datagrams per second
    uint64_t packets = 0;                // 0: no limit
    double duration = 0.0;               // seconds; 0: no limit
    uint64_t seed = 1;
    double hostile = 0.0;                // probability per datagram
    std::string logPath;                 // empty: no log
    std::string replayPath;              // empty: the synthetic flight
    double speed = 1.0;                  // replay: record times divided by this
    bool loop = false;                   // replay: start over at the end
    bool help = false;
    bool version = false;
};

// Parses a dotted IPv4 address (four decimal parts 0..255, no leading zeros)
// into host byte order.
bool ParseIpv4(std::string_view text, uint32_t& out);

// Parses argv. On failure returns false with a one-line message in `error`.
// Refuses any address outside 127.0.0.0/8.
bool ParseSimOptions(int argc, const char* const* argv, SimOptions& out, std::string& error);

// The --help text.
const char* SimHelpText();

} // namespace kestrix::sim
