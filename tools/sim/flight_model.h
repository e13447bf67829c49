// Flight model of the simulated Kestrix: a small, deterministic state machine
// with first-order responses, no physics engine. Pure C++ (no framework); time
// advances only through advance(), so tests drive it without sockets or clocks.
//
// Units in the records it fills: angles in millidegrees (theta = pitch, nose
// down negative; phi = roll, right positive; psi = heading, right turn
// positive, wrapped to [-180000, 180000)), altitude in millimetres, speeds in
// millimetres per second (vx forward, vy right, vz up).
//
// Behaviour, as the commands drive it:
// - AT*REF with bit 8 (0x100): emergency. Motors stop at once; an airborne
//   drone falls (9.81 m/s^2) to the ground. Bit 8 wins over bit 9.
// - AT*REF with bit 9 (0x200), bit 8 clear: take off. Landed -> TakingOff,
//   climbing to 1000 mm; within 20 mm of it the state becomes Flying. From
//   Landing it climbs back. From Emergency on the ground it first clears the
//   emergency. Refused while the battery is empty.
// - AT*REF with bits 8 and 9 clear: land. TakingOff/Flying -> Landing, down
//   at up to 800 mm/s to 0 mm, then Landed. On the ground it clears an
//   emergency (Emergency -> Landed); while still falling that is ignored.
// - Every AT*REF ends a motor override of AT*PWM.
// - AT*PCMD flag bit 0 set: movement, held until the next AT*PCMD. While
//   Flying, roll r and pitch p (each -1..1) tilt the drone to phi = r * 20000
//   and theta = p * 20000 (time constant 0.15 s); the tilt drives the speeds
//   vx = -theta * 0.25, vy = phi * 0.25 (time constant 0.5 s); gaz g moves the
//   altitude set point at g * 1000 mm/s (kept within 200..5000 mm) and the
//   altitude follows it (vz up to 1000 mm/s); yaw y turns at y * 100000 mdeg/s.
//   Flag bit 0 clear (the release "AT*PCMD=#,0,0,0,0,0"): hold position, i.e.
//   level, speeds back to 0, altitude set point kept. Out of flight a movement
//   is recorded (References, Rc_references) but moves nothing.
// - AT*FTRIM: the three trims (start values 0.0021, 420, -310) become 0.
// - AT*PWM: motor1..4 show the four values (clamped 0..255) until the next
//   AT*REF; otherwise the model's own motor values show (0 on the ground or in
//   emergency, about 160 +/- mixing in flight).
// - "control:outdoor" / "control:flight_without_shell": kept; reported in
//   Video_stream.data1 / data2 (0 or 1) and in the header word. Outdoors the
//   wind record shows 2 m/s from 45 degrees.
// - AT*LED: the animation type shows in Video_stream.data5 (-1 before any).
// - Battery (Demo.vbat_flying_percentage, rounded up): 100 at start, drains
//   0.01 %/s with motors off and 0.25 %/s with motors on. Empty in flight:
//   it lands by itself.
#pragma once

#include "kestrix/records.h"

#include <cstdint>

namespace kestrix::sim {

// Demo.ctrl_state values. 0 is never sent: a record still reading 0 has not
// been received yet.
enum class FlightState : uint32_t {
    Landed = 1,
    TakingOff = 2,
    Flying = 3,
    Landing = 4,
    Emergency = 5,
};

const char* FlightStateName(FlightState s);

// Header word bits (the word behind the magic).
inline constexpr uint32_t kHeaderMotorsOn = 1u << 0;
inline constexpr uint32_t kHeaderReducedNavdata = 1u << 1;
inline constexpr uint32_t kHeaderEmergency = 1u << 2;
inline constexpr uint32_t kHeaderOutdoor = 1u << 3;
inline constexpr uint32_t kHeaderWithoutShell = 1u << 4;
inline constexpr uint32_t kHeaderLowBattery = 1u << 5; // below 20 %

// What the link side reports through navdata, besides the flight.
struct LinkReport {
    int32_t lastSequence = 0;  // Video_stream.atcmd_ref_seq
    uint32_t parsed = 0;       // Video_stream.data3
    uint32_t unparsed = 0;     // Video_stream.data4
    uint32_t watchdogs = 0;    // Watchdog.watchdog: AT*COMWDG commands received
};

class FlightModel {
public:
    static constexpr double kTakeOffAltitudeMm = 1000.0;
    static constexpr double kMinFlightAltitudeMm = 200.0;
    static constexpr double kMaxFlightAltitudeMm = 5000.0;
    static constexpr double kMaxTiltMdeg = 20000.0;
    static constexpr double kSpeedPerTilt = 0.25;      // mm/s per mdeg
    static constexpr double kGazRateMm = 1000.0;       // set-point mm/s at gaz 1
    static constexpr double kYawRateMdeg = 100000.0;   // mdeg/s at yaw 1
    static constexpr int64_t kStepNs = 1000000;        // fixed integration step, 1 ms

    FlightModel() = default;

    // Advances the model time by `seconds` (ignored unless finite and > 0),
    // counted in whole nanoseconds. Integration runs in fixed steps of 1 ms;
    // the remainder is carried, so the result depends only on the total time,
    // not on how it is split.
    void advance(double seconds);
    void advanceNs(int64_t nanoseconds);
    // Advances to an absolute model time (nothing happens for a time passed).
    void advanceToNs(int64_t nanoseconds) { advanceNs(nanoseconds - timeNs_); }
    double time() const { return double(timeNs_) * 1e-9; }
    int64_t timeNs() const { return timeNs_; }

    // Commands. Movement values are reals, clamped to -1..1; non-finite
    // values count as 0.
    void ref(int32_t word);
    void pcmd(int32_t flag, float roll, float pitch, float gaz, float yaw);
    void ftrim();
    void pwm(int m1, int m2, int m3, int m4);
    void led(int32_t type, float frequency, int32_t duration);
    void setOutdoor(bool on) { outdoor_ = on; }
    void setFlightWithoutShell(bool on) { withoutShell_ = on; }
    void setBatteryPercent(double pct);

    FlightState state() const { return state_; }
    double altitudeMm() const { return alt_; }
    double thetaMdeg() const { return theta_; }
    double phiMdeg() const { return phi_; }
    double psiMdeg() const { return psi_; }
    double vxMm() const { return vx_; }
    double vyMm() const { return vy_; }
    double vzMm() const { return vz_; }
    double batteryPercent() const { return battery_; }
    bool outdoor() const { return outdoor_; }
    bool flightWithoutShell() const { return withoutShell_; }
    bool motorsOn() const;
    int motor(int i) const; // 0..3

    // Header word for the current state (kHeader* bits; reduced is up to the
    // caller).
    uint32_t headerWord() const;

    // Writes all 28 records. Time.time and Vision.time_capture hold time() as
    // a time word (seconds modulo 2048).
    void fill(NavdataState& s, const LinkReport& link) const;

private:
    void step(double dt);
    void motorMix(int out[4]) const;

    int64_t timeNs_ = 0;
    int64_t pendingNs_ = 0; // time not yet integrated (< one step)

    FlightState state_ = FlightState::Landed;
    double alt_ = 0.0, vz_ = 0.0, altTarget_ = 0.0;
    double theta_ = 0.0, phi_ = 0.0, psi_ = 0.0, psiUnwrapped_ = 0.0;
    double vx_ = 0.0, vy_ = 0.0, yawRate_ = 0.0;
    double x_ = 0.0, y_ = 0.0; // world position, mm
    double thetaRate_ = 0.0, phiRate_ = 0.0;

    bool moving_ = false;
    float roll_ = 0, pitch_ = 0, gaz_ = 0, yaw_ = 0;
    int32_t pcmdFlag_ = 0;
    uint32_t pcmdCount_ = 0;
    double lastPcmdTime_ = 0.0;

    float trimR_ = 0.0021f, trimTheta_ = 420.0f, trimPhi_ = -310.0f;

    bool pwmOverride_ = false;
    int pwm_[4] = {0, 0, 0, 0};

    int32_t ledType_ = -1;
    float ledFrequency_ = 0.0f;
    int32_t ledDuration_ = 0;

    bool outdoor_ = false, withoutShell_ = false;
    double battery_ = 100.0;
};

} // namespace kestrix::sim
