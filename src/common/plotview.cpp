// The plot's state and what the user does with it; its layout and painting
// are in plotrender.cpp.

#include "plotview.h"

#include "drive/plotscale.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace {

// A press and release closer than this many pixels is a click, not a drag.
constexpr double ClickSlack = 4;
// A cursor line is taken by a press this near to it.
constexpr double CursorGrip = 5;
// The y ticks a lane gets when its range is fitted.
constexpr int FitTicks = 6;

}  // namespace

qsizetype PlotSeries::lowerBound(double v) const
{
    qsizetype lo = 0, hi = size();
    while (lo < hi) {
        const qsizetype mid = lo + (hi - lo) / 2;
        if (x(mid) < v) lo = mid + 1;
        else hi = mid;
    }
    return lo;
}

VectorSeries::VectorSeries(std::vector<double> x, std::vector<double> y) : m_x(std::move(x)), m_y(std::move(y))
{
    const size_t n = std::min(m_x.size(), m_y.size());
    m_x.resize(n);
    m_y.resize(n);
}

PlotView::PlotView(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PlotView::setXAxis(XAxis kind, const QString &title)
{
    m_xKind = kind;
    m_xTitle = title;
    update();
}

void PlotView::setEmptyText(const QString &text)
{
    m_emptyText = text;
    update();
}

void PlotView::setLegendShown(bool shown)
{
    m_legend = shown;
    update();
}

void PlotView::setCursorCount(int n)
{
    m_cursorCount = std::clamp(n, 0, 2);
    m_active = std::min(m_active, std::max(0, m_cursorCount - 1));
    update();
}

void PlotView::setLanes(const QList<Lane> &lanes)
{
    m_lanes = lanes;
    m_y.resize(size_t(lanes.size()), {0.0, 1.0});
    // The extent of every trace, for Fit and for the zoom's limits.
    bool any = false;
    for (const Lane &l : m_lanes)
        for (const Trace &t : l.traces) {
            if (!t.series || t.series->size() == 0) continue;
            const double a = t.series->x(0), b = t.series->x(t.series->size() - 1);
            m_dataLo = any ? std::min(m_dataLo, a) : a;
            m_dataHi = any ? std::max(m_dataHi, b) : b;
            any = true;
        }
    if (!any) {
        m_dataLo = 0;
        m_dataHi = 1;
    }
    update();
}

void PlotView::setSnapPoints(std::vector<double> xs)
{
    m_snap = std::move(xs);
    std::sort(m_snap.begin(), m_snap.end());
    for (int i = 0; i < m_cursorCount; ++i)
        if (m_cursorShown[size_t(i)]) m_cursor[size_t(i)] = snap(m_cursor[size_t(i)]);
    update();
}

// ---- the view ----------------------------------------------------------------------

std::pair<double, double> PlotView::valuesInView(int i) const
{
    double lo = 0, hi = 0;
    bool any = false;
    for (const Trace &t : m_lanes[i].traces) {
        if (!t.series) continue;
        const PlotSeries &s = *t.series;
        qsizetype from = s.lowerBound(m_xLo);
        if (from > 0) --from;  // the line comes in from the left
        for (qsizetype k = from; k < s.size(); ++k) {
            const double v = s.y(k);
            if (std::isfinite(v)) {
                lo = any ? std::min(lo, v) : v;
                hi = any ? std::max(hi, v) : v;
                any = true;
            }
            if (s.x(k) > m_xHi) break;
        }
    }
    if (!any) return {0.0, 1.0};
    return {lo, hi};
}

std::pair<double, double> PlotView::yRange(int i) const
{
    if (i < 0 || i >= laneCount()) return {0.0, 1.0};
    const Lane &l = m_lanes[i];
    if (l.digital) {
        double lift = 0;
        for (const Trace &t : l.traces) lift = std::max(lift, t.lift);
        return {-0.3, 1.3 + lift};
    }
    if (l.followView) {
        const auto [lo, hi] = valuesInView(i);
        return PlotScale::NiceRange(lo, hi, 4);
    }
    return m_y[size_t(i)];
}

void PlotView::fit()
{
    m_xLo = m_dataLo;
    m_xHi = m_dataHi > m_dataLo ? m_dataHi : m_dataLo + 1;
    for (int i = 0; i < laneCount(); ++i) {
        const Lane &l = m_lanes[i];
        if (l.digital || l.followView) continue;
        double lo = 0, hi = 0;
        bool any = false;
        for (const Trace &t : l.traces)
            for (qsizetype k = 0; t.series && k < t.series->size(); ++k) {
                const double v = t.series->y(k);
                if (!std::isfinite(v)) continue;
                lo = any ? std::min(lo, v) : v;
                hi = any ? std::max(hi, v) : v;
                any = true;
            }
        m_y[size_t(i)] = any ? PlotScale::NiceRange(lo, hi, FitTicks) : std::pair{0.0, 1.0};
    }
    // Cursors never placed, or outside the data, go to its ends.
    for (int i = 0; i < m_cursorCount; ++i) {
        double &c = m_cursor[size_t(i)];
        if (!m_cursorShown[size_t(i)] || c < m_dataLo || c > m_dataHi) {
            c = snap(i == 0 ? m_dataLo : m_dataHi);
            m_cursorShown[size_t(i)] = true;
        }
    }
    update();
    Q_EMIT cursorsMoved();
    Q_EMIT viewChanged();
}

void PlotView::setXRange(double lo, double hi)
{
    if (!std::isfinite(lo) || !std::isfinite(hi)) return;
    if (hi < lo) std::swap(lo, hi);
    if (!(hi > lo)) hi = lo + 1;
    m_xLo = lo;
    m_xHi = hi;
    update();
    Q_EMIT viewChanged();
}

void PlotView::zoomX(double factor, double centre)
{
    if (!(factor > 0) || !std::isfinite(centre)) return;
    double lo = centre - (centre - m_xLo) * factor;
    double hi = centre + (m_xHi - centre) * factor;
    // Never narrower than a hundredth of the data, never wider than ten times it.
    const double data = std::max(m_dataHi - m_dataLo, 1e-9);
    if (hi - lo < data / 100) {
        const double mid = (lo + hi) / 2;
        lo = mid - data / 200;
        hi = mid + data / 200;
    }
    if (hi - lo > data * 10) return;
    setXRange(lo, hi);
}

void PlotView::panX(double dx)
{
    if (std::isfinite(dx)) setXRange(m_xLo + dx, m_xHi + dx);
}

void PlotView::setYRange(int i, double lo, double hi)
{
    if (i < 0 || i >= laneCount() || m_lanes[i].digital || !std::isfinite(lo) || !std::isfinite(hi) || !(hi > lo))
        return;
    m_y[size_t(i)] = {lo, hi};
    update();
    Q_EMIT viewChanged();
}

void PlotView::zoomY(int i, double factor, double centre)
{
    if (i < 0 || i >= laneCount() || !(factor > 0)) return;
    const auto [lo, hi] = m_y[size_t(i)];
    setYRange(i, centre - (centre - lo) * factor, centre + (hi - centre) * factor);
}

// ---- cursors ---------------------------------------------------------------------

double PlotView::snap(double x) const
{
    if (!std::isfinite(x)) return m_snap.empty() ? 0 : m_snap.front();
    if (m_snap.empty()) return x;
    const auto it = std::lower_bound(m_snap.begin(), m_snap.end(), x);
    if (it == m_snap.begin()) return *it;
    if (it == m_snap.end()) return m_snap.back();
    return (x - *(it - 1)) <= (*it - x) ? *(it - 1) : *it;
}

void PlotView::setCursor(int i, double x)
{
    if (i < 0 || i >= m_cursorCount) return;
    m_cursor[size_t(i)] = snap(x);
    m_cursorShown[size_t(i)] = true;
    update();
    Q_EMIT cursorsMoved();
}

void PlotView::hideCursor(int i)
{
    if (i < 0 || i >= 2 || !m_cursorShown[size_t(i)]) return;
    m_cursorShown[size_t(i)] = false;
    update();
    Q_EMIT cursorsMoved();
}

void PlotView::placeByUser(int i, double x)
{
    setCursor(i, x);
    if (i >= 0 && i < m_cursorCount) Q_EMIT cursorPlaced(i, m_cursor[size_t(i)]);
}

void PlotView::setActiveCursor(int i)
{
    if (i < 0 || i >= m_cursorCount || i == m_active) return;
    m_active = i;
    update();
    Q_EMIT cursorsMoved();
}

void PlotView::stepCursor(int i, int steps)
{
    if (i < 0 || i >= m_cursorCount) return;
    const double now = m_cursorShown[size_t(i)] ? m_cursor[size_t(i)] : (steps < 0 ? m_xHi : m_xLo);
    double x;
    if (m_snap.empty()) {
        x = std::clamp(now + steps * (m_xHi - m_xLo) / 100, m_xLo, m_xHi);
    } else {
        auto it = std::lower_bound(m_snap.begin(), m_snap.end(), now);
        qsizetype at = it - m_snap.begin();
        if (it == m_snap.end() || *it != now) at = std::clamp<qsizetype>(at - (steps > 0 ? 1 : 0), 0, qsizetype(m_snap.size()) - 1);
        at = std::clamp<qsizetype>(at + steps, 0, qsizetype(m_snap.size()) - 1);
        x = m_snap[size_t(at)];
    }
    placeByUser(i, x);
    // Keep the moved cursor in view.
    if (m_interaction & ZoomPan) {
        const double c = cursor(i);
        if (c < m_xLo) panX(c - m_xLo);
        else if (c > m_xHi) panX(c - m_xHi);
    }
}

// ---- what the user does -------------------------------------------------------------

int PlotView::laneAt(double y) const
{
    for (int i = 0; i < laneCount(); ++i) {
        const QRect r = laneRect(i);
        if (y >= r.top() - 3 && y <= r.bottom() + 3) return i;
    }
    return -1;
}

int PlotView::cursorNear(double px) const
{
    int best = -1;
    double bestDistance = CursorGrip + 1;
    for (int i = 0; i < m_cursorCount; ++i) {
        if (!m_cursorShown[size_t(i)]) continue;
        const double d = std::abs(pixelOfX(m_cursor[size_t(i)]) - px);
        if (d <= CursorGrip && d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}

void PlotView::mousePressEvent(QMouseEvent *event)
{
    setFocus(Qt::MouseFocusReason);
    const QPointF at = event->position();
    m_pressAt = m_lastAt = at;
    m_drag = Drag::None;
    if (!(m_interaction & ZoomPan)) {
        if (m_cursorCount > 0 && plotArea().contains(at.toPoint())) placeByUser(0, xOfPixel(at.x()));
        return;
    }
    m_dragLane = laneAt(at.y());
    const bool pan = event->button() == Qt::RightButton || event->button() == Qt::MiddleButton ||
                     (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier));
    if (pan) {
        m_drag = Drag::Pan;
    } else if (event->button() == Qt::LeftButton) {
        m_dragCursor = cursorNear(at.x());
        m_drag = m_dragCursor >= 0 ? Drag::Cursor : Drag::Rectangle;
        if (m_dragCursor >= 0) setActiveCursor(m_dragCursor);
    }
    event->accept();
}

void PlotView::mouseMoveEvent(QMouseEvent *event)
{
    const QPointF at = event->position();
    if (!(m_interaction & ZoomPan)) {
        if ((m_interaction & CursorFollowsMouse) && m_cursorCount > 0 && plotArea().contains(at.toPoint()))
            placeByUser(0, xOfPixel(at.x()));
        return;
    }
    switch (m_drag) {
    case Drag::Cursor:
        placeByUser(m_dragCursor, xOfPixel(at.x()));
        break;
    case Drag::Pan: {
        panX(xOfPixel(m_lastAt.x()) - xOfPixel(at.x()));
        if (m_dragLane >= 0 && !m_lanes[m_dragLane].digital) {
            const QRect r = laneRect(m_dragLane);
            const auto [lo, hi] = m_y[size_t(m_dragLane)];
            const double dy = (at.y() - m_lastAt.y()) / std::max(1, r.height()) * (hi - lo);
            setYRange(m_dragLane, lo + dy, hi + dy);
        }
        break;
    }
    case Drag::Rectangle: {
        const QRectF area = m_dragLane >= 0 ? QRectF(laneRect(m_dragLane)) : QRectF(plotArea());
        QRectF r = QRectF(m_pressAt, at).normalized().intersected(area);
        if (m_dragLane < 0 || m_lanes[m_dragLane].digital) r = QRectF(r.left(), area.top(), r.width(), area.height());
        m_band = r;
        update();
        break;
    }
    case Drag::None:
        break;
    }
    m_lastAt = at;
    event->accept();
}

void PlotView::mouseReleaseEvent(QMouseEvent *event)
{
    if (!(m_interaction & ZoomPan)) return;
    const QPointF at = event->position();
    const bool click = std::abs(at.x() - m_pressAt.x()) <= ClickSlack && std::abs(at.y() - m_pressAt.y()) <= ClickSlack;
    if (m_drag == Drag::Rectangle) {
        m_band.reset();
        update();
        if (click) {
            if (m_cursorCount > 0) placeByUser(m_active, xOfPixel(at.x()));
        } else {
            const double x0 = xOfPixel(m_pressAt.x()), x1 = xOfPixel(at.x());
            if (std::abs(at.x() - m_pressAt.x()) > ClickSlack) zoomXTo(std::min(x0, x1), std::max(x0, x1));
            if (m_dragLane >= 0 && !m_lanes[m_dragLane].digital && std::abs(at.y() - m_pressAt.y()) > ClickSlack) {
                const QRect r = laneRect(m_dragLane);
                const double lo = m_y[size_t(m_dragLane)].first, hi = m_y[size_t(m_dragLane)].second;
                const auto yOf = [&](double py) { return hi - (py - r.top()) / std::max(1, r.height()) * (hi - lo); };
                const double y0 = yOf(m_pressAt.y()), y1 = yOf(at.y());
                setYRange(m_dragLane, std::min(y0, y1), std::max(y0, y1));
            }
        }
    }
    m_drag = Drag::None;
    m_dragCursor = -1;
    event->accept();
}

void PlotView::zoomXTo(double lo, double hi)
{
    // As a zoom about the middle, so the same limits hold.
    const double span = m_xHi - m_xLo;
    if (!(span > 0) || !(hi > lo)) return;
    setXRange(lo, hi);
    zoomX(1.0, (lo + hi) / 2);
}

void PlotView::wheelEvent(QWheelEvent *event)
{
    event->accept();
    if (!(m_interaction & ZoomPan)) return;
    const int steps = event->angleDelta().y() / 120;
    if (steps == 0) return;
    const double factor = std::pow(0.8, steps);
    const QPointF at = event->position();
    if (event->modifiers() & Qt::ControlModifier) {
        const int i = laneAt(at.y());
        if (i < 0 || m_lanes[i].digital) return;
        const QRect r = laneRect(i);
        const auto [lo, hi] = m_y[size_t(i)];
        zoomY(i, factor, hi - (at.y() - r.top()) / std::max(1, r.height()) * (hi - lo));
    } else {
        zoomX(factor, xOfPixel(at.x()));
    }
}

void PlotView::keyPressEvent(QKeyEvent *event)
{
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const bool zoomPan = m_interaction & ZoomPan;
    const double span = m_xHi - m_xLo;
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right: {
        const int dir = event->key() == Qt::Key_Left ? -1 : 1;
        if (zoomPan && shift) panX(dir * span / 10);
        else stepCursor(m_active, dir * (!zoomPan && shift ? 10 : 1));
        break;
    }
    case Qt::Key_1:
    case Qt::Key_2:
        if (!zoomPan) return QWidget::keyPressEvent(event);
        setActiveCursor(event->key() == Qt::Key_1 ? 0 : 1);
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
    case Qt::Key_Minus:
        if (!zoomPan) return QWidget::keyPressEvent(event);
        zoomX(event->key() == Qt::Key_Minus ? 2 : 0.5, (m_xLo + m_xHi) / 2);
        break;
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (!zoomPan || !ctrl) return QWidget::keyPressEvent(event);
        for (int i = 0; i < laneCount(); ++i) {
            const auto [lo, hi] = m_y[size_t(i)];
            zoomY(i, event->key() == Qt::Key_Up ? 0.5 : 2, (lo + hi) / 2);
        }
        break;
    case Qt::Key_Home:
    case Qt::Key_F:
        if (!zoomPan) return QWidget::keyPressEvent(event);
        fit();
        break;
    default:
        return QWidget::keyPressEvent(event);
    }
    event->accept();
}
