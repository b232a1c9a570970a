#pragma once
// The drive's data as plain values, without windows: what a job reads or
// writes, what the files hold, what a command-line tool prints.

#include "drive/params/paramcatalogue.h"
#include "drive/points/pointdata.h"

#include <QDateTime>
#include <QtGlobal>
#include <array>
#include <optional>

// The sixty parameters, 00 first; which are hexadecimal is the catalogue's
// (ParamIsHex). A write covers the user's four blocks, or all six with the
// maker's.
using ParamValues = std::array<qint32, ParamCount>;
struct ParameterSet {
    ParamValues values{};
    int writeBlocks = UserParamCount / ParamBlockSize;
    bool operator==(const ParameterSet &) const = default;
};

// The point table: 32 points of abs/inc, travel, speed and acc/dec time,
// point-major (PointData).
using PointTable = PointData;
inline qint32 PointValue(const PointTable &t, int point, int column) { return t[PointColumns * point + column]; }

// One capture: how it was set up, its 128 samples and when it was taken.
inline constexpr int CaptureSamples = 128;
// The list positions of the capture set-up.
struct CaptureSetup {
    int trig = 0;    // trigger source: Speed, Torque, Status, Manual
    int edge = 0;    // Forward Up, Forward Down, Reverse Up, Reverse Down
    int status = 0;  // the status signal: Brake, Trq.Lmt., Spd.Lmt., Exes.Devi., InPos
};
struct Capture {
    CaptureSetup setup;
    int timeBase = 0;  // 0..3: 0.05, 0.1, 0.2 or 0.5 s a division
    int trigPos = 15;  // 0..30
    std::array<qint16, CaptureSamples> speed{};
    std::array<qint16, CaptureSamples> torque{};
    std::array<qint16, CaptureSamples> status{};  // the status signal, 0 or 1
    QDateTime taken;
};

// What the monitor requests tell of the drive; a part not asked for yet is
// empty.
struct StatusSnapshot {
    std::optional<quint32> statusWord;  // "S" field 0
    std::optional<qint32> point;        // field 1
    std::optional<qint32> motorType;    // field 2
    std::optional<qint32> romVersion;   // field 3, in hundredths
    std::optional<qint32> commandState; // field 4: the panel's lamps
    std::optional<quint32> alarms;      // "ALM" field 0, a bit an alarm
    std::optional<std::array<qint32, 8>> alarmHistory;  // "ALM" fields 1..8
    std::optional<quint32> ioWord;      // "IO" field 0
    std::array<std::optional<qint32>, 17> monitor{};  // "MON" items 0..16
};
