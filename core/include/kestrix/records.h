// Navdata option records: packed, little-endian images of the option payloads.
//
// Each record is filled by a plain block copy of the payload bytes, so its layout
// is at the same time the wire format of the option. No padding, fields may sit
// at odd offsets.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

static_assert(std::endian::native == std::endian::little,
              "records are byte images of little-endian payloads");

namespace kestrix {
namespace rec {

#pragma pack(push, 1)

struct Vector31 { float x, y, z; };
struct Vector21 { float x, y; };
struct Velocities { float x, y, z; };
// 3 x 3 elements of 4 bytes; the element type is not interpreted anywhere.
struct Matrix33 { uint32_t m[9]; };
// 8 bytes; inner layout not interpreted anywhere.
struct ScreenPoint { int32_t x, y; };

struct Demo {
    uint32_t ctrl_state;
    uint32_t vbat_flying_percentage;
    float theta;
    float phi;
    float psi;
    int32_t altitude;
    float vx;
    float vy;
    float vz;
    int32_t num_frames;
    Matrix33 detection_camera_rot;
    Vector31 detection_camera_trans;
    uint32_t detection_tag_index;
    uint32_t detection_camera_type;
    Matrix33 drone_camera_rot;
    Vector31 drone_camera_trans;
};

struct Time {
    uint32_t time;
};

struct Raw_meas {
    uint16_t raw_accs[3];
    int16_t raw_gyros[3];
    uint16_t raw_gyros_110[2];
    uint32_t vbat_raw;
    uint16_t us_debut_echo;
    uint16_t us_fin_echo;
    uint16_t us_association_echo;
    uint16_t us_distance_echo;
    uint16_t us_courbe_temps;
    uint16_t us_courbe_valeur;
    uint16_t us_courbe_ref;
    uint16_t flag_echo_ini;
    uint16_t nb_echo;
    uint32_t sum_echo;
    int32_t alt_temp_raw;
};

struct Phys_meas {
    float accs_temp;
    uint16_t gyro_temp;
    float phys_accs[3];
    float phys_gyros[3];
    uint32_t alim3V3;
    uint32_t vrefEpson;
    uint32_t vrefIDG;
};

struct Gyros_offsets {
    float offset[3];
};

struct Euler_angles {
    float theta;
    float phi;
};

struct References {
    int32_t ref_theta;
    int32_t ref_phi;
    int32_t ref_theta_I;
    int32_t ref_phi_I;
    int32_t ref_pitch;
    int32_t ref_roll;
    int32_t ref_yaw;
    int32_t ref_psi;
    float vx_ref;
    float vy_ref;
    float theta_mod;
    float phi_mod;
    float k_v_x;
    float k_v_y;
    uint32_t k_mode;
    float ui_time;
    float ui_theta;
    float ui_phi;
    float ui_psi;
    float ui_psi_accuracy;
    int32_t ui_seq;
};

struct Trims {
    float angular_rates_trim_r;
    float euler_angles_trim_theta;
    float euler_angles_trim_phi;
};

struct Rc_references {
    int32_t rc_ref_pitch;
    int32_t rc_ref_roll;
    int32_t rc_ref_yaw;
    int32_t rc_ref_gaz;
    int32_t rc_ref_ag;
};

struct Navdata_pwm {
    uint8_t motor1;
    uint8_t motor2;
    uint8_t motor3;
    uint8_t motor4;
    uint8_t sat_motor1;
    uint8_t sat_motor2;
    uint8_t sat_motor3;
    uint8_t sat_motor4;
    float gaz_feed_forward;
    float gaz_altitude;
    float altitude_integral;
    float vz_ref;
    int32_t u_pitch;
    int32_t u_roll;
    int32_t u_yaw;
    float yaw_u_I;
    int32_t u_pitch_planif;
    int32_t u_roll_planif;
    int32_t u_yaw_planif;
    float u_gaz_planif;
    uint16_t current_motor1;
    uint16_t current_motor2;
    uint16_t current_motor3;
    uint16_t current_motor4;
    float altitude_prop;
    float altitude_der;
};

struct Altitude {
    int32_t altitude_vision;
    float altitude_vz;
    int32_t altitude_ref;
    int32_t altitude_raw;
    float obs_accZ;
    float obs_alt;
    Vector31 obs_x;
    uint32_t obs_state;
    Vector21 est_vb;
    uint32_t est_state;
};

struct Vision_raw {
    float vision_tx_raw;
    float vision_ty_raw;
    float vision_tz_raw;
};

struct Vision_of {
    float dx[5];
    float dy[5];
};

struct Vision {
    uint32_t vision_state;
    int32_t vision_misc;
    float vision_phi_trim;
    float vision_phi_ref_prop;
    float vision_theta_trim;
    float vision_theta_ref_prop;
    int32_t new_raw_picture;
    float theta_capture;
    float phi_capture;
    float psi_capture;
    int32_t altitude_capture;
    uint32_t time_capture;
    Velocities body_v;
    float delta_phi;
    float delta_theta;
    float delta_psi;
    uint32_t gold_defined;
    uint32_t gold_reset;
    float gold_x;
    float gold_y;
};

struct Vision_perf {
    float time_szo;
    float time_corners;
    float time_compute;
    float time_tracking;
    float time_trans;
    float time_update;
    float time_custom[20];
};

struct Trackers_send {
    float locked[30];
    ScreenPoint screen_point[30];
};

struct Vision_detect {
    uint32_t nb_detected;
    uint32_t ttype[4];
    uint32_t xc[4];
    uint32_t yc[4];
    uint32_t width[4];
    uint32_t height[4];
    uint32_t dist[4];
    uint32_t orientation_angle[4];
    Matrix33 rotation[4];
    Vector31 translation[4];
    // 16 bytes, 4 entries of 4 bytes each; nothing reads them.
    uint32_t camera_source[4];
};

struct Watchdog {
    int32_t watchdog;
};

struct Adc_data_frame {
    uint32_t version;
    uint8_t data_frame[32];
};

struct Video_stream {
    uint8_t quant;
    uint32_t frame_size;
    uint32_t frame_number;
    uint32_t atcmd_ref_seq;
    uint32_t atcmd_mean_ref_gap;
    float atcmd_var_ref_gap;
    uint32_t atcmd_ref_quality;
    uint32_t out_bitrate;
    uint32_t desired_bitrate;
    int32_t data1;
    int32_t data2;
    int32_t data3;
    int32_t data4;
    int32_t data5;
    int32_t tcp_queue_level;
    int32_t fifo_queue_level;
};

struct Games {
    uint32_t double_tap_counter;
    uint32_t finish_line_counter;
};

struct Pressure_raw {
    int32_t up;
    int16_t ut;
    int32_t Temperature_meas;
    int32_t Pression_meas;
};

struct Magneto {
    int16_t mx;
    int16_t my;
    int16_t mz;
    Vector31 magneto_raw;
    Vector31 magneto_rectified;
    Vector31 magneto_offset;
    float heading_unwrapped;
    float heading_gyro_unwrapped;
    float heading_fusion_unwrapped;
    char magneto_calibration_ok;
    uint32_t magneto_state;
    float magneto_radius;
    float error_mean;
    float error_var;
};

struct Wind_speed {
    float wind_speed;
    float wind_angle;
    float wind_compensation_theta;
    float wind_compensation_phi;
    float state_x1;
    float state_x2;
    float state_x3;
    float state_x4;
    float state_x5;
    float state_x6;
    float magneto_debug1;
    float magneto_debug2;
    float magneto_debug3;
};

struct Kalman_pressure {
    float offset_pressure;
    float est_z;
    float est_zdot;
    float est_bias_PWM;
    float est_biais_pression;
    float offset_US;
    float prediction_US;
    float cov_alt;
    float cov_PWM;
    float cov_vitesse;
    uint32_t bool_effet_sol;
    float somme_inno;
    uint32_t flag_rejet_US;
    float u_multisinus;
    float gaz_altitude;
    uint32_t Flag_multisinus;
    uint32_t Flag_multisinus_debut;
};

struct HDvideo_stream {
    uint32_t hdvideo_state;
    uint32_t storage_fifo_nb_packets;
    uint32_t storage_fifo_size;
    uint32_t usbkey_size;
    uint32_t usbkey_freespace;
    uint32_t frame_number;
    uint32_t usbkey_remaining_time;
};

struct Wifi_stream {
    uint32_t link_quality;
};

struct Zimmu_3000 {
    int32_t vzimmuLSB;
    float vzfind;
};

#pragma pack(pop)

static_assert(sizeof(Demo) == 144);
static_assert(sizeof(Time) == 4);
static_assert(sizeof(Raw_meas) == 46);
static_assert(sizeof(Phys_meas) == 42);
static_assert(sizeof(Gyros_offsets) == 12);
static_assert(sizeof(Euler_angles) == 8);
static_assert(sizeof(References) == 84);
static_assert(sizeof(Trims) == 12);
static_assert(sizeof(Rc_references) == 20);
static_assert(sizeof(Navdata_pwm) == 72);
static_assert(sizeof(Altitude) == 52);
static_assert(sizeof(Vision_raw) == 12);
static_assert(sizeof(Vision_of) == 40);
static_assert(sizeof(Vision) == 88);
static_assert(sizeof(Vision_perf) == 104);
static_assert(sizeof(Trackers_send) == 360);
static_assert(sizeof(Vision_detect) == 324);
static_assert(sizeof(Watchdog) == 4);
static_assert(sizeof(Adc_data_frame) == 36);
static_assert(sizeof(Video_stream) == 61);
static_assert(sizeof(Games) == 8);
static_assert(sizeof(Pressure_raw) == 14);
static_assert(sizeof(Magneto) == 71);
static_assert(sizeof(Wind_speed) == 52);
static_assert(sizeof(Kalman_pressure) == 68);
static_assert(sizeof(HDvideo_stream) == 28);
static_assert(sizeof(Wifi_stream) == 4);
static_assert(sizeof(Zimmu_3000) == 8);

static_assert(offsetof(Video_stream, frame_size) == 1);
static_assert(offsetof(Magneto, magneto_state) == 55);
static_assert(offsetof(Vision, time_capture) == 44);
static_assert(offsetof(Vision_detect, camera_source) == 308);

} // namespace rec

// The picture of the drone: one record per option tag 0..27, each holding the
// payload of the last option of that tag that was decoded. Zero at start.
struct NavdataState {
    rec::Demo Demo;
    rec::Time Time;
    rec::Raw_meas Raw_meas;
    rec::Phys_meas Phys_meas;
    rec::Gyros_offsets Gyros_offsets;
    rec::Euler_angles Euler_angles;
    rec::References References;
    rec::Trims Trims;
    rec::Rc_references Rc_references;
    rec::Navdata_pwm Navdata_pwm;
    rec::Altitude Altitude;
    rec::Vision_raw Vision_raw;
    rec::Vision_of Vision_of;
    rec::Vision Vision;
    rec::Vision_perf Vision_perf;
    rec::Trackers_send Trackers_send;
    rec::Vision_detect Vision_detect;
    rec::Watchdog Watchdog;
    rec::Adc_data_frame Adc_data_frame;
    rec::Video_stream Video_stream;
    rec::Games Games;
    rec::Pressure_raw Pressure_raw;
    rec::Magneto Magneto;
    rec::Wind_speed Wind_speed;
    rec::Kalman_pressure Kalman_pressure;
    rec::HDvideo_stream HDvideo_stream;
    rec::Wifi_stream Wifi_stream;
    rec::Zimmu_3000 Zimmu_3000;
};
static_assert(sizeof(NavdataState) == 1778, "records are laid end to end");

inline constexpr int kOptionTagCount = 28;
inline constexpr uint16_t kChecksumTag = 0xFFFF;

// Where each tag's record lives in NavdataState, its size, and its name
// (the NavData tab caption).
struct RecordSlot {
    std::size_t offset;
    std::size_t size;
    const char* name;
};

#define KESTRIX_SLOT(R) RecordSlot{offsetof(NavdataState, R), sizeof(rec::R), #R}
inline constexpr RecordSlot kRecordSlots[kOptionTagCount] = {
    KESTRIX_SLOT(Demo),           KESTRIX_SLOT(Time),          KESTRIX_SLOT(Raw_meas),
    KESTRIX_SLOT(Phys_meas),      KESTRIX_SLOT(Gyros_offsets), KESTRIX_SLOT(Euler_angles),
    KESTRIX_SLOT(References),     KESTRIX_SLOT(Trims),         KESTRIX_SLOT(Rc_references),
    KESTRIX_SLOT(Navdata_pwm),    KESTRIX_SLOT(Altitude),      KESTRIX_SLOT(Vision_raw),
    KESTRIX_SLOT(Vision_of),      KESTRIX_SLOT(Vision),        KESTRIX_SLOT(Vision_perf),
    KESTRIX_SLOT(Trackers_send),  KESTRIX_SLOT(Vision_detect), KESTRIX_SLOT(Watchdog),
    KESTRIX_SLOT(Adc_data_frame), KESTRIX_SLOT(Video_stream),  KESTRIX_SLOT(Games),
    KESTRIX_SLOT(Pressure_raw),   KESTRIX_SLOT(Magneto),       KESTRIX_SLOT(Wind_speed),
    KESTRIX_SLOT(Kalman_pressure), KESTRIX_SLOT(HDvideo_stream), KESTRIX_SLOT(Wifi_stream),
    KESTRIX_SLOT(Zimmu_3000),
};
#undef KESTRIX_SLOT

// Raw byte access to one record of a state.
inline uint8_t* RecordBytes(NavdataState& s, int tag)
{
    return reinterpret_cast<uint8_t*>(&s) + kRecordSlots[tag].offset;
}
inline const uint8_t* RecordBytes(const NavdataState& s, int tag)
{
    return reinterpret_cast<const uint8_t*>(&s) + kRecordSlots[tag].offset;
}

} // namespace kestrix
