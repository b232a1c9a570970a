#pragma once
// The waveform analysis's plots, made from the analysis model for the window,
// its exports and the commissioning report alike: the time view (speed,
// torque and status lanes in physical units) and the spectra, each capture in
// its own colour; and the words that go with a capture (its time base,
// trigger, scales).

#include "common/plotview.h"
#include "drive/wave/captureanalysis.h"

#include <QColor>
#include <QStringList>

// A capture keeps its colour while it is listed.
QColor CaptureColour(int id);

// Axes, cursors and interaction of the two plots.
void SetUpTimePlot(PlotView &plot);
void SetUpSpectrumPlot(PlotView &plot);

// The lanes of the captures given (shown ones, or one for the report), and
// the times or frequencies the cursors snap to.
void ShowTimeLanes(PlotView &plot, const CaptureAnalysis &analysis, const QList<const ListedCapture *> &captures);
void ShowSpectrumLanes(PlotView &plot, const CaptureAnalysis &analysis, const QList<const ListedCapture *> &captures);

// What a capture is, in a few lines: when and where it was taken, its time
// base, its trigger (source, edge, position, the sample and the values at
// it) and the scale of its torque.
QStringList CaptureFacts(const ListedCapture &c, const CaptureAnalysis &analysis);

// Where the cursors go for a capture: the step's start and its settling
// point when a step is found, else the ends of the capture.
std::pair<double, double> StepCursors(const CaptureAnalysis &analysis, int captureId);
