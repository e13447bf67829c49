#include "kestrix/decoder.h"
#include "kestrix/stream_reader.h"

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

constexpr bool RulesFitOneRequest()
{
    for (const CopyRule& r : kRules)
        if (r.length > StreamReader::kMaxRequest)
            return false;
    return true;
}
// A record copy is joined in a reader's window in one request.
static_assert(RulesFitOneRequest());

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

// The bytes of an in-memory stream, all in view at once.
class SpanBytes {
public:
    explicit SpanBytes(ByteSpan s) : data_(s.data()), size_(std::min<int64_t>(int64_t(s.size()), kMaxStreamSize)) {}
    const uint8_t* at(int64_t pos, int64_t, int64_t& got) const
    {
        got = std::max<int64_t>(size_ - pos, 0);
        return got > 0 ? data_ + pos : data_;
    }

private:
    const uint8_t* data_;
    int64_t size_;
};

// The packet search and the decoder, over any source that hands out the bytes
// from a position on (`at`: at least min(want, bytes left), contiguous). A
// decode only ever asks for positions at or behind the last one it asked
// for, so a window that moves forward serves it.
template <class Bytes>
int64_t FindStart(Bytes& bytes, int64_t offset)
{
    if (offset < 0)
        return -1;
    int64_t pos = offset;
    for (;;) {
        int64_t got;
        const uint8_t* base = bytes.at(pos, 4, got);
        if (got < 4)
            return -1;
        const uint8_t* p = base;
        const uint8_t* last = base + got - 4; // last position a whole magic fits
        while (p <= last) {
            p = static_cast<const uint8_t*>(std::memchr(p, kNavdataMagic[0], size_t(last - p) + 1));
            if (!p)
                break;
            if (p[1] == kNavdataMagic[1] && p[2] == kNavdataMagic[2] && p[3] == kNavdataMagic[3])
                return pos + (p - base);
            ++p;
        }
        pos += got - 3; // the last three bytes may begin a magic
    }
}

template <class Bytes>
int64_t Decode(Bytes& bytes, int64_t offset, NavdataDecoder& d)
{
    const int64_t start = FindStart(bytes, offset);
    if (start < 0)
        return -1;

    uint8_t* records = reinterpret_cast<uint8_t*>(&d.state);
    const uint32_t copied = d.recordMask | kTimeRecords;

    // Header word: a short read fills only its first bytes.
    {
        int64_t got;
        const uint8_t* p = bytes.at(start + 4, 4, got);
        const int64_t avail = std::min<int64_t>(got, 4);
        std::memcpy(&d.headerWord, p, size_t(avail));
        if (d.coverage)
            d.coverage->headerWordBytes = std::max(d.coverage->headerWordBytes, uint8_t(avail));
    }
    int64_t pos = start + kPacketHeaderSize;

    for (;;) {
        int64_t remaining;
        const uint8_t* header = bytes.at(pos, kOptionHeaderSize, remaining);
        if (remaining < kOptionHeaderSize) {
            // 1 to 3 stray bytes where a header should be are consumed.
            pos += remaining;
            break;
        }
        const uint16_t tag = load16(header);
        const uint16_t optSize = load16(header + 2);
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
                int64_t avail;
                const uint8_t* from = bytes.at(payload, rule.length, avail);
                const bool copy = (copied & RecordBit(tag)) != 0;
                if (avail < int64_t(rule.length)) {
                    // Short copy at the end of the data: fill the start of the
                    // record and end the packet at the end of the stream.
                    if (copy) {
                        std::memcpy(records + rule.recordOffset, from, size_t(avail));
                        if (d.coverage)
                            Cover(d.coverage->recordBytes[tag], avail);
                    }
                    pos = payload + avail;
                    break;
                }
                if (copy) {
                    std::memcpy(records + rule.recordOffset, from, rule.length);
                    if (d.coverage)
                        Cover(d.coverage->recordBytes[tag], rule.length);
                }
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
    return pos;
}

} // namespace

int32_t FindPacketStart(ByteSpan stream, int32_t offset)
{
    SpanBytes bytes(stream);
    return int32_t(FindStart(bytes, offset));
}

int32_t DecodeNavdataPacket(ByteSpan stream, int32_t offset, NavdataDecoder& d)
{
    SpanBytes bytes(stream);
    return int32_t(Decode(bytes, offset, d));
}

int64_t FindPacketStart(StreamReader& stream, int64_t offset)
{
    return FindStart(stream, offset);
}

int64_t DecodeNavdataPacket(StreamReader& stream, int64_t offset, NavdataDecoder& d)
{
    return Decode(stream, offset, d);
}

} // namespace kestrix
