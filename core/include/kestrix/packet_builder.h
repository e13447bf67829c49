// Builds navdata packets byte by byte: the inverse of the decoder. Used by the
// simulator, tests, benchmarks and fuzz seeds.
#pragma once

#include "kestrix/records.h"

#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace kestrix {

class PacketBuilder {
public:
    // Starts a packet: magic, header word, then the 8 skipped bytes (the first
    // four hold `sequence`, little-endian).
    explicit PacketBuilder(uint32_t headerWord = 0, uint32_t sequence = 0);

    // An option whose size field is 4 + payload size.
    PacketBuilder& option(uint16_t tag, std::span<const uint8_t> payload);
    // An option with a size field of the caller's choice; exactly `payload`
    // bytes follow the header, whatever the size says.
    PacketBuilder& rawOption(uint16_t tag, uint16_t sizeField, std::span<const uint8_t> payload);
    // Record `tag` of `state`, with its exact size.
    PacketBuilder& record(const NavdataState& state, int tag);
    template <class R>
    PacketBuilder& record(uint16_t tag, const R& r)
    {
        return option(tag, {reinterpret_cast<const uint8_t*>(&r), sizeof(R)});
    }
    // Raw bytes appended as they are.
    PacketBuilder& bytes(std::span<const uint8_t> raw);
    // The checksum option (tag 0xFFFF, size 8): the byte sum of everything
    // before it. Ends the packet.
    PacketBuilder& checksum();

    const std::vector<uint8_t>& data() const { return data_; }
    std::vector<uint8_t> take() { return std::move(data_); }

private:
    std::vector<uint8_t> data_;
};

// Every one of the 28 records of `state` in tag order, then the checksum.
std::vector<uint8_t> BuildFullPacket(const NavdataState& state, uint32_t headerWord = 0,
                                     uint32_t sequence = 0);
// Demo, Time and the checksum option (the drone's reduced navdata).
std::vector<uint8_t> BuildDemoPacket(const NavdataState& state, uint32_t headerWord = 0,
                                     uint32_t sequence = 0);

// Size of a full packet: 16 + 28 option headers + the records + checksum.
inline constexpr std::size_t kFullPacketSize = 16 + 28 * 4 + sizeof(NavdataState) + 8;

// Time word from seconds and microseconds (microseconds < 2^21).
constexpr uint32_t MakeTimeWord(uint32_t seconds, uint32_t micros)
{
    return (seconds << 21) | (micros & 0x1FFFFFu);
}

} // namespace kestrix
