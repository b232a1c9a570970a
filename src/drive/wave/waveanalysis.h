#pragma once
// The rules behind the "Waveform Analysis" window, free of any window: a
// capture in physical units, figures over a span of samples, the step
// response of a trace, its spectrum, and the shown captures as CSV.
//
// Units: the drive's speed unit is 0.75 rpm; R torque units are 100 %, R from
// the motor type (parameter 57; a type that matches no entry leaves 1 unit as
// 1 %). A grid division of the waveform monitor is 12.5 samples, so the sample
// period is the time base over 12.5 (4, 8, 16 or 40 ms). Time runs from the
// trigger sample: the drive records the samples before the trigger up to the
// one nearest to where the trigger marker stands, 25.25 + 2.5 x position, so
// the trigger sample is that number rounded (25 at position 0, 63 at 15).

#include "drive/drivedata.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>
#include <vector>

namespace WaveAnalysis {

// ---- units ------------------------------------------------------------------

// Milliseconds between samples for a time base position (0..3; others held).
double SamplePeriodMs(int timeBase);
// The sample the trigger was taken at for a trigger position (0..30; others
// held): 25.25 + 2.5 x position, rounded. A whole number.
double TriggerSample(int trigPos);
// Time of sample slot s in ms from the trigger (0 at the trigger sample).
double SampleTimeMs(int timeBase, int trigPos, int slot);
inline constexpr double RpmPerSpeedUnit = 0.75;
double SpeedRpm(qint16 value);
// Torque in %: 100 / R a unit for R > 0 (WaveGeometry's MotorTypeUnits), 1 %
// a unit for R = 0 (a type that matches no entry) or below.
double TorquePercent(qint16 value, int motorTypeUnits);
// The name of the status signal recorded, "Brake", "Trq.Lmt.", "Spd.Lmt.",
// "Exes.Devi." or "InPos" (held to the list, WaveStatusSignals).
QString StatusSignalName(int status);

// A capture's samples in physical units, 128 of each.
struct PhysicalTrace {
    std::vector<double> timeMs;
    std::vector<double> speedRpm;
    std::vector<double> torquePercent;
    std::vector<int> status;  // 0 or 1 (any other value recorded counts as 1)
    double periodMs = 0;
};
PhysicalTrace ToPhysical(const Capture &capture, int motorTypeUnits);

// ---- figures over a span -------------------------------------------------

struct SpanFigures {
    int count = 0;
    double minimum = 0;
    double maximum = 0;
    double mean = 0;
    double rms = 0;
    double peakToPeak = 0;
};
// The figures of y[from..to] (both included; the ends may come in either
// order and are held to the samples); nothing for an empty y. Values that are
// not finite numbers are left out (and not counted); nothing when no value is
// left.
std::optional<SpanFigures> FiguresOver(const std::vector<double> &y, int from, int to);

// Linear interpolation of y at time t over the sample times, which rise
// (held to the ends); nothing for an empty trace or a t that is not a number.
// Only the samples both vectors have count.
std::optional<double> ValueAt(const std::vector<double> &timeMs, const std::vector<double> &y, double t);
// The sample nearest to time t (held to the samples; the first of two as near);
// -1 for an empty trace or a t that is not a number.
int NearestSample(const std::vector<double> &timeMs, double t);

// ---- step response ----------------------------------------------------------

// Why a figure of the step response could not be found.
enum class StepMissing {
    None,          // the figure is there
    NoStep,        // the span holds no step: flat, or only noise or ripple
    NoCrossing,    // the trace never reaches the level the figure needs
    NeverSettles,  // the trace does not stay within the band before the span ends
    TooShort,      // too few samples to tell a level before and after
};

struct StepFigure {
    std::optional<double> value;
    StepMissing missing = StepMissing::NoStep;
};

struct StepResponse {
    StepMissing step = StepMissing::NoStep;  // None when a step was found
    StepFigure before;         // the steady value before the step
    StepFigure after;          // the steady value after it
    StepFigure startMs;        // where the step begins
    StepFigure riseTimeMs;     // 10 % to 90 % of the step
    StepFigure overshootPercent;  // beyond the final value, in % of the step (0 when none)
    StepFigure settlingTimeMs;    // from the start until the trace stays within the band
};

// The step response of y over the samples from..to (both included, either
// order, held to the samples; only the samples both vectors have count), with
// the settling band in % of the step (2 or 5, any value above 0 serves; a band
// that is not above 0 lets nothing settle). The level before the step comes
// from the first tenth of the span, the level after from the last tenth (the
// final stretch, at least 3 samples each). When the trace still moves on
// towards the final value across the final stretch, that value is not reached
// inside the span: rise time and overshoot are then NoCrossing and settling
// NeverSettles. A span with a value that is not a finite number holds no
// step. The definitions in full are with the code.
StepResponse AnalyseStep(const std::vector<double> &timeMs, const std::vector<double> &y, int from, int to,
                         double settlingBandPercent);

// A figure's missing reason in words, as the measurement table shows it
// ("no step", "not reached", "does not settle", "too few samples").
QString MissingText(StepMissing missing);

// ---- spectrum -----------------------------------------------------------------

enum class SpectrumWindow { Rectangular, Hann };

struct Spectrum {
    std::vector<double> frequencyHz;  // 0 .. half the sample rate
    std::vector<double> magnitudeDb;  // 20 log10 of the amplitude, in the trace's unit (1 unit = 0 dB)
    int peakIndex = -1;               // the largest bin above 0 Hz, -1 when none
};

// The single-sided amplitude spectrum of y sampled every periodMs, the window
// applied and its gain made good, so that a sine of amplitude A at a bin's
// frequency reads 20 log10(A). The mean is kept (bin 0); it is taken out
// before the window is applied, so that the window does not spread it into
// the bins next to 0 Hz. An amplitude below 1e-10 (all zeros) reads -200 dB,
// never minus infinity. A bin is a peak only above rounding noise (a
// billionth of the largest value, and 1e-10), so a flat trace has none.
// Nothing for fewer than 4 samples, a value that is not a finite number or a
// period that is not above 0. Computed with FFTW.
std::optional<Spectrum> AmplitudeSpectrum(const std::vector<double> &y, double periodMs, SpectrumWindow window);

// ---- export --------------------------------------------------------------------

struct NamedCapture {
    QString name;
    Capture capture;
    int motorTypeUnits = 0;
};

// The shown captures as CSV (the program's CSV rules): a header row
// "Time [ms]", then for each capture "<name> Speed [rpm]", "<name> Torque [%]",
// "<name> <status signal> [0/1]"; then one row a distinct sample time, in
// order, with an empty cell where a capture has no sample at that time (when
// time bases or trigger positions differ). Numbers with a point as decimal
// separator.
QByteArray CapturesCsv(const QList<NamedCapture> &captures);

}  // namespace WaveAnalysis
