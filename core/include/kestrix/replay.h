// The replay walk over a loaded stream: every packet from offset 0 in turn.
#pragma once

#include "kestrix/decoder.h"

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

} // namespace kestrix
