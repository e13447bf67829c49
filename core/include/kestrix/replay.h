// The replay walk over a loaded stream: every packet from offset 0 in turn,
// in memory or read on demand from a file in chunks.
#pragma once

#include "kestrix/decoder.h"
#include "kestrix/stream_reader.h"

#include <cstdint>
#include <utility>

namespace kestrix {

// Sets `cursor` to 0, then decodes packet after packet (cursor := the decoder's
// result) while the cursor is not negative, calling afterEachDecode(cursor)
// after every decode.
//
// The last call comes after the decode that found no further packet: the
// cursor is -1 then and the decoder's state is still that of the last packet.
// The Graph window plots once per call, so that final call repeats the last
// packet's points, and the window removes that repetition afterwards; the
// walk keeps the call so that the window's series come out as they always
// have. Walks that want one call per packet return at once on cursor < 0.
template <class F>
void ReplayStream(ByteSpan stream, NavdataDecoder& decoder, int32_t& cursor, F&& afterEachDecode)
{
    cursor = 0;
    while (cursor >= 0) {
        cursor = DecodeNavdataPacket(stream, cursor, decoder);
        afterEachDecode(std::as_const(cursor));
    }
}

// The same walk over a reader, with a 64-bit cursor (callbacks should take
// int64_t or auto: a position above 2 GiB does not fit 32 bits). A file is
// read once from start to end in the reader's chunks; the reader's failure
// (StreamReadError) ends the walk, thrown to the caller, with the cursor at
// the last packet decoded.
template <class F>
void ReplayStream(StreamReader& stream, NavdataDecoder& decoder, int64_t& cursor, F&& afterEachDecode)
{
    if (const StreamFile* f = stream.file())
        f->adviseSequential();
    cursor = 0;
    while (cursor >= 0) {
        cursor = DecodeNavdataPacket(stream, cursor, decoder);
        afterEachDecode(std::as_const(cursor));
    }
}

} // namespace kestrix
