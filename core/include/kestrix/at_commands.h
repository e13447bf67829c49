// AT command texts and their numbering. Pure text; the link sends them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrix::at {

// The real sent as the signed decimal of its IEEE-754 single-precision bits.
// Finite values beyond the single range are clamped to the largest single of
// that sign; infinities and NaN keep their own bit patterns.
int32_t FloatToAtInteger(double value);

// The last sequence number used. Signed 32-bit; wraps instead of overflowing.
class AtSequence {
public:
    int32_t value() const { return value_; }
    void set(int32_t v) { value_ = v; }
    // Adds 1 and returns the new value.
    int32_t next()
    {
        value_ = int32_t(uint32_t(value_) + 1u);
        return value_;
    }

private:
    int32_t value_ = 0;
};

// Replaces every "#" of the template with the decimal of `number`.
std::string NumberTemplate(std::string_view templ, int32_t number);

// The numbered path: advances the sequence, numbers the template, appends "\r".
std::string NumberedDatagram(std::string_view templ, AtSequence& seq);

// ConfigIdsPrefix numbered by the caller, then `second` through the numbered
// path: "AT*CONFIG_IDS=n+1,..." "\r" then `second` with n+2, then "\r".
std::string ConfigIdsDatagram(std::string_view second, AtSequence& seq);

// "AT*COMWDG=" + n + "\r" with n the advanced sequence (navdata receive path).
std::string ReceiveWatchdogDatagram(AtSequence& seq);

// "AT*LED=1," + type + "," + FloatToAtInteger(frequency) + "," + duration
std::string LedCommand(int type, double frequency, int duration);
// "AT*PWM=1," + m1 + "," + m2 + "," + m3 + "," + m4
std::string PwmCommand(int m1, int m2, int m3, int m4);

// Command texts, exactly as they go out (before numbering where they hold "#").
inline constexpr std::string_view ConfigIdsPrefix =
    "AT*CONFIG_IDS=#,\"a0000aa1\",\"a0000aa3\",\"a0000aa2\"\r";

inline constexpr std::string_view kRefTakeOff = "AT*REF=#,290718208";
inline constexpr std::string_view kRefLand = "AT*REF=#,290717696";
inline constexpr std::string_view kRefEmergency = "AT*REF=#,290717952";
inline constexpr std::string_view kPcmdUp = "AT*PCMD=#,1,0,0,1056964608,0";
inline constexpr std::string_view kPcmdDown = "AT*PCMD=#,1,0,0,-1090519040,0";
inline constexpr std::string_view kPcmdYawLeft = "AT*PCMD=#,1,0,0,0,-1097229926";
inline constexpr std::string_view kPcmdYawRight = "AT*PCMD=#,1,0,0,0,1050253722";
inline constexpr std::string_view kPcmdForward = "AT*PCMD=#,1,0,-1097229926,0,0";
inline constexpr std::string_view kPcmdBackward = "AT*PCMD=#,1,0,1050253722,0,0";
inline constexpr std::string_view kPcmdLeft = "AT*PCMD=#,1,-1097229926,0,0,0";
inline constexpr std::string_view kPcmdRight = "AT*PCMD=#,1,1050253722,0,0,0";
inline constexpr std::string_view kPcmdRelease = "AT*PCMD=#,0,0,0,0,0";
inline constexpr std::string_view kFtrim = "AT*FTRIM=#";
inline constexpr std::string_view kOutdoorFalse = "AT*CONFIG=#,\"control:outdoor\",\"FALSE\"";
inline constexpr std::string_view kOutdoorTrue = "AT*CONFIG=#,\"control:outdoor\",\"TRUE\"";
inline constexpr std::string_view kHullFalse = "AT*CONFIG=#,\"control:flight_without_shell\",\"FALSE\"";
inline constexpr std::string_view kHullTrue = "AT*CONFIG=#,\"control:flight_without_shell\",\"TRUE\"";
inline constexpr std::string_view kSessionId = "AT*CONFIG=#,\"custom:session_id\",\"a0000aa1\"";
inline constexpr std::string_view kApplicationId = "AT*CONFIG=#,\"custom:application_id\",\"a0000aa2\"";
inline constexpr std::string_view kProfileId = "AT*CONFIG=#,\"custom:profile_id\",\"a0000aa3\"";
inline constexpr std::string_view kWatchdog = "AT*COMWDG=#";
inline constexpr std::string_view kProbe = "AT*COMWDG\r";
inline constexpr std::string_view kNavdataDemoFalse = "AT*CONFIG=#,\"general:navdata_demo\",\"FALSE\"";
inline constexpr std::string_view kNavdataDemoTrue = "AT*CONFIG=#,\"general:navdata_demo\",\"TRUE\"";
inline constexpr std::string_view kStopFirst = "AT*CONFIG=1,\"general:navdata_demo\",\"TRUE\"\r";
inline constexpr std::string_view kPwmStopAll = "AT*PWM=1,0,0,0,0";
inline constexpr std::string_view kRefStopAll = "AT*REF=1,290717952";
inline constexpr uint8_t kWakeByte = 0x01;

// REF flag words.
inline constexpr int32_t kRefWordTakeOff = 290718208;   // 0x11540200
inline constexpr int32_t kRefWordLand = 290717696;      // 0x11540000
inline constexpr int32_t kRefWordEmergency = 290717952; // 0x11540100

} // namespace kestrix::at
