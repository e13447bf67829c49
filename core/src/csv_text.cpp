#include "kestrix/csv_text.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace kestrix {

char* WriteCsvNumber(char* p, char* end, double v)
{
    if (std::isnan(v)) {
        std::memcpy(p, "nan", 3);
        return p + 3;
    }
    if (std::isinf(v)) {
        if (v < 0) {
            std::memcpy(p, "-inf", 4);
            return p + 4;
        }
        std::memcpy(p, "inf", 3);
        return p + 3;
    }
    return std::to_chars(p, end, v).ptr;
}

void AppendCsvCell(std::string& out, std::string_view cell)
{
    if (cell.find_first_of(",\"\r\n") == std::string_view::npos) {
        out.append(cell);
        return;
    }
    out.push_back('"');
    for (const char c : cell) {
        if (c == '"')
            out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
}

} // namespace kestrix
