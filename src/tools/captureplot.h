#pragma once
// A stack of plot panes over one shared x axis, drawn with Qt Charts: the
// speed, torque and status panes of the waveform analysis (time in ms), or its
// speed and torque spectra (frequency in Hz). Vertical cursors run through
// every pane and snap to the samples of the traces.
//
// Mouse: the wheel zooms the x axis about the pointer (with Ctrl, the y axis
// of that pane); a rectangle dragged with the left button zooms into it; a
// drag with the right or middle button, or with Shift and the left button,
// pans; a cursor line is dragged with the left button; a click moves the
// active cursor there.
// Keyboard: Left/Right move the active cursor by a sample, 1 and 2 choose the
// active cursor, Shift+Left/Right pan, + and - zoom the x axis, Ctrl+Up and
// Ctrl+Down the y axes, Home or F fits everything.

#include <QChartView>
#include <QColor>
#include <QList>
#include <QString>
#include <QWidget>
#include <array>
#include <vector>

class QGraphicsLineItem;
class QGraphicsRectItem;
class QGraphicsSimpleTextItem;
class QValueAxis;
class PlotStack;

// One pane: a chart with its own y axis.
class PlotPane : public QChartView {
    Q_OBJECT
public:
    PlotPane(PlotStack &stack, int index, const QString &yTitle, bool digital);

    QChart *chartItem() const { return m_chart; }
    QValueAxis *xAxis() const { return m_x; }
    QValueAxis *yAxis() const { return m_y; }
    bool digital() const { return m_digital; }

    void setYTitle(const QString &title);
    void showXLabels(bool shown);
    // Ticks at nice steps, as many as the plot area has room for.
    void refreshTicks();
    // x of a point of the view in axis units, and back.
    double xAt(double viewX) const;
    double viewXOf(double x) const;
    double yAt(double viewY) const;
    void placeCursors();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    enum class Drag { None, Cursor, Rectangle, Pan };
    int cursorNear(double viewX) const;

    PlotStack &m_stack;
    int m_index;
    bool m_digital;
    QChart *m_chart;
    QValueAxis *m_x;
    QValueAxis *m_y;
    std::array<QGraphicsLineItem *, 2> m_cursorLine{};
    std::array<QGraphicsSimpleTextItem *, 2> m_cursorMark{};
    QGraphicsRectItem *m_band;
    Drag m_drag = Drag::None;
    int m_dragCursor = -1;
    QPointF m_pressAt;
    QPointF m_lastAt;
};

class PlotStack : public QWidget {
    Q_OBJECT
public:
    struct PaneSpec {
        QString name;    // the pane's accessible name
        QString yTitle;  // the y axis title with its unit
        bool digital = false;  // a 0/1 trace with a fixed y axis
    };
    PlotStack(const QString &xTitle, const QList<PaneSpec> &panes, int cursorCount, QWidget *parent = nullptr);

    int paneCount() const { return static_cast<int>(m_panes.size()); }
    PlotPane *pane(int i) const { return m_panes[static_cast<size_t>(i)]; }
    int cursorCount() const { return m_cursorCount; }
    const QString &xTitle() const { return m_xTitle; }

    // Traces: remove all, then add each to its pane. A digital trace is
    // drawn as steps, lifted by `lift` so that overlaid ones stay apart.
    void clearTraces();
    void addTrace(int pane, const QString &name, const QColor &colour, const std::vector<double> &x,
                  const std::vector<double> &y, double lift = 0);
    // The x values the cursors snap to (the samples), ascending.
    void setSnapPoints(std::vector<double> xs);

    // The view.
    void fit();
    void setXRange(double lo, double hi);
    double xMin() const { return m_xLo; }
    double xMax() const { return m_xHi; }
    void zoomX(double factor, double centre);
    void zoomY(int pane, double factor, double centre);
    void setYRange(int pane, double lo, double hi);
    void panX(double dx);
    void panY(int pane, double dy);

    // Cursors.
    double cursor(int i) const { return m_cursor[static_cast<size_t>(i)]; }
    void setCursor(int i, double x);  // snapped to the nearest sample
    int activeCursor() const { return m_active; }
    void setActiveCursor(int i);
    void stepCursor(int i, int samples);

Q_SIGNALS:
    void cursorsMoved();
    void viewChanged();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void applyXRange();
    double snap(double x) const;

    QString m_xTitle;
    std::vector<PlotPane *> m_panes;
    int m_cursorCount;
    std::array<double, 2> m_cursor{};
    int m_active = 0;
    std::vector<double> m_snap;
    int m_traces = 0;
    double m_dataLo = 0, m_dataHi = 1;
    double m_xLo = 0, m_xHi = 1;
    std::vector<std::pair<double, double>> m_dataY;  // per pane
};

// A step of 1, 2 or 5 times a power of ten that cuts the span into about
// `ticks` parts.
double NiceTickStep(double span, int ticks);
