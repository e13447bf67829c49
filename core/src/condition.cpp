#include "kestrix/condition.h"

#include <charconv>
#include <cmath>

namespace kestrix {

namespace {

struct Word {
    std::string_view text;
    std::size_t position; // 1-based
    bool isOperator;      // a run of < > = !
};

bool IsOperatorChar(char c)
{
    return c == '<' || c == '>' || c == '=' || c == '!';
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

std::vector<Word> Split(std::string_view text)
{
    std::vector<Word> words;
    std::size_t i = 0;
    while (i < text.size()) {
        if (IsBlank(text[i])) {
            ++i;
            continue;
        }
        const std::size_t start = i;
        const bool op = IsOperatorChar(text[i]);
        while (i < text.size() && !IsBlank(text[i]) && IsOperatorChar(text[i]) == op)
            ++i;
        words.push_back({text.substr(start, i - start), start + 1, op});
    }
    return words;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char c = a[i];
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
        if (c != b[i])
            return false;
    }
    return true;
}

std::optional<ConditionOp> ParseOp(std::string_view w)
{
    if (w == "<")
        return ConditionOp::Less;
    if (w == "<=")
        return ConditionOp::LessEqual;
    if (w == ">")
        return ConditionOp::Greater;
    if (w == ">=")
        return ConditionOp::GreaterEqual;
    if (w == "==")
        return ConditionOp::Equal;
    if (w == "!=")
        return ConditionOp::NotEqual;
    return std::nullopt;
}

// Decimal (from_chars' general format, with an optional sign) or 0x hex.
std::optional<double> ParseNumberWord(std::string_view w)
{
    bool negative = false;
    std::string_view digits = w;
    if (!digits.empty() && (digits[0] == '-' || digits[0] == '+')) {
        negative = digits[0] == '-';
        digits.remove_prefix(1);
    }
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits.remove_prefix(2);
        uint64_t v = 0;
        const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), v, 16);
        if (r.ec != std::errc{} || r.ptr != digits.data() + digits.size())
            return std::nullopt;
        return negative ? -double(v) : double(v);
    }
    if (digits.empty() || digits[0] == '-' || digits[0] == '+')
        return std::nullopt;
    double v = 0;
    const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), v,
                                   std::chars_format::general);
    if (r.ec != std::errc{} || r.ptr != digits.data() + digits.size() || !std::isfinite(v))
        return std::nullopt;
    return negative ? -v : v;
}

std::string Quoted(std::string_view w)
{
    return "\"" + std::string(w) + "\"";
}

std::string At(std::size_t position)
{
    return " at character " + std::to_string(position);
}

constexpr std::string_view kOperators = "< <= > >= == !=";

} // namespace

std::optional<Condition> Condition::Parse(std::string_view text, ConditionError& error)
{
    const std::vector<Word> words = Split(text);
    const std::size_t endPosition = text.size() + 1;
    auto fail = [&](std::string message, std::size_t position) {
        error.message = std::move(message);
        error.position = position;
        return std::nullopt;
    };
    if (words.empty())
        return fail("empty condition: give KEY OP NUMBER or KEY changes", endPosition);

    Condition c;
    std::size_t i = 0;
    for (;;) {
        // KEY
        if (i >= words.size())
            return fail("a key is missing after \"and\" at the end", endPosition);
        const Word key = words[i++];
        ConditionClause clause;
        clause.key = std::string(key.text);
        if (key.isOperator)
            return fail("expected a key, found the operator " + Quoted(key.text) + At(key.position),
                        key.position);
        clause.field = FindPlotField(key.text);
        if (!clause.field)
            clause.link = FindLinkKey(key.text);
        if (!clause.field && !clause.link)
            return fail("unknown key " + Quoted(key.text) + At(key.position) +
                            " (give a plot key such as Demo.altitude, or Link.packet, Link.missing, "
                            "Link.gap, Link.rate)",
                        key.position);

        // OP NUMBER, or changes
        if (i >= words.size())
            return fail("an operator (" + std::string(kOperators) + ") or \"changes\" is missing after " +
                            Quoted(key.text) + " at the end",
                        endPosition);
        const Word op = words[i++];
        if (!op.isOperator && EqualsIgnoringCase(op.text, "changes")) {
            clause.op = ConditionOp::Changes;
        } else {
            const std::optional<ConditionOp> parsed = op.isOperator ? ParseOp(op.text) : std::nullopt;
            if (!parsed)
                return fail((op.isOperator ? "unknown operator " : "expected an operator (" +
                                                                        std::string(kOperators) +
                                                                        ") or \"changes\", found ") +
                                Quoted(op.text) + At(op.position),
                            op.position);
            clause.op = *parsed;
            if (i >= words.size())
                return fail("a number is missing after " + Quoted(op.text) + " at the end", endPosition);
            const Word number = words[i++];
            const std::optional<double> value =
                number.isOperator ? std::nullopt : ParseNumberWord(number.text);
            if (!value)
                return fail("expected a number (decimal, or hexadecimal with 0x), found " +
                                Quoted(number.text) + At(number.position),
                            number.position);
            clause.number = *value;
        }
        c.clauses_.push_back(std::move(clause));

        if (i >= words.size())
            break;
        const Word join = words[i++];
        if (join.isOperator || !EqualsIgnoringCase(join.text, "and"))
            return fail("expected \"and\", found " + Quoted(join.text) + At(join.position), join.position);
        if (i >= words.size())
            return fail("a clause is missing after \"and\"" + At(join.position) + ": a trailing \"and\"",
                        join.position);
    }
    c.previous_.assign(c.clauses_.size(), 0.0);
    return c;
}

bool Condition::usesLink() const noexcept
{
    for (const ConditionClause& c : clauses_)
        if (c.link)
            return true;
    return false;
}

bool Condition::evaluate(const NavdataState& state, const LinkValues& link)
{
    bool all = true;
    for (std::size_t k = 0; k < clauses_.size(); ++k) {
        const ConditionClause& c = clauses_[k];
        const double v = c.field ? PlotFieldValue(*c.field, state) : LinkValue(link, *c.link);
        bool holds = false;
        switch (c.op) {
        case ConditionOp::Less: holds = v < c.number; break;
        case ConditionOp::LessEqual: holds = v <= c.number; break;
        case ConditionOp::Greater: holds = v > c.number; break;
        case ConditionOp::GreaterEqual: holds = v >= c.number; break;
        case ConditionOp::Equal: holds = v == c.number; break;
        case ConditionOp::NotEqual: holds = v != c.number; break;
        case ConditionOp::Changes: {
            const double before = previous_[k];
            holds = havePrevious_ && !(v == before) && !(std::isnan(v) && std::isnan(before));
            previous_[k] = v;
            break;
        }
        }
        all = all && holds;
    }
    havePrevious_ = true;
    return all;
}

void Condition::restart()
{
    havePrevious_ = false;
}

} // namespace kestrix
