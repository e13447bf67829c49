// kestrix_make_sample: writes a sample navdata stream in the recorded-file
// format (datagrams laid end to end, no header).
//
//   kestrix_make_sample OUT [--packets N] [--seed S] [--hostile]
//
// Every packet is a full navdata packet (all 28 options and the checksum
// option) of a short flight: landed, take-off, then hovering and manoeuvring,
// with smoothly varying values, a little noise from the seed, and a Time word
// rising by about 5 ms per packet (Vision.time_capture 20 ms behind it). The
// time word counts seconds modulo 2048, as the drone's does. --hostile mixes
// in what a bad link or a broken recorder leaves behind: noise between
// packets, truncated packets, options with impossible sizes, unknown tags,
// non-finite reals, packets without checksum or time, flipped bytes.
// The output depends on N, S and --hostile only.

#include "cli.h"
#include "kestrix/decoder.h"
#include "kestrix/packet_builder.h"
#include "kestrix/records.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <limits>
#include <memory>
#include <numbers>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

using namespace kestrix;

namespace {

constexpr std::string_view kUsage =
    "Usage: kestrix_make_sample OUT [--packets N] [--seed S] [--hostile]\n"
    "  --packets N  number of packets (default 3000, at most 1000000)\n"
    "  --seed S     noise seed (default 1)\n"
    "  --hostile    mix in noise and malformed packets\n";

constexpr uint32_t kMaxPackets = 1000000;
constexpr double kPi = std::numbers::pi;

// Deterministic everywhere: only the engine's raw output is used, never the
// library's distributions (their results differ between implementations).
class Rng {
public:
    explicit Rng(uint64_t seed) : g_(seed) {}
    uint64_t bits() { return g_(); }
    double unit() { return double(g_() >> 11) * 0x1p-53; }             // [0, 1)
    double noise(double amplitude) { return amplitude * (2 * unit() - 1); } // [-a, a)
    uint32_t below(uint32_t n) { return uint32_t(unit() * n); }           // [0, n)
    bool chance(double p) { return unit() < p; }

private:
    std::mt19937_64 g_;
};

uint32_t TimeWordOf(uint64_t micros)
{
    const auto seconds = uint32_t((micros / 1000000) & 0x7FF);
    return MakeTimeWord(seconds, uint32_t(micros % 1000000));
}

template <class T>
T Clamp(double v)
{
    const double lo = double(std::numeric_limits<T>::lowest());
    const double hi = double(std::numeric_limits<T>::max());
    return T(std::clamp(std::round(v), lo, hi));
}

// The drone's picture at flight time t (seconds since the recording began).
void FillState(NavdataState& s, uint32_t i, double t, uint64_t micros, Rng& rng)
{
    const double takeoff = 2.0;
    const double climb = std::clamp((t - takeoff) / 2.0, 0.0, 1.0); // 0 landed .. 1 up
    const bool landed = t < takeoff;
    const double theta = climb * (2500 * std::sin(2 * kPi * t / 7) + rng.noise(40));   // millidegrees
    const double phi = climb * (1800 * std::sin(2 * kPi * t / 5 + 1) + rng.noise(40)); // millidegrees
    double psi = std::fmod(-20000 + 9000 * t, 360000.0);
    if (psi > 180000)
        psi -= 360000;
    const double altitude = climb * (1000 + 150 * std::sin(2 * kPi * t / 11)) + (landed ? 0 : rng.noise(3));
    const double vx = climb * 400 * std::cos(2 * kPi * t / 7) + rng.noise(5);
    const double vy = climb * 300 * std::cos(2 * kPi * t / 5 + 1) + rng.noise(5);
    const double vz = (t > takeoff && t < takeoff + 2 ? 500.0 : 0.0) + climb * 85 * std::cos(2 * kPi * t / 11);
    const double battery = std::max(0.0, 100 - t / 12);

    auto& demo = s.Demo;
    const uint32_t major = landed ? 2u : (t < takeoff + 2 ? 6u : (std::fmod(t, 20) < 10 ? 3u : 4u));
    demo.ctrl_state = (major << 16) | (landed ? 0u : 1u);
    demo.vbat_flying_percentage = uint32_t(battery);
    demo.theta = float(theta);
    demo.phi = float(phi);
    demo.psi = float(psi);
    demo.altitude = Clamp<int32_t>(altitude);
    demo.vx = float(vx);
    demo.vy = float(vy);
    demo.vz = float(vz);
    demo.num_frames = int32_t(i);
    for (int k = 0; k < 9; ++k) {
        demo.detection_camera_rot.m[k] = k % 4 == 0 ? 0x3F800000u : 0; // identity of 1.0f
        demo.drone_camera_rot.m[k] = k % 4 == 0 ? 0x3F800000u : 0;
    }
    demo.detection_camera_trans = {0, 0, 0};
    demo.detection_tag_index = 0;
    demo.detection_camera_type = 3;
    demo.drone_camera_trans = {float(vx / 1000), float(vy / 1000), float(altitude / 1000)};

    s.Time.time = TimeWordOf(micros);

    auto& raw = s.Raw_meas;
    raw.raw_accs[0] = Clamp<uint16_t>(2048 + theta / 50 + rng.noise(6));
    raw.raw_accs[1] = Clamp<uint16_t>(2048 - phi / 50 + rng.noise(6));
    raw.raw_accs[2] = Clamp<uint16_t>(2560 + rng.noise(6));
    raw.raw_gyros[0] = Clamp<int16_t>(vx / 20 + rng.noise(4));
    raw.raw_gyros[1] = Clamp<int16_t>(vy / 20 + rng.noise(4));
    raw.raw_gyros[2] = Clamp<int16_t>(rng.noise(4) + (landed ? 0 : 25));
    raw.raw_gyros_110[0] = Clamp<uint16_t>(512 + rng.noise(3));
    raw.raw_gyros_110[1] = Clamp<uint16_t>(512 + rng.noise(3));
    raw.vbat_raw = uint32_t(11000 + battery * 14);
    raw.us_debut_echo = Clamp<uint16_t>(3000 + altitude);
    raw.us_fin_echo = Clamp<uint16_t>(3400 + altitude);
    raw.us_association_echo = Clamp<uint16_t>(3200 + altitude);
    raw.us_distance_echo = Clamp<uint16_t>(altitude * 0.95 + 20);
    raw.us_courbe_temps = uint16_t(i % 65536);
    raw.us_courbe_valeur = Clamp<uint16_t>(800 + 200 * std::sin(t));
    raw.us_courbe_ref = 1000;
    raw.flag_echo_ini = landed ? 0 : 1;
    raw.nb_echo = uint16_t(1 + i % 3);
    raw.sum_echo = uint32_t(100000 + 37 * i);
    raw.alt_temp_raw = Clamp<int32_t>(altitude);

    auto& phys = s.Phys_meas;
    phys.accs_temp = float(41.5 + t / 600 + rng.noise(0.05));
    phys.gyro_temp = uint16_t(31 + t / 300);
    phys.phys_accs[0] = float(theta / 100 + rng.noise(8));
    phys.phys_accs[1] = float(-phi / 100 + rng.noise(8));
    phys.phys_accs[2] = float(-1000 + vz / 10 + rng.noise(8));
    phys.phys_gyros[0] = float(vx / 200 + rng.noise(0.3));
    phys.phys_gyros[1] = float(vy / 200 + rng.noise(0.3));
    phys.phys_gyros[2] = float((landed ? 0 : 9) + rng.noise(0.3));
    phys.alim3V3 = 3300;
    phys.vrefEpson = 1235;
    phys.vrefIDG = 1350;

    s.Gyros_offsets.offset[0] = -1.25f;
    s.Gyros_offsets.offset[1] = 0.75f;
    s.Gyros_offsets.offset[2] = 0.125f;

    s.Euler_angles.theta = float(theta - 12);
    s.Euler_angles.phi = float(phi + 8);

    auto& ref = s.References;
    ref.ref_theta = Clamp<int32_t>(theta * 0.9);
    ref.ref_phi = Clamp<int32_t>(phi * 0.9);
    ref.ref_theta_I = Clamp<int32_t>(theta * 0.05);
    ref.ref_phi_I = Clamp<int32_t>(phi * 0.05);
    ref.ref_pitch = Clamp<int32_t>(theta / 10);
    ref.ref_roll = Clamp<int32_t>(phi / 10);
    ref.ref_yaw = landed ? 0 : 250;
    ref.ref_psi = Clamp<int32_t>(psi);
    ref.vx_ref = float(vx * 0.9);
    ref.vy_ref = float(vy * 0.9);
    ref.theta_mod = float(theta / 1000);
    ref.phi_mod = float(phi / 1000);
    ref.k_v_x = 0.5f;
    ref.k_v_y = 0.5f;
    ref.k_mode = landed ? 0 : 1;
    ref.ui_time = float(t);
    ref.ui_theta = float(theta / 1000);
    ref.ui_phi = float(phi / 1000);
    ref.ui_psi = float(psi / 1000);
    ref.ui_psi_accuracy = 0.5f;
    ref.ui_seq = int32_t(i / 6);

    s.Trims.angular_rates_trim_r = 0.0125f;
    s.Trims.euler_angles_trim_theta = float(-0.3 + rng.noise(0.01));
    s.Trims.euler_angles_trim_phi = float(0.2 + rng.noise(0.01));

    auto& rc = s.Rc_references;
    rc.rc_ref_pitch = Clamp<int32_t>(theta / 2);
    rc.rc_ref_roll = Clamp<int32_t>(phi / 2);
    rc.rc_ref_yaw = landed ? 0 : 120;
    rc.rc_ref_gaz = Clamp<int32_t>(vz);
    rc.rc_ref_ag = 0;

    auto& pwm = s.Navdata_pwm;
    const double hover = landed ? 0 : 165 + 25 * climb;
    pwm.motor1 = Clamp<uint8_t>(hover + theta / 400 + phi / 400);
    pwm.motor2 = Clamp<uint8_t>(hover + theta / 400 - phi / 400);
    pwm.motor3 = Clamp<uint8_t>(hover - theta / 400 - phi / 400);
    pwm.motor4 = Clamp<uint8_t>(hover - theta / 400 + phi / 400);
    pwm.sat_motor1 = pwm.sat_motor2 = pwm.sat_motor3 = pwm.sat_motor4 = 255;
    pwm.gaz_feed_forward = float(landed ? 0 : 580.5);
    pwm.gaz_altitude = float(vz / 3);
    pwm.altitude_integral = float(climb * 12.5);
    pwm.vz_ref = float(vz);
    pwm.u_pitch = Clamp<int32_t>(theta / 40);
    pwm.u_roll = Clamp<int32_t>(phi / 40);
    pwm.u_yaw = landed ? 0 : 12;
    pwm.yaw_u_I = 0.25f;
    pwm.u_pitch_planif = Clamp<int32_t>(theta / 45);
    pwm.u_roll_planif = Clamp<int32_t>(phi / 45);
    pwm.u_yaw_planif = landed ? 0 : 10;
    pwm.u_gaz_planif = float(hover * 3);
    pwm.current_motor1 = Clamp<uint16_t>(pwm.motor1 * 6 + rng.noise(5));
    pwm.current_motor2 = Clamp<uint16_t>(pwm.motor2 * 6 + rng.noise(5));
    pwm.current_motor3 = Clamp<uint16_t>(pwm.motor3 * 6 + rng.noise(5));
    pwm.current_motor4 = Clamp<uint16_t>(pwm.motor4 * 6 + rng.noise(5));
    pwm.altitude_prop = float(vz / 4);
    pwm.altitude_der = float(vz / 8);

    auto& alt = s.Altitude;
    alt.altitude_vision = Clamp<int32_t>(altitude + rng.noise(4));
    alt.altitude_vz = float(vz);
    alt.altitude_ref = landed ? 0 : 1000;
    alt.altitude_raw = Clamp<int32_t>(altitude + rng.noise(10));
    alt.obs_accZ = float(-9.81 + rng.noise(0.05));
    alt.obs_alt = float(altitude / 1000);
    alt.obs_x = {float(altitude / 1000), float(vz / 1000), float(0.01 * climb)};
    alt.obs_state = landed ? 0 : 2;
    alt.est_vb = {float(vx / 1000), float(vy / 1000)};
    alt.est_state = landed ? 0 : 4;

    s.Vision_raw.vision_tx_raw = float(vx / 2 + rng.noise(2));
    s.Vision_raw.vision_ty_raw = float(vy / 2 + rng.noise(2));
    s.Vision_raw.vision_tz_raw = float(vz / 2 + rng.noise(2));

    for (int k = 0; k < 5; ++k) {
        s.Vision_of.dx[k] = float(vx / 1000 * (k + 1) / 5 + rng.noise(0.01));
        s.Vision_of.dy[k] = float(vy / 1000 * (k + 1) / 5 + rng.noise(0.01));
    }

    auto& vis = s.Vision;
    vis.vision_state = landed ? 0 : 2;
    vis.vision_misc = 0;
    vis.vision_phi_trim = float(phi / 1000 * 0.1);
    vis.vision_phi_ref_prop = float(phi / 1000 * 0.05);
    vis.vision_theta_trim = float(theta / 1000 * 0.1);
    vis.vision_theta_ref_prop = float(theta / 1000 * 0.05);
    vis.new_raw_picture = int32_t(i % 4 == 0);
    vis.theta_capture = float(theta / 1000);
    vis.phi_capture = float(phi / 1000);
    vis.psi_capture = float(psi / 1000);
    vis.altitude_capture = Clamp<int32_t>(altitude);
    vis.time_capture = TimeWordOf(micros - 20000); // the picture was taken 20 ms earlier
    vis.body_v = {float(vx), float(vy), float(vz)};
    vis.delta_phi = float(rng.noise(0.01));
    vis.delta_theta = float(rng.noise(0.01));
    vis.delta_psi = float(rng.noise(0.01));
    vis.gold_defined = 0;
    vis.gold_reset = 0;
    vis.gold_x = 0;
    vis.gold_y = 0;

    auto& perf = s.Vision_perf;
    perf.time_szo = float(0.4 + rng.noise(0.05));
    perf.time_corners = float(1.6 + rng.noise(0.2));
    perf.time_compute = float(2.1 + rng.noise(0.2));
    perf.time_tracking = float(0.9 + rng.noise(0.1));
    perf.time_trans = float(0.3 + rng.noise(0.05));
    perf.time_update = float(0.2 + rng.noise(0.05));
    for (int k = 0; k < 20; ++k)
        perf.time_custom[k] = float(k) * 0.01f;

    for (int k = 0; k < 30; ++k) {
        s.Trackers_send.locked[k] = float((i + k) % 7 != 0);
        s.Trackers_send.screen_point[k] = {int32_t((k * 37 + i) % 320), int32_t((k * 53 + i) % 240)};
    }

    auto& det = s.Vision_detect;
    det.nb_detected = std::fmod(t, 10) < 3 ? 1 : 0;
    for (int k = 0; k < 4; ++k) {
        det.ttype[k] = k < int(det.nb_detected) ? 12 : 0;
        det.xc[k] = 500 + 10 * k;
        det.yc[k] = 500 - 10 * k;
        det.width[k] = 80;
        det.height[k] = 60;
        det.dist[k] = Clamp<uint32_t>(altitude / 10 + 50);
        det.orientation_angle[k] = uint32_t(std::fmod(t * 10, 360));
        for (int m = 0; m < 9; ++m)
            det.rotation[k].m[m] = m % 4 == 0 ? 0x3F800000u : 0;
        det.translation[k] = {0, 0, float(altitude / 1000)};
        det.camera_source[k] = 1;
    }

    s.Watchdog.watchdog = int32_t(i % 100);

    s.Adc_data_frame.version = 1;
    for (int k = 0; k < 32; ++k)
        s.Adc_data_frame.data_frame[k] = uint8_t(i + 7 * k);

    auto& video = s.Video_stream;
    video.quant = 6;
    video.frame_size = Clamp<uint32_t>(5200 + 800 * std::sin(t / 3) + rng.noise(200));
    video.frame_number = i / 7;
    video.atcmd_ref_seq = i / 3;
    video.atcmd_mean_ref_gap = 33;
    video.atcmd_var_ref_gap = float(2.5 + rng.noise(0.5));
    video.atcmd_ref_quality = 95;
    video.out_bitrate = Clamp<uint32_t>(1500000 + rng.noise(20000));
    video.desired_bitrate = 1500000;
    video.data1 = 1;
    video.data2 = 2;
    video.data3 = 3;
    video.data4 = 4;
    video.data5 = 5;
    video.tcp_queue_level = int32_t(i % 5);
    video.fifo_queue_level = int32_t(i % 3);

    s.Games.double_tap_counter = uint32_t(t / 9);
    s.Games.finish_line_counter = uint32_t(t / 13);

    auto& pr = s.Pressure_raw;
    pr.up = Clamp<int32_t>(39500 - altitude * 0.1 + rng.noise(3));
    pr.ut = Clamp<int16_t>(31000 + t);
    pr.Temperature_meas = Clamp<int32_t>(255 + t / 60);
    pr.Pression_meas = Clamp<int32_t>(101325 - altitude * 0.012 + rng.noise(2));

    auto& mag = s.Magneto;
    const double heading = psi / 1000 * kPi / 180;
    mag.mx = Clamp<int16_t>(120 * std::cos(heading) + rng.noise(2));
    mag.my = Clamp<int16_t>(120 * std::sin(heading) + rng.noise(2));
    mag.mz = Clamp<int16_t>(-300 + rng.noise(2));
    mag.magneto_raw = {float(mag.mx), float(mag.my), float(mag.mz)};
    mag.magneto_rectified = {float(mag.mx - 5), float(mag.my + 3), float(mag.mz)};
    mag.magneto_offset = {5, -3, 0};
    mag.heading_unwrapped = float(psi / 1000);
    mag.heading_gyro_unwrapped = float(psi / 1000 + 0.4);
    mag.heading_fusion_unwrapped = float(psi / 1000 + 0.2);
    mag.magneto_calibration_ok = char(t > 3 ? 1 : 0);
    mag.magneto_state = t > 3 ? 2 : 1;
    mag.magneto_radius = float(325.5 + rng.noise(0.5));
    mag.error_mean = float(0.8 + rng.noise(0.1));
    mag.error_var = float(0.05 + rng.noise(0.01));

    auto& wind = s.Wind_speed;
    wind.wind_speed = float(climb * (1.2 + 0.3 * std::sin(t / 4)));
    wind.wind_angle = float(std::fmod(45 + t, 360));
    wind.wind_compensation_theta = float(theta / 1000 * 0.1);
    wind.wind_compensation_phi = float(phi / 1000 * 0.1);
    wind.state_x1 = float(vx / 1000);
    wind.state_x2 = float(vy / 1000);
    wind.state_x3 = float(climb * 0.4);
    wind.state_x4 = float(climb * 0.3);
    wind.state_x5 = 0.01f;
    wind.state_x6 = 0.02f;
    wind.magneto_debug1 = float(mag.mx);
    wind.magneto_debug2 = float(mag.my);
    wind.magneto_debug3 = float(mag.mz);

    auto& kal = s.Kalman_pressure;
    kal.offset_pressure = 101325.0f;
    kal.est_z = float(altitude / 1000);
    kal.est_zdot = float(vz / 1000);
    kal.est_bias_PWM = 0.15f;
    kal.est_biais_pression = float(0.02 + rng.noise(0.001));
    kal.offset_US = 0.03f;
    kal.prediction_US = float(altitude / 1000 + rng.noise(0.005));
    kal.cov_alt = 0.001f;
    kal.cov_PWM = 0.002f;
    kal.cov_vitesse = 0.003f;
    kal.bool_effet_sol = altitude < 300 ? 1 : 0;
    kal.somme_inno = float(rng.noise(0.1));
    kal.flag_rejet_US = 0;
    kal.u_multisinus = 0;
    kal.gaz_altitude = float(vz / 3);
    kal.Flag_multisinus = 0;
    kal.Flag_multisinus_debut = 0;

    auto& hd = s.HDvideo_stream;
    hd.hdvideo_state = 1;
    hd.storage_fifo_nb_packets = i % 40;
    hd.storage_fifo_size = (i % 40) * 1400;
    hd.usbkey_size = 4000000;
    hd.usbkey_freespace = Clamp<uint32_t>(3500000 - t * 150);
    hd.frame_number = i / 7;
    hd.usbkey_remaining_time = Clamp<uint32_t>(3600 - t);

    s.Wifi_stream.link_quality = Clamp<uint32_t>(85 + 10 * std::sin(t / 6) + rng.noise(3));

    s.Zimmu_3000.vzimmuLSB = Clamp<int32_t>(vz * 10);
    s.Zimmu_3000.vzfind = float(vz / 1000);
}

// One full packet, possibly damaged in one of the ways a hostile stream holds.
std::vector<uint8_t> MakePacket(const NavdataState& s, uint32_t i, Rng& rng, bool hostile)
{
    const uint32_t header = 0x0F800000u | (s.Demo.ctrl_state >> 16);
    if (!hostile)
        return BuildFullPacket(s, header, i + 1);

    NavdataState st = s;
    if (rng.chance(0.02)) { // non-finite reals
        st.Demo.theta = std::numeric_limits<float>::quiet_NaN();
        st.Demo.phi = -std::numeric_limits<float>::quiet_NaN();
        st.Phys_meas.phys_accs[2] = std::numeric_limits<float>::infinity();
        st.Kalman_pressure.est_z = -std::numeric_limits<float>::infinity();
        st.Wind_speed.wind_speed = std::numeric_limits<float>::denorm_min();
    }
    if (rng.chance(0.01)) // every byte of a character or flag
        st.Magneto.magneto_calibration_ok = char(rng.below(256));

    PacketBuilder b(header, i + 1);
    const bool withTime = !rng.chance(0.02);
    for (int tag = 0; tag < kOptionTagCount; ++tag) {
        if (tag == 1 && !withTime)
            continue;
        if (tag == 13 && !withTime)
            continue;
        if (tag == 4 && rng.chance(0.01)) { // "wrong size"
            const uint8_t pad[16] = {};
            b.rawOption(4, 20, pad);
            continue;
        }
        if (tag == 0 && rng.chance(0.01)) { // short Demo: the copy runs into the next option
            b.rawOption(0, 100, {RecordBytes(st, 0), 96});
            continue;
        }
        b.record(st, tag);
    }
    if (rng.chance(0.02)) { // unknown tags
        const uint8_t junk[8] = {1, 2, 3, 4, 5, 6, 7, 8};
        b.option(uint16_t(28 + rng.below(400)), junk);
        b.option(uint16_t(0xFF00 + rng.below(0xFF)), {junk, 4});
    }
    if (rng.chance(0.01)) // a size below the header's own
        b.rawOption(uint16_t(rng.below(30)), uint16_t(rng.below(4)), {});
    if (rng.chance(0.003)) // a size pointing far ahead
        b.rawOption(200, uint16_t(0x8000 + rng.below(0x7FFF)), {});
    if (!rng.chance(0.02))
        b.checksum();

    std::vector<uint8_t> p = b.take();
    if (rng.chance(0.01)) { // flipped bytes
        for (int k = 0; k < 4; ++k)
            p[16 + rng.below(uint32_t(p.size() - 16))] ^= uint8_t(1u << rng.below(8));
    }
    if (rng.chance(0.02)) // cut short, the next packet follows at once
        p.resize(1 + rng.below(uint32_t(p.size() - 1)));
    return p;
}

void AppendNoise(std::vector<uint8_t>& out, Rng& rng)
{
    const uint32_t n = 1 + rng.below(64);
    for (uint32_t k = 0; k < n; ++k)
        out.push_back(uint8_t(rng.bits()));
    if (rng.chance(0.3)) { // part of a magic
        const uint32_t m = 1 + rng.below(3);
        out.insert(out.end(), kNavdataMagic, kNavdataMagic + m);
    }
}


int Usage(std::string_view problem)
{
    std::cerr << "kestrix_make_sample: " << problem << "\n" << kUsage;
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    std::string outPath;
    uint32_t packets = 3000;
    uint64_t seed = 1;
    bool hostile = false;
    for (int a = 1; a < argc; ++a) {
        const std::string_view arg = argv[a];
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (arg == "--hostile") {
            hostile = true;
        } else if (arg == "--packets" || arg == "--seed") {
            if (a + 1 >= argc)
                return Usage(std::string(arg) + " needs a value");
            const std::string_view value = argv[++a];
            if (arg == "--packets") {
                const auto n = ParseNumber<uint32_t>(value);
                if (!n || *n > kMaxPackets)
                    return Usage("--packets needs a whole number from 0 to 1000000");
                packets = *n;
            } else {
                const auto s = ParseNumber<uint64_t>(value);
                if (!s)
                    return Usage("--seed needs a whole number");
                seed = *s;
            }
        } else if (arg.starts_with("--") || !outPath.empty()) {
            return Usage("unexpected argument \"" + std::string(arg) + "\"");
        } else {
            outPath = arg;
        }
    }
    if (outPath.empty())
        return Usage("no OUT file given");

    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(outPath.c_str(), "wb"), &std::fclose);
    if (!f) {
        std::cerr << "kestrix_make_sample: cannot write \"" << outPath << "\": " << std::strerror(errno) << '\n';
        return 2;
    }

    Rng rng(seed);
    NavdataState state{};
    uint64_t micros = 10'000'000 + rng.below(1'000'000); // the recording starts 10 s after boot
    const uint64_t startMicros = micros;
    uint64_t written = 0;
    std::vector<uint8_t> chunk;
    chunk.reserve(1 << 20);
    bool ok = true;
    for (uint32_t i = 0; i < packets && ok; ++i) {
        micros += 5000 + rng.below(600) - 300;
        const double t = double(micros - startMicros) / 1e6;
        FillState(state, i, t, micros, rng);
        if (hostile && rng.chance(0.05))
            AppendNoise(chunk, rng);
        const std::vector<uint8_t> p = MakePacket(state, i, rng, hostile);
        chunk.insert(chunk.end(), p.begin(), p.end());
        if (chunk.size() >= (1u << 20) || i + 1 == packets) {
            ok = std::fwrite(chunk.data(), 1, chunk.size(), f.get()) == chunk.size();
            written += chunk.size();
            chunk.clear();
        }
    }
    if (ok)
        ok = std::fflush(f.get()) == 0;
    if (ok)
        ok = std::fclose(f.release()) == 0;
    if (!ok) {
        std::cerr << "kestrix_make_sample: cannot write \"" << outPath << "\": " << std::strerror(errno) << '\n';
        return 2;
    }
    return 0;
}
