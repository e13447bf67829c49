#include "at_parser.h"

namespace kestrix::sim {

namespace {

struct Signature {
    std::string_view name;
    AtKind kind;
    // Argument kinds after the sequence field: 'i' integer, 's' string.
    std::string_view args;
};

// CONFIG_IDS before CONFIG so that the longer name is tried first.
constexpr Signature kSignatures[] = {
    {"REF", AtKind::Ref, "i"},
    {"PCMD", AtKind::Pcmd, "iiiii"},
    {"FTRIM", AtKind::Ftrim, ""},
    {"CONFIG_IDS", AtKind::ConfigIds, "sss"},
    {"CONFIG", AtKind::Config, "ss"},
    {"COMWDG", AtKind::Comwdg, ""},
    {"LED", AtKind::Led, "iii"},
    {"PWM", AtKind::Pwm, "iiii"},
};

// Signed 32-bit decimal at the front of `s`; advances `s` past it.
bool takeInt(std::string_view& s, int32_t& out)
{
    std::size_t i = 0;
    bool negative = false;
    if (i < s.size() && s[i] == '-') {
        negative = true;
        ++i;
    }
    const std::size_t digitsStart = i;
    int64_t value = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        if (i - digitsStart >= 10)
            return false; // more than 10 digits can never fit
        value = value * 10 + (s[i] - '0');
        ++i;
    }
    if (i == digitsStart)
        return false;
    if (negative)
        value = -value;
    if (value < INT32_MIN || value > INT32_MAX)
        return false;
    out = int32_t(value);
    s.remove_prefix(i);
    return true;
}

// Double-quoted printable text at the front of `s`; advances `s` past it.
bool takeString(std::string_view& s, std::string& out)
{
    if (s.empty() || s.front() != '"')
        return false;
    const std::size_t close = s.find('"', 1);
    if (close == std::string_view::npos)
        return false;
    const std::string_view body = s.substr(1, close - 1);
    for (char c : body) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u > 0x7E)
            return false;
    }
    out.assign(body);
    s.remove_prefix(close + 1);
    return true;
}

} // namespace

std::string_view AtKindName(AtKind kind)
{
    for (const Signature& sig : kSignatures)
        if (sig.kind == kind)
            return sig.name;
    return "?";
}

bool ParseAtCommand(std::string_view text, AtCommand& out)
{
    constexpr std::string_view kLead = "AT*";
    if (!text.starts_with(kLead))
        return false;
    text.remove_prefix(kLead.size());

    const Signature* sig = nullptr;
    for (const Signature& candidate : kSignatures) {
        if (!text.starts_with(candidate.name))
            continue;
        const std::string_view rest = text.substr(candidate.name.size());
        if (rest.empty() || rest.front() == '=') {
            sig = &candidate;
            break;
        }
    }
    if (!sig)
        return false;
    text.remove_prefix(sig->name.size());

    out = AtCommand{};
    out.kind = sig->kind;
    if (text.empty()) {
        // Only the link probe travels without a sequence field.
        return sig->kind == AtKind::Comwdg;
    }
    text.remove_prefix(1); // '='
    if (!takeInt(text, out.sequence))
        return false;
    out.hasSequence = true;

    int ints = 0;
    int texts = 0;
    for (char argKind : sig->args) {
        if (text.empty() || text.front() != ',')
            return false;
        text.remove_prefix(1);
        if (argKind == 'i') {
            if (!takeInt(text, out.ints[std::size_t(ints++)]))
                return false;
        } else {
            if (!takeString(text, out.texts[std::size_t(texts++)]))
                return false;
        }
        ++out.argCount;
    }
    return text.empty();
}

void AtParser::feed(std::string_view datagram, std::vector<AtCommand>& out)
{
    out.clear();
    ++datagrams_;
    while (!datagram.empty()) {
        const std::size_t cr = datagram.find('\r');
        if (cr == std::string_view::npos) {
            // A command that runs to the end of the datagram lacks its
            // carriage return: not a command of the catalogue.
            ++unparsed_;
            return;
        }
        const std::string_view text = datagram.substr(0, cr);
        datagram.remove_prefix(cr + 1);
        if (text.empty())
            continue;
        AtCommand cmd;
        if (!ParseAtCommand(text, cmd)) {
            ++unparsed_;
            continue;
        }
        ++parsed_;
        if (cmd.hasSequence) {
            lastSequence_ = cmd.sequence;
            sawSequence_ = true;
        }
        out.push_back(std::move(cmd));
    }
}

} // namespace kestrix::sim
