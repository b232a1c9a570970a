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
#include "drive/wave/stepresponse.h"

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
// a unit for R = 0 (a type that matches no entry) or below, as the waveform
// monitor's torque plot scales it.
double TorquePercent(qint16 value, int motorTypeUnits);
// The size of one unit: 0.75 rpm; 100 / R % (1 % for an unknown type).
double TorqueResolution(int motorTypeUnits);
// The decimals a figure of speed or torque deserves (one for speed, and for
// the torque of every known motor type).
int SpeedDecimals();
int TorqueDecimals(int motorTypeUnits);
// The torque's scale in words, for headers and exports: "100 % = 900 units
// (motor type 0)"-like texts: "% of rated torque, 900 units = 100 %", or "%,
// 1 unit = 1 % (motor type not known)".
QString TorqueScaleText(int motorTypeUnits);
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
// "Time [ms]", then for each capture "<name> Speed [rpm]", "<name> Torque [<the
// torque's scale>]", "<name> <status signal> [0/1]"; then one row a distinct
// sample time, in order, with an empty cell where a capture has no sample at
// that time (when time bases or trigger positions differ). Numbers with a
// point as decimal separator, no padding, with the decimals their resolution
// supports (speed and torque of a known motor type: one).
QByteArray CapturesCsv(const QList<NamedCapture> &captures);

}  // namespace WaveAnalysis
