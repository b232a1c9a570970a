#include "captureplot.h"

#include <QCategoryAxis>
#include <QGraphicsLineItem>
#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>
#include <QKeyEvent>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMouseEvent>
#include <QValueAxis>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace {

// A press and release closer than this many pixels is a click, not a drag.
constexpr double ClickSlack = 4;
// Pixels about a chart's plot area: the y axis's title and labels on the
// left, the x axis's labels and title below, the legend above the top pane.
constexpr int BaseMargin = 4;
constexpr double AxisRoomLeft = 84;
constexpr double AxisRoomBelow = 26;
constexpr double AxisRoomRight = 24;
constexpr double LegendRoom = 30;
// A cursor line is taken by a press this near to it.
constexpr double CursorGrip = 5;

const QColor CursorColours[2] = {QColor(200, 0, 0), QColor(0, 90, 200)};

// Gives an axis ticks at multiples of a nice step inside its range.
void setNiceTicks(QValueAxis *axis, int ticks)
{
    const double lo = axis->min();
    const double hi = axis->max();
    const double step = NiceTickStep(hi - lo, ticks);
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(std::floor(lo / step) * step);
    axis->setTickInterval(step);
    // Enough decimals to tell the ticks apart.
    const int decimals = step >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
    axis->setLabelFormat(QStringLiteral("%.") + QString::number(std::clamp(decimals, 0, 6)) + QStringLiteral("f"));
}

}  // namespace

double NiceTickStep(double span, int ticks)
{
    if (!(span > 0) || !std::isfinite(span) || ticks < 1) return 1;
    const double raw = span / ticks;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    const double m = raw / power;
    const double nice = m < 1.5 ? 1 : (m < 3.5 ? 2 : (m < 7.5 ? 5 : 10));
    return nice * power;
}

// ---- a pane ------------------------------------------------------------------

PlotPane::PlotPane(PlotStack &stack, int index, const QString &yTitle, bool digital)
    : m_stack(stack), m_index(index), m_digital(digital), m_chart(new QChart)
{
    setChart(m_chart);
    setRenderHint(QPainter::Antialiasing, true);
    setRubberBand(QChartView::NoRubberBand);
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(false);
    m_chart->setMargins(QMargins(BaseMargin, BaseMargin, BaseMargin, BaseMargin));
    // One legend, on the top pane: a capture has one colour in every pane.
    m_chart->legend()->setAlignment(Qt::AlignTop);
    m_chart->legend()->setVisible(index == 0);
    m_chart->setAnimationOptions(QChart::NoAnimation);
    m_x = new QValueAxis;
    m_x->setTitleText(stack.xTitle());
    m_chart->addAxis(m_x, Qt::AlignBottom);
    if (digital) {
        auto *levels = new QCategoryAxis;
        levels->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
        levels->append(QStringLiteral("0"), 0);
        levels->append(QStringLiteral("1"), 1);
        levels->setRange(-0.3, 1.6);
        m_y = levels;
    } else {
        m_y = new QValueAxis;
    }
    m_y->setTitleText(yTitle);
    m_chart->addAxis(m_y, Qt::AlignLeft);
    // The layout below leaves the labels their room.
    m_x->setTruncateLabels(false);
    m_y->setTruncateLabels(false);

    for (int i = 0; i < 2; ++i) {
        QPen pen(CursorColours[i], 1, i == 0 ? Qt::SolidLine : Qt::DashLine);
        m_cursorLine[static_cast<size_t>(i)] = new QGraphicsLineItem(m_chart);
        m_cursorLine[static_cast<size_t>(i)]->setPen(pen);
        m_cursorLine[static_cast<size_t>(i)]->setZValue(20);
        m_cursorMark[static_cast<size_t>(i)] = new QGraphicsSimpleTextItem(QString::number(i + 1), m_chart);
        m_cursorMark[static_cast<size_t>(i)]->setBrush(CursorColours[i]);
        m_cursorMark[static_cast<size_t>(i)]->setZValue(20);
    }
    m_band = new QGraphicsRectItem(m_chart);
    m_band->setPen(QPen(QColor(0, 0, 0, 160), 1, Qt::DotLine));
    m_band->setBrush(QColor(0, 120, 215, 40));
    m_band->setZValue(21);
    m_band->hide();
    connect(m_chart, &QChart::plotAreaChanged, this, [this] {
        placeCursors();
    });
}

void PlotPane::setYTitle(const QString &title) { m_y->setTitleText(title); }

void PlotPane::refreshTicks()
{
    // A label every 30 pixels up and 80 across at the most, so that none is
    // dropped as overlapping.
    setNiceTicks(m_x, std::clamp(static_cast<int>(m_chart->plotArea().width() / 80), 3, 12));
    if (!m_digital) setNiceTicks(m_y, std::clamp(static_cast<int>(m_chart->plotArea().height() / 30), 2, 8));
}

void PlotPane::showXLabels(bool shown)
{
    m_x->setLabelsVisible(shown);
    // The x axis's title stands under the stack, as a label of its own.
    m_x->setTitleVisible(false);
}

double PlotPane::xAt(double viewX) const
{
    const QRectF area = m_chart->plotArea();
    const double sx = m_chart->mapFromScene(mapToScene(QPoint(static_cast<int>(viewX), 0))).x();
    if (area.width() <= 0) return m_x->min();
    return m_x->min() + (sx - area.left()) / area.width() * (m_x->max() - m_x->min());
}

double PlotPane::viewXOf(double x) const
{
    const QRectF area = m_chart->plotArea();
    const double span = m_x->max() - m_x->min();
    const double sx = area.left() + (span > 0 ? (x - m_x->min()) / span * area.width() : 0);
    return mapFromScene(m_chart->mapToScene(QPointF(sx, 0))).x();
}

double PlotPane::yAt(double viewY) const
{
    const QRectF area = m_chart->plotArea();
    const double sy = m_chart->mapFromScene(mapToScene(QPoint(0, static_cast<int>(viewY)))).y();
    if (area.height() <= 0) return m_y->min();
    return m_y->max() - (sy - area.top()) / area.height() * (m_y->max() - m_y->min());
}

void PlotPane::placeCursors()
{
    const QRectF area = m_chart->plotArea();
    const double span = m_x->max() - m_x->min();
    for (int i = 0; i < 2; ++i) {
        QGraphicsLineItem *line = m_cursorLine[static_cast<size_t>(i)];
        QGraphicsSimpleTextItem *mark = m_cursorMark[static_cast<size_t>(i)];
        const double x = m_stack.cursor(i);
        const bool inView = i < m_stack.cursorCount() && span > 0 && x >= m_x->min() && x <= m_x->max();
        line->setVisible(inView);
        mark->setVisible(inView && m_index == 0);
        if (!inView) continue;
        const double sx = area.left() + (x - m_x->min()) / span * area.width();
        line->setLine(sx, area.top(), sx, area.bottom());
        QPen pen = line->pen();
        pen.setWidthF(i == m_stack.activeCursor() ? 2 : 1);
        line->setPen(pen);
        mark->setPos(sx + 3, area.top());
    }
}

int PlotPane::cursorNear(double viewX) const
{
    int best = -1;
    double bestDistance = CursorGrip + 1;
    for (int i = 0; i < m_stack.cursorCount(); ++i) {
        const double d = std::abs(viewXOf(m_stack.cursor(i)) - viewX);
        if (d <= CursorGrip && d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}

void PlotPane::mousePressEvent(QMouseEvent *event)
{
    m_stack.setFocus(Qt::MouseFocusReason);
    m_pressAt = m_lastAt = event->position();
    const bool pan = event->button() == Qt::RightButton || event->button() == Qt::MiddleButton ||
                     (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier));
    if (pan) {
        m_drag = Drag::Pan;
    } else if (event->button() == Qt::LeftButton) {
        m_dragCursor = cursorNear(event->position().x());
        m_drag = m_dragCursor >= 0 ? Drag::Cursor : Drag::Rectangle;
        if (m_dragCursor >= 0) m_stack.setActiveCursor(m_dragCursor);
    }
    event->accept();
}

void PlotPane::mouseMoveEvent(QMouseEvent *event)
{
    const QPointF at = event->position();
    switch (m_drag) {
    case Drag::Cursor:
        m_stack.setCursor(m_dragCursor, xAt(at.x()));
        break;
    case Drag::Pan:
        m_stack.panX(xAt(m_lastAt.x()) - xAt(at.x()));
        if (!m_digital) m_stack.panY(m_index, yAt(m_lastAt.y()) - yAt(at.y()));
        break;
    case Drag::Rectangle: {
        const QRectF area = m_chart->plotArea();
        const QPointF a = m_chart->mapFromScene(mapToScene(m_pressAt.toPoint()));
        const QPointF b = m_chart->mapFromScene(mapToScene(at.toPoint()));
        QRectF r = QRectF(a, b).normalized().intersected(area);
        if (m_digital) r = QRectF(r.left(), area.top(), r.width(), area.height());
        m_band->setRect(r);
        m_band->setVisible(true);
        break;
    }
    case Drag::None:
        break;
    }
    m_lastAt = at;
    event->accept();
}

void PlotPane::mouseReleaseEvent(QMouseEvent *event)
{
    const QPointF at = event->position();
    const bool click = std::abs(at.x() - m_pressAt.x()) <= ClickSlack && std::abs(at.y() - m_pressAt.y()) <= ClickSlack;
    if (m_drag == Drag::Rectangle) {
        m_band->hide();
        if (click) {
            m_stack.setCursor(m_stack.activeCursor(), xAt(at.x()));
        } else {
            const double x0 = xAt(m_pressAt.x());
            const double x1 = xAt(at.x());
            if (std::abs(at.x() - m_pressAt.x()) > ClickSlack) m_stack.setXRange(std::min(x0, x1), std::max(x0, x1));
            if (!m_digital && std::abs(at.y() - m_pressAt.y()) > ClickSlack) {
                const double y0 = yAt(m_pressAt.y());
                const double y1 = yAt(at.y());
                m_stack.setYRange(m_index, std::min(y0, y1), std::max(y0, y1));
            }
        }
    }
    m_drag = Drag::None;
    m_dragCursor = -1;
    event->accept();
}

void PlotPane::wheelEvent(QWheelEvent *event)
{
    const int steps = event->angleDelta().y() / 120;
    if (steps == 0) {
        event->accept();
        return;
    }
    const double factor = std::pow(0.8, steps);
    if (event->modifiers() & Qt::ControlModifier) {
        if (!m_digital) m_stack.zoomY(m_index, factor, yAt(event->position().y()));
    } else {
        m_stack.zoomX(factor, xAt(event->position().x()));
    }
    event->accept();
}

void PlotPane::resizeEvent(QResizeEvent *event)
{
    QChartView::resizeEvent(event);
    // Every pane's plot area keeps the same room for the axes about it, so
    // that the x axes and the cursors of the panes line up.
    const QSizeF size = m_chart->size();
    const double top = m_chart->legend()->isVisible() ? LegendRoom : BaseMargin * 2;
    const double below = m_x->labelsVisible() ? AxisRoomBelow : BaseMargin * 2;
    const QRectF area(AxisRoomLeft, top, size.width() - AxisRoomLeft - AxisRoomRight, size.height() - top - below);
    if (area.width() > 10 && area.height() > 10) {
        m_chart->setPlotArea(area);
        // The axes lay their labels out again for the new area, once the
        // chart has taken it.
        QMetaObject::invokeMethod(this, [this] {
            for (QValueAxis *axis : {m_x, m_y}) {
                const double lo = axis->min(), hi = axis->max();
                axis->setRange(lo, hi + (hi - lo) * 1e-6);
                axis->setRange(lo, hi);
            }
            refreshTicks();
        }, Qt::QueuedConnection);
    }
    placeCursors();
}

// ---- the stack ------------------------------------------------------------------

PlotStack::PlotStack(const QString &xTitle, const QList<PaneSpec> &panes, int cursorCount, QWidget *parent)
    : QWidget(parent), m_xTitle(xTitle), m_cursorCount(std::clamp(cursorCount, 0, 2))
{
    setFocusPolicy(Qt::StrongFocus);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto *xTitleLabel = new QLabel(xTitle, this);
    xTitleLabel->setObjectName(QStringLiteral("LblXTitle"));
    xTitleLabel->setAlignment(Qt::AlignHCenter);
    for (int i = 0; i < panes.size(); ++i) {
        auto *pane = new PlotPane(*this, i, panes[i].yTitle, panes[i].digital);
        pane->setAccessibleName(panes[i].name);
        pane->setObjectName(QStringLiteral("Pane%1").arg(i));
        pane->setFocusProxy(this);
        // The time or frequency is read on the lowest pane only.
        pane->showXLabels(i == panes.size() - 1);
        pane->setMinimumHeight(i == panes.size() - 1 ? 110 : 70);
        column->addWidget(pane, panes[i].digital ? 1 : 3);
        m_panes.push_back(pane);
        m_dataY.emplace_back(0.0, 1.0);
    }
    column->addWidget(xTitleLabel);
    applyXRange();
}

void PlotStack::clearTraces()
{
    for (PlotPane *p : m_panes) p->chartItem()->removeAllSeries();
    m_dataLo = 0;
    m_dataHi = 1;
    for (auto &r : m_dataY) r = {0.0, 1.0};
    m_snap.clear();
    m_traces = 0;
}

void PlotStack::addTrace(int pane, const QString &name, const QColor &colour, const std::vector<double> &x,
                         const std::vector<double> &y, double lift)
{
    if (pane < 0 || pane >= paneCount() || x.empty() || x.size() != y.size()) return;
    PlotPane *p = m_panes[static_cast<size_t>(pane)];
    auto *series = new QLineSeries;
    series->setName(name);
    series->setPen(QPen(colour, 1.5));
    QList<QPointF> points;
    points.reserve(static_cast<qsizetype>(p->digital() ? 2 * x.size() : x.size()));
    for (size_t i = 0; i < x.size(); ++i) {
        if (p->digital()) {
            // Steps: the level holds until the next sample.
            const double next = i + 1 < x.size() ? x[i + 1] : x[i] + (i > 0 ? x[i] - x[i - 1] : 1);
            points.append({x[i], y[i] + lift});
            points.append({next, y[i] + lift});
        } else {
            points.append({x[i], y[i]});
        }
    }
    series->replace(points);
    p->chartItem()->addSeries(series);
    series->attachAxis(p->xAxis());
    series->attachAxis(p->yAxis());

    // The extent of everything added so far, for Fit.
    const bool first = m_traces++ == 0;
    const auto [xlo, xhi] = std::minmax_element(x.begin(), x.end());
    const auto [ylo, yhi] = std::minmax_element(y.begin(), y.end());
    m_dataLo = first ? *xlo : std::min(m_dataLo, *xlo);
    m_dataHi = first ? *xhi : std::max(m_dataHi, *xhi);
    auto &r = m_dataY[static_cast<size_t>(pane)];
    if (p->chartItem()->series().size() == 1) r = {*ylo, *yhi};
    else r = {std::min(r.first, *ylo), std::max(r.second, *yhi)};
}

void PlotStack::setSnapPoints(std::vector<double> xs)
{
    m_snap = std::move(xs);
    std::sort(m_snap.begin(), m_snap.end());
    for (int i = 0; i < m_cursorCount; ++i) m_cursor[static_cast<size_t>(i)] = snap(m_cursor[static_cast<size_t>(i)]);
}

void PlotStack::fit()
{
    double lo = m_dataLo;
    double hi = m_dataHi;
    if (!(hi > lo)) hi = lo + 1;
    m_xLo = lo;
    m_xHi = hi;
    applyXRange();
    for (int i = 0; i < paneCount(); ++i) {
        PlotPane *p = m_panes[static_cast<size_t>(i)];
        if (p->digital()) continue;
        auto [ylo, yhi] = m_dataY[static_cast<size_t>(i)];
        if (!(yhi > ylo)) {
            // A flat trace: a band about its value.
            const double half = std::max(1.0, std::abs(ylo) * 0.1);
            ylo -= half;
            yhi += half;
        }
        const double margin = (yhi - ylo) * 0.08;
        setYRange(i, ylo - margin, yhi + margin);
    }
    // Cursors that have never been placed, or stand outside, go to a third
    // and two thirds of the capture.
    for (int i = 0; i < m_cursorCount; ++i) {
        double &c = m_cursor[static_cast<size_t>(i)];
        if (c < m_dataLo || c > m_dataHi || (i == 1 && c == m_cursor[0]))
            c = snap(m_dataLo + (m_dataHi - m_dataLo) * (i + 1) / (m_cursorCount + 1));
    }
    for (PlotPane *p : m_panes) p->placeCursors();
    Q_EMIT cursorsMoved();
    Q_EMIT viewChanged();
}

void PlotStack::setXRange(double lo, double hi)
{
    if (!std::isfinite(lo) || !std::isfinite(hi)) return;
    if (hi < lo) std::swap(lo, hi);
    // Never narrower than a hundredth of the data, never wider than ten times it.
    const double data = std::max(m_dataHi - m_dataLo, 1e-9);
    if (hi - lo < data / 100) {
        const double mid = (lo + hi) / 2;
        lo = mid - data / 200;
        hi = mid + data / 200;
    }
    if (hi - lo > data * 10) return;
    m_xLo = lo;
    m_xHi = hi;
    applyXRange();
    Q_EMIT viewChanged();
}

void PlotStack::applyXRange()
{
    for (PlotPane *p : m_panes) {
        p->xAxis()->setRange(m_xLo, m_xHi);
        p->refreshTicks();
        p->placeCursors();
    }
}

void PlotStack::zoomX(double factor, double centre)
{
    if (!(factor > 0)) return;
    setXRange(centre - (centre - m_xLo) * factor, centre + (m_xHi - centre) * factor);
}

void PlotStack::setYRange(int pane, double lo, double hi)
{
    if (pane < 0 || pane >= paneCount() || !std::isfinite(lo) || !std::isfinite(hi) || !(hi > lo)) return;
    PlotPane *p = m_panes[static_cast<size_t>(pane)];
    if (p->digital()) return;
    p->yAxis()->setRange(lo, hi);
    p->refreshTicks();
    p->placeCursors();
    Q_EMIT viewChanged();
}

void PlotStack::zoomY(int pane, double factor, double centre)
{
    if (pane < 0 || pane >= paneCount() || !(factor > 0)) return;
    const QValueAxis *y = m_panes[static_cast<size_t>(pane)]->yAxis();
    setYRange(pane, centre - (centre - y->min()) * factor, centre + (y->max() - centre) * factor);
}

void PlotStack::panX(double dx) { setXRange(m_xLo + dx, m_xHi + dx); }

void PlotStack::panY(int pane, double dy)
{
    if (pane < 0 || pane >= paneCount()) return;
    const QValueAxis *y = m_panes[static_cast<size_t>(pane)]->yAxis();
    setYRange(pane, y->min() + dy, y->max() + dy);
}

double PlotStack::snap(double x) const
{
    if (m_snap.empty() || !std::isfinite(x)) return std::isfinite(x) ? x : 0;
    const auto it = std::lower_bound(m_snap.begin(), m_snap.end(), x);
    if (it == m_snap.begin()) return *it;
    if (it == m_snap.end()) return m_snap.back();
    return (x - *(it - 1)) <= (*it - x) ? *(it - 1) : *it;
}

void PlotStack::setCursor(int i, double x)
{
    if (i < 0 || i >= m_cursorCount) return;
    m_cursor[static_cast<size_t>(i)] = snap(x);
    for (PlotPane *p : m_panes) p->placeCursors();
    Q_EMIT cursorsMoved();
}

void PlotStack::setActiveCursor(int i)
{
    if (i < 0 || i >= m_cursorCount || i == m_active) return;
    m_active = i;
    for (PlotPane *p : m_panes) p->placeCursors();
    Q_EMIT cursorsMoved();
}

void PlotStack::stepCursor(int i, int samples)
{
    if (i < 0 || i >= m_cursorCount || m_snap.empty()) return;
    const double now = m_cursor[static_cast<size_t>(i)];
    auto it = std::lower_bound(m_snap.begin(), m_snap.end(), now);
    qsizetype at = it - m_snap.begin();
    if (it == m_snap.end() || *it != now) at = std::clamp<qsizetype>(at - (samples > 0 ? 1 : 0), 0, m_snap.size() - 1);
    at = std::clamp<qsizetype>(at + samples, 0, static_cast<qsizetype>(m_snap.size()) - 1);
    setCursor(i, m_snap[static_cast<size_t>(at)]);
    // Keep the moved cursor in view.
    const double x = cursor(i);
    if (x < m_xLo) panX(x - m_xLo);
    else if (x > m_xHi) panX(x - m_xHi);
}

void PlotStack::keyPressEvent(QKeyEvent *event)
{
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const double span = m_xHi - m_xLo;
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right: {
        const int dir = event->key() == Qt::Key_Left ? -1 : 1;
        if (shift) panX(dir * span / 10);
        else stepCursor(m_active, dir);
        break;
    }
    case Qt::Key_1:
        setActiveCursor(0);
        break;
    case Qt::Key_2:
        setActiveCursor(1);
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        zoomX(0.5, (m_xLo + m_xHi) / 2);
        break;
    case Qt::Key_Minus:
        zoomX(2, (m_xLo + m_xHi) / 2);
        break;
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (!ctrl) {
            QWidget::keyPressEvent(event);
            return;
        }
        for (int i = 0; i < paneCount(); ++i) {
            const QValueAxis *y = m_panes[static_cast<size_t>(i)]->yAxis();
            zoomY(i, event->key() == Qt::Key_Up ? 0.5 : 2, (y->min() + y->max()) / 2);
        }
        break;
    case Qt::Key_Home:
    case Qt::Key_F:
        fit();
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}
