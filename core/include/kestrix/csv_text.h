// Numbers and cells of the comma-separated output shared by kestrix_navdata
// csv and the Graph window's CSV export, so that both read back alike.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kestrix {

// Room WriteCsvNumber needs at most ("-1.2345678901234567e-308" is 24).
inline constexpr std::size_t kCsvNumberRoom = 32;

// The shortest text that reads back to the same double; nan, inf, -inf.
// Writes at p (at least kCsvNumberRoom bytes up to end) and returns the end
// of the text.
char* WriteCsvNumber(char* p, char* end, double v);

// A cell as written: as it is, or quoted (inner quotes doubled) when it
// holds a separator, a quote or a line break.
void AppendCsvCell(std::string& out, std::string_view cell);

} // namespace kestrix
