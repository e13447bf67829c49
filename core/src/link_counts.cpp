#include "kestrix/link_counts.h"

#include "kestrix/stream_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kestrix {

std::optional<uint32_t> ReadPacketNumber(ByteSpan stream, int64_t packetStart)
{
    if (packetStart < 0 || packetStart + 12 > int64_t(stream.size()))
        return std::nullopt;
    const uint8_t* p = stream.data() + packetStart + 8;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

std::optional<uint32_t> PacketNumberFrom(ByteSpan stream, int32_t decodeFrom)
{
    const int32_t start = FindPacketStart(stream, decodeFrom);
    if (start < 0)
        return std::nullopt;
    return ReadPacketNumber(stream, start);
}

std::optional<uint32_t> ReadPacketNumber(StreamReader& stream, int64_t packetStart)
{
    if (packetStart < 0)
        return std::nullopt;
    int64_t got = 0;
    const uint8_t* p = stream.at(packetStart, 12, got);
    if (got < 12)
        return std::nullopt;
    p += 8;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

std::optional<uint32_t> PacketNumberFrom(StreamReader& stream, int64_t decodeFrom)
{
    const int64_t start = FindPacketStart(stream, decodeFrom);
    if (start < 0)
        return std::nullopt;
    return ReadPacketNumber(stream, start);
}

std::optional<LinkKey> FindLinkKey(std::string_view key)
{
    for (int k = 0; k < kLinkKeyCount; ++k)
        if (kLinkKeyNames[k] == key)
            return LinkKey(k);
    return std::nullopt;
}

double LinkValue(const LinkValues& v, LinkKey key)
{
    switch (key) {
    case LinkKey::Packet: return v.packet;
    case LinkKey::Missing: return v.missing;
    case LinkKey::Gap: return v.gap;
    case LinkKey::Rate: return v.rate;
    }
    return 0;
}

void LinkCounter::slideWindow(double seconds)
{
    // Time that went backwards (a restarted drone, the time word's wrap at
    // 2048 s) starts the window afresh.
    if (seconds < lastSeconds_)
        window_.clear();
    lastSeconds_ = seconds;
    while (!window_.empty() && window_.front() <= seconds - 1.0)
        window_.pop_front();
}

void LinkCounter::add(uint32_t number, double seconds)
{
    slideWindow(seconds);
    window_.push_back(seconds);

    uint32_t gap = 0;
    if (summary_.packets == 0) {
        summary_.firstPacket = number;
    } else {
        const uint32_t step = number - summary_.lastPacket; // modulo 2^32
        if (step == 0) {
            ++summary_.duplicates;
        } else if (step >= 0x80000000u) {
            ++summary_.restarts;
        } else if (step > 1) {
            gap = step - 1;
            summary_.missing += gap;
            ++summary_.gaps;
            if (gap > summary_.longestGap) {
                summary_.longestGap = gap;
                // Times are whole microseconds: so is the span across the gap.
                summary_.longestGapSeconds =
                    std::max(0.0, std::round((seconds - previousSeconds_) * 1e6) / 1e6);
            }
        }
    }
    ++summary_.packets;
    summary_.lastPacket = number;
    previousSeconds_ = seconds;

    values_.packet = double(number);
    values_.gap = double(gap);
    values_.missing = double(summary_.missing);
    values_.rate = double(window_.size());
}

void LinkCounter::addSilence(double seconds)
{
    ++summary_.silences;
    slideWindow(seconds);
    values_.gap = 0;
    values_.rate = double(window_.size());
}

void LinkCounter::reset()
{
    *this = LinkCounter();
}

} // namespace kestrix
