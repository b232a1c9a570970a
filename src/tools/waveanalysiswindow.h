#pragma once
// The "Waveform Analysis" window: the captures of this session overlaid on
// speed, torque and status plots in physical units, two cursors with their
// read-out, the figures of each trace between the cursors (or over the whole
// capture) with the step response of speed, the spectra of speed and torque,
// and the shown captures as CSV, PNG, PDF or on paper. It sends nothing to
// the drive.

#include "common/childwindow.h"

#include <QStringList>
#include <functional>

class CaptureList;
class PlotStack;
class QCheckBox;
class QComboBox;
class QDragEnterEvent;
class QDropEvent;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPagedPaintDevice;
class QPainter;
class QPushButton;
class QStackedWidget;
class QTableWidget;

class WaveAnalysisWindow : public ChildWindow {
    Q_OBJECT
public:
    explicit WaveAnalysisWindow(CaptureList &captures, QWidget *parent = nullptr);

    // --- captures ---------------------------------------------------------
    QLabel *LblEmpty;       // says how captures come in, while there are none
    QListWidget *LstCaptures;
    QPushButton *CmdRename;
    QPushButton *CmdRemove;
    QPushButton *CmdOpen;
    QPushButton *CmdSave;
    // --- view ---------------------------------------------------------------
    QComboBox *CmbView;     // "Time", "Spectrum"
    QComboBox *CmbSpan;     // "Between Cursors", "Whole Capture"
    QComboBox *CmbBand;     // "Settle ±2 %", "Settle ±5 %"
    QComboBox *CmbWindow;   // "Rectangular", "Hann"
    QPushButton *CmdFit;
    QStackedWidget *Pages;
    PlotStack *TimePlot;
    PlotStack *SpectrumPlot;
    // --- read-outs ------------------------------------------------------------
    QLabel *LblCursors;     // t1, t2, Δt, 1/Δt (or f in the spectrum)
    QTableWidget *TblCursor;
    QTableWidget *TblMeasure;
    // --- export -----------------------------------------------------------------
    QPushButton *CmdCsv;
    QPushButton *CmdPng;
    QPushButton *CmdPdf;
    QPushButton *CmdPrint;

    // Opens a waveform file as a new capture; false (after a message) when it
    // is not one.
    bool openWaveFile(const QString &path);
    bool saveWaveFile(int captureId, const QString &path);
    bool exportCsv(const QString &path);
    bool exportPng(const QString &path);
    bool exportPdf(const QString &path);
    // Draws the plot as shown and the measurement table onto a page device.
    void renderPages(QPagedPaintDevice &device);

    // The id of the capture selected in the list, or 0.
    int selectedCapture() const;
    // A table's rows as tab-separated lines with a header.
    static QString tableText(const QTableWidget *table);

    // Replaces the file dialog (tests script the user's choice here).
    std::function<QString(bool save, const QString &filter)> chooseFile;

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void buildControls();
    void refreshList();
    void refreshPlots();
    void refreshReadouts();
    void fillCursorTable();
    void fillSpectrumTable();
    void fillMeasureTable();
    void listItemChanged(QListWidgetItem *item);
    QString choose(bool save, const QString &filter, const QString &extension);
    void tell(const QString &text);
    void cannotWrite(const QString &path, const QString &reason);
    void saveSelected();
    void openChosen();
    void exportChosen(int kind);
    void printPlot();

    CaptureList &m_captures;
    QList<int> m_shownIds;
    bool m_filling = false;
    bool m_fitted = false;
};
