#include "sim_log.h"

#include <cstdio>

namespace kestrix::sim {

void AppendEscaped(std::string& out, const uint8_t* data, std::size_t size)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < size; ++i) {
        const uint8_t b = data[i];
        if (b == '\\') {
            out += "\\\\";
        } else if (b == '\r') {
            out += "\\r";
        } else if (b >= 0x20 && b <= 0x7E) {
            out += char(b);
        } else {
            out += "\\x";
            out += kHex[b >> 4];
            out += kHex[b & 0xF];
        }
    }
}

void FormatLogLine(std::string& out, int64_t monotonicNs, uint16_t localPort, uint16_t sourcePort,
                   const uint8_t* data, std::size_t size)
{
    char head[64];
    const int64_t micros = monotonicNs / 1000;
    const int n = std::snprintf(head, sizeof head, "%lld.%03lld %u %u ",
                                static_cast<long long>(micros / 1000),
                                static_cast<long long>(micros % 1000), unsigned(localPort),
                                unsigned(sourcePort));
    out.append(head, std::size_t(n));
    AppendEscaped(out, data, size);
    out += '\n';
}

bool UnescapeLogBytes(std::string_view s, std::string& out)
{
    auto hexValue = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    out.clear();
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\') {
            out += s[i];
            continue;
        }
        if (i + 1 >= s.size())
            return false;
        const char e = s[++i];
        if (e == '\\') {
            out += '\\';
        } else if (e == 'r') {
            out += '\r';
        } else if (e == 'x' && i + 2 < s.size() && hexValue(s[i + 1]) >= 0 &&
                   hexValue(s[i + 2]) >= 0) {
            out += char(hexValue(s[i + 1]) * 16 + hexValue(s[i + 2]));
            i += 2;
        } else {
            return false;
        }
    }
    return true;
}

} // namespace kestrix::sim
