#include "trendplot.h"

#include <QDateTime>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <array>
#include <cmath>

namespace {

constexpr int LeftMargin = 72;  // the lanes' scale figures
constexpr int RightMargin = 10;
constexpr int TopMargin = 6;
constexpr int AxisHeight = 22;  // the time figures
constexpr int LaneGap = 6;
constexpr int DigitalHeight = 18;

}  // namespace

QString TrendPlot::scaleText(double v)
{
    const double a = std::abs(v);
    if (a >= 1e6 || (a < 0.01 && a > 0)) return QString::number(v, 'g', 4);
    return QString::number(v, 'f', a >= 100 ? 0 : a >= 1 ? 1 : 2);
}

namespace {

// A tick interval that leaves at least minMs between two ticks.
qint64 tickStep(qint64 minMs)
{
    static constexpr std::array<qint64, 11> steps{1'000, 2'000, 5'000, 10'000, 15'000, 30'000,
                                                  60'000, 120'000, 300'000, 600'000, 1'200'000};
    for (qint64 s : steps)
        if (s >= minMs) return s;
    return steps.back();
}

}  // namespace

TrendPlot::TrendPlot(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("TrendPlot"));
    setAccessibleName(QStringLiteral("Trend chart"));
    setAccessibleDescription(QStringLiteral("The chosen values over time. Click or move the mouse over the chart, or "
                                            "press Left and Right, to read the values at a time beside the chart."));
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
}

void TrendPlot::setTraces(const QList<Trace> &traces)
{
    m_traces = traces;
    computeRanges();
    update();
}

void TrendPlot::setView(qint64 endMs, qint64 spanMs)
{
    m_end = endMs;
    m_span = qMax<qint64>(spanMs, 1000);
    computeRanges();
    update();
}

void TrendPlot::setCursorTime(std::optional<qint64> t)
{
    if (t == m_cursor) return;
    m_cursor = t;
    update();
}

void TrendPlot::computeRanges()
{
    m_ranges.clear();
    const qint64 start = m_end - m_span;
    for (const Trace &tr : std::as_const(m_traces)) {
        if (tr.digital || !tr.series) {
            m_ranges.append({0.0, 1.0});
            continue;
        }
        const QList<TrendPoint> &pts = tr.series->points();
        qsizetype i = tr.series->firstAtOrAfter(start);
        if (i > 0) --i;  // the line comes in from the left
        double lo = 0, hi = 0;
        bool any = false;
        for (; i < pts.size() && pts[i].t <= m_end; ++i) {
            const double v = pts[i].v;
            if (!std::isfinite(v)) continue;
            lo = any ? qMin(lo, v) : v;
            hi = any ? qMax(hi, v) : v;
            any = true;
        }
        if (!any) {
            lo = 0;
            hi = 1;
        } else if (hi == lo) {
            const double pad = qMax(1.0, std::abs(hi) * 0.05);
            lo -= pad;
            hi += pad;
        } else {
            const double pad = (hi - lo) * 0.05;
            lo -= pad;
            hi += pad;
        }
        m_ranges.append({lo, hi});
    }
}

QRect TrendPlot::plotArea() const
{
    return QRect(LeftMargin, TopMargin, qMax(10, width() - LeftMargin - RightMargin),
                 qMax(10, height() - TopMargin - AxisHeight));
}

QRect TrendPlot::laneRect(int lane) const
{
    const QRect area = plotArea();
    int analog = 0;
    for (const Trace &t : m_traces) analog += t.digital ? 0 : 1;
    const int digital = static_cast<int>(m_traces.size()) - analog;
    const int lanes = static_cast<int>(m_traces.size());
    const int digitalSpace = digital * DigitalHeight;
    const int analogHeight =
        analog > 0 ? qMax(20, (area.height() - digitalSpace - (lanes - 1) * LaneGap) / analog) : 0;
    int y = area.top();
    for (int k = 0; k < lane; ++k) y += (m_traces[k].digital ? DigitalHeight : analogHeight) + LaneGap;
    return QRect(area.left(), y, area.width(), m_traces[lane].digital ? DigitalHeight : analogHeight);
}

qint64 TrendPlot::timeAt(int x) const
{
    const QRect area = plotArea();
    const double f = static_cast<double>(qBound(area.left(), x, area.right()) - area.left()) / qMax(1, area.width() - 1);
    return m_end - m_span + static_cast<qint64>(std::llround(f * static_cast<double>(m_span)));
}

int TrendPlot::xAt(qint64 t) const
{
    const QRect area = plotArea();
    const double f = static_cast<double>(t - (m_end - m_span)) / static_cast<double>(m_span);
    return area.left() + static_cast<int>(std::lround(f * (area.width() - 1)));
}

void TrendPlot::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QRect area = plotArea();
    p.setPen(QColor(0xA0, 0xA0, 0xA0));
    p.drawRect(area.adjusted(0, 0, -1, -1));
    drawTimeAxis(p);
    if (m_traces.isEmpty()) {
        p.setPen(palette().color(QPalette::Disabled, QPalette::WindowText));
        p.drawText(area, Qt::AlignCenter, QStringLiteral("Choose the values to record above."));
    }
    for (int lane = 0; lane < m_traces.size(); ++lane) drawTrace(p, lane);
    if (m_cursor && *m_cursor >= m_end - m_span && *m_cursor <= m_end) {
        const int x = xAt(*m_cursor);
        p.setPen(QPen(Qt::black, 1, Qt::DashLine));
        p.drawLine(x, area.top(), x, area.bottom());
    }
}

void TrendPlot::drawTimeAxis(QPainter &p) const
{
    const QRect area = plotArea();
    const QFontMetrics fm = p.fontMetrics();
    const int labelWidth = fm.horizontalAdvance(QStringLiteral("00:00:00")) + 16;
    const qint64 step = tickStep(m_span * labelWidth / qMax(1, area.width()));
    // Ticks on whole local seconds, minutes...: the zone's offset is whole minutes.
    const qint64 offset = static_cast<qint64>(QDateTime::fromMSecsSinceEpoch(m_end).offsetFromUtc()) * 1000;
    const qint64 start = m_end - m_span;
    qint64 t = ((start + offset) / step + 1) * step - offset;
    for (; t <= m_end; t += step) {
        const int x = xAt(t);
        p.setPen(QColor(0xE4, 0xE4, 0xE4));
        p.drawLine(x, area.top() + 1, x, area.bottom() - 1);
        p.setPen(palette().color(QPalette::WindowText));
        p.drawLine(x, area.bottom(), x, area.bottom() + 3);
        const QString text = QDateTime::fromMSecsSinceEpoch(t).toString(QStringLiteral("HH:mm:ss"));
        p.drawText(QRect(x - labelWidth / 2, area.bottom() + 4, labelWidth, AxisHeight - 4), Qt::AlignHCenter | Qt::AlignTop,
                   text);
    }
}

void TrendPlot::drawTrace(QPainter &p, int lane) const
{
    const Trace &tr = m_traces[lane];
    const QRect r = laneRect(lane);
    const std::pair<double, double> range = m_ranges.value(lane, {0.0, 1.0});
    const double lo = range.first;
    const double hi = range.second;
    p.setPen(QColor(0xF0, 0xF0, 0xF0));
    if (!tr.digital) p.drawLine(r.left() + 1, r.center().y(), r.right() - 1, r.center().y());

    // The scale on the left, the name inside the lane.
    const QRect scale(0, r.top(), LeftMargin - 6, r.height());
    if (tr.digital) {
        // A bit's lane is too low for its name inside: it goes where the scale would.
        p.setPen(tr.colour);
        p.drawText(scale, Qt::AlignRight | Qt::AlignVCenter,
                   p.fontMetrics().elidedText(tr.name, Qt::ElideRight, scale.width()));
    } else {
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(scale, Qt::AlignRight | Qt::AlignTop, scaleText(hi));
        p.drawText(scale, Qt::AlignRight | Qt::AlignBottom, scaleText(lo));
    }

    if (!tr.series) return;
    const double inner = tr.digital ? r.height() - 6 : r.height() - 2;
    const double base = tr.digital ? r.bottom() - 3 : r.bottom() - 1;
    const auto yOf = [&](double v) {
        const double f = hi > lo ? (v - lo) / (hi - lo) : 0.5;
        return base - qBound(0.0, f, 1.0) * inner;
    };

    // Each pixel column keeps its first, lowest, highest and last point, so
    // a long span costs no more than the width; a pause longer than the gap
    // breaks the line.
    const QList<TrendPoint> &pts = tr.series->points();
    const qint64 start = m_end - m_span;
    qsizetype i = tr.series->firstAtOrAfter(start);
    if (i > 0) --i;
    QPainterPath path;
    bool open = false;
    qint64 lastT = 0;
    double lastY = 0;
    int column = INT_MIN;
    double colMin = 0, colMax = 0, colLast = 0;
    const auto flushColumn = [&] {
        if (column == INT_MIN) return;
        path.lineTo(column, colMin);
        path.lineTo(column, colMax);
        path.lineTo(column, colLast);
    };
    for (; i < pts.size(); ++i) {
        const TrendPoint &pt = pts[i];
        if (!std::isfinite(pt.v)) continue;
        const int x = xAt(pt.t);
        const double y = yOf(pt.v);
        const bool gap = open && pt.t - lastT > TrendGapMs;
        if (!open || gap) {
            flushColumn();
            if (gap && tr.digital) path.lineTo(xAt(lastT + TrendGapMs), lastY);  // held until it went stale
            path.moveTo(x, y);
            column = x;
            colMin = colMax = colLast = y;
            open = true;
        } else if (x != column) {
            flushColumn();
            if (tr.digital) path.lineTo(x, lastY);  // a step: held until the next sample
            path.lineTo(x, y);
            column = x;
            colMin = colMax = colLast = y;
        } else {
            colMin = qMin(colMin, y);
            colMax = qMax(colMax, y);
            colLast = y;
        }
        lastT = pt.t;
        lastY = y;
        if (pt.t > m_end) break;
    }
    flushColumn();
    p.save();
    p.setClipRect(r);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(tr.colour, tr.digital ? 1.5 : 1.4));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
    p.restore();
    if (!tr.digital) {
        const QRect box = p.fontMetrics().boundingRect(tr.name).adjusted(-3, -1, 3, 1);
        const QRect at(r.left() + 3, r.top() + 2, box.width(), box.height());
        p.fillRect(at, QColor(255, 255, 255, 210));
        p.setPen(tr.colour);
        p.drawText(at, Qt::AlignCenter, tr.name);
    }
}

void TrendPlot::pointAt(int x)
{
    const qint64 t = timeAt(x);
    setCursorTime(t);
    Q_EMIT cursorMoved(t);
}

void TrendPlot::mousePressEvent(QMouseEvent *event)
{
    setFocus(Qt::MouseFocusReason);
    if (plotArea().contains(event->position().toPoint())) pointAt(event->position().toPoint().x());
}

void TrendPlot::mouseMoveEvent(QMouseEvent *event)
{
    if (plotArea().contains(event->position().toPoint())) pointAt(event->position().toPoint().x());
}

void TrendPlot::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    if (key != Qt::Key_Left && key != Qt::Key_Right) return QWidget::keyPressEvent(event);
    // A hundredth of the span a press, a tenth with Shift.
    const qint64 step = m_span / ((event->modifiers() & Qt::ShiftModifier) ? 10 : 100);
    const qint64 from = m_cursor.value_or(m_end);
    const qint64 t = qBound(m_end - m_span, from + (key == Qt::Key_Left ? -step : step), m_end);
    setCursorTime(t);
    Q_EMIT cursorMoved(t);
}
