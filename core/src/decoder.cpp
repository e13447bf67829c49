#include "kestrix/decoder.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace kestrix {

double NavdataTimeToSeconds(uint32_t timeWord)
{
    // Both integers are exact in double; one correctly rounded division gives
    // the nearest double to seconds + microseconds / 1e6.
    const uint64_t micros = uint64_t(timeWord >> 21) * 1000000u + (timeWord & 0x1FFFFFu);
    return double(micros) / 1e6;
}

static inline int64_t usableSize(ByteSpan s)
{
    return std::min<int64_t>(int64_t(s.size()), kMaxStreamSize);
}

int32_t FindPacketStart(ByteSpan stream, int32_t offset)
{
    const int64_t size = usableSize(stream);
    if (offset < 0 || int64_t(offset) + 4 > size)
        return -1;
    const uint8_t* base = stream.data();
    const uint8_t* p = base + offset;
    const uint8_t* last = base + size - 4; // last position a whole magic fits
    while (p <= last) {
        p = static_cast<const uint8_t*>(std::memchr(p, kNavdataMagic[0], size_t(last - p) + 1));
        if (!p)
            return -1;
        if (p[1] == kNavdataMagic[1] && p[2] == kNavdataMagic[2] && p[3] == kNavdataMagic[3])
            return int32_t(p - base);
        ++p;
    }
    return -1;
}

namespace {
// Fixed copy length per known tag; the record size.
struct CopyRule {
    uint32_t recordOffset;
    uint32_t length;
};
constexpr auto makeRules()
{
    std::array<CopyRule, kOptionTagCount> r{};
    for (int t = 0; t < kOptionTagCount; ++t)
        r[t] = {uint32_t(kRecordSlots[t].offset), uint32_t(kRecordSlots[t].size)};
    return r;
}
constexpr auto kRules = makeRules();

inline void Cover(uint16_t& bytes, int64_t written)
{
    bytes = std::max(bytes, uint16_t(written));
}

inline uint16_t load16(const uint8_t* p)
{
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}
} // namespace

int32_t DecodeNavdataPacket(ByteSpan stream, int32_t offset, NavdataDecoder& d)
{
    const int32_t start = FindPacketStart(stream, offset);
    if (start < 0)
        return -1;

    const int64_t size = usableSize(stream);
    const uint8_t* data = stream.data();
    uint8_t* records = reinterpret_cast<uint8_t*>(&d.state);

    // Header word: a short read fills only its first bytes.
    {
        const int64_t avail = std::clamp<int64_t>(size - (start + 4), 0, 4);
        std::memcpy(&d.headerWord, data + start + 4, size_t(avail));
        if (d.coverage)
            d.coverage->headerWordBytes = std::max(d.coverage->headerWordBytes, uint8_t(avail));
    }
    int64_t pos = int64_t(start) + kPacketHeaderSize;

    for (;;) {
        const int64_t remaining = size - pos;
        if (remaining < kOptionHeaderSize) {
            // 1 to 3 stray bytes where a header should be are consumed.
            if (remaining > 0)
                pos = size;
            break;
        }
        const uint16_t tag = load16(data + pos);
        const uint16_t optSize = load16(data + pos + 2);
        if (d.optionHeaderCounts)
            ++d.optionHeaderCounts[tag];
        const int64_t payload = pos + kOptionHeaderSize;
        if (optSize < kOptionHeaderSize) {
            // A size below the header's own would not move the cursor
            // forward: end the packet behind the header, copy nothing.
            pos = payload;
            break;
        }

        if (tag < kOptionTagCount) {
            if (tag == 4 && optSize != 16) {
                ++d.wrongSizeEvents;
                if (d.onWrongSize)
                    d.onWrongSize();
            } else {
                const CopyRule rule = kRules[tag];
                const int64_t avail = size - payload;
                if (avail < int64_t(rule.length)) {
                    // Short copy at the end of the data: fill the start of the
                    // record and end the packet at the end of the stream.
                    std::memcpy(records + rule.recordOffset, data + payload, size_t(avail));
                    if (d.coverage)
                        Cover(d.coverage->recordBytes[tag], avail);
                    pos = size;
                    break;
                }
                std::memcpy(records + rule.recordOffset, data + payload, rule.length);
                if (d.coverage)
                    Cover(d.coverage->recordBytes[tag], rule.length);
                if (tag == 1)
                    d.recordTime = NavdataTimeToSeconds(d.state.Time.time);
                else if (tag == 13)
                    d.recordTime = NavdataTimeToSeconds(d.state.Vision.time_capture);
            }
        }
        pos = payload + optSize - kOptionHeaderSize;
        if (tag == kChecksumTag)
            break;
    }
    return int32_t(pos);
}

} // namespace kestrix
