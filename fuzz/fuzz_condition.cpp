// libFuzzer target for the condition language of find and the link counts.
//
// The input is taken twice: as condition text and as a recorded stream.
// Condition: the parser never crashes; a refusal names a position inside the
// text (or just behind it) in one line; an accepted condition, written back
// from its clauses, parses to the same clauses, and evaluates on any record.
// Stream: the walk with link counts ends, and the counts hold together (the
// missing datagrams are at least the gaps, the longest gap at most all of
// them, seconds never negative).
//
//   build-fuzz/fuzz/fuzz_condition -dict=fuzz/condition.dict -max_len=4096 CORPUS
// with CORPUS a scratch copy of fuzz/corpus_condition/.

#include "kestrix/condition.h"
#include "kestrix/link_counts.h"
#include "kestrix/replay.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

using namespace kestrix;

namespace {

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "fuzz_condition: %s\n", what);
    std::fflush(stderr);
    std::abort();
}

const char* OpText(ConditionOp op)
{
    switch (op) {
    case ConditionOp::Less: return "<";
    case ConditionOp::LessEqual: return "<=";
    case ConditionOp::Greater: return ">";
    case ConditionOp::GreaterEqual: return ">=";
    case ConditionOp::Equal: return "==";
    case ConditionOp::NotEqual: return "!=";
    case ConditionOp::Changes: return "changes";
    }
    return "?";
}

void CheckCondition(std::string_view text, ByteSpan bytes)
{
    ConditionError error;
    std::optional<Condition> c = Condition::Parse(text, error);
    if (!c) {
        if (error.message.empty() || error.message.find('\n') != std::string::npos)
            fail("a refusal without a one-line message");
        if (error.position < 1 || error.position > text.size() + 1)
            fail("a refusal pointing outside the text");
        return;
    }
    if (c->clauses().empty())
        fail("an accepted condition without clauses");
    std::string again;
    for (const ConditionClause& k : c->clauses()) {
        if (!again.empty())
            again += " and ";
        again += k.key + " " + OpText(k.op);
        if (k.op != ConditionOp::Changes) {
            char number[64];
            std::snprintf(number, sizeof number, " %.17g", k.number);
            again += number;
        }
    }
    ConditionError error2;
    const std::optional<Condition> d = Condition::Parse(again, error2);
    if (!d || d->clauses().size() != c->clauses().size())
        fail("a condition written back does not parse the same");
    for (std::size_t i = 0; i < d->clauses().size(); ++i) {
        const ConditionClause& a = c->clauses()[i];
        const ConditionClause& b = d->clauses()[i];
        if (a.key != b.key || a.op != b.op || a.field != b.field || a.link != b.link ||
            (a.op != ConditionOp::Changes && a.number != b.number))
            fail("a clause written back differs");
    }
    // Any record: the input bytes as the state.
    NavdataState state{};
    std::memcpy(&state, bytes.data(), std::min(bytes.size(), sizeof state));
    LinkValues link{1, 2, 3, 4};
    c->evaluate(NavdataState{}, link);
    c->evaluate(state, link);
}

void CheckLink(ByteSpan stream)
{
    NavdataDecoder d;
    LinkCounter counter;
    int32_t cursor = 0;
    int32_t from = 0;
    double time = 0;
    uint64_t calls = 0;
    ReplayStream(stream, d, cursor, [&](auto next) {
        if (++calls > stream.size() + 2)
            fail("the walk does not end");
        if (next < 0)
            return;
        if (d.recordTime > 0)
            time = d.recordTime;
        d.recordTime = 0;
        if (const std::optional<uint32_t> n = PacketNumberFrom(stream, from))
            counter.add(*n, time);
        from = int32_t(next);
        const LinkValues& v = counter.values();
        if (v.gap < 0 || v.missing < 0 || v.rate < 0 || v.gap > v.missing)
            fail("link values out of order");
    });
    const LinkSummary& s = counter.summary();
    if (s.missing < s.gaps || s.longestGap > s.missing || s.longestGapSeconds < 0 ||
        s.gaps + s.restarts + s.duplicates >= s.packets + (s.packets == 0))
        fail("link summary out of order");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const ByteSpan bytes(data, size);
    CheckCondition(std::string_view(reinterpret_cast<const char*>(data), size), bytes);
    CheckLink(bytes);
    return 0;
}
