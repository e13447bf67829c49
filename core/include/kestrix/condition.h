// The condition language of "find": which records to stop at.
//
//   CONDITION := CLAUSE [and CLAUSE]...
//   CLAUSE    := KEY OP NUMBER | KEY changes
//   OP        := <  <=  >  >=  ==  !=
//   NUMBER    := decimal (-12, 0.5, 1e3) or hexadecimal with 0x (0x1F)
//
// KEY is a plot key of the catalogue (Demo.altitude) or a link key
// (Link.missing). Values are the catalogue's values with no multiplier, or the
// link counts. "KEY changes" holds on a record whose value differs from the
// previous record's (never on the first record evaluated). Words are separated
// by blanks; an operator needs no blanks around it (Demo.altitude>=1000).
//
// A condition is parsed once into a small tree (the clauses joined by "and")
// and evaluated once per record.
#pragma once

#include "kestrix/link_counts.h"
#include "kestrix/plot_fields.h"
#include "kestrix/records.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrix {

enum class ConditionOp : uint8_t { Less, LessEqual, Greater, GreaterEqual, Equal, NotEqual, Changes };

struct ConditionClause {
    std::string key;
    const PlotField* field = nullptr; // a catalogue key, or
    std::optional<LinkKey> link;      // a link key
    ConditionOp op = ConditionOp::Equal;
    double number = 0;                // unused for Changes
};

// Why a condition was refused: one line, naming the offending word and the
// character (counted from 1) where it starts.
struct ConditionError {
    std::string message;
    std::size_t position = 0; // 1-based; one past the end for a missing word
};

class Condition {
public:
    // The parsed condition, or nothing with `error` filled.
    static std::optional<Condition> Parse(std::string_view text, ConditionError& error);

    const std::vector<ConditionClause>& clauses() const noexcept { return clauses_; }
    // True when a clause reads a link key (the caller then keeps link counts).
    bool usesLink() const noexcept;

    // Evaluates every clause on the record just decoded (`state`) with the
    // link counts of its packet; "changes" clauses remember the value for the
    // next call.
    bool evaluate(const NavdataState& state, const LinkValues& link);

    // Forgets the remembered values: the next record is a first one again.
    void restart();

private:
    std::vector<ConditionClause> clauses_;
    std::vector<double> previous_; // per clause, for Changes
    bool havePrevious_ = false;
};

} // namespace kestrix
