#pragma once
// The geometry of the waveform window in twips (15 to a pixel): where the
// plots, the zero-line and trigger markers and the dial knobs stand, how a
// sample becomes a point of a plot, and how mouse and keyboard move the
// markers and knobs. Sub-pixel values (a knob Top of 847.5) are kept as they
// are; only drawing rounds to the nearest pixel.

#include "drive/wave/wavequantities.h"

#include <QString>
#include <optional>

namespace WaveGeometry {

// Plots: speed, torque, status.
inline constexpr double PlotLeft = 120;
inline constexpr double PlotWidth = 3735;
inline constexpr double PlotTop[3] = {360, 2760, 5160};
inline constexpr double PlotHeight[3] = {2235, 2235, 750};

// Zero-line markers "<" and their strips.
inline constexpr double MarkerSize = 255;  // zero-line and trigger markers are square
inline constexpr double ZeroLeft = 3840;
inline constexpr double StripTop[2] = {270, 2640};
inline constexpr double StripWidth = 300;
inline constexpr double StripHeight = 2430;
inline constexpr int ZeroMin = -15;
inline constexpr int ZeroMax = 15;
inline constexpr double ZeroStep = 75;

// Trigger marker "V" and its strip.
inline constexpr double TrigTop = 120;
inline constexpr double TrigStripLeft = 660;
inline constexpr double TrigStripTop = 90;
inline constexpr double TrigStripWidth = 2700;
inline constexpr int TrigMin = 0;
inline constexpr int TrigMax = 30;

// A dial: the circle, the knob and the position captions down its right side.
inline constexpr double CircleLeft = 60;
inline constexpr double CircleTop = 360;
inline constexpr double CircleSize = 615;
inline constexpr double KnobSize = 135;
inline constexpr double CaptionTop[4] = {195, 435, 675, 900};
inline constexpr double CaptionHeight = 225;
inline constexpr int DialMin = 0;
inline constexpr int DialMax = 3;

// --- scale ------------------------------------------------------------------

// Pixels per drive unit of the speed plot by dial position: the factors are
// single-precision numbers widened to double (0.0075 is 0.007499999832...).
double SpeedFactor(int dialPos);
// The torque factor by dial position, before the motor type.
double TorqueDialFactor(int dialPos);
// MotorTypeUnits, the torque units that make 100 % for a motor type, comes
// with wavequantities.h.
// The torque factor: the dial's, times 100 / R for a known motor type, where
// the type is the text of parameter 57 read as a number.
double TorqueFactor(int dialPos, const QString &motorTypeText);

// --- plot points ----------------------------------------------------------

// Zero line of a plot: marker Top - plot Top + half the marker, rounded half
// to even (1118 for the speed plot at offset 0).
int ZeroLineY(double markerTop, double plotTop);
// y of a sample of series k (1 present, 2 previous): y0 - (floor(v f) - (k - 1)) x 15.
double TracePointY(int y0, qint16 value, double factor, int series);
// x of sample slot s: 30 s.
inline constexpr double SampleX(int slot) { return 30.0 * slot; }

// --- zero lines -------------------------------------------------------------

inline constexpr int ClampZero(int z) { return z < ZeroMin ? ZeroMin : (z > ZeroMax ? ZeroMax : z); }
// Top of the marker of plot c at offset z.
inline constexpr double ZeroMarkerTop(int c, int z) { return 2400.0 * c + 1350 + ZeroStep * z; }
// The marker Top while dragged, or nothing where the mouse leaves the plot's band.
std::optional<double> ZeroDragTop(int c, double markerTop, double mouseY);
// The offset a dragged marker snaps to when released (not yet clamped).
int ZeroFromMarkerTop(int c, double markerTop);
// A click on the strip: at or below the marker moves down to the next even
// offset, above it up to the next even offset (not yet clamped).
int ZeroStripStep(int z, bool atOrBelow);

// --- trigger position -------------------------------------------------------

inline constexpr int ClampTrig(int t) { return t < TrigMin ? TrigMin : (t > TrigMax ? TrigMax : t); }
inline constexpr double TrigMarkerLeft(int t) { return (t - 15) * 75.0 + 1875; }
std::optional<double> TrigDragLeft(double markerLeft, double mouseX);
int TrigFromMarkerLeft(double markerLeft);
// A click on the strip: at or right of the marker moves right to the next odd
// position, left of it to the previous odd one (not yet clamped).
int TrigStripStep(int t, bool atOrRight);

// --- dial knobs ---------------------------------------------------------------

// Knob Top at a dial position: 390, 510, 720, 847.5.
double KnobTop(int dialPos);
// The circle rule: the knob's Left on the right half of a circle about the
// dial's centre, for a knob Top. PlaceKnob rounds it (halves to even); a
// drag uses it as computed.
double KnobLeft(double knobTop, bool rounded);
// Knob Top while dragged, or nothing outside the band 450..915.
std::optional<double> KnobDragTop(double knobTop, double mouseY);
// The position a released knob snaps to (thresholds 450, 622.5, 787.5).
int DialFromKnobTop(double knobTop);
// Up (-1) or Down (+1) on a focused dial; a step out of 0..3 is undone.
int DialStep(int dialPos, int delta);

}  // namespace WaveGeometry
