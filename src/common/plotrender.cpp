// The plot's layout and painting: one routine for the screen, a picture of
// any size and a printed page. Sizes are pixels at scale 1 and grow with the
// scale; the background is filled whole at every paint.

#include "plotview.h"

#include "drive/plotscale.h"

#include <QDateTime>
#include <QFontMetricsF>
#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <climits>
#include <cmath>

namespace {

const QColor Background(Qt::white);
const QColor Frame(150, 150, 150);
const QColor Grid(228, 228, 228);
const QColor Ink(32, 32, 32);
const QColor CursorColours[2] = {QColor(200, 0, 0), QColor(0, 90, 200)};

constexpr double Pad = 6;
constexpr double LaneGap = 6;
constexpr double TickLength = 4;
constexpr double InlineMargin = 72;  // the trend's scale figures and bit names
constexpr double MinLane = 20;

}  // namespace

struct PlotView::Layout {
    double scale = 1;
    QFont font;
    double line = 0;  // a line of text
    QRectF target;
    QRectF legend;    // empty without one
    QRectF area;      // all lanes
    std::vector<QRectF> lanes;
    std::vector<std::pair<double, double>> ranges;
    std::vector<PlotScale::Ticks> yTicks;
    PlotScale::Ticks xTicks;          // a number axis
    std::vector<qint64> clockTicks;   // a clock axis
    double xLabelTop = 0;
    double cursorRow = 0;  // the height of the row of the cursors' names above the lanes
    bool legendShown = false;
};

namespace {

QFont scaledFont(const QFont &base, double scale)
{
    QFont f = base;
    const double px = base.pixelSize() > 0 ? base.pixelSize() : base.pointSizeF() * 96.0 / 72.0;
    f.setPixelSize(std::max(1, int(std::lround(std::max(6.0, px) * scale))));
    return f;
}

QString clockText(qint64 ms) { return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("HH:mm:ss")); }

// A figure of a tick or a scale's end.
QString tickText(double v, int decimals) { return PlotScale::Fixed(v, decimals); }

}  // namespace

PlotView::Layout PlotView::layout(const QRectF &target, double scale, const QFont &font, QPaintDevice *device) const
{
    Layout L;
    L.scale = scale;
    L.target = target;
    L.font = scaledFont(font, scale);
    const QFontMetricsF fm(L.font, device);
    L.line = fm.height();
    const double s = scale;

    bool inlineNames = false;
    for (const Lane &l : m_lanes) inlineNames = inlineNames || l.inlineNames;
    bool named = false;
    if (!m_lanes.isEmpty())
        for (const Trace &t : m_lanes.first().traces) named = named || !t.name.isEmpty();
    L.legendShown = m_legend && named;

    // Heights first: the lanes' ticks depend on them, the left margin on the ticks.
    // The legend's row, then a row for the cursors' names: neither covers the other, nor a trace.
    const double cursorRow = m_cursorCount > 1 ? L.line : 0;
    const double top = target.top() + Pad * s + (L.legendShown ? L.line + Pad * s : 0) + cursorRow;
    const double bottom = target.bottom() - Pad * s - L.line - (m_xTitle.isEmpty() ? 0 : L.line) - TickLength * s;
    const double height = std::max(10.0, bottom - top);
    double fixed = 0;
    int weights = 0;
    for (const Lane &l : m_lanes) {
        if (l.fixedHeight > 0) fixed += l.fixedHeight * s;
        else weights += std::max(1, l.weight);
    }
    const double gaps = LaneGap * s * std::max(0, int(m_lanes.size()) - 1);
    const double share = weights > 0 ? std::max(MinLane * s, (height - fixed - gaps) / weights) : 0;
    std::vector<double> heights;
    for (const Lane &l : m_lanes) heights.push_back(l.fixedHeight > 0 ? l.fixedHeight * s : share * std::max(1, l.weight));

    double labels = 0;  // the widest y figure
    for (int i = 0; i < laneCount(); ++i) {
        L.ranges.push_back(yRange(i));
        const auto [lo, hi] = L.ranges.back();
        PlotScale::Ticks t;
        if (m_lanes[i].digital) {
            t.values = {0.0, 1.0};
            t.step = 1;
        } else {
            t = PlotScale::NiceTicks(lo, hi, std::clamp(int(heights[size_t(i)] / (2.2 * L.line)), 1, 10));
            if (t.step > 0) t.decimals = std::max(t.decimals, PlotScale::NiceTicks(lo, hi, 6).decimals);
            labels = std::max({labels, fm.horizontalAdvance(tickText(lo, t.decimals)),
                               fm.horizontalAdvance(tickText(hi, t.decimals))});
        }
        for (double v : t.values) labels = std::max(labels, fm.horizontalAdvance(tickText(v, t.decimals)));
        L.yTicks.push_back(t);
    }
    const double left = inlineNames ? InlineMargin * s : L.line + Pad * s + labels + TickLength * s + Pad * s;

    // The x figures: the widest decides how many fit and the room on the right.
    const double widthGuess = std::max(10.0, target.width() - left - 16 * s);
    double xLabel;
    if (m_xKind == XAxis::Clock) {
        xLabel = fm.horizontalAdvance(QStringLiteral("00:00:00"));
        const auto span = qint64(m_xHi - m_xLo);
        const qint64 gap = qint64(double(span) * (xLabel + 16 * s) / widthGuess);
        const qint64 offset = qint64(QDateTime::fromMSecsSinceEpoch(qint64(m_xHi)).offsetFromUtc()) * 1000;
        L.clockTicks = PlotScale::ClockTicks(qint64(std::ceil(m_xLo)), qint64(m_xHi), std::max<qint64>(gap, 1), offset);
    } else {
        const int decimals = PlotScale::NiceTicks(m_xLo, m_xHi, 8).decimals;
        xLabel = std::max(fm.horizontalAdvance(tickText(m_xLo, decimals)), fm.horizontalAdvance(tickText(m_xHi, decimals)));
        L.xTicks = PlotScale::NiceTicks(m_xLo, m_xHi, std::clamp(int(widthGuess / (xLabel + 28 * s)), 1, 12));
    }
    const double right = target.right() - std::max(12 * s, xLabel / 2 + 2 * s);
    L.area = QRectF(target.left() + left, top, std::max(10.0, right - target.left() - left), height);
    if (L.legendShown) L.legend = QRectF(L.area.left(), target.top() + Pad * s, L.area.width(), L.line);
    double y = top;
    for (double h : heights) {
        L.lanes.emplace_back(L.area.left(), y, L.area.width(), h);
        y += h + LaneGap * s;
    }
    if (!L.lanes.empty()) L.area.setBottom(L.lanes.back().bottom());
    L.xLabelTop = L.area.bottom() + TickLength * s;
    L.cursorRow = cursorRow;
    return L;
}

PlotView::Layout PlotView::screenLayout() const { return layout(QRectF(rect()), 1.0, font(), const_cast<PlotView *>(this)); }

QRect PlotView::plotArea() const { return screenLayout().area.toRect(); }

QRect PlotView::legendArea() const { return screenLayout().legend.toRect(); }

QRect PlotView::laneRect(int lane) const
{
    const Layout L = screenLayout();
    return lane >= 0 && size_t(lane) < L.lanes.size() ? L.lanes[size_t(lane)].toRect() : QRect();
}

double PlotView::xOfPixel(double px) const
{
    const QRectF a = screenLayout().area;
    if (a.width() <= 0) return m_xLo;
    return m_xLo + (std::clamp(px, a.left(), a.right()) - a.left()) / a.width() * (m_xHi - m_xLo);
}

double PlotView::pixelOfX(double x) const
{
    const QRectF a = screenLayout().area;
    const double span = m_xHi - m_xLo;
    return a.left() + (span > 0 ? (x - m_xLo) / span * a.width() : 0);
}

void PlotView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    render(p, QRectF(rect()), 1.0, font());
    if (m_band) {
        p.setPen(QPen(QColor(0, 0, 0, 160), 1, Qt::DotLine));
        p.setBrush(QColor(0, 120, 215, 40));
        p.drawRect(*m_band);
    }
    // The keys work on the plot with the focus: a frame in the margin says which.
    if (hasFocus()) {
        p.setPen(QPen(palette().color(QPalette::Highlight), 2));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
}

QImage PlotView::picture(const QSize &size) const
{
    QImage image(size.expandedTo(QSize(16, 16)), QImage::Format_RGB32);
    image.fill(Background);
    QPainter p(&image);
    // Figures as legible on the picture as on the screen at its usual size.
    const double scale = std::max(1.0, std::min(image.width() / 900.0, image.height() / 560.0));
    render(p, QRectF(image.rect()), scale, font());
    return image;
}

void PlotView::render(QPainter &p, const QRectF &target, double scale, const QFont &font) const
{
    const Layout L = layout(target, scale, font, p.device());
    const double s = scale;
    const QFontMetricsF fm(L.font, p.device());
    const double span = m_xHi - m_xLo;
    const auto px = [&](double x) { return L.area.left() + (span > 0 ? (x - m_xLo) / span * L.area.width() : 0); };

    p.save();
    p.setClipRect(target);
    p.fillRect(target, Background);
    p.setFont(L.font);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);

    // Legend: one entry a trace of the top lane, in a row above the lanes.
    if (L.legendShown) {
        double x = L.legend.left();
        const QList<Trace> &traces = m_lanes.first().traces;
        for (int k = 0; k < traces.size(); ++k) {
            const Trace &t = traces[k];
            const double w = 18 * s + fm.horizontalAdvance(t.name) + 14 * s;
            if (x + w > L.legend.right() && k > 0) {
                p.setPen(Ink);
                p.drawText(QRectF(x, L.legend.top(), L.legend.right() - x + 40 * s, L.line), Qt::AlignLeft | Qt::AlignVCenter,
                           QStringLiteral("+%1 more").arg(traces.size() - k));
                break;
            }
            p.setPen(QPen(t.colour, 2.5 * s));
            const double mid = L.legend.center().y();
            p.drawLine(QPointF(x, mid), QPointF(x + 14 * s, mid));
            p.setPen(Ink);
            p.drawText(QRectF(x + 18 * s, L.legend.top(), w, L.line), Qt::AlignLeft | Qt::AlignVCenter, t.name);
            x += w;
        }
    }

    // The x ticks' places, for the grid and the figures.
    std::vector<std::pair<double, QString>> xMarks;
    if (m_xKind == XAxis::Clock)
        for (qint64 t : L.clockTicks) xMarks.emplace_back(px(double(t)), clockText(t));
    else
        for (double v : L.xTicks.values) xMarks.emplace_back(px(v), tickText(v, L.xTicks.decimals));

    for (int i = 0; i < laneCount(); ++i) {
        const Lane &lane = m_lanes[i];
        const QRectF r = L.lanes[size_t(i)];
        // Plain names: the lambdas below capture them.
        const double lo = L.ranges[size_t(i)].first, hi = L.ranges[size_t(i)].second;
        const auto py = [&](double v) {
            const double f = hi > lo ? (v - lo) / (hi - lo) : 0.5;
            return r.bottom() - std::clamp(f, -0.05, 1.05) * r.height();
        };
        const PlotScale::Ticks &yt = L.yTicks[size_t(i)];
        // Grid.
        p.setPen(QPen(Grid, 1 * s));
        for (const auto &m : xMarks) p.drawLine(QPointF(m.first, r.top()), QPointF(m.first, r.bottom()));
        if (!lane.inlineNames)
            for (double v : yt.values) p.drawLine(QPointF(r.left(), py(v)), QPointF(r.right(), py(v)));
        // The scale on the left.
        p.setPen(Ink);
        const QRectF margin(L.target.left(), r.top(), r.left() - L.target.left() - Pad * s, r.height());
        if (lane.inlineNames) {
            if (lane.digital) {
                p.setPen(lane.traces.isEmpty() ? Ink : lane.traces.first().colour);
                p.drawText(margin, Qt::AlignRight | Qt::AlignVCenter, fm.elidedText(lane.title, Qt::ElideRight, margin.width()));
            } else {
                p.drawText(margin, Qt::AlignRight | Qt::AlignTop, tickText(hi, yt.decimals));
                p.drawText(margin, Qt::AlignRight | Qt::AlignBottom, tickText(lo, yt.decimals));
            }
        } else {
            // Each figure's place, kept within its lane so that the ends of
            // two lanes stay apart; the scale's ends get one too where it
            // does not run into a tick's.
            const auto placeOf = [&](double v) {
                return std::clamp(py(v) - L.line / 2, r.top() - 1 * s, std::max(r.top(), r.bottom() - L.line + 1 * s));
            };
            const auto label = [&](double v) { return lane.digital ? QString::number(int(v)) : tickText(v, yt.decimals); };
            std::vector<double> values(yt.values.begin(), yt.values.end());
            if (!lane.digital && yt.step > 0)
                for (double end : {lo, hi}) {
                    bool clear = true;
                    for (double v : yt.values) clear = clear && std::abs(placeOf(v) - placeOf(end)) >= L.line * 1.15;
                    if (clear) values.push_back(end);
                }
            for (double v : values) {
                const double y = py(v);
                p.drawLine(QPointF(r.left() - TickLength * s, y), QPointF(r.left(), y));
                p.drawText(QRectF(margin.left(), placeOf(v), margin.width() - TickLength * s, L.line),
                           Qt::AlignRight | Qt::AlignVCenter, label(v));
            }
            // The title, turned, beside the figures.
            p.save();
            p.translate(L.target.left() + Pad * s * 0.5, r.center().y());
            p.rotate(-90);
            p.drawText(QRectF(-r.height() / 2 - 40 * s, 0, r.height() + 80 * s, L.line), Qt::AlignCenter,
                       fm.elidedText(lane.title, Qt::ElideRight, r.height() + 70 * s));
            p.restore();
        }
        // Traces.
        p.save();
        p.setClipRect(r.adjusted(-1 * s, -1 * s, 1 * s, 1 * s));
        for (const Trace &t : lane.traces) {
            if (!t.series || t.series->size() == 0) continue;
            const PlotSeries &se = *t.series;
            qsizetype from = se.lowerBound(m_xLo);
            if (from > 0) --from;
            qsizetype to = se.lowerBound(m_xHi);
            to = std::min(se.size(), to + 1);
            QPainterPath path;
            bool open = false;
            double lastX = 0, lastY = 0, lastV = 0;
            if (lane.digital) {
                for (qsizetype k = from; k < to; ++k) {
                    const double x = se.x(k), v = se.y(k);
                    if (!std::isfinite(v)) {
                        open = false;
                        continue;
                    }
                    const double y = py(v + t.lift);
                    if (open && x - lastV > t.gap) {
                        path.lineTo(px(lastV + t.gap), lastY);  // held until it went stale
                        open = false;
                    }
                    if (!open) path.moveTo(px(x), y);
                    else {
                        path.lineTo(px(x), lastY);
                        path.lineTo(px(x), y);
                    }
                    open = true;
                    lastV = x;
                    lastY = y;
                }
                // The last sample holds for one sample more when the samples are regular.
                if (open && !std::isfinite(t.gap) && to - from >= 2) {
                    const double step = se.x(to - 1) - se.x(to - 2);
                    path.lineTo(px(lastV + step), lastY);
                }
            } else {
                const bool dense = double(to - from) > 3 * r.width() / s;
                int column = INT_MIN;
                double colMin = 0, colMax = 0, colLast = 0;
                const auto flush = [&] {
                    if (column == INT_MIN) return;
                    path.lineTo(column, colMin);
                    path.lineTo(column, colMax);
                    path.lineTo(column, colLast);
                };
                for (qsizetype k = from; k < to; ++k) {
                    const double x = se.x(k), v = se.y(k);
                    if (!std::isfinite(v) || !std::isfinite(x)) {
                        flush();
                        column = INT_MIN;
                        open = false;
                        continue;
                    }
                    const double X = px(x), Y = py(v);
                    const bool gap = open && x - lastX > t.gap;
                    if (!open || gap) {
                        flush();
                        path.moveTo(X, Y);
                        column = dense ? int(X) : INT_MIN;
                        colMin = colMax = colLast = Y;
                    } else if (!dense) {
                        path.lineTo(X, Y);
                    } else if (int(X) != column) {
                        flush();
                        path.lineTo(int(X), Y);
                        column = int(X);
                        colMin = colMax = colLast = Y;
                    } else {
                        colMin = std::min(colMin, Y);
                        colMax = std::max(colMax, Y);
                        colLast = Y;
                    }
                    open = true;
                    lastX = x;
                }
                flush();
                p.setRenderHint(QPainter::Antialiasing, !dense);
            }
            p.setPen(QPen(t.colour, (lane.digital ? 1.5 : 1.6) * s, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
            p.setBrush(Qt::NoBrush);
            p.drawPath(path);
            p.setRenderHint(QPainter::Antialiasing, true);
        }
        p.restore();
        if (lane.inlineNames && !lane.digital) {
            // The trace's name inside its lane, on a white ground.
            const QRectF box = fm.boundingRect(lane.title).adjusted(-3 * s, -1 * s, 3 * s, 1 * s);
            const QRectF at(r.left() + 3 * s, r.top() + 2 * s, box.width(), box.height());
            p.fillRect(at, QColor(255, 255, 255, 210));
            p.setPen(lane.traces.isEmpty() ? Ink : lane.traces.first().colour);
            p.drawText(at, Qt::AlignCenter, lane.title);
        }
        p.setPen(QPen(Frame, 1 * s));
        p.setBrush(Qt::NoBrush);
        p.drawRect(r);
    }

    bool anyPoints = false;
    for (const Lane &lane : m_lanes)
        for (const Trace &t : lane.traces) anyPoints = anyPoints || (t.series && t.series->size() > 0);
    if (!anyPoints && !m_emptyText.isEmpty()) {
        p.setPen(QColor(120, 120, 120));
        p.drawText(L.lanes.empty() ? L.area : L.lanes.front(), Qt::AlignCenter | Qt::TextWordWrap, m_emptyText);
    }

    // The x figures under the lowest lane, and the axis's title.
    p.setPen(Ink);
    const double labelWidth = std::max(40 * s, L.area.width() / std::max<size_t>(1, xMarks.size() + 1));
    for (const auto &[x, text] : xMarks) {
        p.drawLine(QPointF(x, L.area.bottom()), QPointF(x, L.area.bottom() + TickLength * s));
        const double w = std::max(labelWidth, fm.horizontalAdvance(text) + 4 * s);
        p.drawText(QRectF(x - w / 2, L.xLabelTop, w, L.line), Qt::AlignHCenter | Qt::AlignTop, text);
    }
    if (!m_xTitle.isEmpty())
        p.drawText(QRectF(L.area.left(), L.xLabelTop + L.line, L.area.width(), L.line), Qt::AlignHCenter | Qt::AlignTop,
                   m_xTitle);

    // Cursors through every lane; their names at the top of the first, kept
    // apart when the two stand close.
    double lastLabelRight = -1e9;
    for (int i = 0; i < m_cursorCount; ++i) {
        if (!m_cursorShown[size_t(i)]) continue;
        const double c = m_cursor[size_t(i)];
        if (!(c >= m_xLo && c <= m_xHi) || L.lanes.empty()) continue;
        const double x = px(c);
        QPen pen(CursorColours[i], (i == m_active && m_cursorCount > 1 ? 2.0 : 1.2) * s, i == 0 ? Qt::SolidLine : Qt::DashLine);
        p.setPen(pen);
        p.drawLine(QPointF(x, L.area.top() - L.cursorRow), QPointF(x, L.area.bottom()));
        if (m_cursorCount < 2) continue;
        // The name in its row above the lanes, beside the line; the second
        // goes to the other side of its line when the two would meet.
        const QString name = QString::number(i + 1);
        const double w = fm.horizontalAdvance(name) + 4 * s;
        double lx = x + 2 * s;
        if (lx < lastLabelRight + 2 * s) lx = std::max(lastLabelRight + 2 * s, x + 2 * s);
        if (lx + w > L.area.right() + 10 * s) lx = x - 2 * s - w;
        const QRectF box(lx, L.area.top() - L.cursorRow, w, L.cursorRow);
        p.setPen(CursorColours[i]);
        p.drawText(box, Qt::AlignCenter, name);
        lastLabelRight = std::max(lastLabelRight, box.right());
    }
    p.restore();
}
