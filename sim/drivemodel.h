#pragma once
// The simulated drive: answers each request of the command catalogue as the
// drive does, keeps parameters, point table and alarm history in working and
// non-volatile memory, and moves a simulated axis as time goes on. Time is
// given from outside (advance, advanceTo), so the same seed, requests and
// times give the same replies.

#include "axis.h"
#include "drivetables.h"
#include "nvstore.h"
#include "wavecapture.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

namespace StatusBit {
inline constexpr int Brake = 0;
inline constexpr int Point = 3;
inline constexpr int BaseBlock = 6;
inline constexpr int InPosition = 8;
inline constexpr int Origin = 11;
inline constexpr int Running = 15;
inline constexpr int ExcessiveDeviation = 16;
inline constexpr int TorqueLimit = 19;
inline constexpr int SpeedLimit = 22;
inline constexpr int Alarm = 23;
inline constexpr int ForwardDisabled = 24;
inline constexpr int Emergency = 27;
inline constexpr int ReverseDisabled = 30;
inline constexpr int ServoOn = 31;
}  // namespace StatusBit

// Bits of the operation state word (the lamps of the operation panel).
namespace OperationBit {
inline constexpr int ServoOn = 0;
inline constexpr int ForwardJog = 1;
inline constexpr int ReverseJog = 2;
inline constexpr int Reset = 3;
inline constexpr int Start = 4;
inline constexpr int Homing = 5;
inline constexpr int Hold = 6;
inline constexpr int HighSpeed = 7;
inline constexpr int Emergency = 8;
}  // namespace OperationBit

namespace AlarmBit {
inline constexpr int ExcessiveDeviation = 7;
inline constexpr int Count = 13;  // bits 0..12
}  // namespace AlarmBit

namespace ErrorCode {
inline constexpr int InvalidCommand = 1;
inline constexpr int ZeroSetFailed = 2;
inline constexpr int OutOfRange = 3;
inline constexpr int PositionOutOfRange = 5;
inline constexpr int InAlarm = 7;
inline constexpr int InEmergency = 8;
}  // namespace ErrorCode

class DriveModel {
public:
    static constexpr int MotorModel = 0;   // default motor type (parameter 57)
    static constexpr int RomVersion = 215;  // shown as 2.15
    static constexpr std::chrono::microseconds BootTime{300'000};
    static constexpr std::chrono::microseconds Step{1'000};

    // nvPath: a file that keeps the non-volatile memory; empty keeps it in memory.
    explicit DriveModel(std::uint64_t seed = 1, std::string nvPath = {});

    // The reply to one request (the text between the start and end
    // characters), or nothing when the drive does not answer: after RESET,
    // and while it boots.
    std::optional<std::string> handle(std::string_view request);

    // Model time.
    std::chrono::microseconds now() const { return m_now; }
    void advance(std::chrono::microseconds dt);
    void advanceTo(std::chrono::microseconds t) { advance(t - m_now); }

    // Power off and on: working memory is reloaded from the non-volatile
    // store; position, servo, alarms present and the capture start afresh.
    void powerCycle();
    // An alarm comes up as if the drive had detected it (bit 0..12).
    void raiseAlarm(int bit);

    std::uint32_t statusWord() const;
    std::uint32_t operationWord() const;
    std::uint32_t ioWord() const;
    std::uint32_t alarms() const { return m_alarms; }
    const AlarmHistory &alarmHistory() const { return m_nv.history; }
    const Parameters &parameters() const { return m_params; }
    const PointTable &points() const { return m_points; }
    const NvStore &nvStore() const { return m_nv; }
    const Axis &axis() const { return m_axis; }
    const WaveCapture &capture() const { return m_capture; }
    int selectedPoint() const { return m_point; }
    bool homed() const { return m_homed; }
    bool booting() const { return m_now < m_bootUntil; }
    double peakTorque() const { return m_peakTorque; }
    // The value of monitor item n (0..16); see the operation panel's list.
    std::int64_t monitorValue(int item) const;
    // A word of the memory image that "VV" dumps.
    std::uint16_t memoryWord(std::uint32_t address) const;
    // Torque units of the waveform for 100 % with the present motor type.
    int ratedTorqueUnits() const;

private:
    using Fields = std::vector<std::string_view>;

    std::string reply(const Fields &f);
    std::string onDigitalInput(const std::string &keyword);
    std::string onJog(const std::string &keyword);
    std::string onR(const Fields &f);
    std::string onW(const Fields &f);
    std::string onTblr(const Fields &f);
    std::string onTblw(const Fields &f);
    std::string onT(const Fields &f);
    std::string onVv(const Fields &f);
    std::string onMon(const Fields &f);
    std::string onPnt(const Fields &f);
    std::string onZset(const Fields &f);
    std::string onTdin();
    std::string statusReply() const;
    std::string alarmReply() const;

    // ERR 8 or 7 when a move may not start now, else nothing.
    std::optional<std::string> refuseMove() const;
    void applyServo();
    void startJog();
    void startPointMove();
    void startHoming();
    void resetAlarms();
    // Every position reads `by` more (zero set, homing).
    void shift(double by);
    double accDecTime() const;
    void stepPhysics(double dt);
    AxisTuning tuning() const;
    WaveSample waveSample() const;
    double noise();
    void startUp();

    std::uint64_t m_seed;
    std::mt19937_64 m_rng;
    NvStore m_nv;
    Parameters m_params{};
    PointTable m_points{};
    std::vector<std::uint16_t> m_memory;

    std::chrono::microseconds m_now{0};
    std::chrono::microseconds m_bootUntil{0};
    Axis m_axis;
    WaveCapture m_capture;

    // Inputs given over the line.
    bool m_svonInput = false;
    bool m_emergency = false;
    bool m_start = false;
    bool m_homingInput = false;
    bool m_hold = false;
    bool m_resetInput = false;
    bool m_highSpeed = false;
    int m_jog = 0;  // +1, -1, 0
    int m_point = 0;

    std::uint32_t m_alarms = 0;
    bool m_homed = false;
    bool m_homing = false;
    bool m_pointMove = false;
    double m_originDistance = 0;  // how far the homing stop is from the power-up position
    double m_shift = 0;           // sum of the shifts since power-up
    double m_peakTorque = 0;
};

}  // namespace sim
