// Link health from packet numbers.
//
// Every datagram the drone sends carries its packet number in header bytes
// 8..11 (little-endian, one more per datagram). The decoder skips those bytes;
// this unit reads them beside it and counts what the numbers say about the
// link: datagrams missing in front of a packet, restarts (a number that goes
// backwards), duplicates (the same number again), and the rate of arrival
// over the last second.
#pragma once

#include "kestrix/decoder.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string_view>

namespace kestrix {

// Bytes 8..11 of the packet whose magic starts at `packetStart`, when all four
// lie inside the stream.
std::optional<uint32_t> ReadPacketNumber(ByteSpan stream, int64_t packetStart);

// The number of the packet that a decode from `decodeFrom` reads: that of the
// first magic at or after it (the decoder's own search).
std::optional<uint32_t> PacketNumberFrom(ByteSpan stream, int32_t decodeFrom);

// The same two over a stream read on demand.
std::optional<uint32_t> ReadPacketNumber(StreamReader& stream, int64_t packetStart);
std::optional<uint32_t> PacketNumberFrom(StreamReader& stream, int64_t decodeFrom);

// The plottable link keys, each a value of LinkValues.
enum class LinkKey : uint8_t { Packet, Missing, Gap, Rate };
inline constexpr std::string_view kLinkKeyNames[] = {"Link.packet", "Link.missing", "Link.gap",
                                                     "Link.rate"};
inline constexpr int kLinkKeyCount = 4;

// Exact, case-sensitive match of the whole key.
std::optional<LinkKey> FindLinkKey(std::string_view key);

// The link as the latest packet left it.
struct LinkValues {
    double packet = 0;  // Link.packet: the number of the latest numbered packet
    double missing = 0; // Link.missing: datagrams missing so far (sum of the forward gaps)
    double gap = 0;     // Link.gap: datagrams missing just in front of the latest packet
    double rate = 0;    // Link.rate: packets in the last second of time
};

double LinkValue(const LinkValues& v, LinkKey key);

// Totals over everything counted.
struct LinkSummary {
    uint64_t packets = 0;       // numbered packets counted
    uint32_t firstPacket = 0;   // number of the first (valid when packets > 0)
    uint32_t lastPacket = 0;    // number of the last
    uint64_t missing = 0;       // sum of the forward gaps
    uint64_t gaps = 0;          // forward gaps (each one or more datagrams)
    uint64_t restarts = 0;      // numbers that went backwards
    uint64_t duplicates = 0;    // numbers equal to the previous one
    uint64_t longestGap = 0;    // datagrams of the largest forward gap
    double longestGapSeconds = 0; // time across that gap, whole microseconds (never negative)
    uint64_t silences = 0;        // stretches without any datagram (live only)
};

// Counts a sequence of packet numbers with their times (drone time in a
// recording, arrival time live; packets without a time of their own are
// given the previous one's).
//
// The step from one number to the next is taken modulo 2^32: 1 is the normal
// step (0xFFFFFFFF to 0 included), 2 .. 2^31 - 1 a forward gap of step - 1
// datagrams, 0 a duplicate, and anything else -- a number that went
// backwards -- a restart. A duplicate or a restart is never counted as missing
// datagrams; counting carries on from the new number.
class LinkCounter {
public:
    void add(uint32_t number, double seconds);

    // A stretch without datagrams, seen by a live receiver: counted, and the
    // rate drops to what the last second still holds at `seconds`.
    void addSilence(double seconds);

    const LinkValues& values() const noexcept { return values_; }
    const LinkSummary& summary() const noexcept { return summary_; }

    void reset();

private:
    void slideWindow(double seconds);

    LinkValues values_;
    LinkSummary summary_;
    double lastSeconds_ = 0;     // latest time given (the window's end)
    double previousSeconds_ = 0; // time of the latest numbered packet
    std::deque<double> window_; // times of the packets of the last second
};

} // namespace kestrix
