#include "kestrix/at_commands.h"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>

namespace kestrix::at {

int32_t FloatToAtInteger(double value)
{
    float f;
    if (std::isfinite(value))
        f = float(std::clamp<double>(value, -double(FLT_MAX), double(FLT_MAX)));
    else
        f = float(value); // infinities and NaN convert exactly
    return std::bit_cast<int32_t>(f);
}

std::string NumberTemplate(std::string_view templ, int32_t number)
{
    const std::string num = std::to_string(number);
    std::string out;
    out.reserve(templ.size() + num.size());
    for (char c : templ) {
        if (c == '#')
            out += num;
        else
            out += c;
    }
    return out;
}

std::string NumberedDatagram(std::string_view templ, AtSequence& seq)
{
    std::string out = NumberTemplate(templ, seq.next());
    out += '\r';
    return out;
}

std::string ConfigIdsDatagram(std::string_view second, AtSequence& seq)
{
    std::string text = NumberTemplate(ConfigIdsPrefix, seq.next());
    text += second;
    return NumberedDatagram(text, seq);
}

std::string ReceiveWatchdogDatagram(AtSequence& seq)
{
    return "AT*COMWDG=" + std::to_string(seq.next()) + "\r";
}

std::string LedCommand(int type, double frequency, int duration)
{
    return "AT*LED=1," + std::to_string(type) + "," + std::to_string(FloatToAtInteger(frequency)) +
           "," + std::to_string(duration);
}

std::string PwmCommand(int m1, int m2, int m3, int m4)
{
    return "AT*PWM=1," + std::to_string(m1) + "," + std::to_string(m2) + "," + std::to_string(m3) +
           "," + std::to_string(m4);
}

} // namespace kestrix::at
