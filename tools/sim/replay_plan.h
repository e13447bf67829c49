// A recording cut back into the datagrams it was made of, each with the time
// at which the replay sends it.
#pragma once

#include "kestrix/stream_file.h"

#include <cstddef>
#include <cstdint>
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

struct ReplayPlan {
    StreamBuffer bytes;
    std::vector<ReplayDatagram> datagrams; // in file order, together the whole file
};

// Splits `bytes` into datagrams: one from each packet the decoder finds
// walking the file up to the next such packet (so bytes behind a packet's
// checksum stay with it), the bytes in front of the first packet as one of
// their own, and any piece above kMaxDatagramSize in several. Datagram k is
// due when its packet's time says, counted from the first packet's time;
// a packet without a time goes with the one in front, and time that goes
// backwards (a restarted drone, the wrap of the time word) adds nothing.
// The datagrams cover the file byte for byte, in order.
std::vector<ReplayDatagram> PlanReplay(ByteSpan bytes);

// Reads `path` and plans it. False with one line in `error` for a file that
// cannot be read, is empty, or holds no navdata packet.
bool LoadReplay(const std::string& path, ReplayPlan& out, std::string& error);

} // namespace kestrix::sim
