#include "packet_writer.h"

#include "kestrix/decoder.h"

#include <algorithm>
#include <cstring>

namespace kestrix::sim {

namespace {

inline void put16(uint8_t*& p, uint16_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p += 2;
}

inline void put32(uint8_t*& p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
    p += 4;
}

inline uint8_t* header(uint8_t* p, uint32_t headerWord, uint32_t packetNumber)
{
    std::memcpy(p, kNavdataMagic, 4);
    p += 4;
    put32(p, headerWord);
    put32(p, packetNumber);
    put32(p, 0);
    return p;
}

inline void record(uint8_t*& p, const NavdataState& s, int tag)
{
    const auto size = kRecordSlots[tag].size;
    put16(p, uint16_t(tag));
    put16(p, uint16_t(size + 4));
    std::memcpy(p, RecordBytes(s, tag), size);
    p += size;
}

inline std::size_t checksum(uint8_t* start, uint8_t* p)
{
    uint32_t sum = 0;
    for (const uint8_t* q = start; q < p; ++q)
        sum += *q;
    put16(p, kChecksumTag);
    put16(p, 8);
    put32(p, sum);
    return std::size_t(p - start);
}

} // namespace

std::size_t WriteFullPacket(const NavdataState& state, uint32_t headerWord, uint32_t packetNumber,
                            uint8_t* out)
{
    uint8_t* p = header(out, headerWord, packetNumber);
    for (int tag = 0; tag < kOptionTagCount; ++tag)
        record(p, state, tag);
    return checksum(out, p);
}

std::size_t WriteDemoPacket(const NavdataState& state, uint32_t headerWord, uint32_t packetNumber,
                            uint8_t* out)
{
    uint8_t* p = header(out, headerWord, packetNumber);
    record(p, state, 0);
    record(p, state, 1);
    return checksum(out, p);
}

const char* HostileKindName(HostileKind k)
{
    switch (k) {
    case HostileKind::Noise: return "noise";
    case HostileKind::WrongSize: return "wrong size";
    case HostileKind::Truncated: return "truncated";
    case HostileKind::NoChecksum: return "no checksum";
    case HostileKind::Oversize: return "oversize";
    }
    return "?";
}

bool HostileMaker::roll(double p)
{
    if (!(p > 0.0))
        return false;
    // 53 random bits as a real in [0, 1).
    const double u = double(rng_() >> 11) * (1.0 / 9007199254740992.0);
    return u < p;
}

void HostileMaker::noise(uint8_t* p, std::size_t n)
{
    for (std::size_t i = 0; i < n; i += 8) {
        const uint64_t r = rng_();
        std::memcpy(p + i, &r, std::min<std::size_t>(8, n - i));
    }
}

std::size_t HostileMaker::corrupt(uint8_t* buf, std::size_t len, std::size_t cap,
                                  uint32_t packetNumber, HostileKind& kind)
{
    kind = HostileKind(below(kHostileKindCount));
    switch (kind) {
    case HostileKind::Noise: {
        len = std::min<std::size_t>(12 + below(1500 - 12 + 1), cap);
        noise(buf, len);
        if (std::memcmp(buf, kNavdataMagic, 4) == 0)
            buf[0] ^= 0xFF;
        break;
    }
    case HostileKind::WrongSize: {
        // Pick one option of the packet and spoil its size field.
        std::size_t offsets[kOptionTagCount + 1];
        std::size_t count = 0;
        for (std::size_t at = kPacketHeaderSize; at + 4 <= len && count < std::size(offsets);) {
            offsets[count++] = at;
            const std::size_t size = std::size_t(buf[at + 2]) | std::size_t(buf[at + 3]) << 8;
            if (size < 4)
                break;
            at += size;
        }
        if (count == 0)
            break;
        const std::size_t at = offsets[below(count)];
        const unsigned size = unsigned(buf[at + 2]) | unsigned(buf[at + 3]) << 8;
        unsigned wrong = 0;
        switch (below(4)) {
        case 0: wrong = unsigned(below(4)); break;                              // below a header
        case 1: wrong = size > 5 ? 4 + unsigned(below(size - 5)) : 0; break;    // shorter
        case 2: wrong = size + 1 + unsigned(below(64)); break;                  // longer
        default: wrong = 0xFFFF; break;                                         // far beyond
        }
        buf[at + 2] = uint8_t(wrong);
        buf[at + 3] = uint8_t(wrong >> 8);
        break;
    }
    case HostileKind::Truncated:
        if (len > 12)
            len = 12 + below(len - 12);
        break;
    case HostileKind::NoChecksum:
        if (len >= 16 + 8)
            len -= 8;
        break;
    case HostileKind::Oversize: {
        const std::size_t target = std::min<std::size_t>(8193 + below(kHostileMaxSize - 8193 + 1), cap);
        if (target > len) {
            noise(buf + len, target - len);
            len = target;
        }
        break;
    }
    }
    // Keep the packet number readable whatever happened above.
    buf[kPacketNumberOffset + 0] = uint8_t(packetNumber);
    buf[kPacketNumberOffset + 1] = uint8_t(packetNumber >> 8);
    buf[kPacketNumberOffset + 2] = uint8_t(packetNumber >> 16);
    buf[kPacketNumberOffset + 3] = uint8_t(packetNumber >> 24);
    return len;
}

} // namespace kestrix::sim
