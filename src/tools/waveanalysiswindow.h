#pragma once
// The "Waveform Analysis" window: a view of the analysis model. The captures
// of this session overlaid on speed, torque and status plots in physical
// units, two cursors with their read-out, the figures of each trace over the
// whole capture (or between the cursors) with the step response of speed,
// the spectra of speed and torque, and the shown captures as CSV, PNG, PDF or
// on paper. It sends nothing to the drive.

#include "common/childwindow.h"
#include "drive/wave/analysistables.h"
#include "drive/wave/captureanalysis.h"

#include <QSize>
#include <functional>
#include <optional>

class PlotView;
class QComboBox;
class QDragEnterEvent;
class QDropEvent;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPagedPaintDevice;
class QPushButton;
class QStackedWidget;
class QTableView;
struct AnalysisDocument;

class WaveAnalysisWindow : public ChildWindow {
    Q_OBJECT
public:
    // motorTypeUnits: the torque scale of the motor type now set (a waveform
    // file opened here takes it, as in the waveform monitor).
    WaveAnalysisWindow(CaptureList &captures, std::function<int()> motorTypeUnits, QWidget *parent = nullptr);

    // --- captures ---------------------------------------------------------
    QLabel *LblEmpty;       // says how captures come in, while there are none
    QListWidget *LstCaptures;
    QPushButton *CmdRename;
    QPushButton *CmdRemove;
    QPushButton *CmdOpen;
    QPushButton *CmdSave;
    // --- view ---------------------------------------------------------------
    QComboBox *CmbView;     // "Time", "Spectrum"
    QComboBox *CmbSpan;     // "Between Cursors", "Whole Capture" (the default)
    QComboBox *CmbBand;     // "Settle ±2 %", "Settle ±5 %"
    QComboBox *CmbWindow;   // "Rectangular", "Hann"
    QPushButton *CmdFit;
    QPushButton *CmdHelp;
    QStackedWidget *Pages;
    PlotView *TimePlot;
    PlotView *SpectrumPlot;
    // --- read-outs ------------------------------------------------------------
    QLabel *LblCursors;     // t1, t2, Δt, 1/Δt (or f in the spectrum)
    QTableView *TblCursor;
    QTableView *TblMeasure;
    // --- export -----------------------------------------------------------------
    QPushButton *CmdCsv;
    QPushButton *CmdPng;
    QPushButton *CmdPdf;
    QPushButton *CmdPrint;

    CaptureAnalysis &analysis() { return m_analysis; }
    MeasurementTable &measurements() { return m_measure; }
    CursorTable &cursorValues() { return m_cursor; }

    // Opens a waveform file as a new capture; false (after a message) when it
    // is not one.
    bool openWaveFile(const QString &path);
    bool saveWaveFile(int captureId, const QString &path);
    bool exportCsv(const QString &path);
    bool exportPng(const QString &path, const QSize &size = {1600, 1000});
    bool exportPdf(const QString &path);
    // The plot shown with its tables, as the PDF and the printer take it.
    AnalysisDocument document() const;
    // What the help says of the figures, and the PNG's description.
    QString helpText() const;

    // The id of the capture selected in the list, or 0.
    int selectedCapture() const;

    QSize sizeHint() const override;

    // Replace the dialogs (tests script the user's choice here).
    std::function<QString(bool save, const QString &filter)> chooseFile;
    std::function<std::optional<QSize>()> chooseImageSize;

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void buildControls();
    void refreshList();
    void capturesChanged();
    void showSpectra();
    void fitTables();
    void showCursorLine();
    void listItemChanged(QListWidgetItem *item);
    QString choose(bool save, const QString &filter, const QString &extension);
    void tell(const QString &text);
    void saveSelected();
    void openChosen();
    void exportChosen(int kind);
    void printPlot();
    PlotView &shownPlot() const;

    CaptureList &m_captures;
    std::function<int()> m_motorTypeUnits;
    CaptureAnalysis m_analysis;
    MeasurementTable m_measure;
    CursorTable m_cursor;
    QList<int> m_shownIds;
    bool m_filling = false;
    QSize m_imageSize{1600, 1000};
};
