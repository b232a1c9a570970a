#pragma once
// The point table as numbers: element 4 * point + column, point-major
// (point 0 columns 0..3, then point 1, ...). Columns: abs/inc, travel, speed,
// acc/dec time.

#include <QtGlobal>
#include <array>

inline constexpr int PointCount = 32;
inline constexpr int PointColumns = 4;
using PointData = std::array<qint32, PointCount * PointColumns>;
