#include "replay_plan.h"

#include "kestrix/stream_file.h"

#include <algorithm>
#include <cstring>

namespace kestrix::sim {

ReplayCutter::ReplayCutter(StreamReader walk, StreamReader bytes)
    : walk_(std::move(walk)), bytes_(std::move(bytes))
{
    if (const StreamFile* f = walk_.file())
        f->adviseSequential();
}

void ReplayCutter::rewind()
{
    decoder_ = NavdataDecoder{};
    decoder_.recordMask = 0; // only the record times pace the replay
    started_ = false;
    packet_ = -1;
    pieceFrom_ = pieceTo_ = 0;
    pieceDue_ = due_ = 0;
    haveTime_ = false;
    lastTime_ = 0;
}

bool ReplayCutter::cutStretch()
{
    if (!started_) {
        started_ = true;
        packet_ = FindPacketStart(walk_, 0);
        if (packet_ > 0) {
            // The bytes in front of the first packet, on their own, at once.
            pieceFrom_ = 0;
            pieceTo_ = packet_;
            pieceDue_ = 0;
            return true;
        }
    }
    if (packet_ < 0)
        return false;
    // The packet at packet_, with the bytes up to the next one or the end.
    const int64_t end = DecodeNavdataPacket(walk_, packet_, decoder_);
    if (decoder_.recordTime > 0) {
        if (haveTime_ && decoder_.recordTime > lastTime_)
            due_ += decoder_.recordTime - lastTime_;
        haveTime_ = true;
        lastTime_ = decoder_.recordTime;
    }
    decoder_.recordTime = 0;
    const int64_t following = FindPacketStart(walk_, end);
    pieceFrom_ = packet_;
    pieceTo_ = following >= 0 ? following : std::max(walk_.size(), packet_);
    pieceDue_ = due_;
    packet_ = following;
    return pieceTo_ > pieceFrom_;
}

bool ReplayCutter::next(ReplayDatagram& out)
{
    if (pieceFrom_ == pieceTo_ && !cutStretch())
        return false;
    const int64_t n = std::min<int64_t>(pieceTo_ - pieceFrom_, int64_t(kMaxDatagramSize));
    out = {std::size_t(pieceFrom_), std::size_t(n), pieceDue_};
    pieceFrom_ += n;
    return true;
}

void ReplayCutter::copy(const ReplayDatagram& g, uint8_t* into)
{
    int64_t pos = int64_t(g.offset);
    const int64_t end = pos + int64_t(g.size);
    while (pos < end) {
        int64_t got = 0;
        const uint8_t* p =
            bytes_.at(pos, std::min<int64_t>(end - pos, int64_t(StreamReader::kMaxRequest)), got);
        if (got <= 0) // shorter than when it was cut: no longer the same file
            throw StreamReadError(StreamReadError::Kind::Changed,
                                  bytes_.file() ? bytes_.file()->changedText() : "the recording ended early");
        const int64_t n = std::min(got, end - pos);
        std::memcpy(into, p, std::size_t(n));
        into += n;
        pos += n;
    }
}

std::vector<ReplayDatagram> PlanReplay(ByteSpan bytes)
{
    ReplayCutter cutter{StreamReader(bytes), StreamReader(bytes)};
    std::vector<ReplayDatagram> out;
    ReplayDatagram g;
    while (cutter.next(g))
        out.push_back(g);
    return out;
}

std::unique_ptr<ReplayCutter> OpenReplay(const std::string& path, std::string& error)
{
    const std::shared_ptr<StreamFile> file = StreamFile::Open(path, error);
    if (!file)
        return nullptr;
    if (!file->seekable()) {
        error = "\"" + path + "\" is not a regular file: a replay reads its recording as it goes";
        return nullptr;
    }
    if (file->size() == 0) {
        error = "\"" + path + "\" is empty: nothing to replay";
        return nullptr;
    }
    try {
        StreamReader probe(file);
        if (FindPacketStart(probe, 0) < 0) {
            error = "\"" + path + "\" holds no navdata packet: nothing to replay";
            return nullptr;
        }
    } catch (const StreamReadError& e) {
        error = e.what();
        return nullptr;
    }
    return std::make_unique<ReplayCutter>(StreamReader(file), StreamReader(file));
}

} // namespace kestrix::sim
