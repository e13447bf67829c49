#include "flight_model.h"

#include "kestrix/packet_builder.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace kestrix::sim {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kGravityMm = 9810.0;      // mm/s^2
constexpr double kClimbGain = 4.0;         // 1/s, altitude error to vertical speed
constexpr double kTakeOffClimbMm = 800.0;  // mm/s
constexpr double kMaxVzMm = 1000.0;        // mm/s in flight
constexpr double kLandMinMm = 300.0;       // mm/s
constexpr double kLandMaxMm = 800.0;       // mm/s
constexpr double kFlyingWithinMm = 20.0;
constexpr double kTiltTau = 0.15;          // s
constexpr double kSpeedTau = 0.5;          // s
constexpr double kVzTau = 0.1;             // s
constexpr double kYawTau = 0.1;            // s
constexpr double kGroundTau = 0.05;        // s, settling on the ground
constexpr double kDrainOff = 0.01;         // %/s
constexpr double kDrainOn = 0.25;          // %/s
constexpr int kHoverPwm = 160;

// First-order approach of `value` to `target` over `dt` with time constant `tau`.
double approach(double value, double target, double dt, double tau)
{
    return value + (target - value) * std::min(1.0, dt / tau);
}

float clampUnit(float v)
{
    if (!std::isfinite(v))
        return 0.0f;
    return std::clamp(v, -1.0f, 1.0f);
}

double wrapMdeg(double a)
{
    a = std::fmod(a + 180000.0, 360000.0);
    if (a < 0)
        a += 360000.0;
    return a - 180000.0;
}

int32_t toInt(double v)
{
    if (!std::isfinite(v))
        return 0;
    return int32_t(std::clamp(std::lround(v), long(INT32_MIN), long(INT32_MAX)));
}

uint32_t floatBits(double v)
{
    return std::bit_cast<uint32_t>(float(v));
}

uint32_t timeWordOf(int64_t ns)
{
    const int64_t micros = ns / 1000;
    return MakeTimeWord(uint32_t((micros / 1000000) & 0x7FF), uint32_t(micros % 1000000));
}

} // namespace

const char* FlightStateName(FlightState s)
{
    switch (s) {
    case FlightState::Landed: return "landed";
    case FlightState::TakingOff: return "taking off";
    case FlightState::Flying: return "flying";
    case FlightState::Landing: return "landing";
    case FlightState::Emergency: return "emergency";
    }
    return "?";
}

void FlightModel::advance(double seconds)
{
    if (!std::isfinite(seconds) || seconds <= 0.0 || seconds > 1e9)
        return;
    advanceNs(int64_t(std::llround(seconds * 1e9)));
}

void FlightModel::advanceNs(int64_t ns)
{
    if (ns <= 0)
        return;
    timeNs_ += ns;
    pendingNs_ += ns;
    constexpr double dt = double(kStepNs) * 1e-9;
    while (pendingNs_ >= kStepNs) {
        step(dt);
        pendingNs_ -= kStepNs;
    }
}

bool FlightModel::motorsOn() const
{
    if (pwmOverride_)
        return pwm_[0] || pwm_[1] || pwm_[2] || pwm_[3];
    return state_ == FlightState::TakingOff || state_ == FlightState::Flying ||
           state_ == FlightState::Landing;
}

void FlightModel::step(double dt)
{
    battery_ = std::max(0.0, battery_ - (motorsOn() ? kDrainOn : kDrainOff) * dt);
    if (battery_ <= 0.0 && (state_ == FlightState::TakingOff || state_ == FlightState::Flying))
        state_ = FlightState::Landing;

    const bool flying = state_ == FlightState::Flying;
    const bool steering = flying && moving_;

    // Vertical.
    if (state_ == FlightState::Emergency) {
        if (alt_ > 0.0)
            vz_ -= kGravityMm * dt;
    } else {
        double vzCmd = 0.0;
        switch (state_) {
        case FlightState::TakingOff:
            vzCmd = std::clamp(kClimbGain * (kTakeOffAltitudeMm - alt_), 0.0, kTakeOffClimbMm);
            break;
        case FlightState::Flying:
            if (steering)
                altTarget_ = std::clamp(altTarget_ + gaz_ * kGazRateMm * dt, kMinFlightAltitudeMm,
                                        kMaxFlightAltitudeMm);
            vzCmd = std::clamp(kClimbGain * (altTarget_ - alt_), -kMaxVzMm, kMaxVzMm);
            break;
        case FlightState::Landing:
            vzCmd = -std::clamp(kClimbGain * alt_, kLandMinMm, kLandMaxMm);
            break;
        default:
            break;
        }
        vz_ = approach(vz_, vzCmd, dt, kVzTau);
    }
    alt_ += vz_ * dt;
    if (alt_ <= 0.0) {
        alt_ = 0.0;
        if (vz_ < 0.0)
            vz_ = 0.0;
        if (state_ == FlightState::Landing)
            state_ = FlightState::Landed;
    }
    if (state_ == FlightState::Landed)
        vz_ = 0.0;
    if (state_ == FlightState::TakingOff && alt_ >= kTakeOffAltitudeMm - kFlyingWithinMm) {
        state_ = FlightState::Flying;
        altTarget_ = kTakeOffAltitudeMm;
    }

    // Attitude and horizontal speed.
    const bool onGround = alt_ <= 0.0;
    const double tiltTau = state_ == FlightState::Emergency || onGround ? kGroundTau : kTiltTau;
    const double thetaTarget = steering ? pitch_ * kMaxTiltMdeg : 0.0;
    const double phiTarget = steering ? roll_ * kMaxTiltMdeg : 0.0;
    const double oldTheta = theta_, oldPhi = phi_;
    theta_ = approach(theta_, thetaTarget, dt, tiltTau);
    phi_ = approach(phi_, phiTarget, dt, tiltTau);
    thetaRate_ = (theta_ - oldTheta) / dt;
    phiRate_ = (phi_ - oldPhi) / dt;

    if (onGround) {
        vx_ = approach(vx_, 0.0, dt, kGroundTau);
        vy_ = approach(vy_, 0.0, dt, kGroundTau);
    } else if (state_ == FlightState::Emergency) {
        vx_ = approach(vx_, 0.0, dt, kSpeedTau);
        vy_ = approach(vy_, 0.0, dt, kSpeedTau);
    } else {
        vx_ = approach(vx_, -theta_ * kSpeedPerTilt, dt, kSpeedTau);
        vy_ = approach(vy_, phi_ * kSpeedPerTilt, dt, kSpeedTau);
    }

    yawRate_ = approach(yawRate_, steering ? yaw_ * kYawRateMdeg : 0.0, dt,
                        onGround ? kGroundTau : kYawTau);
    psiUnwrapped_ += yawRate_ * dt;
    psi_ = wrapMdeg(psiUnwrapped_);

    const double heading = psi_ / 1000.0 * kPi / 180.0;
    x_ += (vx_ * std::cos(heading) - vy_ * std::sin(heading)) * dt;
    y_ += (vx_ * std::sin(heading) + vy_ * std::cos(heading)) * dt;
}

void FlightModel::ref(int32_t word)
{
    const auto w = uint32_t(word);
    pwmOverride_ = false;
    const bool onGround = alt_ <= 0.0;
    if (w & 0x100u) {
        if (state_ != FlightState::Emergency) {
            state_ = FlightState::Emergency;
            moving_ = false;
        }
        return;
    }
    if (state_ == FlightState::Emergency) {
        if (!onGround)
            return; // still falling: the emergency stays
        state_ = FlightState::Landed;
    }
    if (w & 0x200u) {
        if ((state_ == FlightState::Landed || state_ == FlightState::Landing) && battery_ > 0.0)
            state_ = FlightState::TakingOff;
    } else if (state_ == FlightState::TakingOff || state_ == FlightState::Flying) {
        state_ = FlightState::Landing;
    }
}

void FlightModel::pcmd(int32_t flag, float roll, float pitch, float gaz, float yaw)
{
    pcmdFlag_ = flag;
    ++pcmdCount_;
    lastPcmdTime_ = time();
    moving_ = (uint32_t(flag) & 1u) != 0;
    if (moving_) {
        roll_ = clampUnit(roll);
        pitch_ = clampUnit(pitch);
        gaz_ = clampUnit(gaz);
        yaw_ = clampUnit(yaw);
    } else {
        roll_ = pitch_ = gaz_ = yaw_ = 0.0f;
    }
}

void FlightModel::ftrim()
{
    trimR_ = trimTheta_ = trimPhi_ = 0.0f;
}

void FlightModel::pwm(int m1, int m2, int m3, int m4)
{
    const int in[4] = {m1, m2, m3, m4};
    for (int i = 0; i < 4; ++i)
        pwm_[i] = std::clamp(in[i], 0, 255);
    pwmOverride_ = true;
}

void FlightModel::led(int32_t type, float frequency, int32_t duration)
{
    ledType_ = type;
    ledFrequency_ = std::isfinite(frequency) ? frequency : 0.0f;
    ledDuration_ = duration;
}

void FlightModel::setBatteryPercent(double pct)
{
    if (std::isfinite(pct))
        battery_ = std::clamp(pct, 0.0, 100.0);
}

void FlightModel::motorMix(int out[4]) const
{
    if (pwmOverride_) {
        std::copy(pwm_, pwm_ + 4, out);
        return;
    }
    if (!motorsOn()) {
        std::fill(out, out + 4, 0);
        return;
    }
    double base = kHoverPwm + vz_ / kMaxVzMm * 30.0;
    const double p = theta_ / kMaxTiltMdeg * 20.0;  // nose down: rear motors up
    const double r = phi_ / kMaxTiltMdeg * 20.0;    // right roll: left motors up
    const double y = yawRate_ / kYawRateMdeg * 15.0;
    // 1 front left, 2 front right, 3 rear right, 4 rear left.
    const double m[4] = {base + p + r + y, base + p - r - y, base - p - r + y, base - p + r - y};
    for (int i = 0; i < 4; ++i)
        out[i] = std::clamp(int(std::lround(m[i])), 0, 255);
}

int FlightModel::motor(int i) const
{
    int m[4];
    motorMix(m);
    return m[std::clamp(i, 0, 3)];
}

uint32_t FlightModel::headerWord() const
{
    uint32_t w = 0;
    if (motorsOn())
        w |= kHeaderMotorsOn;
    if (state_ == FlightState::Emergency)
        w |= kHeaderEmergency;
    if (outdoor_)
        w |= kHeaderOutdoor;
    if (withoutShell_)
        w |= kHeaderWithoutShell;
    if (battery_ < 20.0)
        w |= kHeaderLowBattery;
    return w;
}

void FlightModel::fill(NavdataState& s, const LinkReport& link) const
{
    const double t = time();
    const uint32_t timeWord = timeWordOf(timeNs_);
    const bool flying = state_ == FlightState::Flying;
    const bool airborne = alt_ > 0.0;
    const int32_t frames = toInt(std::floor(t * 30.0));
    const double deg = kPi / 180000.0; // mdeg to rad
    const double th = theta_ * deg, ph = phi_ * deg, ps = psi_ * deg;
    const double gz = state_ == FlightState::Emergency && airborne ? 0.0 : 1.0; // free fall
    int motors[4];
    motorMix(motors);
    const bool steering = flying && moving_;
    const double thetaRef = steering ? pitch_ * kMaxTiltMdeg : 0.0;
    const double phiRef = steering ? roll_ * kMaxTiltMdeg : 0.0;
    const double altRef = state_ == FlightState::Flying      ? altTarget_
                          : state_ == FlightState::TakingOff ? kTakeOffAltitudeMm
                                                              : 0.0;
    const uint32_t pct = uint32_t(std::ceil(battery_));
    const double ripple = std::sin(t * 7.0) * (airborne ? 2.0 : 0.0); // mm, sensor ripple

    auto& d = s.Demo;
    d.ctrl_state = uint32_t(state_);
    d.vbat_flying_percentage = pct;
    d.theta = float(theta_);
    d.phi = float(phi_);
    d.psi = float(psi_);
    d.altitude = toInt(alt_);
    d.vx = float(vx_);
    d.vy = float(vy_);
    d.vz = float(vz_);
    d.num_frames = frames;
    d.detection_camera_rot = {};
    d.detection_camera_trans = {};
    d.detection_tag_index = 0;
    d.detection_camera_type = 0;
    {
        // Body to world rotation (z-y-x), as single floats.
        const double cy = std::cos(ps), sy = std::sin(ps), cp = std::cos(th), sp = std::sin(th),
                     cr = std::cos(ph), sr = std::sin(ph);
        const double r[9] = {cy * cp, cy * sp * sr - sy * cr, cy * sp * cr + sy * sr,
                             sy * cp, sy * sp * sr + cy * cr, sy * sp * cr - cy * sr,
                             -sp,     cp * sr,                cp * cr};
        for (int i = 0; i < 9; ++i)
            d.drone_camera_rot.m[i] = floatBits(r[i]);
    }
    d.drone_camera_trans = {float(x_ / 1000.0), float(y_ / 1000.0), float(alt_ / 1000.0)};

    s.Time.time = timeWord;

    auto& rm = s.Raw_meas;
    rm.raw_accs[0] = uint16_t(std::clamp(2048.0 - 512.0 * std::sin(th) * gz, 0.0, 65535.0));
    rm.raw_accs[1] = uint16_t(std::clamp(2048.0 + 512.0 * std::sin(ph) * gz, 0.0, 65535.0));
    rm.raw_accs[2] = uint16_t(std::clamp(2048.0 + 512.0 * std::cos(th) * std::cos(ph) * gz, 0.0, 65535.0));
    rm.raw_gyros[0] = int16_t(std::clamp(phiRate_ / 100.0, -32768.0, 32767.0));
    rm.raw_gyros[1] = int16_t(std::clamp(thetaRate_ / 100.0, -32768.0, 32767.0));
    rm.raw_gyros[2] = int16_t(std::clamp(yawRate_ / 100.0, -32768.0, 32767.0));
    rm.raw_gyros_110[0] = 0;
    rm.raw_gyros_110[1] = 0;
    rm.vbat_raw = uint32_t(9800.0 + 28.0 * battery_); // mV: 12.6 V full, 9.8 V empty
    const double echo = std::clamp(alt_ + ripple, 0.0, 65535.0);
    rm.us_debut_echo = uint16_t(airborne ? 100.0 + echo / 5.0 : 0.0);
    rm.us_fin_echo = uint16_t(airborne ? 140.0 + echo / 5.0 : 0.0);
    rm.us_association_echo = airborne ? 1 : 0;
    rm.us_distance_echo = uint16_t(echo);
    rm.us_courbe_temps = uint16_t(frames & 0xFFFF);
    rm.us_courbe_valeur = uint16_t(airborne ? 1200 : 0);
    rm.us_courbe_ref = 1000;
    rm.flag_echo_ini = 1;
    rm.nb_echo = airborne ? 1 : 0;
    rm.sum_echo = uint32_t(echo * 4.0);
    rm.alt_temp_raw = toInt(alt_ + ripple);

    auto& pm = s.Phys_meas;
    pm.accs_temp = float(35.0 + 10.0 * std::min(t, 600.0) / 600.0);
    pm.gyro_temp = 36;
    pm.phys_accs[0] = float(-1000.0 * std::sin(th) * gz);
    pm.phys_accs[1] = float(1000.0 * std::sin(ph) * gz);
    pm.phys_accs[2] = float(-1000.0 * std::cos(th) * std::cos(ph) * gz);
    pm.phys_gyros[0] = float(phiRate_ / 1000.0);
    pm.phys_gyros[1] = float(thetaRate_ / 1000.0);
    pm.phys_gyros[2] = float(yawRate_ / 1000.0);
    pm.alim3V3 = 3300;
    pm.vrefEpson = 1220;
    pm.vrefIDG = 1350;

    s.Gyros_offsets = {{0.12f, -0.34f, 0.05f}};
    s.Euler_angles = {float(theta_), float(phi_)};

    auto& rf = s.References;
    rf.ref_theta = toInt(thetaRef);
    rf.ref_phi = toInt(phiRef);
    rf.ref_theta_I = 0;
    rf.ref_phi_I = 0;
    rf.ref_pitch = toInt(pitch_ * 1000.0);
    rf.ref_roll = toInt(roll_ * 1000.0);
    rf.ref_yaw = toInt(yaw_ * 1000.0);
    rf.ref_psi = toInt(psi_);
    rf.vx_ref = float(-thetaRef * kSpeedPerTilt);
    rf.vy_ref = float(phiRef * kSpeedPerTilt);
    rf.theta_mod = float(theta_);
    rf.phi_mod = float(phi_);
    rf.k_v_x = float(kSpeedPerTilt);
    rf.k_v_y = float(kSpeedPerTilt);
    rf.k_mode = flying ? 1 : 0;
    rf.ui_time = float(lastPcmdTime_);
    rf.ui_theta = pitch_;
    rf.ui_phi = roll_;
    rf.ui_psi = yaw_;
    rf.ui_psi_accuracy = 0.0f;
    rf.ui_seq = int32_t(pcmdCount_);

    s.Trims = {trimR_, trimTheta_, trimPhi_};

    auto& rc = s.Rc_references;
    rc.rc_ref_pitch = toInt(pitch_ * 1000.0);
    rc.rc_ref_roll = toInt(roll_ * 1000.0);
    rc.rc_ref_yaw = toInt(yaw_ * 1000.0);
    rc.rc_ref_gaz = toInt(gaz_ * 1000.0);
    rc.rc_ref_ag = pcmdFlag_;

    auto& pw = s.Navdata_pwm;
    pw.motor1 = uint8_t(motors[0]);
    pw.motor2 = uint8_t(motors[1]);
    pw.motor3 = uint8_t(motors[2]);
    pw.motor4 = uint8_t(motors[3]);
    pw.sat_motor1 = motors[0] >= 255;
    pw.sat_motor2 = motors[1] >= 255;
    pw.sat_motor3 = motors[2] >= 255;
    pw.sat_motor4 = motors[3] >= 255;
    const double vzRef = std::clamp(kClimbGain * (altRef - alt_), -kMaxVzMm, kMaxVzMm);
    pw.gaz_feed_forward = motorsOn() ? float(kHoverPwm) : 0.0f;
    pw.gaz_altitude = float(vzRef / kMaxVzMm * 30.0);
    pw.altitude_integral = 0.0f;
    pw.vz_ref = float(vzRef);
    pw.u_pitch = toInt(thetaRef - theta_);
    pw.u_roll = toInt(phiRef - phi_);
    pw.u_yaw = toInt(yawRate_ / 1000.0);
    pw.yaw_u_I = 0.0f;
    pw.u_pitch_planif = pw.u_pitch;
    pw.u_roll_planif = pw.u_roll;
    pw.u_yaw_planif = pw.u_yaw;
    pw.u_gaz_planif = gaz_;
    pw.current_motor1 = uint16_t(motors[0] * 6);
    pw.current_motor2 = uint16_t(motors[1] * 6);
    pw.current_motor3 = uint16_t(motors[2] * 6);
    pw.current_motor4 = uint16_t(motors[3] * 6);
    pw.altitude_prop = float(kClimbGain * (altRef - alt_));
    pw.altitude_der = float(vz_);

    auto& al = s.Altitude;
    al.altitude_vision = toInt(alt_);
    al.altitude_vz = float(vz_);
    al.altitude_ref = toInt(altRef);
    al.altitude_raw = toInt(alt_ + ripple);
    al.obs_accZ = float(-1000.0 * gz);
    al.obs_alt = float(alt_ / 1000.0);
    al.obs_x = {float(alt_ / 1000.0), float(vz_ / 1000.0), 0.0f};
    al.obs_state = airborne ? 1 : 0;
    al.est_vb = {float(vx_ / 1000.0), float(vy_ / 1000.0)};
    al.est_state = airborne ? 1 : 0;

    s.Vision_raw = {float(vx_ / 30.0), float(vy_ / 30.0), float(vz_ / 30.0)};

    for (int i = 0; i < 5; ++i) {
        s.Vision_of.dx[i] = float(vx_ / 1000.0 * (1.0 + 0.1 * i));
        s.Vision_of.dy[i] = float(vy_ / 1000.0 * (1.0 + 0.1 * i));
    }

    auto& v = s.Vision;
    v.vision_state = airborne ? 2 : 1;
    v.vision_misc = 0;
    v.vision_phi_trim = trimPhi_;
    v.vision_phi_ref_prop = 0.0f;
    v.vision_theta_trim = trimTheta_;
    v.vision_theta_ref_prop = 0.0f;
    v.new_raw_picture = frames;
    v.theta_capture = float(theta_);
    v.phi_capture = float(phi_);
    v.psi_capture = float(psi_);
    v.altitude_capture = toInt(alt_);
    v.time_capture = timeWord;
    v.body_v = {float(vx_), float(vy_), float(vz_)};
    v.delta_phi = float(phiRate_ / 30.0);
    v.delta_theta = float(thetaRate_ / 30.0);
    v.delta_psi = float(yawRate_ / 30.0);
    v.gold_defined = 0;
    v.gold_reset = 0;
    v.gold_x = 0.0f;
    v.gold_y = 0.0f;

    auto& vp = s.Vision_perf;
    vp.time_szo = 1.2f;
    vp.time_corners = 2.4f;
    vp.time_compute = 3.1f;
    vp.time_tracking = 0.9f;
    vp.time_trans = 0.4f;
    vp.time_update = 0.6f;
    std::fill(std::begin(vp.time_custom), std::end(vp.time_custom), 0.0f);

    s.Trackers_send = {};
    s.Vision_detect = {};

    s.Watchdog.watchdog = int32_t(link.watchdogs);

    s.Adc_data_frame.version = 1;
    for (int i = 0; i < 32; ++i)
        s.Adc_data_frame.data_frame[i] = uint8_t(i < 4 ? motors[i] : i);

    auto& vs = s.Video_stream;
    vs.quant = 6;
    vs.frame_size = 4096;
    vs.frame_number = uint32_t(frames);
    vs.atcmd_ref_seq = uint32_t(link.lastSequence);
    vs.atcmd_mean_ref_gap = 30;
    vs.atcmd_var_ref_gap = 0.5f;
    vs.atcmd_ref_quality = 100;
    vs.out_bitrate = 1500000;
    vs.desired_bitrate = 1500000;
    vs.data1 = outdoor_ ? 1 : 0;
    vs.data2 = withoutShell_ ? 1 : 0;
    vs.data3 = int32_t(link.parsed);
    vs.data4 = int32_t(link.unparsed);
    vs.data5 = ledType_;
    vs.tcp_queue_level = 0;
    vs.fifo_queue_level = 0;

    s.Games = {0, 0};

    auto& pr = s.Pressure_raw;
    const int32_t pascal = toInt(101325.0 - alt_ * 0.012);
    pr.up = pascal;
    pr.ut = 25000;
    pr.Temperature_meas = 250;
    pr.Pression_meas = pascal;

    auto& mg = s.Magneto;
    mg.mx = int16_t(std::lround(200.0 * std::cos(ps)));
    mg.my = int16_t(std::lround(-200.0 * std::sin(ps)));
    mg.mz = -400;
    mg.magneto_raw = {float(mg.mx), float(mg.my), float(mg.mz)};
    mg.magneto_rectified = {float(mg.mx - 12), float(mg.my + 8), float(mg.mz - 3)};
    mg.magneto_offset = {12.0f, -8.0f, 3.0f};
    mg.heading_unwrapped = float(psiUnwrapped_ / 1000.0);
    mg.heading_gyro_unwrapped = float(psiUnwrapped_ / 1000.0);
    mg.heading_fusion_unwrapped = float(psiUnwrapped_ / 1000.0);
    mg.magneto_calibration_ok = 1;
    mg.magneto_state = 2;
    mg.magneto_radius = 300.0f;
    mg.error_mean = 0.5f;
    mg.error_var = 0.1f;

    auto& ws = s.Wind_speed;
    ws = {};
    ws.wind_speed = outdoor_ ? 2.0f : 0.0f;
    ws.wind_angle = outdoor_ ? 45.0f : 0.0f;

    auto& kp = s.Kalman_pressure;
    kp = {};
    kp.offset_pressure = 101325.0f;
    kp.est_z = float(alt_ / 1000.0);
    kp.est_zdot = float(vz_ / 1000.0);
    kp.prediction_US = float(alt_ / 1000.0);
    kp.cov_alt = 0.01f;
    kp.cov_PWM = 0.02f;
    kp.cov_vitesse = 0.03f;
    kp.bool_effet_sol = airborne && alt_ < 300.0 ? 1 : 0;
    kp.gaz_altitude = pw.gaz_altitude;

    s.HDvideo_stream = {};
    s.HDvideo_stream.frame_number = uint32_t(frames);

    s.Wifi_stream.link_quality = 100;

    s.Zimmu_3000 = {toInt(vz_), float(vz_ / 1000.0)};
}

} // namespace kestrix::sim
