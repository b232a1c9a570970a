#pragma once
// What the drive keeps: sixty parameters and a point table of 32 points of
// four columns (absolute 0 / incremental 1, travel in µm, speed in mm/s,
// acceleration/deceleration time in ms for 0 to 3000 rpm), with the ranges the
// drive accepts and the values it leaves the factory with.

#include <array>
#include <cstdint>

namespace sim {

inline constexpr int ParameterCount = 60;
inline constexpr int ParameterBlockCount = 6;  // ten parameters a block
inline constexpr int PointCount = 32;
inline constexpr int PointColumns = 4;

using Parameters = std::array<std::int32_t, ParameterCount>;
using PointTable = std::array<std::int32_t, PointCount * PointColumns>;  // point-major

struct ValueRange {
    std::int32_t min;
    std::int32_t max;
    bool contains(std::int64_t v) const { return v >= min && v <= max; }
};

// The range of parameter k; the maker set (40..59) takes any value.
ValueRange ParameterRange(int k);
// The range of column c of a point.
ValueRange PointColumnRange(int c);

const Parameters &FactoryParameters();
const PointTable &FactoryPoints();

// Names of the parameters the drive itself uses.
namespace Param {
inline constexpr int ExcessiveError = 0;
inline constexpr int InPosition = 1;
inline constexpr int PositionGain = 2;
inline constexpr int FollowUpRange = 14;
inline constexpr int ForwardTorqueLimit = 15;
inline constexpr int ReverseTorqueLimit = 16;
inline constexpr int ForwardSoftOt = 17;
inline constexpr int ReverseSoftOt = 18;
inline constexpr int JogHigh = 19;
inline constexpr int JogLow = 20;
inline constexpr int HomingMethod = 22;
inline constexpr int HomingDirection = 23;
inline constexpr int HomingCreep = 24;
inline constexpr int HomingDistance = 25;
inline constexpr int Override = 27;
inline constexpr int StandardSpeed = 31;
inline constexpr int StandardAccDec = 32;
inline constexpr int SpeedLimiter = 41;
inline constexpr int MotorType = 57;
}  // namespace Param

namespace PointColumn {
inline constexpr int Incremental = 0;
inline constexpr int Travel = 1;
inline constexpr int Speed = 2;
inline constexpr int AccDec = 3;
}  // namespace PointColumn

}  // namespace sim
