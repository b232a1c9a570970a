#pragma once
// What an import or a paste did, cell by cell or row by row: the summary line
// and the list the user reads, selects and copies.

#include "drive/csvfiles.h"

#include <QString>

class QWidget;

// "<taken> taken, <changed> changed by the entry checks, <refused> refused.
// Nothing was written to the drive."
template <typename Values>
QString ImportSummary(const CsvImport<Values> &import)
{
    using K = CsvLineReport::Kind;
    return QStringLiteral("%1 taken, %2 changed by the entry checks, %3 refused. Nothing was written to the drive.")
        .arg(import.count(K::Taken))
        .arg(import.count(K::Changed))
        .arg(import.count(K::Refused));
}

// A line a report: "<unit> <n>, taken: ..." ("Line 4, refused: ...").
QString ImportReportLines(const QList<CsvLineReport> &lines, const QString &unit = QStringLiteral("Line"));

// The report in a dialog the user closes with OK (objectName "ImportReport").
void ShowImportReport(QWidget *parent, const QString &title, const QString &text);
