#include "kestrix/packet_builder.h"

#include "kestrix/decoder.h"

namespace kestrix {

namespace {
void put16(std::vector<uint8_t>& v, uint16_t x)
{
    v.push_back(uint8_t(x));
    v.push_back(uint8_t(x >> 8));
}
void put32(std::vector<uint8_t>& v, uint32_t x)
{
    for (int i = 0; i < 4; ++i)
        v.push_back(uint8_t(x >> (8 * i)));
}
} // namespace

PacketBuilder::PacketBuilder(uint32_t headerWord, uint32_t sequence)
{
    data_.reserve(kFullPacketSize);
    data_.insert(data_.end(), std::begin(kNavdataMagic), std::end(kNavdataMagic));
    put32(data_, headerWord);
    put32(data_, sequence);
    put32(data_, 0);
}

PacketBuilder& PacketBuilder::rawOption(uint16_t tag, uint16_t sizeField,
                                        std::span<const uint8_t> payload)
{
    put16(data_, tag);
    put16(data_, sizeField);
    data_.insert(data_.end(), payload.begin(), payload.end());
    return *this;
}

PacketBuilder& PacketBuilder::option(uint16_t tag, std::span<const uint8_t> payload)
{
    return rawOption(tag, uint16_t(payload.size() + 4), payload);
}

PacketBuilder& PacketBuilder::record(const NavdataState& state, int tag)
{
    return option(uint16_t(tag), {RecordBytes(state, tag), kRecordSlots[tag].size});
}

PacketBuilder& PacketBuilder::bytes(std::span<const uint8_t> raw)
{
    data_.insert(data_.end(), raw.begin(), raw.end());
    return *this;
}

PacketBuilder& PacketBuilder::checksum()
{
    uint32_t sum = 0;
    for (uint8_t b : data_)
        sum += b;
    put16(data_, kChecksumTag);
    put16(data_, 8);
    put32(data_, sum);
    return *this;
}

std::vector<uint8_t> BuildFullPacket(const NavdataState& state, uint32_t headerWord,
                                     uint32_t sequence)
{
    PacketBuilder b(headerWord, sequence);
    for (int tag = 0; tag < kOptionTagCount; ++tag)
        b.record(state, tag);
    b.checksum();
    return b.take();
}

std::vector<uint8_t> BuildDemoPacket(const NavdataState& state, uint32_t headerWord,
                                     uint32_t sequence)
{
    PacketBuilder b(headerWord, sequence);
    b.record(state, 0).record(state, 1).checksum();
    return b.take();
}

} // namespace kestrix
