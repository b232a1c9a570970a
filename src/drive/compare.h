#pragma once
// Two parameter sets or point tables side by side: one row for each entry,
// its values as the windows show them, and whether they differ.

#include "drive/drivedata.h"

#include <QList>
#include <QString>

struct CompareRow {
    QString number;  // "05" for a parameter, "5" for a point
    QString name;    // the parameter's name, or the point table's column
    QString left;
    QString right;
    QString range;   // "min/max"; empty for the maker's parameters
    bool differs = false;
};

// Parameters 00 .. count - 1 (40 for the user's set, 60 with the maker's).
QList<CompareRow> CompareParameters(const ParamValues &left, const ParamValues &right, int count);
// Every value of the 32 points, point-major.
QList<CompareRow> ComparePoints(const PointTable &left, const PointTable &right);

// "7 of 40 parameters differ", or, for equal sides, "The two sides are the
// same: all 40 parameters". what: "parameters", "point table values".
QString CompareSummary(const QList<CompareRow> &rows, const QString &what);
int DifferingRows(const QList<CompareRow> &rows);
