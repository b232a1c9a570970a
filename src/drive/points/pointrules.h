#pragma once
// Rules of the point table that need no window: the entry check of each
// column, the number a field stands for, the texts a table shows, and the
// request texts of the transfer.

#include "pointdata.h"

#include <QString>
#include <QStringView>
#include <array>

namespace PointColumn {
inline constexpr int Inc = 0;     // absolute (0) or incremental (1)
inline constexpr int Locate = 1;  // travel, micrometres
inline constexpr int Spd = 2;     // speed, mm/s; 0 takes the drive's standard speed
inline constexpr int KGJit = 3;   // acceleration/deceleration time; 0 takes the standard time
}  // namespace PointColumn

// What a speed or acc/dec field of 0 shows.
inline constexpr QStringView NoValueText = u"----";

// The 128 field texts, element 4 * point + column like PointData.
using PointTexts = std::array<QString, PointCount * PointColumns>;

// The text a field of the given column shows once it loses the focus: held to
// the column's range (read from the string table each time), and "----" for a
// speed or acc/dec time that comes out as exactly " 0".
QString CheckPointEntry(int column, QStringView text);

// The number a field stands for: its leading number, rounded half to even and
// held to 32 bits; "----" is 0.
qint32 PointCellValue(QStringView text);

// The text a value shows in the grid: the decimal form, or "----" for a speed
// or acc/dec time of 0.
QString PointCellText(int column, qint32 value);

PointData PointDataFromTexts(const PointTexts &texts);
PointTexts PointDataToTexts(const PointData &data);

// "TBLR;<point>", and "TBLW;<point>;<v0>;<v1>;<v2>;<v3>;" with the numbers the
// four field texts of the point stand for; numbers in hexadecimal.
QString TblrText(int point);
QString TblwText(int point, const std::array<QString, PointColumns> &texts);
