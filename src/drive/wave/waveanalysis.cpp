#include "waveanalysis.h"

#include "drive/csvfiles.h"
#include "drive/plotscale.h"
#include "drive/wave/wavequantities.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <numbers>

namespace WaveAnalysis {

namespace {

// The time base positions as ms a sample: 0.05, 0.1, 0.2, 0.5 s a division
// of 12.5 samples. Whole numbers, so every sample time is one too.
constexpr double PeriodsMs[4] = {4, 8, 16, 40};

// The dB floor: amplitudes below 1e-10 read -200 dB.
constexpr double FloorAmplitude = 1e-10;
constexpr double RoundingRelative = 1e-9;
// Two amplitudes this close are the same level.
constexpr double TieRelative = 1e-9;

// The ends held to 0..count - 1 and put in order.
std::pair<int, int> heldSpan(int from, int to, int count)
{
    from = std::clamp(from, 0, count - 1);
    to = std::clamp(to, 0, count - 1);
    if (from > to) std::swap(from, to);
    return {from, to};
}

// A time as the CSV holds it: whole ms, or as many decimals as it needs.
QString timeText(double ms) { return QString::number(ms, 'g', 12); }

// The FFTW planner is not reentrant; plans are made and destroyed under this.
std::mutex &plannerMutex()
{
    static std::mutex m;
    return m;
}

}  // namespace

// ---- units ------------------------------------------------------------------

double SamplePeriodMs(int timeBase) { return PeriodsMs[std::clamp(timeBase, 0, 3)]; }

double TriggerSample(int trigPos)
{
    // As the drive records it: the samples before the trigger are the
    // marker's place rounded (x.25 or x.75, never a tie).
    return std::round(25.25 + 2.5 * std::clamp(trigPos, 0, 30));
}

double SampleTimeMs(int timeBase, int trigPos, int slot)
{
    return (slot - TriggerSample(trigPos)) * SamplePeriodMs(timeBase);
}

double SpeedRpm(qint16 value) { return value * RpmPerSpeedUnit; }

double TorquePercent(qint16 value, int motorTypeUnits)
{
    return motorTypeUnits > 0 ? value * 100.0 / motorTypeUnits : double(value);
}

double TorqueResolution(int motorTypeUnits) { return motorTypeUnits > 0 ? 100.0 / motorTypeUnits : 1.0; }

int SpeedDecimals() { return PlotScale::DecimalsFor(RpmPerSpeedUnit); }

int TorqueDecimals(int motorTypeUnits) { return PlotScale::DecimalsFor(TorqueResolution(motorTypeUnits)); }

QString TorqueScaleText(int motorTypeUnits)
{
    if (motorTypeUnits > 0) return QStringLiteral("% of rated torque, %1 units = 100 %").arg(motorTypeUnits);
    return QStringLiteral("%, 1 unit = 1 % (motor type not known)");
}

QString StatusSignalName(int status)
{
    const QStringList names = WaveStatusSignals();
    return names[std::clamp(status, 0, int(names.size()) - 1)];
}

PhysicalTrace ToPhysical(const Capture &capture, int motorTypeUnits)
{
    PhysicalTrace t;
    t.periodMs = SamplePeriodMs(capture.timeBase);
    t.timeMs.reserve(CaptureSamples);
    t.speedRpm.reserve(CaptureSamples);
    t.torquePercent.reserve(CaptureSamples);
    t.status.reserve(CaptureSamples);
    for (int s = 0; s < CaptureSamples; ++s) {
        t.timeMs.push_back(SampleTimeMs(capture.timeBase, capture.trigPos, s));
        t.speedRpm.push_back(SpeedRpm(capture.speed[s]));
        t.torquePercent.push_back(TorquePercent(capture.torque[s], motorTypeUnits));
        t.status.push_back(capture.status[s] != 0 ? 1 : 0);
    }
    return t;
}

// ---- figures over a span -------------------------------------------------

std::optional<SpanFigures> FiguresOver(const std::vector<double> &y, int from, int to)
{
    if (y.empty()) return std::nullopt;
    const auto [first, last] = heldSpan(from, to, int(y.size()));
    SpanFigures f;
    double sum = 0;
    double squares = 0;
    for (int i = first; i <= last; ++i) {
        const double v = y[i];
        if (!std::isfinite(v)) continue;
        if (f.count == 0 || v < f.minimum) f.minimum = v;
        if (f.count == 0 || v > f.maximum) f.maximum = v;
        sum += v;
        squares += v * v;
        ++f.count;
    }
    if (f.count == 0) return std::nullopt;
    f.mean = sum / f.count;
    f.rms = std::sqrt(squares / f.count);
    f.peakToPeak = f.maximum - f.minimum;
    return f;
}

std::optional<double> ValueAt(const std::vector<double> &timeMs, const std::vector<double> &y, double t)
{
    const int n = int(std::min(timeMs.size(), y.size()));
    if (n == 0 || std::isnan(t)) return std::nullopt;
    if (t <= timeMs[0]) return y[0];
    // The first sample at or after t; a walk rather than a search, as the
    // samples are few and a search would need the times in order.
    for (int i = 1; i < n; ++i) {
        if (timeMs[i] < t) continue;
        const double span = timeMs[i] - timeMs[i - 1];
        const double f = span > 0 ? std::clamp((t - timeMs[i - 1]) / span, 0.0, 1.0) : 1.0;
        return y[i - 1] + f * (y[i] - y[i - 1]);
    }
    return y[n - 1];
}

int NearestSample(const std::vector<double> &timeMs, double t)
{
    if (timeMs.empty() || std::isnan(t)) return -1;
    int best = 0;
    double bestDistance = std::abs(timeMs[0] - t);
    for (int i = 1; i < int(timeMs.size()); ++i) {
        const double d = std::abs(timeMs[i] - t);
        // A time that is not a number is never nearer (d is NaN, and so was
        // a first best that was not a number, which any real distance beats).
        if (d < bestDistance || (std::isnan(bestDistance) && !std::isnan(d))) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}

// ---- spectrum -----------------------------------------------------------------

std::optional<Spectrum> AmplitudeSpectrum(const std::vector<double> &y, double periodMs, SpectrumWindow window)
{
    const int n = int(y.size());
    if (n < 4 || !(periodMs > 0) || !std::isfinite(periodMs)) return std::nullopt;
    double sum = 0;
    double largest = 0;
    for (double v : y) {
        if (!std::isfinite(v)) return std::nullopt;
        sum += v;
        largest = std::max(largest, std::abs(v));
    }
    const double mean = sum / n;

    // The periodic Hann window (a sine of whole periods over the n samples
    // falls on one bin and its two neighbours), whose gain is its mean.
    std::vector<double> weights(n, 1.0);
    if (window == SpectrumWindow::Hann)
        for (int i = 0; i < n; ++i) weights[i] = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / n);
    double gain = 0;
    for (double w : weights) gain += w;

    const int bins = n / 2 + 1;
    double *in = fftw_alloc_real(n);
    fftw_complex *out = fftw_alloc_complex(bins);
    fftw_plan plan = nullptr;
    if (in && out) {
        std::lock_guard lock(plannerMutex());
        plan = fftw_plan_dft_r2c_1d(n, in, out, FFTW_ESTIMATE);
    }
    std::optional<Spectrum> result;
    if (plan) {
        for (int i = 0; i < n; ++i) in[i] = (y[i] - mean) * weights[i];
        fftw_execute(plan);
        Spectrum s;
        s.frequencyHz.resize(bins);
        s.magnitudeDb.resize(bins);
        const double peakFloor = std::max(FloorAmplitude, RoundingRelative * largest);
        double peakAmplitude = 0;
        for (int k = 0; k < bins; ++k) {
            // Both halves of a two-sided spectrum meet in one bin, except at
            // 0 Hz and at half the sample rate.
            const bool single = k == 0 || 2 * k == n;
            double amplitude = std::hypot(out[k][0], out[k][1]) * (single ? 1.0 : 2.0) / gain;
            if (k == 0) amplitude = std::abs(mean);
            s.frequencyHz[k] = k * 1000.0 / (n * periodMs);
            s.magnitudeDb[k] = 20 * std::log10(std::max(amplitude, FloorAmplitude));
            // Of two bins that read the same, the higher is the peak: a tone at
            // half the sample rate leaks as much into the bin below it as it
            // reads in its own (through the window), and only its own is its
            // frequency.
            if (k > 0 && amplitude > peakFloor && amplitude >= peakAmplitude * (1 - TieRelative)) {
                peakAmplitude = std::max(peakAmplitude, amplitude);
                s.peakIndex = k;
            }
        }
        result = std::move(s);
    }
    {
        std::lock_guard lock(plannerMutex());
        if (plan) fftw_destroy_plan(plan);
    }
    fftw_free(in);
    fftw_free(out);
    return result;
}

// ---- export --------------------------------------------------------------------

QByteArray CapturesCsv(const QList<NamedCapture> &captures)
{
    QList<QStringList> rows;
    QStringList header{QStringLiteral("Time [ms]")};
    // Every capture's samples by time; sample times are whole ms, so a key in
    // microseconds matches equal times exactly.
    std::map<qint64, std::vector<std::optional<int>>> byTime;
    std::vector<PhysicalTrace> traces;
    traces.reserve(captures.size());
    for (int c = 0; c < captures.size(); ++c) {
        const NamedCapture &nc = captures[c];
        header << nc.name + QStringLiteral(" Speed [rpm]")
               << nc.name + QStringLiteral(" Torque [") + TorqueScaleText(nc.motorTypeUnits) + QLatin1Char(']')
               << nc.name + QLatin1Char(' ') + StatusSignalName(nc.capture.setup.status) + QStringLiteral(" [0/1]");
        traces.push_back(ToPhysical(nc.capture, nc.motorTypeUnits));
        for (int s = 0; s < CaptureSamples; ++s) {
            auto &row = byTime[std::llround(traces.back().timeMs[s] * 1000)];
            row.resize(captures.size());
            row[c] = s;
        }
    }
    rows << header;
    for (const auto &[micro, row] : byTime) {
        QStringList fields{timeText(micro / 1000.0)};
        for (int c = 0; c < captures.size(); ++c) {
            const std::optional<int> s = c < int(row.size()) ? row[c] : std::nullopt;
            if (s) {
                const PhysicalTrace &t = traces[c];
                fields << PlotScale::Fixed(t.speedRpm[*s], SpeedDecimals())
                       << PlotScale::Fixed(t.torquePercent[*s], TorqueDecimals(captures[c].motorTypeUnits))
                       << QString::number(t.status[*s]);
            } else {
                fields << QString() << QString() << QString();
            }
        }
        rows << fields;
    }
    return CsvText(rows);
}

}  // namespace WaveAnalysis
