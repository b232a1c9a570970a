#include "drivemodel.h"

#include "wirefield.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace sim {

namespace {

using namespace std::chrono_literals;

// A reply under construction: the keyword, then fields each after a ";".
class Reply {
public:
    explicit Reply(std::string_view keyword) : m_text(keyword) {}
    Reply &f16(std::int64_t v) { return add(v, FieldWidth::Bits16); }
    Reply &f32(std::int64_t v) { return add(v, FieldWidth::Bits32); }
    operator std::string() const { return m_text; }

private:
    Reply &add(std::int64_t v, FieldWidth w)
    {
        m_text += ';';
        m_text += HexField(v, w);
        return *this;
    }
    std::string m_text;
};

std::string error(int code) { return Reply("ERR").f16(code); }

bool bit(std::uint32_t word, int n) { return (word >> n) & 1U; }
std::uint32_t mask(bool on, int n) { return on ? (1U << n) : 0U; }

std::int64_t rounded(double v) { return std::llround(std::clamp(v, -2.0e9, 2.0e9)); }

std::int16_t toInt16(double v) { return static_cast<std::int16_t>(std::lround(std::clamp(v, -32768.0, 32767.0))); }

const std::string_view NoFieldCommands[] = {"S",      "ALM",     "IO",    "FLASH",  "TRST",    "ARST",    "HCL",
                                           "TDIN",   "SVON",    "SVOFF", "EMCON",  "EMCOFF",  "STRON",   "STROFF",
                                           "ZSTRON", "ZSTROFF", "HOLDON", "HOLDOFF", "RSTON",  "RSTOFF",  "HSON",
                                           "HSOFF",  "PJOG",    "NJOG",  "JOGOFF", "RESET"};

}  // namespace

DriveModel::DriveModel(std::uint64_t seed, std::string nvPath)
    : m_seed(seed), m_rng(seed), m_nv(std::move(nvPath)), m_memory(65536)
{
    // The memory image: fixed contents that only the seed decides.
    for (auto &w : m_memory) w = static_cast<std::uint16_t>(m_rng() >> 48);
    startUp();
    m_bootUntil = m_now;  // a drive made here is already running
}

void DriveModel::startUp()
{
    m_params = m_nv.parameters;
    m_points = m_nv.points;
    m_svonInput = m_emergency = m_start = m_homingInput = m_hold = m_resetInput = m_highSpeed = false;
    m_jog = 0;
    m_point = 0;
    m_alarms = 0;
    m_homed = m_homing = m_pointMove = false;
    m_peakTorque = 0;
    m_shift = 0;
    m_capture.cancel();
    m_axis.reset(0);
    // The homing stop lies 5 to 30 mm from wherever the axis was switched on.
    m_originDistance = 5000 + static_cast<double>(m_rng() % 25001);
    m_bootUntil = m_now + BootTime;
}

void DriveModel::powerCycle() { startUp(); }

std::optional<std::string> DriveModel::handle(std::string_view request)
{
    if (booting()) return std::nullopt;
    const Fields f = SplitRequest(request);
    if (f.size() == 1 && f[0] == "RESET") {
        powerCycle();
        return std::nullopt;
    }
    return reply(f);
}

std::string DriveModel::reply(const Fields &f)
{
    const std::string keyword(f[0]);
    const bool noFields = std::find(std::begin(NoFieldCommands), std::end(NoFieldCommands), keyword) !=
                          std::end(NoFieldCommands);
    if (noFields) {
        if (f.size() != 1) return error(ErrorCode::InvalidCommand);
        if (keyword == "S") return statusReply();
        if (keyword == "ALM") return alarmReply();
        if (keyword == "IO") return Reply("IO").f32(ioWord());
        if (keyword == "FLASH") {
            m_nv.parameters = m_params;
            m_nv.points = m_points;
            m_nv.save();
            return keyword;
        }
        if (keyword == "TRST") {
            m_peakTorque = 0;
            return keyword;
        }
        if (keyword == "ARST") {
            resetAlarms();
            return keyword;
        }
        if (keyword == "HCL") {
            m_nv.history = {};
            m_nv.save();
            return keyword;
        }
        if (keyword == "TDIN") return onTdin();
        if (keyword == "PJOG" || keyword == "NJOG" || keyword == "JOGOFF") return onJog(keyword);
        return onDigitalInput(keyword);
    }
    if (keyword == "VV") return onVv(f);
    if (keyword == "T") return onT(f);
    if (keyword == "MON") return onMon(f);
    if (keyword == "R") return onR(f);
    if (keyword == "W") return onW(f);
    if (keyword == "TBLR") return onTblr(f);
    if (keyword == "TBLW") return onTblw(f);
    if (keyword == "PNT") return onPnt(f);
    if (keyword == "ZSET") return onZset(f);
    return error(ErrorCode::InvalidCommand);
}

// --- status and monitors ---------------------------------------------------

std::uint32_t DriveModel::statusWord() const
{
    const bool servo = m_axis.servoOn();
    const bool inPosition = servo && m_axis.mode() == Axis::Mode::Idle &&
                            std::abs(m_axis.deviation()) <= m_params[Param::InPosition];
    const bool deviationAlarm = bit(m_alarms, AlarmBit::ExcessiveDeviation);
    return mask(!servo, StatusBit::Brake) | mask(m_pointMove && m_axis.moveDone() && inPosition, StatusBit::Point) |
           mask(!servo, StatusBit::BaseBlock) | mask(inPosition, StatusBit::InPosition) |
           mask(m_homed, StatusBit::Origin) | mask(servo && m_axis.moving(), StatusBit::Running) |
           mask(deviationAlarm, StatusBit::ExcessiveDeviation) |
           mask(m_axis.torqueLimited(), StatusBit::TorqueLimit) | mask(m_axis.speedLimited(), StatusBit::SpeedLimit) |
           mask(m_alarms != 0, StatusBit::Alarm) | mask(m_axis.atForwardLimit(), StatusBit::ForwardDisabled) |
           mask(m_emergency, StatusBit::Emergency) | mask(m_axis.atReverseLimit(), StatusBit::ReverseDisabled) |
           mask(servo, StatusBit::ServoOn);
}

std::uint32_t DriveModel::operationWord() const
{
    return mask(m_svonInput, OperationBit::ServoOn) | mask(m_jog > 0, OperationBit::ForwardJog) |
           mask(m_jog < 0, OperationBit::ReverseJog) | mask(m_resetInput, OperationBit::Reset) |
           mask(m_start, OperationBit::Start) | mask(m_homingInput, OperationBit::Homing) |
           mask(m_hold, OperationBit::Hold) | mask(m_highSpeed, OperationBit::HighSpeed) |
           mask(m_emergency, OperationBit::Emergency);
}

std::uint32_t DriveModel::ioWord() const
{
    // A set bit is an open contact; an active signal closes its contact.
    const std::uint32_t status = statusWord();
    std::uint32_t closed = mask(m_svonInput, 16) | mask(m_jog > 0, 17) | mask(m_jog < 0, 18) |
                           mask(m_resetInput, 19) | mask(m_start, 20) | mask(m_homingInput, 21) | mask(m_hold, 22) |
                           (static_cast<std::uint32_t>(m_point & 0x1F) << 23) | mask(m_homing, 28);
    closed |= mask(m_alarms == 0 && !m_emergency, 0) | mask(bit(status, StatusBit::InPosition), 1) |
              mask(m_alarms != 0, 2);
    if (bit(status, StatusBit::Point)) closed |= static_cast<std::uint32_t>(m_point & 0x7) << 3;
    constexpr std::uint32_t Signals = 0x1FFF0000U | 0x3FU;
    return ~closed & Signals;
}

std::string DriveModel::statusReply() const
{
    return Reply("S").f32(statusWord()).f16(m_point).f16(m_params[Param::MotorType]).f16(RomVersion).f32(operationWord());
}

std::string DriveModel::alarmReply() const
{
    Reply r("ALM");
    r.f32(m_alarms);
    for (std::uint32_t h : m_nv.history) r.f32(h);
    return r;
}

std::int64_t DriveModel::monitorValue(int item) const
{
    switch (item) {
    case 0: return rounded(m_axis.position());
    case 1: return rounded(m_axis.target());
    case 2: return rounded(m_axis.deviation());
    case 3: return rounded(m_axis.target() - m_axis.position());
    case 4: return rounded(m_axis.speed() * Axis::RpmPerMmS);
    case 5: return rounded(m_axis.commandSpeed() * Axis::RpmPerMmS);
    case 6: return rounded(m_axis.torque());
    case 9: return rounded(m_peakTorque);
    case 10: return m_point;
    case 14: return operationWord();
    case 16: return statusWord();
    default: return 0;
    }
}

std::string DriveModel::onMon(const Fields &f)
{
    if (f.size() != 2) return error(ErrorCode::InvalidCommand);
    const auto item = ParseRequestField(f[1]);
    if (!item || *item < 0 || *item > 16) return error(ErrorCode::OutOfRange);
    const bool wide = *item <= 3 || *item == 14 || *item == 16;
    Reply r("MON");
    r.f16(*item);
    if (wide) r.f32(monitorValue(*item));
    else r.f16(monitorValue(*item));
    return r;
}

std::uint16_t DriveModel::memoryWord(std::uint32_t address) const
{
    address &= 0xFFFF;
    const std::uint32_t status = statusWord();
    const auto position = static_cast<std::uint32_t>(static_cast<std::int32_t>(rounded(m_axis.position())));
    switch (address) {
    case 0: return static_cast<std::uint16_t>(status);
    case 1: return static_cast<std::uint16_t>(status >> 16);
    case 2: return static_cast<std::uint16_t>(operationWord());
    case 3: return static_cast<std::uint16_t>(m_alarms);
    case 4: return static_cast<std::uint16_t>(position);
    case 5: return static_cast<std::uint16_t>(position >> 16);
    case 6: return static_cast<std::uint16_t>(toInt16(m_axis.speed() * Axis::RpmPerMmS));
    case 7: return static_cast<std::uint16_t>(toInt16(m_axis.torque()));
    case 8: return static_cast<std::uint16_t>(m_point);
    case 9: return RomVersion;
    default: return m_memory[address];
    }
}

std::string DriveModel::onVv(const Fields &f)
{
    if (f.size() != 3) return error(ErrorCode::InvalidCommand);
    const auto a1 = ParseRequestField(f[1]);
    const auto a2 = ParseRequestField(f[2]);
    if (!a1 || !a2) return error(ErrorCode::OutOfRange);
    Reply r("VV");
    for (std::uint32_t i = 0; i < 4; ++i) r.f32(memoryWord(static_cast<std::uint32_t>(*a1) + i));
    for (std::uint32_t i = 0; i < 4; ++i) r.f32(memoryWord(static_cast<std::uint32_t>(*a2) + i));
    // Phase currents as the converter reads them (12 bits around 2048) and
    // the heat-sink thermistor.
    const double angle = 2.0 * std::numbers::pi * 4.0 * m_axis.position() / 10000.0;
    const double amplitude = m_axis.torque() * 4.0;
    r.f16(rounded(m_axis.speed() * Axis::RpmPerMmS)).f16(rounded(m_axis.torque())).f16(rounded(m_peakTorque));
    r.f32(rounded(m_axis.position())).f32(rounded(m_axis.command())).f32(rounded(m_axis.deviation()));
    r.f16(0).f16(0);
    r.f16(std::clamp<std::int64_t>(2048 + rounded(amplitude * std::sin(angle)), 0, 4095));
    r.f16(std::clamp<std::int64_t>(2048 + rounded(amplitude * std::sin(angle - 2.0 * std::numbers::pi / 3.0)), 0, 4095));
    r.f16(0x31C + rounded(std::abs(m_axis.torque()) / 10.0));
    r.f16(m_point);
    return r;
}

// --- parameters and point table ---------------------------------------------

std::string DriveModel::onR(const Fields &f)
{
    if (f.size() != 2) return error(ErrorCode::InvalidCommand);
    const auto block = ParseRequestField(f[1]);
    if (!block || *block < 0 || *block >= ParameterBlockCount) return error(ErrorCode::OutOfRange);
    Reply r("R");
    r.f16(*block);
    for (int i = 0; i < 10; ++i) r.f32(m_params[*block * 10 + i]);
    return r;
}

std::string DriveModel::onW(const Fields &f)
{
    if (f.size() != 12) return error(ErrorCode::InvalidCommand);
    const auto block = ParseRequestField(f[1]);
    if (!block || *block < 0 || *block >= ParameterBlockCount) return error(ErrorCode::OutOfRange);
    std::array<std::int32_t, 10> values{};
    for (int i = 0; i < 10; ++i) {
        const auto v = ParseRequestField(f[2 + i]);
        if (!v || !ParameterRange(*block * 10 + i).contains(*v)) return error(ErrorCode::OutOfRange);
        values[i] = *v;
    }
    // Nothing is stored unless the whole block is good.
    std::copy(values.begin(), values.end(), m_params.begin() + *block * 10);
    return Reply("W").f16(*block);
}

std::string DriveModel::onTblr(const Fields &f)
{
    if (f.size() != 2) return error(ErrorCode::InvalidCommand);
    const auto point = ParseRequestField(f[1]);
    if (!point || *point < 0 || *point >= PointCount) return error(ErrorCode::OutOfRange);
    Reply r("TBLR");
    for (int c = 0; c < PointColumns; ++c) r.f32(m_points[*point * PointColumns + c]);
    return r;
}

std::string DriveModel::onTblw(const Fields &f)
{
    if (f.size() != 2 + PointColumns) return error(ErrorCode::InvalidCommand);
    const auto point = ParseRequestField(f[1]);
    if (!point || *point < 0 || *point >= PointCount) return error(ErrorCode::OutOfRange);
    std::array<std::int32_t, PointColumns> values{};
    for (int c = 0; c < PointColumns; ++c) {
        const auto v = ParseRequestField(f[2 + c]);
        if (!v || !PointColumnRange(c).contains(*v)) return error(ErrorCode::OutOfRange);
        values[c] = *v;
    }
    std::copy(values.begin(), values.end(), m_points.begin() + *point * PointColumns);
    return Reply("TBLW").f16(*point);
}

// --- operation -----------------------------------------------------------------

std::optional<std::string> DriveModel::refuseMove() const
{
    if (m_emergency) return error(ErrorCode::InEmergency);
    if (m_alarms != 0) return error(ErrorCode::InAlarm);
    return std::nullopt;
}

void DriveModel::applyServo()
{
    const bool wasOn = m_axis.servoOn();
    m_axis.setServo(m_svonInput && !m_emergency && m_alarms == 0);
    if (!m_axis.servoOn()) m_homing = false;
    if (!wasOn && m_axis.servoOn() && m_jog != 0) startJog();
}

AxisTuning DriveModel::tuning() const
{
    AxisTuning t;
    t.positionGain = m_params[Param::PositionGain];
    t.speedGain = m_params[3];
    t.forwardTorque = m_params[Param::ForwardTorqueLimit];
    t.reverseTorque = m_params[Param::ReverseTorqueLimit];
    t.speedLimit = m_params[Param::SpeedLimiter] > 0 ? m_params[Param::SpeedLimiter] / Axis::RpmPerMmS : 2500.0;
    t.overridePercent = m_params[Param::Override];
    // The soft limits hold once the origin is known, unless both are 0.
    const std::int32_t fwd = m_params[Param::ForwardSoftOt];
    const std::int32_t rev = m_params[Param::ReverseSoftOt];
    t.softLimits = m_homed && !m_homing && !(fwd == 0 && rev == 0) && rev <= fwd;
    t.forwardLimit = fwd;
    t.reverseLimit = rev;
    return t;
}

double DriveModel::accDecTime() const { return m_params[Param::StandardAccDec]; }

void DriveModel::startJog()
{
    if (!m_axis.servoOn() || m_jog == 0) return;
    const double speed = m_params[m_highSpeed ? Param::JogHigh : Param::JogLow];
    m_pointMove = m_homing = false;
    m_axis.startJog(m_jog, speed, accDecTime());
}

void DriveModel::startPointMove()
{
    if (!m_axis.servoOn()) return;
    const std::int32_t *p = &m_points[m_point * PointColumns];
    const double speed = p[PointColumn::Speed] > 0 ? p[PointColumn::Speed] : m_params[Param::StandardSpeed];
    const double acc = p[PointColumn::AccDec] > 0 ? p[PointColumn::AccDec] : accDecTime();
    const double from = p[PointColumn::Incremental] ? m_axis.target() : 0.0;
    m_homing = false;
    m_pointMove = true;
    m_axis.startMove(from + p[PointColumn::Travel], speed, acc, tuning());
}

void DriveModel::startHoming()
{
    if (!m_axis.servoOn()) return;
    m_pointMove = false;
    if (m_params[Param::HomingMethod] == 1) {
        // The origin is wherever the axis stands.
        shift(-m_axis.position());
        m_homed = true;
        return;
    }
    const double direction = m_params[Param::HomingDirection] == 0 ? 1.0 : -1.0;
    m_homing = true;
    m_axis.startMove(m_shift + direction * m_originDistance + m_params[Param::HomingDistance],
                     m_params[Param::HomingCreep], accDecTime(), tuning());
}

void DriveModel::shift(double by)
{
    m_axis.shift(by);
    m_shift += by;
}

void DriveModel::raiseAlarm(int bitNo)
{
    if (bitNo < 0 || bitNo >= AlarmBit::Count || bit(m_alarms, bitNo)) return;
    m_alarms |= 1U << bitNo;
    std::copy_backward(m_nv.history.begin(), m_nv.history.end() - 1, m_nv.history.end());
    m_nv.history[0] = 1U << bitNo;
    m_nv.save();
    // The power stage is blocked; the servo-on input has to be given again.
    m_svonInput = false;
    m_jog = 0;
    m_axis.setServo(false);
    m_homing = m_pointMove = false;
}

void DriveModel::resetAlarms()
{
    m_alarms = 0;
    applyServo();
}

std::string DriveModel::onDigitalInput(const std::string &keyword)
{
    const bool on = keyword.ends_with("ON");
    const bool isMove = keyword == "SVON" || keyword == "STRON" || keyword == "ZSTRON";
    if (isMove) {
        if (auto refusal = refuseMove()) return *refusal;
    }
    if (keyword == "SVON" || keyword == "SVOFF") {
        m_svonInput = on;
        applyServo();
    } else if (keyword == "EMCON" || keyword == "EMCOFF") {
        m_emergency = on;
        if (on) {
            m_svonInput = false;
            m_jog = 0;
            m_axis.halt();
        }
        applyServo();
    } else if (keyword == "STRON" || keyword == "STROFF") {
        if (on && !m_start) startPointMove();
        m_start = on;
    } else if (keyword == "ZSTRON" || keyword == "ZSTROFF") {
        if (on && !m_homingInput) startHoming();
        m_homingInput = on;
    } else if (keyword == "HOLDON" || keyword == "HOLDOFF") {
        m_hold = on;
        m_axis.setHold(on);
    } else if (keyword == "RSTON" || keyword == "RSTOFF") {
        if (on && !m_resetInput) resetAlarms();
        m_resetInput = on;
    } else if (keyword == "HSON" || keyword == "HSOFF") {
        m_highSpeed = on;
        if (m_axis.mode() == Axis::Mode::Jog) startJog();
    }
    return keyword;
}

std::string DriveModel::onJog(const std::string &keyword)
{
    if (keyword == "JOGOFF") {
        m_jog = 0;
        if (m_axis.mode() == Axis::Mode::Jog) m_axis.stop();
        return keyword;
    }
    if (auto refusal = refuseMove()) return *refusal;
    m_jog = keyword == "PJOG" ? 1 : -1;
    startJog();
    return keyword;
}

std::string DriveModel::onPnt(const Fields &f)
{
    if (f.size() != 2) return error(ErrorCode::InvalidCommand);
    const auto point = ParseRequestField(f[1]);
    if (!point || *point < 0 || *point >= PointCount) return error(ErrorCode::OutOfRange);
    m_point = *point;
    return "PNT";
}

std::string DriveModel::onTdin()
{
    // Teaching: the point designated takes the present position as an
    // absolute travel.
    const std::int64_t position = rounded(m_axis.position());
    if (!PointColumnRange(PointColumn::Travel).contains(position)) return error(ErrorCode::PositionOutOfRange);
    m_points[m_point * PointColumns + PointColumn::Incremental] = 0;
    m_points[m_point * PointColumns + PointColumn::Travel] = static_cast<std::int32_t>(position);
    return "TDIN";
}

std::string DriveModel::onZset(const Fields &f)
{
    if (f.size() != 2) return error(ErrorCode::InvalidCommand);
    const auto value = ParseRequestField(f[1]);
    if (!value) return error(ErrorCode::OutOfRange);
    if (m_axis.moving()) return error(ErrorCode::ZeroSetFailed);  // not while the axis moves
    shift(*value - m_axis.position());
    return "ZSET";
}

// --- waveform capture ----------------------------------------------------------

int DriveModel::ratedTorqueUnits() const
{
    switch (m_params[Param::MotorType]) {
    case 1: return 750;
    case 2: return 794;
    case 20: return 795;
    case 21: return 860;
    case 22: return 917;
    case 30: return 661;
    case 31: return 750;
    case 32: return 774;
    case 33: return 740;
    case 34: return 705;
    default: return 900;
    }
}

WaveSample DriveModel::waveSample() const
{
    static constexpr int StatusBits[] = {StatusBit::Brake, StatusBit::TorqueLimit, StatusBit::SpeedLimit,
                                         StatusBit::ExcessiveDeviation, StatusBit::InPosition};
    WaveSample s;
    s.speed = toInt16(m_axis.speed() * Axis::RpmPerMmS / 0.75);
    s.torque = toInt16(std::clamp(m_axis.torque() * ratedTorqueUnits() / 100.0, -9999.0, 9999.0));
    s.status = bit(statusWord(), StatusBits[std::clamp(m_capture.setup().statusIndex, 0, 4)]);
    return s;
}

std::string DriveModel::onT(const Fields &f)
{
    if (f.size() != 4) return error(ErrorCode::InvalidCommand);
    const auto code = ParseRequestField(f[1]);
    const auto trigPos = ParseRequestField(f[2]);
    const auto status = ParseRequestField(f[3]);
    if (!code || *code < 0 || *code > 0xFF || !trigPos || *trigPos < 0 || *trigPos > 30 || !status || *status < 0 ||
        *status > 4)
        return error(ErrorCode::OutOfRange);

    const bool run = bit(static_cast<std::uint32_t>(*code), 7);
    if (!run) {
        m_capture.cancel();
        return Reply("T").f16(0);
    }
    if (m_capture.state() == WaveCapture::State::Idle) {
        WaveCapture::Setup setup;
        setup.source = static_cast<WaveCapture::Source>(*code & 0x3);
        setup.edge = (*code >> 3) & 0x3;
        setup.timeBase = (*code >> 5) & 0x3;
        setup.trigPos = *trigPos;
        setup.statusIndex = *status;
        m_capture.arm(setup, std::chrono::duration<double>(m_now).count());
        return Reply("T").f16(0);
    }
    std::array<WaveSample, WaveCapture::BlockSamples> samples;
    const int block = m_capture.takeBlock(samples);
    Reply r("T");
    r.f16(block);
    if (block == 0) return r;
    for (const WaveSample &s : samples) {
        // The status bit rides on the torque, 10000 away from zero.
        const int folded = s.status ? (s.torque < 0 ? s.torque - 10000 : s.torque + 10000) : s.torque;
        r.f16(folded).f16(s.speed);
    }
    return r;
}

// --- time ------------------------------------------------------------------------

double DriveModel::noise()
{
    // ±0.8 % of torque ripple, from the seeded generator alone.
    return (static_cast<double>(m_rng() >> 11) * 0x1.0p-53 - 0.5) * 1.6;
}

void DriveModel::stepPhysics(double dt)
{
    m_axis.step(dt, tuning(), m_axis.servoOn() ? noise() : 0.0);
    m_peakTorque = std::max(m_peakTorque, std::abs(m_axis.torque()));
    const std::int32_t allowed = m_params[Param::ExcessiveError];
    if (m_axis.servoOn() && allowed > 0 && std::abs(m_axis.deviation()) > allowed)
        raiseAlarm(AlarmBit::ExcessiveDeviation);
    if (m_homing && m_axis.moveDone()) {
        // The stop (and the homing distance behind it) becomes the origin.
        m_homing = false;
        m_homed = true;
        shift(-m_axis.command());
    }
    const double seconds = std::chrono::duration<double>(m_now).count();
    if (m_capture.sampling()) m_capture.offer(seconds, waveSample());
}

void DriveModel::advance(std::chrono::microseconds dt)
{
    const std::chrono::microseconds end = m_now + std::max(dt, 0us);
    std::int64_t steps = 0;
    while (m_now < end) {
        // A resting axis changes nothing but its torque ripple: long rests
        // are skipped, and a long run is stepped for ten minutes at most.
        const bool resting = !m_axis.moving() && !m_capture.sampling();
        if ((resting && end - m_now > 100ms) || steps > 600'000) {
            m_now = end - std::min<std::chrono::microseconds>(end - m_now, resting ? 100ms : 0us);
            if (m_now == end) break;
        }
        const std::chrono::microseconds step = std::min(Step, end - m_now);
        m_now += step;
        stepPhysics(std::chrono::duration<double>(step).count());
        ++steps;
    }
}

}  // namespace sim
