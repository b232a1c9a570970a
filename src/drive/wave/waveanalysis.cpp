#include "waveanalysis.h"

#include "drive/csvfiles.h"
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

// ---- step response: the rules ---------------------------------------------
//
// Over the n samples of the span:
// - The final stretch and the first stretch are the last and the first
//   max(3, n / 10) samples. The level before is the mean of the first stretch,
//   the level after the mean of the final stretch; the noise before and after
//   are their standard deviations. Fewer than MinStepSamples samples cannot
//   tell two levels apart (TooShort).
// - The step is after - before. It is no step when its size is not above
//   StepOverNoise times the sum of the two noises: noise, or ripple that the
//   two stretches see differently (a sine over whole periods gives two means
//   closer together than its spread), or a flat line (no size, no noise).
// - The step starts at the last sample before the trace first leaves the band
//   about the level before, towards the step. The band is 3 x the noise
//   before, at least 1 % of the step. That sample's own time is the start.
// - The final value must be reached inside the span: the trace may not still
//   move on towards it across the final stretch. It does when the mean of the
//   stretch's second half lies beyond the mean of its first half, towards the
//   step, by more than 1 % of the step and more than three standard
//   deviations of that difference for the trace's noise: the larger of the
//   noise before and the spread within the two halves (so that ripple which
//   the halves happen to cut unevenly is not taken for a trace on its way).
//   Then rise time and overshoot are not reached (NoCrossing) and the trace
//   does not settle (NeverSettles).
// - Rise time: from the first time the trace reaches 10 % of the step, after
//   the start, to the first time after that it reaches 90 %. Each time is
//   interpolated linearly between the sample before and the sample that
//   reaches the level.
// - Overshoot: the largest excursion beyond the level after, towards the step,
//   from the start on, in % of the step's size; 0 when the trace never goes
//   beyond.
// - Settling time: from the start to the time the trace last enters the band
//   of +-band % of the step's size about the level after, interpolated between
//   the last sample outside and the next. When the last sample outside lies in
//   the final stretch, the trace is still outside in the stretch that gives
//   the level after, so it does not settle inside the span (NeverSettles).
// A step down is treated as a step up: every level is measured towards the
// step.
constexpr int MinStepSamples = 8;
constexpr double StepOverNoise = 4;
constexpr double StartNoiseFactor = 3;
constexpr double StartBandFraction = 0.01;
constexpr double DriftFraction = 0.01;

// The dB floor: amplitudes below 1e-10 read -200 dB.
constexpr double FloorAmplitude = 1e-10;
constexpr double RoundingRelative = 1e-9;

struct Stats {
    double mean = 0;
    double deviation = 0;
};

// Mean and (population) standard deviation of y[first..last].
Stats statsOf(const std::vector<double> &y, int first, int last)
{
    const int n = last - first + 1;
    double sum = 0;
    for (int i = first; i <= last; ++i) sum += y[i];
    const double mean = sum / n;
    double squares = 0;
    for (int i = first; i <= last; ++i) squares += (y[i] - mean) * (y[i] - mean);
    return {mean, std::sqrt(squares / n)};
}

// The ends held to 0..count - 1 and put in order.
std::pair<int, int> heldSpan(int from, int to, int count)
{
    from = std::clamp(from, 0, count - 1);
    to = std::clamp(to, 0, count - 1);
    if (from > to) std::swap(from, to);
    return {from, to};
}

StepFigure found(double value) { return {value, StepMissing::None}; }
StepFigure missingFigure(StepMissing why) { return {std::nullopt, why}; }

void setAllFigures(StepResponse &r, StepMissing why)
{
    r.step = why;
    r.before = r.after = r.startMs = r.riseTimeMs = r.overshootPercent = r.settlingTimeMs = missingFigure(why);
}

// Where the line from (t0, a) to (t1, b) passes level; t1 when it is flat.
double crossingTime(double t0, double a, double t1, double b, double level)
{
    if (b == a) return t1;
    const double f = std::clamp((level - a) / (b - a), 0.0, 1.0);
    return t0 + f * (t1 - t0);
}

// The number as the CSV holds it: a point as decimal separator, no exponent
// for the values a capture gives.
QString csvNumber(double v) { return QString::number(v, 'g', 12); }

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

// ---- step response ----------------------------------------------------------

StepResponse AnalyseStep(const std::vector<double> &timeMs, const std::vector<double> &y, int from, int to,
                         double settlingBandPercent)
{
    StepResponse r;
    const int count = int(std::min(timeMs.size(), y.size()));
    if (count == 0) {
        setAllFigures(r, StepMissing::TooShort);
        return r;
    }
    // Plain names, not a structured binding: the lambdas below capture them.
    const std::pair<int, int> span = heldSpan(from, to, count);
    const int first = span.first;
    const int last = span.second;
    const int n = last - first + 1;
    if (n < MinStepSamples) {
        setAllFigures(r, StepMissing::TooShort);
        return r;
    }
    for (int i = first; i <= last; ++i) {
        if (!std::isfinite(y[i]) || !std::isfinite(timeMs[i])) {
            setAllFigures(r, StepMissing::NoStep);
            return r;
        }
    }

    const int stretch = std::max(3, n / 10);
    const int finalFrom = last - stretch + 1;
    const Stats before = statsOf(y, first, first + stretch - 1);
    const Stats after = statsOf(y, finalFrom, last);
    setAllFigures(r, StepMissing::NoStep);
    r.before = found(before.mean);
    r.after = found(after.mean);

    const double step = after.mean - before.mean;
    const double size = std::abs(step);
    if (size <= StepOverNoise * (before.deviation + after.deviation)) return r;
    r.step = StepMissing::None;

    // Progress from the level before towards the step, in the trace's unit.
    const double direction = step > 0 ? 1.0 : -1.0;
    auto progress = [&](int i) { return (y[i] - before.mean) * direction; };

    // Start: the last sample before the first to leave the band.
    const double startBand = std::max(StartNoiseFactor * before.deviation, StartBandFraction * size);
    int start = first;
    for (int i = first; i <= last; ++i) {
        if (progress(i) > startBand) {
            start = std::max(first, i - 1);
            break;
        }
    }
    const double startMs = timeMs[start];
    r.startMs = found(startMs);

    // Still on the way across the final stretch?
    const int half = stretch / 2;
    const Stats early = statsOf(y, finalFrom, finalFrom + half - 1);
    const Stats late = statsOf(y, last - half + 1, last);
    const double drift = (late.mean - early.mean) * direction;
    const double spread = std::max(before.deviation,
                                   std::sqrt((early.deviation * early.deviation + late.deviation * late.deviation) / 2));
    const double driftNoise = 3 * spread * std::sqrt(2.0 / half);
    if (drift > std::max(DriftFraction * size, driftNoise)) {
        r.riseTimeMs = r.overshootPercent = missingFigure(StepMissing::NoCrossing);
        r.settlingTimeMs = missingFigure(StepMissing::NeverSettles);
        return r;
    }

    // Rise time: 10 % then 90 %.
    auto reaches = [&](int from, double level) {
        for (int i = from; i <= last; ++i)
            if (progress(i) >= level) return i;
        return -1;
    };
    auto timeReaching = [&](int i, double level) {
        if (i == start || i == first) return timeMs[i];
        return crossingTime(timeMs[i - 1], progress(i - 1), timeMs[i], progress(i), level);
    };
    const int at10 = reaches(start, 0.1 * size);
    const int at90 = at10 < 0 ? -1 : reaches(at10, 0.9 * size);
    if (at90 < 0)
        r.riseTimeMs = missingFigure(StepMissing::NoCrossing);
    else
        r.riseTimeMs = found(timeReaching(at90, 0.9 * size) - timeReaching(at10, 0.1 * size));

    // Overshoot.
    double beyond = 0;
    for (int i = start; i <= last; ++i) beyond = std::max(beyond, progress(i) - size);
    r.overshootPercent = found(100.0 * beyond / size);

    // Settling: the last sample outside the band about the level after.
    if (!(settlingBandPercent > 0)) {
        r.settlingTimeMs = missingFigure(StepMissing::NeverSettles);
        return r;
    }
    const double band = settlingBandPercent / 100.0 * size;
    int lastOutside = -1;
    for (int i = last; i >= first; --i) {
        if (std::abs(y[i] - after.mean) > band) {
            lastOutside = i;
            break;
        }
    }
    if (lastOutside >= finalFrom) {
        r.settlingTimeMs = missingFigure(StepMissing::NeverSettles);
    } else if (lastOutside < 0) {
        r.settlingTimeMs = found(0);  // a band wider than the whole trace
    } else {
        const int j = lastOutside;
        const double edge = after.mean + (y[j] > after.mean ? band : -band);
        const double entered = crossingTime(timeMs[j], y[j], timeMs[j + 1], y[j + 1], edge);
        r.settlingTimeMs = found(std::max(0.0, entered - startMs));
    }
    return r;
}

QString MissingText(StepMissing missing)
{
    switch (missing) {
    case StepMissing::None: return {};
    case StepMissing::NoStep: return QStringLiteral("no step");
    case StepMissing::NoCrossing: return QStringLiteral("not reached");
    case StepMissing::NeverSettles: return QStringLiteral("does not settle");
    case StepMissing::TooShort: return QStringLiteral("too few samples");
    }
    return {};
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
            if (k > 0 && amplitude > peakFloor && amplitude > peakAmplitude) {
                peakAmplitude = amplitude;
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
        header << nc.name + QStringLiteral(" Speed [rpm]") << nc.name + QStringLiteral(" Torque [%]")
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
        QStringList fields{csvNumber(micro / 1000.0)};
        for (int c = 0; c < captures.size(); ++c) {
            const std::optional<int> s = c < int(row.size()) ? row[c] : std::nullopt;
            if (s) {
                const PhysicalTrace &t = traces[c];
                fields << csvNumber(t.speedRpm[*s]) << csvNumber(t.torquePercent[*s]) << QString::number(t.status[*s]);
            } else {
                fields << QString() << QString() << QString();
            }
        }
        rows << fields;
    }
    return CsvText(rows);
}

}  // namespace WaveAnalysis
