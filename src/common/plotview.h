#pragma once
// The plot of the trend recorder and of the waveform analysis: lanes stacked
// over one shared x axis (time in ms, frequency in Hz, or the clock), each
// with its own y scale, traces drawn as lines or as 0/1 steps, up to two
// vertical cursors, and a legend above the lanes (never over a cursor's
// label). It is painted, not built of items: one routine draws it on the
// screen, into a picture of any size and onto a PDF page, with fonts and
// lines scaled to the target, and its cost is bounded by the pixels, not the
// values (a lane never has more than a few dozen ticks, a trace never more
// than a few points a pixel column).
//
// With ZoomPan: the wheel zooms x about the pointer (with Ctrl, the y axis of
// that lane); a rectangle dragged with the left button zooms into it; a drag
// with the right or middle button, or Shift and the left, pans; a cursor
// line is dragged with the left button; a click moves the active cursor
// there. Keys: Left/Right move the active cursor a sample (Shift: pan), 1
// and 2 choose the active cursor, + and - zoom x, Ctrl+Up/Down zoom y, Home
// or F fits everything.
// With CursorFollowsMouse: a click or a move of the mouse puts cursor 1
// there; Left/Right move it a hundredth of the span (Shift: a tenth).

#include <QColor>
#include <QList>
#include <QString>
#include <QWidget>
#include <array>
#include <limits>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QPainter;

// Points in ascending x.
class PlotSeries {
public:
    virtual ~PlotSeries() = default;
    virtual qsizetype size() const = 0;
    virtual double x(qsizetype i) const = 0;
    virtual double y(qsizetype i) const = 0;
    // The first point with x at or after v (size() when none).
    qsizetype lowerBound(double v) const;
};

class VectorSeries final : public PlotSeries {
public:
    VectorSeries(std::vector<double> x, std::vector<double> y);
    qsizetype size() const override { return qsizetype(m_x.size()); }
    double x(qsizetype i) const override { return m_x[size_t(i)]; }
    double y(qsizetype i) const override { return m_y[size_t(i)]; }

private:
    std::vector<double> m_x, m_y;
};

class PlotView : public QWidget {
    Q_OBJECT
public:
    enum class XAxis { Number, Clock };
    enum Interaction { NoInteraction = 0, ZoomPan = 1, CursorFollowsMouse = 2 };

    struct Trace {
        QString name;
        QColor colour;
        std::shared_ptr<const PlotSeries> series;
        double lift = 0;  // a digital trace is drawn this much higher (overlaid ones stay apart)
        double gap = std::numeric_limits<double>::infinity();  // a longer step in x breaks the line
    };
    struct Lane {
        QString title;         // the y axis's title with its unit; a trend lane's trace name
        bool digital = false;  // 0/1 steps on a fixed scale
        int weight = 3;        // share of the height among the lanes without a fixed height
        int fixedHeight = 0;   // pixels at scale 1, or 0
        bool followView = false;  // the y scale follows the values in view (else fit and zoom set it)
        bool inlineNames = false; // names in the lane and the scale's two ends on the left (trend)
        QList<Trace> traces;
    };

    explicit PlotView(QWidget *parent = nullptr);

    void setXAxis(XAxis kind, const QString &title);
    void setInteraction(int flags) { m_interaction = flags; }
    void setLegendShown(bool shown);
    void setCursorCount(int n);
    // What the plot says while no lane has a trace to draw.
    void setEmptyText(const QString &text);
    // Lanes and traces; the y scales of lanes that stay are kept.
    void setLanes(const QList<Lane> &lanes);
    int laneCount() const { return int(m_lanes.size()); }
    const Lane &lane(int i) const { return m_lanes[i]; }
    // The x values the cursors snap to (the samples), ascending; none: free.
    void setSnapPoints(std::vector<double> xs);

    // The view.
    void fit();  // x over all the data, y of each lane over its data, with headroom
    void setXRange(double lo, double hi);  // as asked (the trend's span)
    void zoomX(double factor, double centre);
    void panX(double dx);
    void zoomY(int lane, double factor, double centre);
    void setYRange(int lane, double lo, double hi);
    double xMin() const { return m_xLo; }
    double xMax() const { return m_xHi; }
    // The y range lane i shows now (a digital lane: its fixed scale).
    std::pair<double, double> yRange(int lane) const;
    // The x extent of every trace's points.
    std::pair<double, double> dataXRange() const { return {m_dataLo, m_dataHi}; }

    // Cursors.
    double cursor(int i) const { return m_cursor[size_t(i)]; }
    bool cursorShown(int i) const { return m_cursorShown[size_t(i)]; }
    void setCursor(int i, double x);  // snapped to the nearest point when there are snap points
    void hideCursor(int i);
    int activeCursor() const { return m_active; }
    void setActiveCursor(int i);
    void stepCursor(int i, int steps);

    // Geometry of the widget as painted at scale 1.
    QRect plotArea() const;        // all lanes together
    QRect legendArea() const;      // the legend's row above the lanes (empty without one)
    QRect laneRect(int lane) const;
    double xOfPixel(double px) const;
    double pixelOfX(double x) const;

    // Paints the plot into target at a scale (fonts, lines and margins; 1 on
    // the screen), with the given base font.
    void render(QPainter &painter, const QRectF &target, double scale, const QFont &font) const;
    // The plot as a picture of this size, its fonts scaled to the picture.
    QImage picture(const QSize &size) const;

    QSize sizeHint() const override { return {640, 420}; }
    QSize minimumSizeHint() const override { return {240, 160}; }

Q_SIGNALS:
    void cursorsMoved();
    // The user put cursor i at x (click, drag, mouse move or key).
    void cursorPlaced(int i, double x);
    void viewChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    struct Layout;
    Layout layout(const QRectF &target, double scale, const QFont &font, QPaintDevice *device) const;
    Layout screenLayout() const;
    std::pair<double, double> valuesInView(int lane) const;
    double snap(double x) const;
    int laneAt(double y) const;
    int cursorNear(double px) const;
    void placeByUser(int i, double x);
    void zoomXTo(double lo, double hi);

    XAxis m_xKind = XAxis::Number;
    QString m_xTitle;
    QString m_emptyText;
    int m_interaction = ZoomPan;
    bool m_legend = true;
    int m_cursorCount = 2;
    QList<Lane> m_lanes;
    std::vector<std::pair<double, double>> m_y;  // a lane's range when it does not follow the view
    std::vector<double> m_snap;
    double m_dataLo = 0, m_dataHi = 1;
    double m_xLo = 0, m_xHi = 1;
    std::array<double, 2> m_cursor{};
    std::array<bool, 2> m_cursorShown{};
    int m_active = 0;

    enum class Drag { None, Cursor, Rectangle, Pan };
    Drag m_drag = Drag::None;
    int m_dragCursor = -1;
    int m_dragLane = -1;
    QPointF m_pressAt, m_lastAt;
    std::optional<QRectF> m_band;
};
