#include "kestrix/find.h"

namespace kestrix {

namespace {
struct EndWalk {
    FindEnd why;
};
} // namespace

FindEnd FindRecords(ByteSpan stream, Condition& condition, int32_t from,
                    const std::function<bool(const FindMatch&)>& onMatch, const std::atomic<bool>* cancel,
                    const std::function<void(std::size_t)>& progress, std::size_t progressStep)
{
    condition.restart();
    NavdataDecoder d;
    LinkCounter link;
    int32_t record = -1;
    std::size_t nextProgress = progressStep;
    try {
        // The walk takes a callback per packet and has no way out: a search
        // that is done leaves it by an exception of its own.
        WalkPackets(stream, d, condition.usesLink() ? &link : nullptr, [&](bool isRecord, double time, auto next) {
            if (cancel && cancel->load(std::memory_order_relaxed))
                throw EndWalk{FindEnd::Cancelled};
            if (progress && std::size_t(next) >= nextProgress) {
                progress(std::min(std::size_t(next), stream.size()));
                nextProgress = std::size_t(next) + progressStep;
            }
            if (!isRecord)
                return;
            ++record;
            if (condition.evaluate(d.state, link.values()) && record >= from && !onMatch({record, time}))
                throw EndWalk{FindEnd::Stopped};
        });
    } catch (const EndWalk& e) {
        return e.why;
    }
    if (progress)
        progress(stream.size());
    return FindEnd::Searched;
}

} // namespace kestrix
