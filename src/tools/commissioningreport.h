#pragma once
// The commissioning report: the drive's model and ROM version, when the report
// was made, the parameter set, the point table and the present waveform
// plots, laid out on A4 pages with the page number at the foot of each page.
// It is drawn by one routine and goes either to a PDF file or to a printer.

#include "drive/drivedata.h"

#include <QDateTime>
#include <QImage>
#include <QList>
#include <QPageRanges>
#include <QString>

class QPagedPaintDevice;
class QWidget;

// One row of the parameter table.
struct ReportParamRow {
    int number = 0;   // 0..59
    QString name;     // the name without its number; a trailing line break is dropped when drawn
    QString value;    // as the parameter window shows it
    QString range;    // "min/max"; empty for the maker set
    bool hex = false; // the value is hexadecimal
    bool operator==(const ReportParamRow &) const = default;
};

// One row of the point table, as the table window shows it.
struct ReportPointRow {
    QString point;
    QString absInc;
    QString travel;
    QString speed;
    QString accDec;
    bool operator==(const ReportPointRow &) const = default;
};

struct ReportData {
    QString model;  // the motor model as the status strip shows it; empty when unknown
    QString rom;    // the ROM version as the status strip shows it; empty when unknown
    QDateTime when; // when the report was made
    QList<ReportParamRow> params;
    QList<ReportPointRow> points;
    // The waveform plots (speed, torque, status bit) as the waveform window
    // shows them; null images are left out.
    QList<QImage> plots;
    bool hasCapture = false;
};

// The rows of the report from the drive's data: parameters 00..39, or 00..59
// in maker mode, each with its name, its value as the parameter window shows
// it and its range; the 32 points as the point table shows them.
ReportData MakeReportData(const QString &model, const QString &rom, const ParameterSet &params, bool makerMode,
                          const PointTable &points, const QList<QImage> &plots = {}, bool hasCapture = false,
                          const QDateTime &when = QDateTime::currentDateTime());

// Draws the report onto the device, one page after another, from the device's
// first page; with page ranges given, only those pages are drawn (the others
// are laid out all the same, so the page numbers stay). False when the device
// could not be drawn on.
bool RenderReport(QPagedPaintDevice &device, const ReportData &data, const QPageRanges &pages = {});
// The number of pages the report takes on the device, as RenderReport lays it out.
int ReportPageCount(QPagedPaintDevice &device, const ReportData &data);

// Writes the report as an A4 PDF file. The file is written beside its place
// and only then put there, so a failed write leaves any earlier file as it was
// and no partial file. On failure, *error (if given) names the file and the
// reason.
bool WriteReportPdf(const QString &path, const ReportData &data, QString *error);

// Shows the print dialog and prints the report on the chosen printer when the
// user accepts; a failure is reported in a message box.
void PrintReport(QWidget *parent, const ReportData &data);
