#include "trendplot.h"

#include <cmath>

namespace {

constexpr int DigitalHeight = 18;

// A recorded series as the plot reads it, without a copy.
class TrendPoints final : public PlotSeries {
public:
    explicit TrendPoints(const TrendSeries &s) : m_points(s.points()) {}
    qsizetype size() const override { return m_points.size(); }
    double x(qsizetype i) const override { return double(m_points[i].t); }
    double y(qsizetype i) const override { return m_points[i].v; }

private:
    const QList<TrendPoint> &m_points;
};

}  // namespace

QString TrendPlot::scaleText(double v)
{
    const double a = std::abs(v);
    if (a >= 1e6 || (a < 0.01 && a > 0)) return QString::number(v, 'g', 4);
    return QString::number(v, 'f', a >= 100 ? 0 : a >= 1 ? 1 : 2);
}

TrendPlot::TrendPlot(QWidget *parent) : PlotView(parent)
{
    setObjectName(QStringLiteral("TrendPlot"));
    setAccessibleName(QStringLiteral("Trend chart"));
    setAccessibleDescription(QStringLiteral("The chosen values over time. Click or move the mouse over the chart, or "
                                            "press Left and Right, to read the values at a time beside the chart."));
    setMouseTracking(true);
    setXAxis(XAxis::Clock, {});
    setInteraction(CursorFollowsMouse);
    setLegendShown(false);
    setCursorCount(1);
    setEmptyText(QStringLiteral("Choose the values to record above."));
    connect(this, &PlotView::cursorPlaced, this, [this](int, double x) { Q_EMIT cursorMoved(std::llround(x)); });
}

void TrendPlot::setTraces(const QList<Trace> &traces)
{
    QList<Lane> lanes;
    for (const Trace &t : traces) {
        Lane lane;
        lane.title = t.name;
        lane.digital = t.digital;
        lane.weight = 1;
        lane.fixedHeight = t.digital ? DigitalHeight : 0;
        lane.followView = true;
        lane.inlineNames = true;
        PlotView::Trace trace;
        trace.name = t.name;
        trace.colour = t.colour;
        trace.gap = double(TrendGapMs);
        if (t.series) trace.series = std::make_shared<TrendPoints>(*t.series);
        lane.traces.append(trace);
        lanes.append(lane);
    }
    setLanes(lanes);
}

void TrendPlot::setView(qint64 endMs, qint64 spanMs)
{
    m_end = endMs;
    m_span = qMax<qint64>(spanMs, 1000);
    setXRange(double(m_end - m_span), double(m_end));
}

void TrendPlot::setCursorTime(std::optional<qint64> t)
{
    if (t) setCursor(0, double(*t));
    else hideCursor(0);
}

std::optional<qint64> TrendPlot::cursorTime() const
{
    if (!cursorShown(0)) return std::nullopt;
    return std::llround(cursor(0));
}

QList<std::pair<double, double>> TrendPlot::ranges() const
{
    QList<std::pair<double, double>> out;
    for (int i = 0; i < laneCount(); ++i) out.append(lane(i).digital ? std::pair{0.0, 1.0} : yRange(i));
    return out;
}

qint64 TrendPlot::timeAt(int x) const { return std::llround(xOfPixel(x)); }

int TrendPlot::xAt(qint64 t) const { return int(std::lround(pixelOfX(double(t)))); }
