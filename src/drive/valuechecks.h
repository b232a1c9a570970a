#pragma once
// Values that come as numbers (a parameter or point table file, JSON) are
// held to the rules of typed ones: a value is good when the entry check of
// its field (CheckRangeDec, CheckRangeHex, CheckPointEntry) leaves it exactly
// as it is. A value the check would change is out of range; the problem
// names the entry, the value and the range.

#include "drive/drivedata.h"

#include <QString>
#include <QStringList>

// Empty when parameter k may hold value; else "parameter 02 = 5 is outside
// its range 10/1000". The maker's parameters 40-59 have no range: any value.
QString ParamValueProblem(int k, qint32 value);
// Empty when the point's column may hold value; else "point 5 Speed = 3000
// is outside its range 0/2500".
QString PointValueProblem(int point, int column, qint32 value);

// Every problem of parameters 00 .. count - 1, in order.
QStringList ParamSetProblems(const ParamValues &values, int count);
// Every problem of the table, point by point.
QStringList PointTableProblems(const PointTable &table);
