// The plot catalogue: which bytes of NavdataState a plot key reads.
#include "kestrix/plot_fields.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <limits>

namespace kestrix {
namespace {

// Record order; within a record, payload order. Some fields shown on the
// NavData window have no entry here (the obs_x X box, the est_vb V boxes, the
// time-in-seconds edits, magneto_calibration_ok and the Kalman_pressure flags);
// the Video_stream data and queue fields have entries but no edit.
constexpr PlotField kPlotFields[] = {
    // 0 Demo
    {"Demo.ctrl_state", 0, 0, StoredType::U32},
    {"Demo.vbat_flying_percentage", 0, 4, StoredType::U32},
    {"Demo.theta", 0, 8, StoredType::F32},
    {"Demo.phi", 0, 12, StoredType::F32},
    {"Demo.psi", 0, 16, StoredType::F32},
    {"Demo.altitude", 0, 20, StoredType::I32},
    {"Demo.vx", 0, 24, StoredType::F32},
    {"Demo.vy", 0, 28, StoredType::F32},
    {"Demo.vz", 0, 32, StoredType::F32},
    {"Demo.num_frames", 0, 36, StoredType::I32},
    {"Demo.detection_tag_index", 0, 88, StoredType::U32},
    {"Demo.detection_camera_type", 0, 92, StoredType::U32},
    // 1 Time
    {"Time.time", 1, 0, StoredType::U32},
    // 2 Raw_meas
    {"Raw_meas.raw_accs_0", 2, 0, StoredType::U16},
    {"Raw_meas.raw_accs_1", 2, 2, StoredType::U16},
    {"Raw_meas.raw_accs_2", 2, 4, StoredType::U16},
    {"Raw_meas.raw_gyros_0", 2, 6, StoredType::I16},
    {"Raw_meas.raw_gyros_1", 2, 8, StoredType::I16},
    {"Raw_meas.raw_gyros_2", 2, 10, StoredType::I16},
    {"Raw_meas.raw_gyros_110_0", 2, 12, StoredType::U16},
    {"Raw_meas.raw_gyros_110_1", 2, 14, StoredType::U16},
    {"Raw_meas.vbat_raw", 2, 16, StoredType::U32},
    {"Raw_meas.us_debut_echo", 2, 20, StoredType::U16},
    {"Raw_meas.us_fin_echo", 2, 22, StoredType::U16},
    {"Raw_meas.us_association_echo", 2, 24, StoredType::U16},
    {"Raw_meas.us_distance_echo", 2, 26, StoredType::U16},
    {"Raw_meas.us_courbe_temps", 2, 28, StoredType::U16},
    {"Raw_meas.us_courbe_valeur", 2, 30, StoredType::U16},
    {"Raw_meas.us_courbe_ref", 2, 32, StoredType::U16},
    {"Raw_meas.flag_echo_ini", 2, 34, StoredType::U16},
    {"Raw_meas.nb_echo", 2, 36, StoredType::U16},
    {"Raw_meas.sum_echo", 2, 38, StoredType::U32},
    {"Raw_meas.alt_temp_raw", 2, 42, StoredType::I32},
    // 3 Phys_meas
    {"Phys_meas.accs_temp", 3, 0, StoredType::F32},
    {"Phys_meas.gyro_temp", 3, 4, StoredType::U16},
    {"Phys_meas.phys_accs_0", 3, 6, StoredType::F32},
    {"Phys_meas.phys_accs_1", 3, 10, StoredType::F32},
    {"Phys_meas.phys_accs_2", 3, 14, StoredType::F32},
    {"Phys_meas.phys_gyros_0", 3, 18, StoredType::F32},
    {"Phys_meas.phys_gyros_1", 3, 22, StoredType::F32},
    {"Phys_meas.phys_gyros_2", 3, 26, StoredType::F32},
    {"Phys_meas.alim3V3", 3, 30, StoredType::U32},
    {"Phys_meas.vrefEpson", 3, 34, StoredType::U32},
    {"Phys_meas.vrefIDG", 3, 38, StoredType::U32},
    // 4 Gyros_offsets
    {"Gyros_offsets.offset_0", 4, 0, StoredType::F32},
    {"Gyros_offsets.offset_1", 4, 4, StoredType::F32},
    {"Gyros_offsets.offset_2", 4, 8, StoredType::F32},
    // 5 Euler_angles
    {"Euler_angles.theta1", 5, 0, StoredType::F32},
    {"Euler_angles.phi1", 5, 4, StoredType::F32},
    // 6 References
    {"References.ref_theta", 6, 0, StoredType::I32},
    {"References.ref_phi", 6, 4, StoredType::I32},
    {"References.ref_theta_I", 6, 8, StoredType::I32},
    {"References.ref_phi_I", 6, 12, StoredType::I32},
    {"References.ref_pitch", 6, 16, StoredType::I32},
    {"References.ref_roll", 6, 20, StoredType::I32},
    {"References.ref_yaw", 6, 24, StoredType::I32},
    {"References.ref_psi", 6, 28, StoredType::I32},
    {"References.vx_ref", 6, 32, StoredType::F32},
    {"References.vy_ref", 6, 36, StoredType::F32},
    {"References.theta_mod", 6, 40, StoredType::F32},
    {"References.phi_mod", 6, 44, StoredType::F32},
    {"References.k_v_x", 6, 48, StoredType::F32},
    {"References.k_v_y", 6, 52, StoredType::F32},
    {"References.k_mode", 6, 56, StoredType::U32},
    {"References.ui_time", 6, 60, StoredType::F32},
    {"References.ui_theta", 6, 64, StoredType::F32},
    {"References.ui_phi", 6, 68, StoredType::F32},
    {"References.ui_psi", 6, 72, StoredType::F32},
    {"References.ui_psi_accuracy", 6, 76, StoredType::F32},
    {"References.ui_seq", 6, 80, StoredType::I32},
    // 7 Trims
    {"Trims.angular_rates_trim_r", 7, 0, StoredType::F32},
    {"Trims.euler_angles_trim_theta", 7, 4, StoredType::F32},
    {"Trims.euler_angles_trim_phi", 7, 8, StoredType::F32},
    // 8 Rc_references
    {"Rc_references.rc_ref_pitch", 8, 0, StoredType::I32},
    {"Rc_references.rc_ref_roll", 8, 4, StoredType::I32},
    {"Rc_references.rc_ref_yaw", 8, 8, StoredType::I32},
    {"Rc_references.rc_ref_gaz", 8, 12, StoredType::I32},
    {"Rc_references.rc_ref_ag", 8, 16, StoredType::I32},
    // 9 Navdata_pwm
    {"Navdata_pwm.motor1", 9, 0, StoredType::U8},
    {"Navdata_pwm.motor2", 9, 1, StoredType::U8},
    {"Navdata_pwm.motor3", 9, 2, StoredType::U8},
    {"Navdata_pwm.motor4", 9, 3, StoredType::U8},
    {"Navdata_pwm.sat_motor1", 9, 4, StoredType::U8},
    {"Navdata_pwm.sat_motor2", 9, 5, StoredType::U8},
    {"Navdata_pwm.sat_motor3", 9, 6, StoredType::U8},
    {"Navdata_pwm.sat_motor4", 9, 7, StoredType::U8},
    {"Navdata_pwm.gaz_feed_forward", 9, 8, StoredType::F32},
    {"Navdata_pwm.gaz_altitude", 9, 12, StoredType::F32},
    {"Navdata_pwm.altitude_integral", 9, 16, StoredType::F32},
    {"Navdata_pwm.vz_ref", 9, 20, StoredType::F32},
    {"Navdata_pwm.u_pitch", 9, 24, StoredType::I32},
    {"Navdata_pwm.u_roll", 9, 28, StoredType::I32},
    {"Navdata_pwm.u_yaw", 9, 32, StoredType::I32},
    {"Navdata_pwm.yaw_u_I", 9, 36, StoredType::F32},
    {"Navdata_pwm.u_pitch_planif", 9, 40, StoredType::I32},
    {"Navdata_pwm.u_roll_planif", 9, 44, StoredType::I32},
    {"Navdata_pwm.u_yaw_planif", 9, 48, StoredType::I32},
    {"Navdata_pwm.u_gaz_planif", 9, 52, StoredType::F32},
    {"Navdata_pwm.current_motor1", 9, 56, StoredType::U16},
    {"Navdata_pwm.current_motor2", 9, 58, StoredType::U16},
    {"Navdata_pwm.current_motor3", 9, 60, StoredType::U16},
    {"Navdata_pwm.current_motor4", 9, 62, StoredType::U16},
    {"Navdata_pwm.altitude_prop", 9, 64, StoredType::F32},
    {"Navdata_pwm.altitude_der", 9, 68, StoredType::F32},
    // 10 Altitude
    {"Altitude.altitude_vision", 10, 0, StoredType::I32},
    {"Altitude.altitude_vz", 10, 4, StoredType::F32},
    {"Altitude.altitude_ref", 10, 8, StoredType::I32},
    {"Altitude.altitude_raw", 10, 12, StoredType::I32},
    {"Altitude.obs_accZ", 10, 16, StoredType::F32},
    {"Altitude.obs_alt", 10, 20, StoredType::F32},
    {"Altitude.obs_x_V0", 10, 24, StoredType::F32},
    {"Altitude.obs_x_Y", 10, 28, StoredType::F32},
    {"Altitude.obs_x_Z", 10, 32, StoredType::F32},
    {"Altitude.obs_state", 10, 36, StoredType::U32},
    {"Altitude.est_vb_X", 10, 40, StoredType::F32},
    {"Altitude.est_vb_Y", 10, 44, StoredType::F32},
    {"Altitude.est_state", 10, 48, StoredType::U32},
    // 11 Vision_raw
    {"Vision_raw.vision_tx_raw", 11, 0, StoredType::F32},
    {"Vision_raw.vision_ty_raw", 11, 4, StoredType::F32},
    {"Vision_raw.vision_tz_raw", 11, 8, StoredType::F32},
    // 12 Vision_of
    {"Vision_of.dx_0", 12, 0, StoredType::F32},
    {"Vision_of.dx_1", 12, 4, StoredType::F32},
    {"Vision_of.dx_2", 12, 8, StoredType::F32},
    {"Vision_of.dx_3", 12, 12, StoredType::F32},
    {"Vision_of.dx_4", 12, 16, StoredType::F32},
    {"Vision_of.dy_0", 12, 20, StoredType::F32},
    {"Vision_of.dy_1", 12, 24, StoredType::F32},
    {"Vision_of.dy_2", 12, 28, StoredType::F32},
    {"Vision_of.dy_3", 12, 32, StoredType::F32},
    {"Vision_of.dy_4", 12, 36, StoredType::F32},
    // 13 Vision
    {"Vision.vision_state", 13, 0, StoredType::U32},
    {"Vision.vision_misc", 13, 4, StoredType::I32},
    {"Vision.vision_phi_trim", 13, 8, StoredType::F32},
    {"Vision.vision_phi_ref_prop", 13, 12, StoredType::F32},
    {"Vision.vision_theta_trim", 13, 16, StoredType::F32},
    {"Vision.vision_theta_ref_prop", 13, 20, StoredType::F32},
    {"Vision.new_raw_picture", 13, 24, StoredType::I32},
    {"Vision.theta_capture", 13, 28, StoredType::F32},
    {"Vision.phi_capture", 13, 32, StoredType::F32},
    {"Vision.psi_capture", 13, 36, StoredType::F32},
    {"Vision.altitude_capture", 13, 40, StoredType::I32},
    {"Vision.time_capture", 13, 44, StoredType::U32},
    {"Vision.body_v_X", 13, 48, StoredType::F32},
    {"Vision.body_v_Y", 13, 52, StoredType::F32},
    {"Vision.body_v_Z", 13, 56, StoredType::F32},
    {"Vision.delta_phi", 13, 60, StoredType::F32},
    {"Vision.delta_theta", 13, 64, StoredType::F32},
    {"Vision.delta_psi", 13, 68, StoredType::F32},
    {"Vision.gold_defined", 13, 72, StoredType::U32},
    {"Vision.gold_reset", 13, 76, StoredType::U32},
    {"Vision.gold_x", 13, 80, StoredType::F32},
    {"Vision.gold_y", 13, 84, StoredType::F32},
    // 14 Vision_perf
    {"Vision_perf.time_szo", 14, 0, StoredType::F32},
    {"Vision_perf.time_corners", 14, 4, StoredType::F32},
    {"Vision_perf.time_compute", 14, 8, StoredType::F32},
    {"Vision_perf.time_tracking", 14, 12, StoredType::F32},
    {"Vision_perf.time_trans", 14, 16, StoredType::F32},
    {"Vision_perf.time_update", 14, 20, StoredType::F32},
    // 16 Vision_detect
    {"Vision_detect.nb_detected", 16, 0, StoredType::U32},
    // 17 Watchdog
    {"Watchdog.watchdog", 17, 0, StoredType::I32},
    // 18 Adc_data_frame
    {"Adc_data_frame.version", 18, 0, StoredType::U32},
    // 19 Video_stream
    {"Video_stream.quant", 19, 0, StoredType::U8},
    {"Video_stream.frame_size", 19, 1, StoredType::U32},
    {"Video_stream.frame_number", 19, 5, StoredType::U32},
    {"Video_stream.atcmd_ref_seq", 19, 9, StoredType::U32},
    {"Video_stream.atcmd_mean_ref_gap", 19, 13, StoredType::U32},
    {"Video_stream.atcmd_var_ref_gap", 19, 17, StoredType::F32},
    {"Video_stream.atcmd_ref_quality", 19, 21, StoredType::U32},
    {"Video_stream.out_bitrate", 19, 25, StoredType::U32},
    {"Video_stream.desired_bitrate", 19, 29, StoredType::U32},
    {"Video_stream.data1", 19, 33, StoredType::I32},
    {"Video_stream.data2", 19, 37, StoredType::I32},
    {"Video_stream.data3", 19, 41, StoredType::I32},
    {"Video_stream.data4", 19, 45, StoredType::I32},
    {"Video_stream.data5", 19, 49, StoredType::I32},
    {"Video_stream.tcp_queue_level", 19, 53, StoredType::I32},
    {"Video_stream.fifo_queue_level", 19, 57, StoredType::I32},
    // 20 Games
    {"Games.double_tap_counter", 20, 0, StoredType::U32},
    {"Games.finish_line_counter", 20, 4, StoredType::U32},
    // 21 Pressure_raw
    {"Pressure_raw.up", 21, 0, StoredType::I32},
    {"Pressure_raw.ut", 21, 4, StoredType::I16},
    {"Pressure_raw.Temperature_meas", 21, 6, StoredType::I32},
    {"Pressure_raw.Pression_meas", 21, 10, StoredType::I32},
    // 22 Magneto
    {"Magneto.mx", 22, 0, StoredType::I16},
    {"Magneto.my", 22, 2, StoredType::I16},
    {"Magneto.mz", 22, 4, StoredType::I16},
    {"Magneto.heading_unwrapped", 22, 42, StoredType::F32},
    {"Magneto.heading_gyro_unwrapped", 22, 46, StoredType::F32},
    {"Magneto.heading_fusion_unwrapped", 22, 50, StoredType::F32},
    {"Magneto.magneto_state", 22, 55, StoredType::U32},
    {"Magneto.magneto_radius", 22, 59, StoredType::F32},
    {"Magneto.error_mean", 22, 63, StoredType::F32},
    {"Magneto.error_var", 22, 67, StoredType::F32},
    // 23 Wind_speed
    {"Wind_speed.wind_speed", 23, 0, StoredType::F32},
    {"Wind_speed.wind_angle", 23, 4, StoredType::F32},
    {"Wind_speed.wind_compensation_theta", 23, 8, StoredType::F32},
    {"Wind_speed.wind_compensation_phi", 23, 12, StoredType::F32},
    {"Wind_speed.state_x1", 23, 16, StoredType::F32},
    {"Wind_speed.state_x2", 23, 20, StoredType::F32},
    {"Wind_speed.state_x3", 23, 24, StoredType::F32},
    {"Wind_speed.state_x4", 23, 28, StoredType::F32},
    {"Wind_speed.state_x5", 23, 32, StoredType::F32},
    {"Wind_speed.state_x6", 23, 36, StoredType::F32},
    {"Wind_speed.magneto_debug1", 23, 40, StoredType::F32},
    {"Wind_speed.magneto_debug2", 23, 44, StoredType::F32},
    {"Wind_speed.magneto_debug3", 23, 48, StoredType::F32},
    // 24 Kalman_pressure
    {"Kalman_pressure.offset_pressure", 24, 0, StoredType::F32},
    {"Kalman_pressure.est_z", 24, 4, StoredType::F32},
    {"Kalman_pressure.est_zdot", 24, 8, StoredType::F32},
    {"Kalman_pressure.est_bias_PWM", 24, 12, StoredType::F32},
    {"Kalman_pressure.est_biais_pression", 24, 16, StoredType::F32},
    {"Kalman_pressure.offset_US", 24, 20, StoredType::F32},
    {"Kalman_pressure.prediction_US", 24, 24, StoredType::F32},
    {"Kalman_pressure.cov_alt", 24, 28, StoredType::F32},
    {"Kalman_pressure.cov_PWM", 24, 32, StoredType::F32},
    {"Kalman_pressure.cov_vitesse", 24, 36, StoredType::F32},
    {"Kalman_pressure.somme_inno", 24, 44, StoredType::F32},
    {"Kalman_pressure.u_multisinus", 24, 52, StoredType::F32},
    {"Kalman_pressure.gaz_altitude_KP", 24, 56, StoredType::F32},
    // 25 HDvideo_stream
    {"HDvideo_stream.hdvideo_state", 25, 0, StoredType::U32},
    {"HDvideo_stream.storage_fifo_nb_packets", 25, 4, StoredType::U32},
    {"HDvideo_stream.storage_fifo_size", 25, 8, StoredType::U32},
    {"HDvideo_stream.usbkey_size", 25, 12, StoredType::U32},
    {"HDvideo_stream.usbkey_freespace", 25, 16, StoredType::U32},
    {"HDvideo_stream.frame_number_1", 25, 20, StoredType::U32},
    {"HDvideo_stream.usbkey_remaining_time", 25, 24, StoredType::U32},
    // 26 Wifi_stream
    {"Wifi_stream.link_quality", 26, 0, StoredType::U32},
    // 27 Zimmu_3000
    {"Zimmu_3000.vzimmuLSB", 27, 0, StoredType::I32},
    {"Zimmu_3000.vzfind", 27, 4, StoredType::F32},
};

constexpr std::size_t kPlotFieldCount = std::size(kPlotFields);
static_assert(kPlotFieldCount == 229);

// Indices of kPlotFields sorted by key, for a binary search. Computed by the
// compiler, so lookup needs no set-up at run time and no lock.
constexpr auto kSortedIndex = [] {
    std::array<uint8_t, kPlotFieldCount> index{};
    for (std::size_t i = 0; i < kPlotFieldCount; ++i)
        index[i] = uint8_t(i);
    std::sort(index.begin(), index.end(),
              [](uint8_t a, uint8_t b) { return kPlotFields[a].key < kPlotFields[b].key; });
    return index;
}();

constexpr bool KeysUnique()
{
    for (std::size_t i = 1; i < kPlotFieldCount; ++i)
        if (kPlotFields[kSortedIndex[i - 1]].key == kPlotFields[kSortedIndex[i]].key)
            return false;
    return true;
}
static_assert(KeysUnique(), "every plot key occurs once");

template <class T>
double Load(const uint8_t* p)
{
    T v;
    std::memcpy(&v, p, sizeof v);
    return double(v);
}

} // namespace

std::span<const PlotField> PlotFields()
{
    return kPlotFields;
}

const PlotField* FindPlotField(std::string_view key)
{
    const auto it = std::lower_bound(kSortedIndex.begin(), kSortedIndex.end(), key,
                                     [](uint8_t i, std::string_view k) { return kPlotFields[i].key < k; });
    if (it == kSortedIndex.end() || kPlotFields[*it].key != key)
        return nullptr;
    return &kPlotFields[*it];
}

double PlotFieldValue(const PlotField& field, const NavdataState& state)
{
    // A field that does not lie inside its record (only possible for an entry
    // made up by a caller) has no value: NaN, which the chart draws as a gap.
    if (field.tag < 0 || field.tag >= kOptionTagCount || field.offset < 0 ||
        std::size_t(field.offset) + std::size_t(StoredSize(field.type)) > kRecordSlots[field.tag].size)
        return std::numeric_limits<double>::quiet_NaN();
    const uint8_t* p = RecordBytes(state, field.tag) + field.offset;
    switch (field.type) {
    case StoredType::U8:
    case StoredType::Char: return double(p[0]);
    case StoredType::U16: return Load<uint16_t>(p);
    case StoredType::U32: return Load<uint32_t>(p);
    case StoredType::I16: return Load<int16_t>(p);
    case StoredType::I32: return Load<int32_t>(p);
    case StoredType::F32: return Load<float>(p);
    }
    return std::numeric_limits<double>::quiet_NaN();
}

} // namespace kestrix
