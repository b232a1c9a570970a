#include "wavegeometry.h"

#include "drive/numtext.h"

#include <cmath>

namespace WaveGeometry {

namespace {
constexpr float SpeedFactors[4] = {0.0075f, 0.01875f, 0.0375f, 0.075f};
constexpr float TorqueFactors[4] = {0.125f, 0.25f, 0.5f, 1.25f};
constexpr double Half = MarkerSize / 2;  // 127.5
// The centre of a dial, whole twips: floor(Left + Width / 2), floor(Top + Height / 2).
const double CentreX = std::floor(CircleLeft + CircleSize / 2);
const double CentreY = std::floor(CircleTop + CircleSize / 2);
// The radius the knob rides on: 255.
constexpr double KnobRadius = (CircleSize - KnobSize) / 2 + 15;

int clampIndex(int i) { return i < 0 ? 0 : (i > 3 ? 3 : i); }
bool isOdd(int v) { return v % 2 != 0; }
}  // namespace

double SpeedFactor(int dialPos) { return static_cast<double>(SpeedFactors[clampIndex(dialPos)]); }

double TorqueDialFactor(int dialPos) { return static_cast<double>(TorqueFactors[clampIndex(dialPos)]); }

double TorqueFactor(int dialPos, const QString &motorTypeText)
{
    double f = TorqueDialFactor(dialPos);
    const int r = MotorTypeUnits(ValText(motorTypeText));
    if (r != 0) f *= 100.0 / r;
    return f;
}

int ZeroLineY(double markerTop, double plotTop)
{
    return static_cast<int>(RoundHalfEven(markerTop - plotTop + Half));
}

double TracePointY(int y0, qint16 value, double factor, int series)
{
    return y0 - (std::floor(value * factor) - (series - 1)) * 15.0;
}

std::optional<double> ZeroDragTop(int c, double markerTop, double mouseY)
{
    const double m = markerTop + mouseY;
    const double half = RoundHalfEven(Half);  // 128
    if (m + 15 >= PlotTop[c] && m - 15 <= PlotTop[c] + PlotHeight[c]) return m - half;
    return std::nullopt;
}

int ZeroFromMarkerTop(int c, double markerTop)
{
    return static_cast<int>(RoundHalfEven((markerTop - (1350 + 2400.0 * c)) / ZeroStep));
}

int ZeroStripStep(int z, bool atOrBelow)
{
    if (atOrBelow) {
        const int n = z + 2;
        return isOdd(n) ? n - 1 : n;
    }
    const int n = z - 2;
    return isOdd(n) ? n + 1 : n;
}

std::optional<double> TrigDragLeft(double markerLeft, double mouseX)
{
    const double m = markerLeft + mouseX;
    const double half = RoundHalfEven(Half);
    if (m + 15 >= half + 760 && m - 15 <= half + 2985) return m - half;
    return std::nullopt;
}

int TrigFromMarkerLeft(double markerLeft)
{
    return static_cast<int>(RoundHalfEven((markerLeft - 1875) / 75 + 15));
}

int TrigStripStep(int t, bool atOrRight)
{
    if (atOrRight) return isOdd(t) ? t + 2 : t + 1;
    return isOdd(t) ? t - 2 : t - 1;
}

double KnobTop(int dialPos)
{
    switch (dialPos) {
    case 0: return CaptionTop[0] + CaptionHeight - 30;
    case 1: return CaptionTop[1] + 75;
    case 2: return CaptionTop[2] + 45;
    default: return CaptionTop[2] + CaptionHeight / 2 + 60;
    }
}

double KnobLeft(double knobTop, bool rounded)
{
    const double ky = std::floor(knobTop + KnobSize / 2);
    const double dy = CentreY - ky + 15;
    // A knob Top within the drag band keeps dy within the radius; beyond it
    // the knob stands on the centre line rather than at an imaginary place.
    const double d2 = KnobRadius * KnobRadius - dy * dy;
    const double left = std::sqrt(d2 > 0 ? d2 : 0) + CentreX - KnobSize / 2;
    return rounded ? RoundHalfEven(left) : left;
}

std::optional<double> KnobDragTop(double knobTop, double mouseY)
{
    const double m = knobTop + mouseY;
    if (m >= CaptionTop[0] + CaptionHeight + 30 && m <= CaptionTop[2] + CaptionHeight + 15) return m - KnobSize / 2;
    return std::nullopt;
}

int DialFromKnobTop(double kt)
{
    if (kt < CaptionTop[1] + 15) return 0;
    if (kt < CaptionTop[1] + CaptionHeight / 2 + 75) return 1;
    if (kt < CaptionTop[2] + CaptionHeight / 2) return 2;
    return 3;
}

int DialStep(int dialPos, int delta)
{
    const int n = dialPos + delta;
    return n < DialMin || n > DialMax ? dialPos : n;
}

}  // namespace WaveGeometry
