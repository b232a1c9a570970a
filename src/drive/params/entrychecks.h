#pragma once
// Entry checks shared by the parameter and point table editors: a typed value
// is held to its range when its field loses the focus, and Enter and the arrow
// keys move along a column of fields.

#include <QString>
#include <QStringView>

// Decimal field: the typed text read leniently; within "min/max" (compared
// after rounding) the unrounded reading is shown, else the nearest limit.
QString CheckRangeDec(QStringView text, QStringView range);
// Hexadecimal field: the typed text read as a hexadecimal entry, held to the
// decimal range "min/max" and shown in hexadecimal.
QString CheckRangeHex(QStringView text, QStringView range);

// Key codes of the key rule.
namespace KeyCode {
inline constexpr int Enter = 13;
inline constexpr int Up = 38;
inline constexpr int Down = 40;
}  // namespace KeyCode
// Enter and Down move to the next field, wrapping from count - 1 to 0; Up to
// the previous, wrapping from 0 to count - 1; other keys leave the index. The
// new index is returned and left in the argument.
int NextTxtIndex(int &index, int key, int count);
