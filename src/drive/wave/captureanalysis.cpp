#include "captureanalysis.h"

namespace WA = WaveAnalysis;

namespace {

const WA::PhysicalTrace NoTrace;
const std::optional<WA::Spectrum> NoSpectrum;
const WA::StepResponse NoStep;

}  // namespace

CaptureAnalysis::CaptureAnalysis(CaptureList &list, QObject *parent) : QObject(parent), m_list(list)
{
    connect(&m_list, &CaptureList::changed, this, &CaptureAnalysis::listChanged);
}

QList<const ListedCapture *> CaptureAnalysis::shown() const
{
    QList<const ListedCapture *> out;
    for (const ListedCapture &c : m_list.items())
        if (c.shown) out.append(&c);
    return out;
}

void CaptureAnalysis::listChanged()
{
    // A capture keeps its id and its samples while listed: only the ones
    // gone leave the cache.
    for (auto it = m_cache.begin(); it != m_cache.end();)
        it = m_list.find(it->first) ? std::next(it) : m_cache.erase(it);
    Q_EMIT capturesChanged();
}

void CaptureAnalysis::setSpan(Span span)
{
    if (span == m_span) return;
    m_span = span;
    Q_EMIT figuresChanged();
}

void CaptureAnalysis::setBandPercent(double percent)
{
    if (percent == m_band) return;
    m_band = percent;
    Q_EMIT figuresChanged();
}

void CaptureAnalysis::setWindow(WA::SpectrumWindow window)
{
    if (window == m_window) return;
    m_window = window;
    Q_EMIT figuresChanged();
}

void CaptureAnalysis::setCursors(double t1, double t2)
{
    if (t1 == m_cursors[0] && t2 == m_cursors[1]) return;
    m_cursors = {t1, t2};
    Q_EMIT figuresChanged();
}

CaptureAnalysis::Cached *CaptureAnalysis::cached(int id) const
{
    const ListedCapture *c = m_list.find(id);
    if (!c) return nullptr;
    auto it = m_cache.find(id);
    if (it == m_cache.end()) {
        it = m_cache.emplace(id, Cached{}).first;
        it->second.trace = WA::ToPhysical(c->capture, c->motorTypeUnits);
    }
    return &it->second;
}

const WA::PhysicalTrace &CaptureAnalysis::trace(int id) const
{
    const Cached *e = cached(id);
    return e ? e->trace : NoTrace;
}

const std::optional<WA::Spectrum> &CaptureAnalysis::spectrum(int id, Channel channel) const
{
    Cached *e = cached(id);
    if (!e) return NoSpectrum;
    const size_t w = m_window == WA::SpectrumWindow::Hann ? 1 : 0;
    if (!e->spectraDone[w]) {
        e->spectra[w][0] = WA::AmplitudeSpectrum(e->trace.speedRpm, e->trace.periodMs, m_window);
        e->spectra[w][1] = WA::AmplitudeSpectrum(e->trace.torquePercent, e->trace.periodMs, m_window);
        e->spectraDone[w] = true;
    }
    return e->spectra[w][size_t(channel)];
}

std::pair<int, int> CaptureAnalysis::measuredSamples(int id) const
{
    const WA::PhysicalTrace &p = trace(id);
    const int n = int(p.timeMs.size());
    if (n == 0) return {0, -1};
    if (m_span == Span::Whole) return {0, n - 1};
    const int a = WA::NearestSample(p.timeMs, m_cursors[0]);
    const int b = WA::NearestSample(p.timeMs, m_cursors[1]);
    return {std::min(a, b), std::max(a, b)};
}

std::optional<WA::SpanFigures> CaptureAnalysis::figures(int id, Channel channel) const
{
    const WA::PhysicalTrace &p = trace(id);
    const auto [from, to] = measuredSamples(id);
    return WA::FiguresOver(channel == Speed ? p.speedRpm : p.torquePercent, from, to);
}

const WA::StepResponse &CaptureAnalysis::step(int id) const
{
    Cached *e = cached(id);
    if (!e) return NoStep;
    const std::pair<int, int> span = measuredSamples(id);
    if (!e->step || e->stepSpan != span || e->stepBand != m_band) {
        e->step = WA::AnalyseStep(e->trace.timeMs, e->trace.speedRpm, span.first, span.second, m_band,
                                  WA::RpmPerSpeedUnit);
        e->stepSpan = span;
        e->stepBand = m_band;
    }
    return *e->step;
}

const WA::StepResponse &CaptureAnalysis::wholeStep(int id) const
{
    Cached *e = cached(id);
    if (!e) return NoStep;
    if (!e->whole || e->wholeBand != m_band) {
        e->whole = WA::AnalyseStep(e->trace.timeMs, e->trace.speedRpm, 0, int(e->trace.timeMs.size()) - 1, m_band,
                                   WA::RpmPerSpeedUnit);
        e->wholeBand = m_band;
    }
    return *e->whole;
}

double CaptureAnalysis::resolution(const ListedCapture &c, Channel channel)
{
    return channel == Speed ? WA::RpmPerSpeedUnit : WA::TorqueResolution(c.motorTypeUnits);
}

int CaptureAnalysis::decimals(const ListedCapture &c, Channel channel)
{
    return channel == Speed ? WA::SpeedDecimals() : WA::TorqueDecimals(c.motorTypeUnits);
}
