#include "plotscale.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace PlotScale {

double NiceStep(double span, int ticks)
{
    if (!(span > 0) || !std::isfinite(span)) return 1;
    const double raw = span / std::clamp(ticks, 1, TickLimit);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    if (!(power > 0) || !std::isfinite(power)) return std::isfinite(raw) && raw > 0 ? raw : 1;
    const double m = raw / power;
    // The smallest nice step not below the raw one: never more parts than asked.
    const double nice = m <= 1 ? 1 : m <= 2 ? 2 : m <= 5 ? 5 : 10;
    return nice * power;
}

Ticks NiceTicks(double lo, double hi, int maxTicks)
{
    Ticks t;
    if (!std::isfinite(lo) || !std::isfinite(hi) || !(hi > lo)) return t;
    const double step = NiceStep(hi - lo, maxTicks);
    const double first = std::ceil(lo / step - 1e-6);
    const double last = std::floor(hi / step + 1e-6);
    // The span may be too small for the doubles to tell the steps apart (far
    // from 0 a step of the count does not change it): then no ticks.
    if (!std::isfinite(first) || !std::isfinite(last) || last - first > TickLimit || first + 1 == first) return t;
    t.step = step;
    const int count = int(last - first);
    for (int i = 0; i <= count; ++i) {
        const double v = (first + i) * step;
        t.values.push_back(std::abs(v) < step * 1e-9 ? 0.0 : v);
    }
    t.decimals = step >= 1 ? 0 : std::clamp(int(std::ceil(-std::log10(step) - 1e-9)), 0, 9);
    return t;
}

std::pair<double, double> NiceRange(double lo, double hi, int maxTicks, double headroom)
{
    if (!std::isfinite(lo) || !std::isfinite(hi)) return {0.0, 1.0};
    if (hi < lo) std::swap(lo, hi);
    double span = hi - lo;
    if (!(span > 0)) {
        const double half = std::max(1.0, std::abs(lo) * 0.1);
        lo -= half;
        hi += half;
        span = hi - lo;
    } else {
        const double room = span * std::max(0.0, headroom);
        lo -= room;
        hi += room;
    }
    // Rounded outwards to a fifth of the tick step: round figures at the
    // ends, little room lost.
    const double step = NiceStep(hi - lo, std::clamp(maxTicks, 1, TickLimit) * 5);
    const double a = std::floor(lo / step + 1e-9) * step;
    const double b = std::ceil(hi / step - 1e-9) * step;
    if (std::isfinite(a) && std::isfinite(b) && b > a) return {a, b};
    return {lo, hi};
}

std::vector<qint64> ClockTicks(qint64 fromMs, qint64 toMs, qint64 minGapMs, qint64 offsetMs)
{
    static constexpr std::array<qint64, 11> Steps{1'000,  2'000,  5'000,   10'000,  15'000,   30'000,
                                                  60'000, 120'000, 300'000, 600'000, 1'200'000};
    std::vector<qint64> out;
    if (toMs <= fromMs) return out;
    qint64 step = Steps.back();
    for (qint64 s : Steps)
        if (s >= minGapMs) {
            step = s;
            break;
        }
    // Never more than TickLimit: a wide span takes a wider step of whole minutes.
    while ((toMs - fromMs) / step > TickLimit) step *= 2;
    // The first whole step of local time at or after fromMs.
    const qint64 local = fromMs + offsetMs;
    qint64 whole = local / step;
    if (whole * step < local) ++whole;  // division truncates towards 0
    for (qint64 t = whole * step - offsetMs; t <= toMs; t += step) out.push_back(t);
    return out;
}

int DecimalsFor(double resolution)
{
    if (!(resolution > 0) || !std::isfinite(resolution)) return 1;
    return std::clamp(int(std::ceil(-std::log10(resolution) - 1e-9)), 0, 6);
}

QString Fixed(double v, int decimals)
{
    QString text = QString::number(v, 'f', std::clamp(decimals, 0, 12));
    // A small negative value rounds to "-0.0": no sign on a zero.
    if (text.startsWith(u'-')) {
        bool zero = true;
        for (QChar c : text)
            if (c.isDigit() && c != u'0') zero = false;
        if (zero) text.remove(0, 1);
    }
    return text;
}

}  // namespace PlotScale
