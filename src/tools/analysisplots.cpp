#include "analysisplots.h"

#include "drive/plotscale.h"
#include "drive/timetext.h"
#include "drive/wave/wavequantities.h"

#include <algorithm>

namespace WA = WaveAnalysis;

QColor CaptureColour(int id)
{
    static const QColor colours[] = {QColor(31, 119, 180), QColor(255, 127, 14), QColor(44, 160, 44),
                                     QColor(214, 39, 40),  QColor(148, 103, 189), QColor(140, 86, 75),
                                     QColor(227, 119, 194), QColor(127, 127, 127), QColor(188, 189, 34),
                                     QColor(23, 190, 207)};
    return colours[(id - 1 + 10 * 1000) % 10];
}

namespace {

PlotView::Trace trace(const QString &name, const QColor &colour, std::vector<double> x, std::vector<double> y,
                      double lift = 0)
{
    PlotView::Trace t;
    t.name = name;
    t.colour = colour;
    t.series = std::make_shared<VectorSeries>(std::move(x), std::move(y));
    t.lift = lift;
    return t;
}

}  // namespace

void SetUpTimePlot(PlotView &plot)
{
    plot.setXAxis(PlotView::XAxis::Number, QStringLiteral("Time from trigger [ms]"));
    plot.setCursorCount(2);
    plot.setInteraction(PlotView::ZoomPan);
    plot.setEmptyText(QStringLiteral("No capture shown."));
}

void SetUpSpectrumPlot(PlotView &plot)
{
    plot.setXAxis(PlotView::XAxis::Number, QStringLiteral("Frequency [Hz]"));
    plot.setCursorCount(1);
    plot.setInteraction(PlotView::ZoomPan);
    plot.setEmptyText(QStringLiteral("No capture shown."));
}

void ShowTimeLanes(PlotView &plot, const CaptureAnalysis &analysis, const QList<const ListedCapture *> &captures)
{
    PlotView::Lane speed, torque, status;
    speed.title = QStringLiteral("Speed [rpm]");
    torque.title = QStringLiteral("Torque [%]");
    status.title = QStringLiteral("Status");
    status.digital = true;
    status.weight = 1;
    QStringList signalNames;
    std::vector<double> times;
    bool knownScale = true;
    int n = 0;
    for (const ListedCapture *c : captures) {
        const WA::PhysicalTrace &p = analysis.trace(c->id);
        const QColor colour = CaptureColour(c->id);
        speed.traces.append(trace(c->name, colour, p.timeMs, p.speedRpm));
        torque.traces.append(trace(c->name, colour, p.timeMs, p.torquePercent));
        const QString signal = WA::StatusSignalName(c->capture.setup.status);
        if (!signalNames.contains(signal)) signalNames.append(signal);
        status.traces.append(trace(c->name + QLatin1Char(' ') + signal, colour, p.timeMs,
                                   std::vector<double>(p.status.begin(), p.status.end()), 0.06 * n++));
        times.insert(times.end(), p.timeMs.begin(), p.timeMs.end());
        knownScale = knownScale && c->motorTypeUnits > 0;
    }
    if (!knownScale) torque.title = QStringLiteral("Torque [%, type not known: 1 unit = 1 %]");
    if (signalNames.size() == 1) status.title = signalNames.first();
    plot.setLanes({speed, torque, status});
    std::sort(times.begin(), times.end());
    times.erase(std::unique(times.begin(), times.end()), times.end());
    plot.setSnapPoints(std::move(times));
}

void ShowSpectrumLanes(PlotView &plot, const CaptureAnalysis &analysis, const QList<const ListedCapture *> &captures)
{
    PlotView::Lane speed, torque;
    speed.title = QStringLiteral("Speed [dB rpm]");
    torque.title = QStringLiteral("Torque [dB %]");
    std::vector<double> bins;
    for (const ListedCapture *c : captures) {
        const QColor colour = CaptureColour(c->id);
        for (const auto channel : {CaptureAnalysis::Speed, CaptureAnalysis::Torque}) {
            const auto &s = analysis.spectrum(c->id, channel);
            if (!s) continue;
            (channel == CaptureAnalysis::Speed ? speed : torque)
                .traces.append(trace(c->name, colour, s->frequencyHz, s->magnitudeDb));
            if (channel == CaptureAnalysis::Speed) bins.insert(bins.end(), s->frequencyHz.begin(), s->frequencyHz.end());
        }
    }
    plot.setLanes({speed, torque});
    std::sort(bins.begin(), bins.end());
    bins.erase(std::unique(bins.begin(), bins.end()), bins.end());
    plot.setSnapPoints(std::move(bins));
}

QStringList CaptureFacts(const ListedCapture &c, const CaptureAnalysis &analysis)
{
    const Capture &k = c.capture;
    const WA::PhysicalTrace &p = analysis.trace(c.id);
    const int trigger = int(WA::TriggerSample(k.trigPos));
    QString level;
    if (trigger >= 0 && size_t(trigger) < p.speedRpm.size())
        level = QStringLiteral("%1 rpm, %2 %")
                    .arg(PlotScale::Fixed(p.speedRpm[size_t(trigger)], WA::SpeedDecimals()),
                         PlotScale::Fixed(p.torquePercent[size_t(trigger)], WA::TorqueDecimals(c.motorTypeUnits)));
    QStringList facts;
    facts << QStringLiteral("%1: %2, taken %3").arg(c.name, c.origin, k.taken.isValid() ? IsoTimeText(k.taken) : QStringLiteral("at an unknown time"));
    facts << QStringLiteral("Time base %1 s/div (%2 ms a sample, %3 samples, %4 to %5 ms)")
                 .arg(WaveTimeBases().value(std::clamp(k.timeBase, 0, 3)), PlotScale::Fixed(p.periodMs, 0))
                 .arg(p.timeMs.size())
                 .arg(PlotScale::Fixed(p.timeMs.empty() ? 0 : p.timeMs.front(), 0),
                      PlotScale::Fixed(p.timeMs.empty() ? 0 : p.timeMs.back(), 0));
    facts << QStringLiteral("Trigger: %1, %2, position %3 (sample %4 is 0 ms); at the trigger %5")
                 .arg(WaveTriggerSources().value(std::clamp(k.setup.trig, 0, 3)),
                      WaveTriggerEdges().value(std::clamp(k.setup.edge, 0, 3)))
                 .arg(std::clamp(k.trigPos, 0, 30))
                 .arg(trigger)
                 .arg(level);
    facts << QStringLiteral("Speed 0.75 rpm a unit; torque in %1; status: %2")
                 .arg(WA::TorqueScaleText(c.motorTypeUnits), WA::StatusSignalName(k.setup.status));
    return facts;
}

std::pair<double, double> StepCursors(const CaptureAnalysis &analysis, int captureId)
{
    const WA::PhysicalTrace &p = analysis.trace(captureId);
    if (p.timeMs.empty()) return {0, 0};
    const WA::StepResponse &s = analysis.wholeStep(captureId);
    if (s.step != WA::StepMissing::None || !s.startMs.value) return {p.timeMs.front(), p.timeMs.back()};
    const double start = *s.startMs.value;
    const double settled = s.settlingTimeMs.value ? s.settlingFromMs + *s.settlingTimeMs.value : p.timeMs.back();
    return {start, settled};
}
