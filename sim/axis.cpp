#include "axis.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

constexpr double TorquePerAccel = 100.0 / 5000.0;  // % per mm/s²: 5 m/s² takes the rated torque
constexpr double Friction = 3.0;                  // % while moving
constexpr double Viscous = 0.004;                 // % per mm/s

double accelFrom(double accTimeMs)
{
    return Axis::MmSAt3000Rpm / (std::max(accTimeMs, 1.0) / 1000.0);
}

double approach(double value, double goal, double maxStep)
{
    if (goal > value) return std::min(goal, value + maxStep);
    return std::max(goal, value - maxStep);
}

}  // namespace

void Axis::reset(double position)
{
    *this = Axis();
    m_position = m_command = position;
}

void Axis::setServo(bool on)
{
    if (on == m_servo) return;
    m_servo = on;
    if (!on) {
        m_mode = Mode::Idle;
        m_commandSpeed = 0;
        m_stopping = false;
    }
    m_command = m_position;  // no jump when the loop closes or opens
}

void Axis::startJog(int direction, double speed, double accTimeMs)
{
    m_mode = Mode::Jog;
    m_stopping = false;
    m_direction = direction >= 0 ? 1 : -1;
    m_maxSpeed = speed;
    m_accel = accelFrom(accTimeMs);
    m_moveDone = false;
}

void Axis::startMove(double target, double speed, double accTimeMs, const AxisTuning &tuning)
{
    if (tuning.softLimits) target = std::clamp(target, tuning.reverseLimit, tuning.forwardLimit);
    m_mode = Mode::Move;
    m_stopping = false;
    m_target = target;
    m_maxSpeed = speed;
    m_accel = accelFrom(accTimeMs);
    m_moveDone = false;
}

void Axis::stop()
{
    if (m_mode != Mode::Idle) m_stopping = true;
}

void Axis::halt()
{
    m_mode = Mode::Idle;
    m_stopping = false;
    m_commandSpeed = 0;
    m_command = m_position;
}

void Axis::shift(double by)
{
    m_position += by;
    m_command += by;
    m_target += by;
}

bool Axis::moving() const
{
    return m_mode != Mode::Idle || std::abs(m_speed) > 0.05 || std::abs(deviation()) > 0.5;
}

void Axis::stepCommand(double dt, const AxisTuning &tuning)
{
    const double limit = std::max(0.0, tuning.speedLimit);
    double vmax = m_maxSpeed * std::clamp(tuning.overridePercent, 0.0, 100.0) / 100.0;
    m_speedLimited = m_mode != Mode::Idle && vmax > limit;
    vmax = std::min(vmax, limit);

    double wanted = 0;
    if (m_mode == Mode::Jog && !m_stopping && !m_hold) {
        wanted = m_direction * vmax;
    } else if (m_mode == Mode::Move && !m_stopping && !m_hold) {
        // The fastest speed from which the target can still be reached with
        // the set deceleration: a trapezoid that never overshoots.
        const double remaining = (m_target - m_command) / 1000.0;  // mm
        wanted = std::copysign(std::min(vmax, std::sqrt(2.0 * m_accel * std::abs(remaining))), remaining);
    }
    const double previous = m_command;
    m_commandSpeed = approach(m_commandSpeed, wanted, m_accel * dt);
    m_command += m_commandSpeed * 1000.0 * dt;

    if (m_mode == Mode::Move && !m_stopping) {
        const double remaining = m_target - m_command;
        if (std::abs(remaining) < 0.5 && std::abs(m_commandSpeed) <= m_accel * dt + 1e-9) {
            m_command = m_target;
            m_commandSpeed = 0;
            m_mode = Mode::Idle;
            m_moveDone = true;
        }
    }
    if (m_stopping && m_commandSpeed == 0) {
        m_mode = Mode::Idle;
        m_stopping = false;
    }

    // The soft limits stop the command where it would leave them outwards;
    // moving back inside stays possible.
    m_atForwardLimit = m_atReverseLimit = false;
    if (tuning.softLimits) {
        if (m_command > tuning.forwardLimit && m_command > previous) {
            m_command = std::max(previous, tuning.forwardLimit);
            m_commandSpeed = 0;
            m_atForwardLimit = true;
        } else if (m_command < tuning.reverseLimit && m_command < previous) {
            m_command = std::min(previous, tuning.reverseLimit);
            m_commandSpeed = 0;
            m_atReverseLimit = true;
        }
    }
    m_command = std::clamp(m_command, -2.0e9, 2.0e9);
}

void Axis::step(double dt, const AxisTuning &tuning, double noise)
{
    double accel = 0;
    if (m_servo) {
        stepCommand(dt, tuning);
        // Position loop, then speed loop; gains are held where one step of
        // the integration stays stable.
        const double kp = std::clamp(tuning.positionGain, 1.0, 200.0);
        const double kv = std::clamp(tuning.speedGain, 10.0, 500.0);
        const double speedCommand = kp * deviation() / 1000.0;
        accel = kv * (speedCommand - m_speed);
        double torque = accel * TorquePerAccel + Viscous * m_speed + (m_speed != 0 ? std::copysign(Friction, m_speed) : 0);
        m_torqueLimited = torque > tuning.forwardTorque || torque < -tuning.reverseTorque;
        if (m_torqueLimited) {
            torque = std::clamp(torque, -tuning.reverseTorque, tuning.forwardTorque);
            accel = (torque - Viscous * m_speed - (m_speed != 0 ? std::copysign(Friction, m_speed) : 0)) / TorquePerAccel;
        }
        m_torque = torque + noise;
    } else {
        // Coasting to a stop; the command follows the position.
        accel = -m_speed * 8.0;
        m_torque = 0;
        m_torqueLimited = false;
        m_speedLimited = false;
    }
    m_speed += accel * dt;
    if (!m_servo && std::abs(m_speed) < 0.01) m_speed = 0;
    m_position += m_speed * 1000.0 * dt;
    m_position = std::clamp(m_position, -2.0e9, 2.0e9);
    if (!m_servo) m_command = m_position;
}

}  // namespace sim
