// Navdata packets written straight into a caller's buffer, with no allocation:
// the simulator sends thousands a second. Byte for byte the same as
// BuildFullPacket / BuildDemoPacket of the core library.
//
// Also the hostile datagrams of the robustness mode. Every datagram the
// simulator sends on its navdata port, hostile or not, is at least 12 bytes
// long and carries its packet number, little-endian, in bytes 8..11.
#pragma once

#include "kestrix/packet_builder.h"
#include "kestrix/records.h"

#include <cstddef>
#include <cstdint>
#include <random>

namespace kestrix::sim {

// Demo + Time + checksum.
inline constexpr std::size_t kDemoPacketSize =
    16 + 4 + sizeof(rec::Demo) + 4 + sizeof(rec::Time) + 8;
static_assert(kDemoPacketSize <= 500, "reduced navdata stays at most 500 bytes");
// Largest datagram a hostile packet may grow to.
inline constexpr std::size_t kHostileMaxSize = 9216;
inline constexpr std::size_t kPacketNumberOffset = 8;

// Write a packet into `out` (room for kFullPacketSize / kDemoPacketSize bytes)
// and return its size. `packetNumber` goes into bytes 8..11, bytes 12..15 are 0.
std::size_t WriteFullPacket(const NavdataState& state, uint32_t headerWord, uint32_t packetNumber,
                            uint8_t* out);
std::size_t WriteDemoPacket(const NavdataState& state, uint32_t headerWord, uint32_t packetNumber,
                            uint8_t* out);

enum class HostileKind : uint8_t {
    Noise,       // 12..1500 random bytes (no magic at offset 0), number in bytes 8..11
    WrongSize,   // a good packet with one option's size field made wrong
                 // (0..3, shorter, longer, or 0xFFFF)
    Truncated,   // a good packet cut short (at least 12 bytes kept)
    NoChecksum,  // a good packet without its checksum option
    Oversize,    // a good packet followed by random bytes up to 8193..9216 bytes
};
inline constexpr int kHostileKindCount = 5;
const char* HostileKindName(HostileKind k);

// Deterministic source of hostile datagrams (seeded; the same seed gives the
// same choices on every machine).
class HostileMaker {
public:
    explicit HostileMaker(uint64_t seed) : rng_(seed) {}

    // True with probability `p`.
    bool roll(double p);

    // Turns the good packet in buf[0..len) into a hostile datagram in place
    // (`cap` >= kHostileMaxSize) and returns its new length; `packetNumber`
    // stays in bytes 8..11.
    std::size_t corrupt(uint8_t* buf, std::size_t len, std::size_t cap, uint32_t packetNumber,
                        HostileKind& kind);

private:
    uint64_t below(uint64_t n) { return n ? rng_() % n : 0; }
    void noise(uint8_t* p, std::size_t n);

    std::mt19937_64 rng_;
};

} // namespace kestrix::sim
