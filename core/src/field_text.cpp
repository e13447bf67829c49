// Texts of the NavData window's field edits.
#include "kestrix/field_text.h"

#include "kestrix/decoder.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <type_traits>
#include <utility>

namespace kestrix {
namespace {

template <class T>
constexpr StoredType StoredTypeOf()
{
    if constexpr (std::is_same_v<T, uint8_t>) return StoredType::U8;
    else if constexpr (std::is_same_v<T, uint16_t>) return StoredType::U16;
    else if constexpr (std::is_same_v<T, uint32_t>) return StoredType::U32;
    else if constexpr (std::is_same_v<T, int16_t>) return StoredType::I16;
    else if constexpr (std::is_same_v<T, int32_t>) return StoredType::I32;
    else if constexpr (std::is_same_v<T, float>) return StoredType::F32;
    else {
        static_assert(std::is_same_v<T, char>, "no stored type for this member");
        return StoredType::Char;
    }
}

// One edit showing member M of record R under the name N. Offsets and types
// come straight from the record layouts, so they cannot drift from them.
#define KX_EDIT(R, TAG, N, FMT, M)                                                       \
    FieldEdit{#R, TAG, N, FieldFormat::FMT, int(offsetof(rec::R, M)),                      \
              StoredTypeOf<std::remove_cvref_t<decltype(std::declval<rec::R&>().M)>>()}
// The usual case: the edit is named after the member.
#define KX_F(R, TAG, FMT, M) KX_EDIT(R, TAG, #M, FMT, M)
// An edit that no field feeds; it stays empty.
#define KX_NONE(R, TAG, N) FieldEdit{#R, TAG, N, FieldFormat::None, -1, StoredType::U8}

constexpr FieldEdit kFieldEdits[] = {
    // 0 Demo
    KX_F(Demo, 0, H, ctrl_state),
    KX_F(Demo, 0, U, vbat_flying_percentage),
    KX_F(Demo, 0, R, theta),
    KX_F(Demo, 0, R, phi),
    KX_F(Demo, 0, R, psi),
    KX_F(Demo, 0, D, altitude),
    KX_F(Demo, 0, R, vx),
    KX_F(Demo, 0, R, vy),
    KX_F(Demo, 0, R, vz),
    KX_F(Demo, 0, D, num_frames),
    KX_F(Demo, 0, H, detection_tag_index),
    KX_F(Demo, 0, H, detection_camera_type),
    // 1 Time
    KX_F(Time, 1, H, time),
    KX_EDIT(Time, 1, "SCFrameEdit2", S, time),
    // 2 Raw_meas
    KX_EDIT(Raw_meas, 2, "raw_accs_0", U, raw_accs[0]),
    KX_EDIT(Raw_meas, 2, "raw_accs_1", U, raw_accs[1]),
    KX_EDIT(Raw_meas, 2, "raw_accs_2", U, raw_accs[2]),
    KX_EDIT(Raw_meas, 2, "raw_gyros_0", D, raw_gyros[0]),
    KX_EDIT(Raw_meas, 2, "raw_gyros_1", D, raw_gyros[1]),
    KX_EDIT(Raw_meas, 2, "raw_gyros_2", D, raw_gyros[2]),
    KX_EDIT(Raw_meas, 2, "raw_gyros_110_0", U, raw_gyros_110[0]),
    KX_EDIT(Raw_meas, 2, "raw_gyros_110_1", U, raw_gyros_110[1]),
    KX_F(Raw_meas, 2, U, vbat_raw),
    KX_F(Raw_meas, 2, U, us_debut_echo),
    KX_F(Raw_meas, 2, U, us_fin_echo),
    KX_F(Raw_meas, 2, U, us_association_echo),
    KX_F(Raw_meas, 2, U, us_distance_echo),
    KX_F(Raw_meas, 2, U, us_courbe_temps),
    KX_F(Raw_meas, 2, U, us_courbe_valeur),
    KX_F(Raw_meas, 2, U, us_courbe_ref),
    KX_F(Raw_meas, 2, U, flag_echo_ini),
    KX_F(Raw_meas, 2, U, nb_echo),
    KX_F(Raw_meas, 2, U, sum_echo),
    KX_F(Raw_meas, 2, D, alt_temp_raw),
    KX_NONE(Raw_meas, 2, "gradient"),
    // 3 Phys_meas
    KX_F(Phys_meas, 3, R, accs_temp),
    KX_F(Phys_meas, 3, U, gyro_temp),
    KX_EDIT(Phys_meas, 3, "phys_accs_0", R, phys_accs[0]),
    KX_EDIT(Phys_meas, 3, "phys_accs_1", R, phys_accs[1]),
    KX_EDIT(Phys_meas, 3, "phys_accs_2", R, phys_accs[2]),
    KX_EDIT(Phys_meas, 3, "phys_gyros_0", R, phys_gyros[0]),
    KX_EDIT(Phys_meas, 3, "phys_gyros_1", R, phys_gyros[1]),
    KX_EDIT(Phys_meas, 3, "phys_gyros_2", R, phys_gyros[2]),
    KX_F(Phys_meas, 3, U, alim3V3),
    KX_F(Phys_meas, 3, U, vrefEpson),
    KX_F(Phys_meas, 3, U, vrefIDG),
    // 4 Gyros_offsets
    KX_EDIT(Gyros_offsets, 4, "offset_0", R, offset[0]),
    KX_EDIT(Gyros_offsets, 4, "offset_1", R, offset[1]),
    KX_EDIT(Gyros_offsets, 4, "offset_2", R, offset[2]),
    // 5 Euler_angles
    KX_EDIT(Euler_angles, 5, "theta1", R, theta),
    KX_EDIT(Euler_angles, 5, "phi1", R, phi),
    // 6 References
    KX_F(References, 6, D, ref_theta),
    KX_F(References, 6, D, ref_phi),
    KX_F(References, 6, D, ref_theta_I),
    KX_F(References, 6, D, ref_phi_I),
    KX_F(References, 6, D, ref_pitch),
    KX_F(References, 6, D, ref_roll),
    KX_F(References, 6, D, ref_yaw),
    KX_F(References, 6, D, ref_psi),
    KX_F(References, 6, R, vx_ref),
    KX_F(References, 6, R, vy_ref),
    KX_F(References, 6, R, theta_mod),
    KX_F(References, 6, R, phi_mod),
    KX_F(References, 6, R, k_v_x),
    KX_F(References, 6, R, k_v_y),
    KX_F(References, 6, U, k_mode),
    KX_F(References, 6, R, ui_time),
    KX_F(References, 6, R, ui_theta),
    KX_F(References, 6, R, ui_phi),
    KX_F(References, 6, R, ui_psi),
    KX_F(References, 6, R, ui_psi_accuracy),
    KX_F(References, 6, D, ui_seq),
    // 7 Trims
    KX_F(Trims, 7, R, angular_rates_trim_r),
    KX_F(Trims, 7, R, euler_angles_trim_theta),
    KX_F(Trims, 7, R, euler_angles_trim_phi),
    // 8 Rc_references
    KX_F(Rc_references, 8, D, rc_ref_pitch),
    KX_F(Rc_references, 8, D, rc_ref_roll),
    KX_F(Rc_references, 8, D, rc_ref_yaw),
    KX_F(Rc_references, 8, D, rc_ref_gaz),
    KX_F(Rc_references, 8, D, rc_ref_ag),
    // 9 Navdata_pwm
    KX_F(Navdata_pwm, 9, U, motor1),
    KX_F(Navdata_pwm, 9, U, motor2),
    KX_F(Navdata_pwm, 9, U, motor3),
    KX_F(Navdata_pwm, 9, U, motor4),
    KX_F(Navdata_pwm, 9, U, sat_motor1),
    KX_F(Navdata_pwm, 9, U, sat_motor2),
    KX_F(Navdata_pwm, 9, U, sat_motor3),
    KX_F(Navdata_pwm, 9, U, sat_motor4),
    KX_F(Navdata_pwm, 9, R, gaz_feed_forward),
    KX_F(Navdata_pwm, 9, R, gaz_altitude),
    KX_F(Navdata_pwm, 9, R, altitude_integral),
    KX_F(Navdata_pwm, 9, R, vz_ref),
    KX_F(Navdata_pwm, 9, D, u_pitch),
    KX_F(Navdata_pwm, 9, D, u_roll),
    KX_F(Navdata_pwm, 9, D, u_yaw),
    KX_F(Navdata_pwm, 9, R, yaw_u_I),
    KX_F(Navdata_pwm, 9, D, u_pitch_planif),
    KX_F(Navdata_pwm, 9, D, u_roll_planif),
    KX_F(Navdata_pwm, 9, D, u_yaw_planif),
    KX_F(Navdata_pwm, 9, R, u_gaz_planif),
    KX_F(Navdata_pwm, 9, U, current_motor1),
    KX_F(Navdata_pwm, 9, U, current_motor2),
    KX_F(Navdata_pwm, 9, U, current_motor3),
    KX_F(Navdata_pwm, 9, U, current_motor4),
    KX_F(Navdata_pwm, 9, R, altitude_prop),
    KX_F(Navdata_pwm, 9, R, altitude_der),
    // 10 Altitude
    KX_F(Altitude, 10, D, altitude_vision),
    KX_F(Altitude, 10, R, altitude_vz),
    KX_F(Altitude, 10, D, altitude_ref),
    KX_F(Altitude, 10, D, altitude_raw),
    KX_F(Altitude, 10, R, obs_accZ),
    KX_F(Altitude, 10, R, obs_alt),
    KX_EDIT(Altitude, 10, "obs_x_X", R, obs_x.x),
    KX_EDIT(Altitude, 10, "obs_x_Y", R, obs_x.y),
    KX_EDIT(Altitude, 10, "obs_x_Z", R, obs_x.z),
    KX_EDIT(Altitude, 10, "est_vb_X", R, est_vb.x),
    KX_EDIT(Altitude, 10, "est_vb_Y", R, est_vb.y),
    KX_F(Altitude, 10, H, obs_state),
    KX_F(Altitude, 10, H, est_state),
    KX_NONE(Altitude, 10, "obs_x_V0"),
    KX_NONE(Altitude, 10, "obs_x_V1"),
    KX_NONE(Altitude, 10, "obs_x_V2"),
    KX_NONE(Altitude, 10, "est_vb_V0"),
    KX_NONE(Altitude, 10, "est_vb_V1"),
    // 11 Vision_raw
    KX_F(Vision_raw, 11, R, vision_tx_raw),
    KX_F(Vision_raw, 11, R, vision_ty_raw),
    KX_F(Vision_raw, 11, R, vision_tz_raw),
    // 12 Vision_of
    KX_EDIT(Vision_of, 12, "dx_0", R, dx[0]),
    KX_EDIT(Vision_of, 12, "dx_1", R, dx[1]),
    KX_EDIT(Vision_of, 12, "dx_2", R, dx[2]),
    KX_EDIT(Vision_of, 12, "dx_3", R, dx[3]),
    KX_EDIT(Vision_of, 12, "dx_4", R, dx[4]),
    KX_EDIT(Vision_of, 12, "dy_0", R, dy[0]),
    KX_EDIT(Vision_of, 12, "dy_1", R, dy[1]),
    KX_EDIT(Vision_of, 12, "dy_2", R, dy[2]),
    KX_EDIT(Vision_of, 12, "dy_3", R, dy[3]),
    KX_EDIT(Vision_of, 12, "dy_4", R, dy[4]),
    // 13 Vision
    KX_F(Vision, 13, H, vision_state),
    KX_F(Vision, 13, D, vision_misc),
    KX_F(Vision, 13, R, vision_phi_trim),
    KX_F(Vision, 13, R, vision_phi_ref_prop),
    KX_F(Vision, 13, R, vision_theta_trim),
    KX_F(Vision, 13, R, vision_theta_ref_prop),
    KX_F(Vision, 13, D, new_raw_picture),
    KX_F(Vision, 13, R, theta_capture),
    KX_F(Vision, 13, R, phi_capture),
    KX_F(Vision, 13, R, psi_capture),
    KX_F(Vision, 13, H, time_capture),
    KX_EDIT(Vision, 13, "SCFrameEdit1", S, time_capture),
    KX_F(Vision, 13, D, altitude_capture),
    KX_EDIT(Vision, 13, "body_v_X", R, body_v.x),
    KX_EDIT(Vision, 13, "body_v_Y", R, body_v.y),
    KX_EDIT(Vision, 13, "body_v_Z", R, body_v.z),
    KX_F(Vision, 13, R, delta_phi),
    KX_F(Vision, 13, R, delta_theta),
    KX_F(Vision, 13, R, delta_psi),
    KX_F(Vision, 13, U, gold_defined),
    KX_F(Vision, 13, U, gold_reset),
    KX_F(Vision, 13, R, gold_x),
    KX_F(Vision, 13, R, gold_y),
    // 14 Vision_perf
    KX_F(Vision_perf, 14, R, time_szo),
    KX_F(Vision_perf, 14, R, time_corners),
    KX_F(Vision_perf, 14, R, time_compute),
    KX_F(Vision_perf, 14, R, time_tracking),
    KX_F(Vision_perf, 14, R, time_trans),
    KX_F(Vision_perf, 14, R, time_update),
    // 15 Trackers_send shows nothing.
    // 16 Vision_detect
    KX_F(Vision_detect, 16, U, nb_detected),
    // 17 Watchdog
    KX_F(Watchdog, 17, D, watchdog),
    // 18 Adc_data_frame
    KX_F(Adc_data_frame, 18, U, version),
    // 19 Video_stream
    KX_F(Video_stream, 19, U, quant),
    KX_F(Video_stream, 19, U, frame_size),
    KX_F(Video_stream, 19, U, frame_number),
    KX_F(Video_stream, 19, U, atcmd_ref_seq),
    KX_F(Video_stream, 19, U, atcmd_mean_ref_gap),
    KX_F(Video_stream, 19, R, atcmd_var_ref_gap),
    KX_F(Video_stream, 19, U, atcmd_ref_quality),
    KX_F(Video_stream, 19, U, out_bitrate),
    KX_F(Video_stream, 19, U, desired_bitrate),
    // 20 Games
    KX_F(Games, 20, U, double_tap_counter),
    KX_F(Games, 20, U, finish_line_counter),
    // 21 Pressure_raw
    KX_F(Pressure_raw, 21, D, up),
    KX_F(Pressure_raw, 21, D, ut),
    KX_F(Pressure_raw, 21, D, Temperature_meas),
    KX_F(Pressure_raw, 21, D, Pression_meas),
    // 22 Magneto
    KX_F(Magneto, 22, D, mx),
    KX_F(Magneto, 22, D, my),
    KX_F(Magneto, 22, D, mz),
    KX_F(Magneto, 22, R, heading_unwrapped),
    KX_F(Magneto, 22, R, heading_gyro_unwrapped),
    KX_F(Magneto, 22, R, heading_fusion_unwrapped),
    KX_F(Magneto, 22, T, magneto_calibration_ok),
    KX_F(Magneto, 22, U, magneto_state),
    KX_F(Magneto, 22, R, magneto_radius),
    KX_F(Magneto, 22, R, error_mean),
    KX_F(Magneto, 22, R, error_var),
    // 23 Wind_speed
    KX_F(Wind_speed, 23, R, wind_speed),
    KX_F(Wind_speed, 23, R, wind_angle),
    KX_F(Wind_speed, 23, R, wind_compensation_theta),
    KX_F(Wind_speed, 23, R, wind_compensation_phi),
    KX_F(Wind_speed, 23, R, state_x1),
    KX_F(Wind_speed, 23, R, state_x2),
    KX_F(Wind_speed, 23, R, state_x3),
    KX_F(Wind_speed, 23, R, state_x4),
    KX_F(Wind_speed, 23, R, state_x5),
    KX_F(Wind_speed, 23, R, state_x6),
    KX_F(Wind_speed, 23, R, magneto_debug1),
    KX_F(Wind_speed, 23, R, magneto_debug2),
    KX_F(Wind_speed, 23, R, magneto_debug3),
    // 24 Kalman_pressure
    KX_F(Kalman_pressure, 24, R, offset_pressure),
    KX_F(Kalman_pressure, 24, R, est_z),
    KX_F(Kalman_pressure, 24, R, est_zdot),
    KX_F(Kalman_pressure, 24, R, est_bias_PWM),
    KX_F(Kalman_pressure, 24, R, est_biais_pression),
    KX_F(Kalman_pressure, 24, R, offset_US),
    KX_F(Kalman_pressure, 24, R, prediction_US),
    KX_F(Kalman_pressure, 24, R, cov_alt),
    KX_F(Kalman_pressure, 24, R, cov_PWM),
    KX_F(Kalman_pressure, 24, R, cov_vitesse),
    KX_F(Kalman_pressure, 24, U, bool_effet_sol),
    KX_F(Kalman_pressure, 24, R, somme_inno),
    KX_F(Kalman_pressure, 24, U, flag_rejet_US),
    KX_F(Kalman_pressure, 24, R, u_multisinus),
    KX_EDIT(Kalman_pressure, 24, "gaz_altitude_KP", R, gaz_altitude),
    KX_F(Kalman_pressure, 24, U, Flag_multisinus),
    KX_F(Kalman_pressure, 24, U, Flag_multisinus_debut),
    // 25 HDvideo_stream
    KX_F(HDvideo_stream, 25, U, hdvideo_state),
    KX_F(HDvideo_stream, 25, U, storage_fifo_nb_packets),
    KX_F(HDvideo_stream, 25, U, storage_fifo_size),
    KX_F(HDvideo_stream, 25, U, usbkey_size),
    KX_F(HDvideo_stream, 25, U, usbkey_freespace),
    KX_EDIT(HDvideo_stream, 25, "frame_number_1", U, frame_number),
    KX_F(HDvideo_stream, 25, U, usbkey_remaining_time),
    // 26 Wifi_stream
    KX_F(Wifi_stream, 26, U, link_quality),
    // 27 Zimmu_3000
    KX_F(Zimmu_3000, 27, D, vzimmuLSB),
    KX_F(Zimmu_3000, 27, R, vzfind),
};

#undef KX_NONE
#undef KX_F
#undef KX_EDIT

static_assert(std::size(kFieldEdits) == 235);

// Longest real text: "-" 15 digits, separator, "E-324" -> 23 characters.
constexpr int kRealTextMax = 32;

// Writes the real text of `value` to `out` (at least kRealTextMax bytes) and
// returns its length.
int WriteRealText(char* out, double value, char sep)
{
    char* o = out;
    if (std::isnan(value)) {
        std::memcpy(o, "NAN", 3);
        return 3;
    }
    if (std::signbit(value) && value != 0.0)
        *o++ = '-';
    if (std::isinf(value)) {
        std::memcpy(o, "INF", 3);
        return int(o - out) + 3;
    }
    if (value == 0.0) { // also -0
        out[0] = '0';
        return 1;
    }
    const double a = std::fabs(value);

    // How many significant digits the exact decimal expansion of `a` can
    // have: a = m * 2^e with m odd has the digits of m * 5^-e (e < 0) or of
    // the integer m * 2^e (e >= 0). Asking to_chars for at least that many
    // makes its output the exact expansion, so rounding it again below is
    // rounding the exact value.
    const uint64_t bits = std::bit_cast<uint64_t>(a);
    const int biased = int(bits >> 52);
    uint64_t m = bits & ((uint64_t(1) << 52) - 1);
    int e;
    if (biased == 0) {
        e = -1074;
    } else {
        m |= uint64_t(1) << 52;
        e = biased - 1075;
    }
    const int tz = std::countr_zero(m);
    m >>= tz;
    e += tz;
    const int mbits = 64 - std::countl_zero(m);
    const double digitBound = e >= 0 ? (mbits + e) * 0.30103 : mbits * 0.30103 + (-e) * 0.69898;
    int precision = int(digitBound) + 2; // digits behind the first one, with a margin
    if (precision < 16)
        precision = 16;

    char sci[800]; // "d." + up to ~770 digits + "e-324"
    const auto res = std::to_chars(sci, sci + sizeof sci, a, std::chars_format::scientific, precision);
    if (res.ec != std::errc()) { // cannot happen with this buffer; stay safe
        std::memcpy(out, "NAN", 3);
        return 3;
    }
    // sci = d '.' digits 'e' sign exponent
    char digits[16];
    digits[0] = sci[0];
    std::memcpy(digits + 1, sci + 2, 15);
    const char* ep = sci + 2 + precision; // at 'e'
    int exp10 = 0;
    {
        const bool negExp = ep[1] == '-';
        for (const char* p = ep + 2; p < res.ptr; ++p)
            exp10 = exp10 * 10 + (*p - '0');
        if (negExp)
            exp10 = -exp10;
    }

    // 15 significant digits, ties away from zero: the expansion is exact, so
    // the 16th digit alone decides.
    int n = 15;
    if (digits[15] >= '5') {
        int i = 14;
        while (i >= 0 && digits[i] == '9') {
            digits[i] = '0';
            --i;
        }
        if (i >= 0) {
            ++digits[i];
        } else {
            digits[0] = '1';
            for (int k = 1; k < 15; ++k)
                digits[k] = '0';
            ++exp10;
        }
    }
    while (n > 1 && digits[n - 1] == '0')
        --n;

    // value = 0.d1d2... x 10^x
    const int x = exp10 + 1;
    if (x >= -3 && x <= 15) {
        if (x <= 0) {
            *o++ = '0';
            *o++ = sep;
            for (int k = 0; k < -x; ++k)
                *o++ = '0';
            std::memcpy(o, digits, size_t(n));
            o += n;
        } else if (n <= x) {
            std::memcpy(o, digits, size_t(n));
            o += n;
            for (int k = n; k < x; ++k)
                *o++ = '0';
        } else {
            std::memcpy(o, digits, size_t(x));
            o += x;
            *o++ = sep;
            std::memcpy(o, digits + x, size_t(n - x));
            o += n - x;
        }
    } else {
        *o++ = digits[0];
        if (n > 1) {
            *o++ = sep;
            std::memcpy(o, digits + 1, size_t(n - 1));
            o += n - 1;
        }
        *o++ = 'E';
        o = std::to_chars(o, out + kRealTextMax, exp10).ptr; // "-" only when negative
    }
    return int(o - out);
}

bool EditInRecord(const FieldEdit& edit)
{
    return edit.format != FieldFormat::None && edit.tag >= 0 && edit.tag < kOptionTagCount &&
           edit.offset >= 0 &&
           std::size_t(edit.offset) + std::size_t(StoredSize(edit.type)) <= kRecordSlots[edit.tag].size;
}

template <class T>
T Load(const uint8_t* p)
{
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// The stored integer, sign-extended for signed types.
int64_t LoadInteger(const uint8_t* p, StoredType t)
{
    switch (t) {
    case StoredType::U8:
    case StoredType::Char: return p[0];
    case StoredType::U16: return Load<uint16_t>(p);
    case StoredType::U32: return Load<uint32_t>(p);
    case StoredType::I16: return Load<int16_t>(p);
    case StoredType::I32: return Load<int32_t>(p);
    case StoredType::F32: return int64_t(Load<uint32_t>(p)); // raw bits
    }
    return 0;
}

// Writes the text of `edit` to `out` (at least kRealTextMax bytes), returns
// its length.
int WriteEditText(char* out, const FieldEdit& edit, const NavdataState& state, char sep)
{
    if (!EditInRecord(edit))
        return 0;
    const uint8_t* p = RecordBytes(state, edit.tag) + edit.offset;
    switch (edit.format) {
    case FieldFormat::None: return 0;
    case FieldFormat::T: out[0] = char(p[0]); return 1;
    case FieldFormat::R: {
        const double v = edit.type == StoredType::F32 ? double(Load<float>(p))
                                                      : double(LoadInteger(p, edit.type));
        return WriteRealText(out, v, sep);
    }
    case FieldFormat::S:
        return WriteRealText(out, NavdataTimeToSeconds(uint32_t(LoadInteger(p, edit.type))), sep);
    case FieldFormat::D:
    case FieldFormat::U:
        return int(std::to_chars(out, out + kRealTextMax, LoadInteger(p, edit.type)).ptr - out);
    case FieldFormat::H: {
        const uint32_t v = uint32_t(LoadInteger(p, edit.type));
        char hex[8];
        const int len = int(std::to_chars(hex, hex + 8, v, 16).ptr - hex);
        int o = 0;
        for (int k = len; k < 4; ++k)
            out[o++] = '0';
        for (int k = 0; k < len; ++k)
            out[o++] = (hex[k] >= 'a') ? char(hex[k] - 'a' + 'A') : hex[k];
        return o;
    }
    }
    return 0;
}

} // namespace

std::span<const FieldEdit> FieldEdits()
{
    return kFieldEdits;
}

std::string RealText(double value, char decimalSeparator)
{
    char buf[kRealTextMax];
    return std::string(buf, size_t(WriteRealText(buf, value, decimalSeparator)));
}

std::string FieldEditText(const FieldEdit& edit, const NavdataState& state, char decimalSeparator)
{
    char buf[kRealTextMax];
    return std::string(buf, size_t(WriteEditText(buf, edit, state, decimalSeparator)));
}

void NavdataFieldTexts(const NavdataState& state, char decimalSeparator, std::vector<std::string>& out)
{
    const std::span<const FieldEdit> edits = FieldEdits();
    out.resize(edits.size());
    char buf[kRealTextMax];
    for (std::size_t i = 0; i < edits.size(); ++i)
        out[i].assign(buf, size_t(WriteEditText(buf, edits[i], state, decimalSeparator)));
}

std::vector<std::string> NavdataFieldTexts(const NavdataState& state, char decimalSeparator)
{
    std::vector<std::string> out;
    NavdataFieldTexts(state, decimalSeparator, out);
    return out;
}

} // namespace kestrix
