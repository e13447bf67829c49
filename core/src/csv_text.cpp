#include "kestrix/csv_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace kestrix {

namespace {

// Most numbers a recording yields are whole, or times of whole microseconds:
// m x 10^-scale with m below 10^15. Such a decimal is the shortest text of
// its double, as two decimals of at most 15 digits never read back to the
// same double (DBL_DIG). Its text is put together here directly, in the
// form std::to_chars picks for the shortest text: plain or exponent,
// whichever is shorter, plain on a tie. Everything else goes to to_chars.
constexpr double kBelow = 1e15;

bool DecimalOf(double v, uint64_t& m, int& scale)
{
    const double a = std::fabs(v);
    if (a < kBelow && a == std::trunc(a)) {
        m = uint64_t(a);
        scale = 0;
        return m != 0;
    }
    const double scaled = a * 1e6;
    if (!(scaled < kBelow))
        return false;
    m = uint64_t(std::llround(scaled));
    scale = 6;
    // The exact decimal m / 10^6, correctly rounded by the one division.
    return m != 0 && double(m) / 1e6 == a;
}

char* WriteDecimal(char* p, bool negative, uint64_t m, int scale)
{
    while (m % 10 == 0) { // trailing zeros go into the exponent
        m /= 10;
        --scale;
    }
    char digits[20];
    int k = 0;
    for (uint64_t r = m; r; r /= 10)
        digits[19 - k++] = char('0' + r % 10);
    const char* d = digits + 20 - k;
    // value = d x 10^-scale; in exponent form d[0].d[1..] e X
    const int x = k - 1 - scale;
    const int absX = x < 0 ? -x : x;
    const int expLength = (k == 1 ? 1 : k + 1) + 2 + (absX >= 100 ? 3 : 2);
    const int plainLength = x >= 0 ? (scale <= 0 ? k - scale : k + 1) : 2 + (-x - 1) + k;

    if (negative)
        *p++ = '-';
    if (plainLength <= expLength) {
        if (x < 0) {
            *p++ = '0';
            *p++ = '.';
            std::memset(p, '0', std::size_t(-x - 1));
            p += -x - 1;
            std::memcpy(p, d, std::size_t(k));
            return p + k;
        }
        if (scale <= 0) {
            std::memcpy(p, d, std::size_t(k));
            std::memset(p + k, '0', std::size_t(-scale));
            return p + k - scale;
        }
        std::memcpy(p, d, std::size_t(x + 1));
        p += x + 1;
        *p++ = '.';
        std::memcpy(p, d + x + 1, std::size_t(k - x - 1));
        return p + (k - x - 1);
    }
    *p++ = d[0];
    if (k > 1) {
        *p++ = '.';
        std::memcpy(p, d + 1, std::size_t(k - 1));
        p += k - 1;
    }
    *p++ = 'e';
    *p++ = x < 0 ? '-' : '+';
    if (absX >= 100)
        *p++ = char('0' + absX / 100);
    *p++ = char('0' + absX / 10 % 10);
    *p++ = char('0' + absX % 10);
    return p;
}

} // namespace

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
    uint64_t m;
    int scale;
    if (DecimalOf(v, m, scale))
        return WriteDecimal(p, std::signbit(v), m, scale);
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
