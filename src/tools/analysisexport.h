#pragma once
// The waveform analysis on paper and in pictures: a PNG of the plot at a size
// the user picks, and a landscape A4 document (PDF or printer) with the
// plot, the captures' set-ups, the complete measurement and cursor tables and
// the definitions of the figures. A table is set in one font size for all
// its rows, the largest with which every column fits the page: no cell is
// cut or wrapped. Both files are written whole or not at all.

#include <QDateTime>
#include <QFont>
#include <QList>
#include <QSize>
#include <QStringList>
#include <vector>

class PlotView;
class QPagedPaintDevice;
class QPaintDevice;
class QPainter;

// A table set to a width: the font every cell fits in, each column's width.
struct FittedTable {
    QFont font;
    std::vector<double> widths;
    double rowHeight = 0;
    double width() const;
};
// The font (from base, shrunk no smaller than minPoints) with which the rows
// (header first) fit the width on the device.
FittedTable FitTable(const QList<QStringList> &rows, const QFont &base, double width, QPaintDevice *device,
                     double minPoints = 4.5);
// Draws rows[from..] below the header row (rows[0], bold, on grey) at the
// place given, as many as fit in maxHeight; returns how many were drawn. With
// a null painter it only counts. Columns after the first are set to the right.
int DrawTable(QPainter *painter, const QList<QStringList> &rows, int from, const QPointF &at, double maxHeight,
              const FittedTable &table);

struct AnalysisDocument {
    QString title;
    QDateTime made;
    QStringList facts;     // lines about the captures shown
    const PlotView *plot = nullptr;
    QString measureTitle;  // "Measurements (whole capture, settle ±2 %)"
    QList<QStringList> measurements;  // header row first; empty: left out
    QString cursorLine;
    QList<QStringList> cursors;       // header row first
    QString definitions;
};

// Lays the document out on the device's pages with "Page i of N" at the foot;
// false when the device cannot be drawn on.
bool RenderAnalysisDocument(QPagedPaintDevice &device, const AnalysisDocument &doc);
// As an A4 landscape PDF file; on failure *error says why (naming the file).
bool WriteAnalysisPdf(const QString &path, const AnalysisDocument &doc, QString *error);
// The plot as a PNG picture of that size, with the description (the
// definitions and the tables as text) and the time made in its text fields.
bool WriteAnalysisPng(const QString &path, const PlotView &plot, const QSize &size, const QString &description,
                      QString *error);
