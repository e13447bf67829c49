// kestrix_navdata: recorded navdata streams on the command line.
//
//   kestrix_navdata info FILE
//   kestrix_navdata show FILE (--record N | --time T)
//   kestrix_navdata csv FILE KEY... [--multiplier KEY=M]...
//   kestrix_navdata find FILE CONDITION [--from N] [--all] [--json]
//   kestrix_navdata link FILE [--json]
//   kestrix_navdata info FILE --json
//
// Exit codes: 0 done; 1 "Record not found" (show, find); 2 bad usage, a file that
// cannot be read or is too large, or output that could not be written.
#pragma once

#include <charconv>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

namespace kestrix {

// Runs one command. `args` are the command-line arguments without the program
// name (args[0] is the command). Normal output goes to `out`, messages to
// `err`. Returns the exit code. Never throws.
int RunNavdataCli(std::span<const std::string> args, std::ostream& out, std::ostream& err);

// The usage text printed by --help and on bad usage.
std::string_view NavdataCliUsage();

// A whole argument as a number of type T (no sign for unsigned types, no
// leading or trailing characters); nullopt otherwise.
template <class T>
std::optional<T> ParseNumber(std::string_view s)
{
    T v{};
    const char* end = s.data() + s.size();
    const auto r = std::from_chars(s.data(), end, v);
    if (s.empty() || r.ec != std::errc{} || r.ptr != end)
        return std::nullopt;
    return v;
}

} // namespace kestrix
