// A recording cut back into the datagrams it was made of, each with the time
// at which the replay sends it, read from the file as the replay goes.
#pragma once

#include "kestrix/decoder.h"
#include "kestrix/stream_reader.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kestrix::sim {

// Largest UDP payload on IPv4.
inline constexpr std::size_t kMaxDatagramSize = 65507;

struct ReplayDatagram {
    std::size_t offset = 0; // in the recording
    std::size_t size = 0;
    double due = 0;         // seconds after the first datagram, at speed 1
};

// Cuts a recording into datagrams, one after the other: one from each packet
// the decoder finds walking the file up to the next such packet (so bytes
// behind a packet's checksum stay with it), the bytes in front of the first
// packet as one of their own, and any piece above kMaxDatagramSize in
// several. A datagram is due when its packet's time says, counted from the
// first packet's time; a packet without a time goes with the one in front,
// and time that goes backwards (a restarted drone, the wrap of the time word)
// adds nothing. The datagrams cover the file byte for byte, in order.
//
// Only the readers' windows are held: a recording of any size is cut in the
// same small memory. Two readers over the same bytes: one walks the packets,
// one copies the datagrams behind it, each from start to end.
class ReplayCutter {
public:
    ReplayCutter(StreamReader walk, StreamReader bytes);

    // The next datagram, false behind the last one. Throws StreamReadError
    // when the file changed or could not be read.
    bool next(ReplayDatagram& out);
    // The bytes of `g`, a datagram next() gave, into `into` (room for g.size
    // bytes). Throws StreamReadError.
    void copy(const ReplayDatagram& g, uint8_t* into);
    // Back in front of the first datagram.
    void rewind();

private:
    bool cutStretch(); // the next stretch of the file into pieceFrom_..pieceTo_

    StreamReader walk_;
    StreamReader bytes_;
    NavdataDecoder decoder_;
    bool started_ = false;
    int64_t packet_ = -1;    // start of the packet to cut next; -1: none left
    int64_t pieceFrom_ = 0;  // what is left of the stretch being sent
    int64_t pieceTo_ = 0;
    double pieceDue_ = 0;
    double due_ = 0;         // of the latest packet cut
    bool haveTime_ = false;
    double lastTime_ = 0;
};

// Every datagram of a recording held in memory, in order.
std::vector<ReplayDatagram> PlanReplay(ByteSpan bytes);

// Opens `path` for a replay. Null with one line in `error` for a file that
// cannot be read, is not a regular file, is empty, or holds no navdata
// packet; the check reads the file up to its first packet only.
std::unique_ptr<ReplayCutter> OpenReplay(const std::string& path, std::string& error);

} // namespace kestrix::sim
