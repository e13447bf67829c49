#include "kestrix/find.h"

#include <algorithm>

namespace kestrix {

namespace {
struct EndWalk {
    FindEnd why;
};

// `at` no further than the stream's end (unknown, -1, for a pipe).
template <class Offset>
Offset Clamped(Offset at, Offset size)
{
    if constexpr (std::is_signed_v<Offset>)
        if (size < 0)
            return at;
    return std::min(at, size);
}

template <class Stream, class Offset>
FindEnd FindOver(Stream& stream, Offset size, Condition& condition, int32_t from,
                 const std::function<bool(const FindMatch&)>& onMatch, const std::atomic<bool>* cancel,
                 const std::function<void(Offset)>& progress, Offset progressStep)
{
    condition.restart();
    NavdataDecoder d;
    d.recordMask = 0; // the records the clauses read
    for (const ConditionClause& c : condition.clauses())
        if (c.field)
            d.recordMask |= RecordBit(c.field->tag);
    LinkCounter link;
    int32_t record = -1;
    Offset nextProgress = progressStep;
    try {
        // The walk takes a callback per packet and has no way out: a search
        // that is done leaves it by an exception of its own.
        WalkPackets(stream, d, condition.usesLink() ? &link : nullptr, [&](bool isRecord, double time, auto next) {
            if (cancel && cancel->load(std::memory_order_relaxed))
                throw EndWalk{FindEnd::Cancelled};
            if (progress && Offset(next) >= nextProgress) {
                progress(Clamped(Offset(next), size));
                nextProgress = Offset(next) + progressStep;
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
        progress(Offset(stream.size()));
    return FindEnd::Searched;
}

} // namespace

FindEnd FindRecords(ByteSpan stream, Condition& condition, int32_t from,
                    const std::function<bool(const FindMatch&)>& onMatch, const std::atomic<bool>* cancel,
                    const std::function<void(std::size_t)>& progress, std::size_t progressStep)
{
    return FindOver<ByteSpan, std::size_t>(stream, stream.size(), condition, from, onMatch, cancel, progress,
                                            progressStep);
}

FindEnd FindRecords(StreamReader& stream, Condition& condition, int32_t from,
                    const std::function<bool(const FindMatch&)>& onMatch, const std::atomic<bool>* cancel,
                    const std::function<void(int64_t)>& progress, int64_t progressStep)
{
    if (const StreamFile* f = stream.file())
        f->adviseSequential();
    return FindOver<StreamReader, int64_t>(stream, stream.size(), condition, from, onMatch, cancel, progress,
                                            progressStep);
}

} // namespace kestrix
