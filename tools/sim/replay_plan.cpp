#include "replay_plan.h"

#include "kestrix/replay.h"

#include <algorithm>

namespace kestrix::sim {

namespace {

void AddPieces(std::vector<ReplayDatagram>& out, std::size_t from, std::size_t to, double due)
{
    while (from < to) {
        const std::size_t n = std::min(to - from, kMaxDatagramSize);
        out.push_back({from, n, due});
        from += n;
    }
}

} // namespace

std::vector<ReplayDatagram> PlanReplay(ByteSpan bytes)
{
    struct Packet {
        std::size_t start;
        bool timed;
        double time;
    };
    std::vector<Packet> packets;
    NavdataDecoder d;
    int32_t cursor = 0;
    int32_t from = 0;
    ReplayStream(bytes, d, cursor, [&](auto next) {
        if (next < 0)
            return;
        const int32_t start = FindPacketStart(bytes, from);
        if (start >= 0)
            packets.push_back({std::size_t(start), d.recordTime > 0, d.recordTime});
        d.recordTime = 0;
        from = int32_t(next);
    });

    std::vector<ReplayDatagram> out;
    if (packets.empty())
        return out;
    out.reserve(packets.size() + 1);
    AddPieces(out, 0, packets.front().start, 0.0);
    double due = 0;
    bool haveTime = false;
    double lastTime = 0;
    for (std::size_t k = 0; k < packets.size(); ++k) {
        const Packet& p = packets[k];
        if (p.timed) {
            if (haveTime && p.time > lastTime)
                due += p.time - lastTime;
            haveTime = true;
            lastTime = p.time;
        }
        const std::size_t end = k + 1 < packets.size() ? packets[k + 1].start : bytes.size();
        AddPieces(out, p.start, end, due);
    }
    return out;
}

bool LoadReplay(const std::string& path, ReplayPlan& out, std::string& error)
{
    out = ReplayPlan{};
    if (!ReadStreamFile(path, out.bytes, error))
        return false;
    if (out.bytes.empty()) {
        error = "\"" + path + "\" is empty: nothing to replay";
        return false;
    }
    out.datagrams = PlanReplay(out.bytes.span());
    if (out.datagrams.empty()) {
        error = "\"" + path + "\" holds no navdata packet: nothing to replay";
        out.bytes.reset();
        return false;
    }
    return true;
}

} // namespace kestrix::sim
