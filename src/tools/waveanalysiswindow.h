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
#include <optional>

class FileChooser;
class ParameterModel;
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
    // A waveform file opened here takes the torque scale of the motor type
    // params has now, as in the waveform monitor; files are chosen through
    // files. All three outlive the window.
    WaveAnalysisWindow(CaptureList &captures, const ParameterModel &params, FileChooser &files,
                       QWidget *parent = nullptr);

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
    std::optional<QSize> chooseImageSize();
    void tell(const QString &text);
    void saveSelected();
    void openChosen();
    void exportChosen(int kind);
    void printPlot();
    PlotView &shownPlot() const;

    CaptureList &m_captures;
    const ParameterModel &m_params;
    FileChooser &m_files;
    CaptureAnalysis m_analysis;
    MeasurementTable m_measure;
    CursorTable m_cursor;
    QList<int> m_shownIds;
    bool m_filling = false;
    QSize m_imageSize{1600, 1000};
};
