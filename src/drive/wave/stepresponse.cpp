#include "stepresponse.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <utility>

#include <QStringList>

namespace WaveAnalysis {

namespace {

constexpr int MinStepSamples = 8;
constexpr int MinSteady = 3;
constexpr int MinFinal = 4;
constexpr double StepOverSpread = 4;    // the step against the spread of the first and final stretches
constexpr double NoiseBand = 3;         // the band about the level before, in noise deviations
constexpr double DetectOverBand = 6;    // the level that tells the step from noise, in noise bands
constexpr double DetectMin = 0.1;       // ... at least this share of the step
constexpr double DetectMax = 0.5;       // ... at most this share
constexpr double DriftBands = 2;        // a steady stretch moves less than this many noise bands
constexpr double DriftShare = 0.05;     // ... or less than this share of the step
constexpr double FinalDriftShare = 0.01;
constexpr int Refinements = 24;
constexpr double RiseFitTop = 0.8;      // the rise fitted for the start, up to this share of the step
constexpr int StartsBack = 3;           // ... from this many samples before the steady stretch's end
constexpr double LeftLevel = 0.01;      // a sample this share of the step beyond the level (and the noise) has left it
constexpr int StartGrid = 400;          // the times tried for the start across the fitted samples
constexpr double SmoothAbove = 0.25;    // settling on a smoothed trace when the noise band is this share of the band
constexpr int SmoothHalfWidth = 2;      // ... a quadratic over this many samples either side
// The median absolute deviation of normal noise is this share of its deviation.
constexpr double MadToDeviation = 1.4826;

double median(std::vector<double> v)
{
    if (v.empty()) return 0;
    const size_t mid = v.size() / 2;
    std::nth_element(v.begin(), v.begin() + long(mid), v.end());
    const double upper = v[mid];
    if (v.size() % 2 == 1) return upper;
    return (*std::max_element(v.begin(), v.begin() + long(mid)) + upper) / 2;
}

std::vector<double> slice(const std::vector<double> &y, int first, int last)
{
    return {y.begin() + first, y.begin() + last + 1};
}

double mean(const std::vector<double> &y, int first, int last)
{
    double sum = 0;
    for (int i = first; i <= last; ++i) sum += y[size_t(i)];
    return sum / (last - first + 1);
}

// The spread of y[first..last] about its median, as a deviation of normal noise.
double robustSpread(const std::vector<double> &y, int first, int last)
{
    const std::vector<double> v = slice(y, first, last);
    const double m = median(v);
    std::vector<double> d;
    for (double x : v) d.push_back(std::abs(x - m));
    return MadToDeviation * median(d);
}

// The noise of y[first..last] from the differences of neighbours: a slow
// drift moves every difference alike and is not taken for noise.
double differenceNoise(const std::vector<double> &y, int first, int last)
{
    if (last <= first) return 0;
    std::vector<double> d;
    for (int i = first + 1; i <= last; ++i) d.push_back(y[size_t(i)] - y[size_t(i - 1)]);
    const double m = median(d);
    for (double &x : d) x = std::abs(x - m);
    return MadToDeviation * median(d) / std::sqrt(2.0);
}

// The change of a straight line fitted to y[first..last] over their times,
// and the deviation of the samples about it.
std::pair<double, double> lineFit(const std::vector<double> &t, const std::vector<double> &y, int first, int last)
{
    const int n = last - first + 1;
    if (n < 2) return {0, 0};
    const double tm = mean(t, first, last), ym = mean(y, first, last);
    double stt = 0, sty = 0;
    for (int i = first; i <= last; ++i) {
        stt += (t[size_t(i)] - tm) * (t[size_t(i)] - tm);
        sty += (t[size_t(i)] - tm) * (y[size_t(i)] - ym);
    }
    const double slope = stt > 0 ? sty / stt : 0;
    double rss = 0;
    for (int i = first; i <= last; ++i) {
        const double r = y[size_t(i)] - (ym + slope * (t[size_t(i)] - tm));
        rss += r * r;
    }
    return {slope * (t[size_t(last)] - t[size_t(first)]), std::sqrt(rss / n)};
}

// Where the line from (t0, a) to (t1, b) passes level; t1 when it is flat.
double crossingTime(double t0, double a, double t1, double b, double level)
{
    if (b == a) return t1;
    const double f = std::clamp((level - a) / (b - a), 0.0, 1.0);
    return t0 + f * (t1 - t0);
}

StepFigure found(double value) { return {value, StepMissing::None}; }
StepFigure missingFigure(StepMissing why) { return {std::nullopt, why}; }

void setAll(StepResponse &r, StepMissing why)
{
    r.step = why;
    r.before = r.after = r.startMs = r.riseTimeMs = r.overshootPercent = r.settlingTimeMs = missingFigure(why);
}

}  // namespace

namespace {

// The steady stretch before the step: its last sample (the step's start), the
// level it holds (a constant, or a straight line when it drifts) and its noise.
struct Steady {
    int end = -1;
    double level = 0;  // at time t0
    double slope = 0;  // per ms; 0 for a constant level
    double t0 = 0;
    double noise = 0;
    double band = 0;
    double at(double t) const { return level + slope * (t - t0); }
};

struct Trace {
    const std::vector<double> &t;
    const std::vector<double> &y;
    int first, last;
    double after, direction, unit;
    int half;  // the first sample past half the rough step
};

// The stretch found again and again until the start no longer moves: fit its
// level (or line), cross a level well above its noise, go back to the last
// sample within the noise band. Nothing when no stretch of MinSteady samples
// holds still before the step.
std::optional<Steady> findSteady(const Trace &tr, bool line)
{
    const auto &t = tr.t;
    const auto &y = tr.y;
    int end = tr.half - 1;
    std::optional<Steady> last;  // the stretch of the last round that found a start
    for (int round = 0; round < Refinements; ++round) {
        if (end - tr.first + 1 < MinSteady) return std::nullopt;
        Steady s;
        s.end = end;
        s.t0 = t[size_t(end)];
        if (line) {
            const auto [change, scatter] = lineFit(t, y, tr.first, end);
            Q_UNUSED(scatter);
            const double span = t[size_t(end)] - t[size_t(tr.first)];
            s.slope = span > 0 ? change / span : 0;
            // The line through the stretch's mean at its middle time.
            s.level = mean(y, tr.first, end) + s.slope * (s.t0 - mean(t, tr.first, end));
        } else {
            s.level = median(slice(y, tr.first, end));
        }
        s.noise = differenceNoise(y, tr.first, end);
        const double size = std::abs(tr.after - s.at(s.t0));
        s.band = std::max({NoiseBand * s.noise, tr.unit, 1e-12 * size});
        if ((tr.after - s.at(s.t0)) * tr.direction <= 0) return std::nullopt;
        const double detect = std::clamp(DetectOverBand * s.band, DetectMin * size, DetectMax * size);
        const auto progress = [&](int i) { return (y[size_t(i)] - s.at(t[size_t(i)])) * tr.direction; };
        // The crossing: back from the half-way sample while the trace stays
        // beyond the level. A level the half-way sample is not clearly beyond
        // is not the level before the step (a line laid along the step itself).
        if (progress(tr.half) < detect) return std::nullopt;
        int crossing = tr.half;
        while (crossing > tr.first && progress(crossing - 1) >= detect) --crossing;
        // Back to where the trace leaves the noise band.
        int start = -1;
        for (int j = crossing - 1; j >= tr.first; --j)
            if (std::abs(progress(j)) <= s.band) {
                start = j;
                break;
            }
        if (start < 0) {
            // No sample near the level: the stretch held part of the step.
            end = tr.first + (end - tr.first) / 2;
            continue;
        }
        if (start != end) {
            last = s;
            last->end = start;
            end = start;
            continue;
        }
        // A line must explain its stretch (a curve, the step itself, is no
        // drift), and drift less than half the step.
        if (line) {
            for (int i = tr.first; i <= end; ++i)
                if (std::abs(progress(i)) > s.band) return std::nullopt;
            if (std::abs(s.slope * (t[size_t(end)] - t[size_t(tr.first)])) > 0.5 * size) return std::nullopt;
        }
        return s;
    }
    // Noise that keeps the start going to and fro between two samples: the last found.
    if (!line && last && last->end - tr.first + 1 >= MinSteady) return last;
    return std::nullopt;
}

// The solution of the 3 x 3 system g c = b (Cramer's rule); nothing when it
// is near singular.
std::optional<std::array<double, 3>> solve3(const double (&g)[3][3], const double (&b)[3])
{
    const auto det = [](const double (&m)[3][3]) {
        return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
               m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    };
    const double d = det(g);
    if (!(std::abs(d) > 1e-12 * g[0][0] * g[1][1] * g[2][2])) return std::nullopt;
    std::array<double, 3> c{};
    for (int k = 0; k < 3; ++k) {
        double m[3][3];
        for (int r = 0; r < 3; ++r)
            for (int col = 0; col < 3; ++col) m[r][col] = col == k ? b[r] : g[r][col];
        c[size_t(k)] = det(m) / d;
    }
    return c;
}

// Where the step leaves the level before, from the rise: zero up to a time
// t0, then c1 d + c2 d^2 + c3 d^3 with d = t - t0 and c1 >= 0 (a first-order
// response, or a step within a sample, leaves with a slope; a second-order one
// leaves flat, c1 = 0), fitted by least squares for every t0 tried to the
// samples from a few before the steady stretch's end up to the last below
// RiseFitTop of the step. The t0 of the least residue is the start.
// Every sample of the rise counts, so the noise of the few near the level
// moves it little. Nothing when the rise holds fewer than two samples clear
// of the noise (a step within a sample or two).
std::optional<double> fittedStart(const std::vector<double> &t, const std::vector<double> &p, int lo, int start,
                                  int hi, double band, double size)
{
    int top = start + 1;
    while (top < hi && p[size_t(top + 1)] < RiseFitTop * size) ++top;
    int rising = 0;
    for (int i = start + 1; i <= top; ++i) rising += p[size_t(i)] > band && p[size_t(i)] < RiseFitTop * size;
    if (rising < 2) return std::nullopt;
    const double from = t[size_t(lo)], to = t[size_t(top)];
    double best = std::numeric_limits<double>::infinity(), bestT0 = t[size_t(start)];
    for (int k = 0; k < StartGrid; ++k) {
        const double t0 = from + (to - from) * k / StartGrid;
        // Sums of products of d, d^2, d^3 (d = t - t0 after t0) and p.
        double g[3][3] = {}, b[3] = {}, pp = 0;
        for (int i = lo; i <= top; ++i) {
            const double d = std::max(0.0, t[size_t(i)] - t0), q = p[size_t(i)];
            const double u[3] = {d, d * d, d * d * d};
            for (int r = 0; r < 3; ++r) {
                b[r] += u[r] * q;
                for (int c = 0; c < 3; ++c) g[r][c] += u[r] * u[c];
            }
            pp += q * q;
        }
        double rss = std::numeric_limits<double>::infinity();
        if (const auto c = solve3(g, b); c && (*c)[0] >= 0) {
            rss = pp - (*c)[0] * b[0] - (*c)[1] * b[1] - (*c)[2] * b[2];
        } else {
            // Starting flat: d^2 and d^3 alone.
            const double det = g[1][1] * g[2][2] - g[1][2] * g[1][2];
            if (!(det > 1e-12 * g[1][1] * g[2][2])) continue;
            const double c2 = (b[1] * g[2][2] - b[2] * g[1][2]) / det, c3 = (g[1][1] * b[2] - g[1][2] * b[1]) / det;
            if (c2 > 0) rss = pp - c2 * b[1] - c3 * b[2];
        }
        if (rss < best) best = rss, bestT0 = t0;
    }
    return bestT0;
}

// The deviation of y[from..last] from the level after, each sample replaced
// by a quadratic fitted by least squares to the 2h+1 samples about it (fewer
// at the ends) and evaluated there (h = 0: the samples as they are); and the
// share of normal noise that is left in it.
struct Smoothed {
    std::vector<double> dev;
    double noiseShare = 1;
};

Smoothed smoothedDeviation(const std::vector<double> &t, const std::vector<double> &y, int from, int last,
                           double after, int h)
{
    Smoothed out;
    out.dev.assign(size_t(last) + 1, 0.0);
    for (int i = from; i <= last; ++i) out.dev[size_t(i)] = y[size_t(i)] - after;
    if (h == 0) return out;
    const std::vector<double> raw = out.dev;
    const auto normal = [&](int i, double (&g)[3][3], double (&b)[3]) {
        const int lo = std::max(from, i - h), hi = std::min(last, i + h);
        const double scale = std::max(t[size_t(hi)] - t[size_t(lo)], 1e-9);
        for (int j = lo; j <= hi; ++j) {
            const double d = (t[size_t(j)] - t[size_t(i)]) / scale;
            const double u[3] = {1, d, d * d};
            for (int r = 0; r < 3; ++r) {
                b[r] += u[r] * raw[size_t(j)];
                for (int c = 0; c < 3; ++c) g[r][c] += u[r] * u[c];
            }
        }
    };
    for (int i = from; i <= last; ++i) {
        double g[3][3] = {}, b[3] = {};
        normal(i, g, b);
        if (const auto c = solve3(g, b)) out.dev[size_t(i)] = (*c)[0];
    }
    // The noise left at a sample with a whole window about it.
    if (last - from >= 2 * h) {
        double g[3][3] = {}, b[3] = {};
        normal(from + h, g, b);
        const double unitVector[3] = {1, 0, 0};
        if (const auto c = solve3(g, unitVector)) out.noiseShare = std::sqrt(std::max(0.0, (*c)[0]));
    }
    return out;
}

// When the trace last enters the band, and whether the noise leaves open
// which of its excursions is the last.
struct Settling {
    std::optional<double> entered;  // nothing: it does not settle before the final stretch
    bool open = false;
    std::optional<double> earliest, latest;  // when open: the entries it could be (latest: perhaps none)
};

// The trace from the steady stretch's end on, about the level after. Where
// the noise is large against the band, the trace is first smoothed (a
// quadratic over five samples keeps the ringing's peaks); the entry is
// interpolated between the last sample outside the band and the next. The
// band widened and narrowed by the noise left (3 deviations) gives the
// earliest and latest entry the noise allows: when an excursion lies between
// them (the trace dips back into the narrow band, or swings across the level
// after), the noise decides whether it leaves the band, and the figure is
// open.
Settling findSettling(const std::vector<double> &t, const std::vector<double> &y, int from, int finalFrom, int last,
                      double after, double settle, double noise, double unit)
{
    const int h = NoiseBand * noise > SmoothAbove * settle ? SmoothHalfWidth : 0;
    const Smoothed s = smoothedDeviation(t, y, from, last, after, h);
    const auto &dev = s.dev;
    const auto lastOutside = [&](double band) {
        const auto outside = [&](int i) { return std::abs(dev[size_t(i)]) > band; };
        for (int i = last; i >= from; --i) {
            if (!outside(i)) continue;
            // A lone sample one unit outside, between two inside, is the
            // quantisation's doing.
            const bool lone = h == 0 && unit > 0 && i > from && i < last && !outside(i - 1) && !outside(i + 1) &&
                              std::abs(dev[size_t(i)]) - band <= unit;
            if (!lone) return i;
        }
        return -1;
    };
    const auto entry = [&](int j, double band) -> std::optional<double> {
        if (j >= finalFrom) return std::nullopt;
        if (j < 0) return t[size_t(from)];
        const double a = dev[size_t(j)], b = dev[size_t(j + 1)];
        return crossingTime(t[size_t(j)], a, t[size_t(j + 1)], b, a > 0 ? band : -band);
    };
    Settling out;
    out.entered = entry(lastOutside(settle), settle);
    // A sample seen beyond the band by less than the noise band (of the
    // trace as smoothed) may lie within it, and one seen within it by less
    // may lie beyond it.
    const double margin = NoiseBand * noise * s.noiseShare;
    if (!(margin > 0)) return out;
    const int early = lastOutside(settle + margin);
    if (settle <= margin) {
        // The noise is as large as the band: any sample may be outside it.
        out.open = true;
        out.earliest = entry(early, settle + margin);
        return out;
    }
    const int late = lastOutside(settle - margin);
    for (int i = std::max(early, from); i < late && !out.open; ++i)
        out.open = (i > early && std::abs(dev[size_t(i)]) <= settle - margin) ||
                   (dev[size_t(i)] > 0) != (dev[size_t(i + 1)] > 0);
    if (out.open) {
        out.earliest = entry(early, settle + margin);
        out.latest = entry(late, settle - margin);
    }
    return out;
}

}  // namespace

StepResponse AnalyseStep(const std::vector<double> &timeMs, const std::vector<double> &y, int from, int to,
                         double settlingBandPercent, double resolution)
{
    StepResponse r;
    const int count = int(std::min(timeMs.size(), y.size()));
    if (count == 0) {
        setAll(r, StepMissing::TooShort);
        return r;
    }
    from = std::clamp(from, 0, count - 1);
    to = std::clamp(to, 0, count - 1);
    const int first = std::min(from, to);
    const int last = std::max(from, to);
    const int n = last - first + 1;
    if (n < MinStepSamples) {
        setAll(r, StepMissing::TooShort);
        return r;
    }
    for (int i = first; i <= last; ++i)
        if (!std::isfinite(y[size_t(i)]) || !std::isfinite(timeMs[size_t(i)])) {
            setAll(r, StepMissing::NoStep);
            return r;
        }
    setAll(r, StepMissing::NoStep);

    // The final stretch, and a first look at the level before: the span's
    // first samples (a span that starts inside the step shows a step from
    // there all the same, and is found out below).
    const int stretch = std::max(MinFinal, n / 10);
    const int finalFrom = last - stretch + 1;
    const double after = mean(y, finalFrom, last);
    const double roughBefore = median(slice(y, first, first + MinSteady - 1));
    const double unit = resolution > 0 ? resolution : 0;
    r.after = found(after);
    r.before = found(roughBefore);
    const double roughStep = after - roughBefore;
    // No step: not clearly above the final stretch's spread and the first
    // stretch's noise (ripple and noise move both ends alike).
    if (roughStep == 0 || std::abs(roughStep) <= 2 * unit ||
        std::abs(roughStep) <= StepOverSpread * (robustSpread(y, finalFrom, last) +
                                                  differenceNoise(y, first, first + stretch - 1)))
        return r;
    const double direction = roughStep > 0 ? 1.0 : -1.0;

    // The first crossing of half the rough step, held for two samples.
    int half = -1;
    for (int i = first; i <= last && half < 0; ++i) {
        const bool beyond = (y[size_t(i)] - roughBefore) * direction >= 0.5 * std::abs(roughStep);
        const bool next = i == last || (y[size_t(i + 1)] - roughBefore) * direction >= 0.5 * std::abs(roughStep);
        if (beyond && next) half = i;
    }
    if (half < 0) return r;

    // The steady stretch: a level, else a drifting one (a line).
    const Trace tr{timeMs, y, first, last, after, direction, unit, half};
    std::optional<Steady> steady = findSteady(tr, false);
    if (!steady) steady = findSteady(tr, true);
    if (!steady) {
        setAll(r, StepMissing::StartsInside);
        return r;
    }
    const int steadyEnd = steady->end;
    // Before: the stretch's mean; for a drifting level, where the step leaves it.
    const auto [drift, scatter] = lineFit(timeMs, y, first, steadyEnd);
    Q_UNUSED(scatter);
    const double meanBefore = mean(y, first, steadyEnd);
    const double band = std::max(NoiseBand * steady->noise, unit);
    const double roughSize = std::abs(after - meanBefore);
    r.beforeSteady = steady->slope == 0 &&
                     !(std::abs(drift) > DriftBands * band && std::abs(drift) > DriftShare * roughSize);
    const double before = r.beforeSteady ? meanBefore : steady->at(steady->t0);
    const double step = after - before;
    const double size = std::abs(step);
    if (step * direction <= 0) return r;
    r.step = StepMissing::None;
    r.noise = steady->noise;
    r.before = found(before);
    const auto progress = [&](int i) { return (y[size_t(i)] - before) * direction; };
    // The start: the sample nearest the fitted one.
    double startMs = timeMs[size_t(steadyEnd)];
    {
        std::vector<double> p(size_t(last) + 1, 0.0);
        for (int i = first; i <= last; ++i) {
            const double level = steady->slope == 0 ? before : steady->at(timeMs[size_t(i)]);
            p[size_t(i)] = (y[size_t(i)] - level) * direction;
        }
        if (const auto t0 = fittedStart(timeMs, p, std::max(first, steadyEnd - StartsBack), steadyEnd, last, band, size))
            startMs = *t0;
    }
    r.startIndex = first;
    while (r.startIndex < last && timeMs[size_t(r.startIndex + 1)] <= startMs) ++r.startIndex;
    if (r.startIndex < last && timeMs[size_t(r.startIndex + 1)] - startMs < startMs - timeMs[size_t(r.startIndex)])
        ++r.startIndex;
    // Never after a sample that has clearly left the level before.
    {
        int out = steadyEnd + 1;
        while (out <= last && progress(out) <= std::max(band, LeftLevel * size)) ++out;
        r.startIndex = std::clamp(r.startIndex, first, out - 1);
    }
    // Settling counts from the fitted start, not the sample it is rounded to
    // (half a sample less to go wrong by), but never more than half a sample
    // from that sample: the start shown and the settling add up to where the
    // trace settles, to within half a sample.
    {
        const int i = r.startIndex;
        const double t = timeMs[size_t(i)];
        const double lo = i > first ? (timeMs[size_t(i - 1)] + t) / 2 : t;
        const double hi = i < last ? (timeMs[size_t(i + 1)] + t) / 2 : t;
        r.settlingFromMs = std::clamp(startMs, lo, hi);
    }
    startMs = timeMs[size_t(r.startIndex)];
    r.startMs = found(startMs);

    // Still on the way across the final stretch: the level after is not the
    // final value. It moves on towards the step, more than its own scatter
    // explains, and the trace has never been beyond where it ends (a trace
    // that rings has been).
    const auto [finalDrift, finalScatter] = lineFit(timeMs, y, finalFrom, last);
    double farthest = -1e300;
    for (int i = steadyEnd; i < finalFrom; ++i) farthest = std::max(farthest, progress(i));
    const bool onTheWay = finalDrift * direction > std::max(FinalDriftShare * size, 2 * (finalScatter + steady->noise)) &&
                          finalScatter < finalDrift * direction / 2 && farthest < size + finalDrift * direction / 2;

    // Rise time: 10 % then 90 %, each interpolated.
    const auto reaches = [&](int i0, double level) {
        for (int i = i0; i <= last; ++i)
            if (progress(i) >= level) return i;
        return -1;
    };
    const auto timeReaching = [&](int i, double level) {
        if (i <= steadyEnd) return timeMs[size_t(i)];
        return crossingTime(timeMs[size_t(i - 1)], progress(i - 1), timeMs[size_t(i)], progress(i), level);
    };
    if (onTheWay) {
        r.riseTimeMs = r.overshootPercent = missingFigure(StepMissing::NoCrossing);
        r.settlingTimeMs = missingFigure(StepMissing::NeverSettles);
        return r;
    }
    const int at10 = reaches(steadyEnd, 0.1 * size);
    const int at90 = at10 < 0 ? -1 : reaches(at10, 0.9 * size);
    r.riseTimeMs = at90 < 0 ? missingFigure(StepMissing::NoCrossing)
                            : found(timeReaching(at90, 0.9 * size) - timeReaching(at10, 0.1 * size));

    // Overshoot, from the samples.
    double beyond = 0;
    for (int i = steadyEnd; i <= last; ++i) beyond = std::max(beyond, progress(i) - size);
    r.overshootPercent = found(100.0 * beyond / size);

    // Settling: the last sample outside the band about the level after.
    if (!(settlingBandPercent > 0)) {
        r.settlingTimeMs = missingFigure(StepMissing::NeverSettles);
        return r;
    }
    const Settling settling = findSettling(timeMs, y, steadyEnd, finalFrom, last, after,
                                           settlingBandPercent / 100.0 * size, steady->noise, unit);
    const double counted = r.settlingFromMs;
    r.settlingTimeMs = settling.entered ? found(std::max(0.0, *settling.entered - counted))
                                        : missingFigure(StepMissing::NeverSettles);
    if (settling.open) {
        StepResponse::SettlingRange range;
        range.earliestMs = settling.earliest ? std::max(0.0, *settling.earliest - counted) : 0.0;
        if (settling.latest) range.latestMs = std::max(0.0, *settling.latest - counted);
        r.settlingWithinNoise = range;
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
    case StepMissing::StartsInside: return QStringLiteral("the span starts inside the step");
    }
    return {};
}

QString StepNote(const StepResponse &r)
{
    if (r.step == StepMissing::StartsInside) return MissingText(r.step);
    if (r.step != StepMissing::None) return {};
    QStringList notes;
    if (!r.beforeSteady) notes << QStringLiteral("level before the step not steady");
    if (const auto &range = r.settlingWithinNoise) {
        const auto ms = [](double v) { return QString::number(v, 'f', 1); };
        notes << (range->latestMs ? QStringLiteral("settling %1 to %2 ms within the noise")
                                        .arg(ms(range->earliestMs), ms(*range->latestMs))
                                  : QStringLiteral("settling %1 ms or later within the noise").arg(ms(range->earliestMs)));
    }
    return notes.join(QStringLiteral("; "));
}

QString StepDefinitions()
{
    return QStringLiteral(
        "Step figures of speed: the level before is the mean of the steady samples before the step, the level "
        "after the mean of the span's last tenth. The step starts at the sample nearest to where a smooth curve "
        "fitted to the rise leaves the level before. Rise time runs from 10 % to 90 % of the step. Overshoot is "
        "taken from the samples: the largest sample beyond the level after, in % of the step. Settling time is "
        "counted from the step's start (where the fitted curve leaves the level) until the trace stays within the "
        "band (±2 % or ±5 % of the step) about the level after; where the noise is large against the band, the "
        "trace is first smoothed over five samples, and where it comes back within the noise of the band's edge, "
        "the note gives the earliest and latest settling the noise allows.");
}

}  // namespace WaveAnalysis
