#pragma once
// The commissioning report, a record of the job to hand over and keep: the
// machine, axis, customer, site, engineer and notes the user gave; the
// drive's model and ROM version, the port and the time made (with its
// offset); the parameters with name, value, unit and range, and beside them a
// reference set when one was chosen, its differences marked; the point
// table; the captures as analysis plots with their scales, time base,
// trigger and measurements; the drive's own alarm history and this drive's
// entries of the alarm log; a signature and date line at the end; "Page i of
// N" at the foot of every page. It is drawn by one routine and goes either to
// a PDF/A-1b file (for archiving) or to a printer.

#include "drive/alarmlog.h"
#include "drive/drivedata.h"
#include "drive/wave/capturelist.h"

#include <QDateTime>
#include <QList>
#include <QPageRanges>
#include <QString>
#include <array>
#include <optional>

class QPagedPaintDevice;
class QWidget;

// What the user tells of the job, in the dialog before the report.
struct ReportFields {
    QString machine, axis, customer, site, engineer, notes;
    bool operator==(const ReportFields &) const = default;
};

// One row of the parameter table.
struct ReportParamRow {
    int number = 0;     // 0..59
    QString name;       // the name without its number; a trailing line break is dropped when drawn
    QString value;      // as the parameter window shows it ("0x155" for a hexadecimal one)
    QString range;      // "min/max"; empty for the maker set
    bool hex = false;   // the value is hexadecimal
    QString unit;       // where it is known
    QString reference;  // the reference set's value, empty without one
    bool differs = false;
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
    ReportFields fields;
    QString model;  // the motor model as the status strip shows it; empty when unknown
    QString rom;    // the ROM version as the status strip shows it; empty when unknown
    QString port;   // the drive's port ("COM1 /dev/ttyUSB0"), or how it was reached
    QDateTime when; // when the report was made
    QString reference;  // the reference set's file, empty without one
    QList<ReportParamRow> params;
    QList<ReportPointRow> points;
    QList<ListedCapture> captures;  // as the analysis shows them
    // The drive's history of eight alarms, entry 0 first, as its alarm display
    // reads it; nothing when it could not be read (historyNote says why).
    std::optional<std::array<qint32, 8>> alarmHistory;
    QString historyNote;
    QList<AlarmLogEntry> alarmLog;  // this drive's entries, oldest first
};

// The rows of the report from the drive's data: parameters 00..39, or 00..59
// in maker mode, each with its name, its value as the parameter window shows
// it (a hexadecimal one marked "0x"), its unit and range; the 32 points as the
// point table shows them.
ReportData MakeReportData(const QString &model, const QString &rom, const ParameterSet &params, bool makerMode,
                          const PointTable &points, const QDateTime &when = QDateTime::currentDateTime());
// Puts the reference set beside the parameters and marks the differences.
void SetReportReference(ReportData &data, const ParamValues &reference, const QString &name);
// A reference parameter set from a file: a parameter file (.pxt) or a
// parameter CSV; nothing, and the reason in error, when it is neither.
std::optional<ParamValues> ReadReferenceParameters(const QString &path, QString *error);
// The entries of the log that name this port (all of them when the port is
// empty), oldest first, at most the newest `limit`.
QList<AlarmLogEntry> ReportAlarmLog(const QList<AlarmLogEntry> &entries, const QString &port, int limit = 200);

// Draws the report onto the device, one page after another, from the device's
// first page; with page ranges given, only those pages are drawn (the others
// are laid out all the same, so the page numbers stay). False when the device
// could not be drawn on.
bool RenderReport(QPagedPaintDevice &device, const ReportData &data, const QPageRanges &pages = {});
// The number of pages the report takes on the device, as RenderReport lays it out.
int ReportPageCount(QPagedPaintDevice &device, const ReportData &data);

// Writes the report as an A4 PDF/A-1b file. The file is written beside its
// place and only then put there, so a failed write leaves any earlier file as
// it was and no partial file. On failure, *error (if given) names the file and
// the reason.
bool WriteReportPdf(const QString &path, const ReportData &data, QString *error);

// Shows the print dialog and prints the report on the chosen printer when the
// user accepts; a failure is reported in a message box.
void PrintReport(QWidget *parent, const ReportData &data);
