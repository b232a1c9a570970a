#pragma once
// The mechanics of the simulated axis: a command generator (jog, move to a
// target, stop, hold) feeding a position loop and a speed loop that drive a
// load with friction. Lengths in µm, speeds in mm/s, torque in % of rated.
// A lead of 10 mm per revolution links mm/s to rpm (1 mm/s = 6 rpm); an
// acceleration time is the time for 0 to 3000 rpm (500 mm/s).

#include <cstdint>

namespace sim {

struct AxisTuning {
    double positionGain = 40;      // 1/s
    double speedGain = 150;        // 1/s
    double forwardTorque = 300;    // % limit
    double reverseTorque = 300;    // % limit
    double speedLimit = 1000;      // mm/s
    double overridePercent = 100;  // scales every commanded speed
    bool softLimits = false;       // clamp the command to [reverseLimit, forwardLimit]
    double forwardLimit = 0;
    double reverseLimit = 0;
};

class Axis {
public:
    enum class Mode { Idle, Jog, Move };

    static constexpr double RpmPerMmS = 6.0;
    static constexpr double MmSAt3000Rpm = 500.0;

    // Power-up: servo off, at rest at the given position.
    void reset(double position);
    void setServo(bool on);
    bool servoOn() const { return m_servo; }

    // Jog in direction +1 or -1 until stopped.
    void startJog(int direction, double speed, double accTimeMs);
    // Move the command to target, clamped by the soft limits when they apply.
    void startMove(double target, double speed, double accTimeMs, const AxisTuning &tuning);
    // Ramp the command speed down to zero and end the jog or move.
    void stop();
    // While held the command ramps to zero; a move goes on when released.
    void setHold(bool on) { m_hold = on; }
    // Everything halts where it is (emergency stop, alarm).
    void halt();
    // The coordinate system moves: every position reads `by` more.
    void shift(double by);

    // One step of dt seconds; noise is a small torque ripple in %.
    void step(double dt, const AxisTuning &tuning, double noise);

    Mode mode() const { return m_mode; }
    bool moving() const;
    double position() const { return m_position; }
    double command() const { return m_command; }
    double deviation() const { return m_command - m_position; }
    double target() const { return m_mode == Mode::Move ? m_target : m_command; }
    double speed() const { return m_speed; }                 // actual, mm/s
    double commandSpeed() const { return m_commandSpeed; }   // mm/s
    double torque() const { return m_torque; }
    bool torqueLimited() const { return m_torqueLimited; }
    bool speedLimited() const { return m_speedLimited; }
    bool atForwardLimit() const { return m_atForwardLimit; }
    bool atReverseLimit() const { return m_atReverseLimit; }
    // A move reached its target (cleared when the next jog or move starts).
    bool moveDone() const { return m_moveDone; }

private:
    void stepCommand(double dt, const AxisTuning &tuning);

    bool m_servo = false;
    bool m_hold = false;
    Mode m_mode = Mode::Idle;
    bool m_stopping = false;
    int m_direction = 0;
    double m_target = 0;
    double m_maxSpeed = 0;  // mm/s
    double m_accel = 0;     // mm/s²
    double m_command = 0;   // µm
    double m_commandSpeed = 0;
    double m_position = 0;  // µm
    double m_speed = 0;
    double m_torque = 0;
    bool m_torqueLimited = false;
    bool m_speedLimited = false;
    bool m_atForwardLimit = false;
    bool m_atReverseLimit = false;
    bool m_moveDone = false;
};

}  // namespace sim
