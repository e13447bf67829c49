// kestrix_navdata: recorded navdata streams on the command line.
//
//   kestrix_navdata info FILE
//   kestrix_navdata show FILE (--record N | --time T)
//   kestrix_navdata csv FILE KEY... [--multiplier KEY=M]...
//   kestrix_navdata find FILE CONDITION [--from N] [--all] [--json]
//   kestrix_navdata link FILE [--json]
//   kestrix_navdata info FILE --json
//
// Exit codes: 0 done; 1 "Record not found" (show, find); 2 bad usage, a file
// that cannot be read (or changed while it was read), or output that could
// not be written.
//
// Files of any size are read on demand, in chunks, from start to end; the
// memory used does not depend on the file's size.
#pragma once

#include <charconv>
#include <cstddef>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

namespace kestrix {

// Runs one command. `args` are the command-line arguments without the program
// name (args[0] is the command). Normal output goes to `out`, messages to
// `err`. Returns the exit code. Never throws. `readChunk` is the size of each
// read of the file (tests use tiny ones to put chunk boundaries everywhere).
int RunNavdataCli(std::span<const std::string> args, std::ostream& out, std::ostream& err,
                  std::size_t readChunk = std::size_t(1) << 20);

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
