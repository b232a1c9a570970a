#pragma once
// The tables of the waveform analysis as item models (Qt Core), so that the
// window shows them, and the exports and the report print them, from one
// place:
// - MeasurementTable: a row for speed and one for torque of each shown
//   capture: minimum, maximum, mean, RMS and peak-to-peak over the span
//   measured, and for speed the step response (before, after, start, rise,
//   overshoot, settling, and a note);
// - CursorTable: each trace at the two cursors and their difference, or, for
//   the spectra, each trace's level at the frequency cursor and its largest
//   peak.
// Figures carry their unit and the decimals their resolution supports (one
// unit of speed is 0.75 rpm: one decimal; torque by the motor type's unit).

#include "drive/wave/captureanalysis.h"

#include <QAbstractTableModel>
#include <QStringList>

class MeasurementTable : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Trace, Minimum, Maximum, Mean, Rms, PeakToPeak, Before, After, Start, Rise, Overshoot, Settling,
                  Note, ColumnCount };
    // The capture's id of a row (an int).
    static constexpr int CaptureIdRole = Qt::UserRole + 1;

    explicit MeasurementTable(const CaptureAnalysis &analysis, QObject *parent = nullptr);

    // The rows again, from the analysis as it is now.
    void refresh();
    static QStringList headers();
    // The rows of one capture alone (for the report).
    QList<QStringList> rowsOf(int captureId) const;

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(m_rows.size()); }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : ColumnCount; }
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    struct Row {
        int id;
        QStringList cells;
    };
    QList<QStringList> cellsOf(const ListedCapture &c) const;

    const CaptureAnalysis &m_analysis;
    QList<Row> m_rows;
};

class CursorTable : public QAbstractTableModel {
    Q_OBJECT
public:
    enum class Mode { Time, Spectrum };
    static constexpr int CaptureIdRole = MeasurementTable::CaptureIdRole;

    explicit CursorTable(const CaptureAnalysis &analysis, QObject *parent = nullptr);

    void setMode(Mode mode);
    Mode mode() const { return m_mode; }
    // The frequency cursor of the spectra, in Hz.
    void setFrequency(double hz);
    void refresh();
    // "t1 = -12.0 ms   t2 = 40.0 ms   Δt = 52.0 ms   1/Δt = 19.23 Hz", or "f = 31.25 Hz".
    QString cursorLine() const;
    QStringList headers() const;

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(m_rows.size()); }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : 4; }
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    struct Row {
        int id;
        QStringList cells;
    };
    const CaptureAnalysis &m_analysis;
    Mode m_mode = Mode::Time;
    double m_frequency = 0;
    QList<Row> m_rows;
};

// A model's rows as texts, the header row first (what the exports print).
QList<QStringList> TableRows(const QAbstractItemModel &model);
// The same as tab-separated lines.
QString TableText(const QAbstractItemModel &model);
