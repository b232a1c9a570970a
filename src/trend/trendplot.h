#pragma once
// The trend recorder's chart: the shared plot with wall-clock time across,
// one lane a trace, each in its own colour. A monitor item gets a lane of its
// own scaled to the values in view (so a position in pulses and a speed in
// rpm both read well); a status bit is a narrow digital trace below them.
// Lines break where the values paused for more than TrendGapMs. A click, a
// move of the mouse or the arrow keys put the cursor at a time; what the
// chart shows is also in the window's labels (names, ranges, the values at
// the cursor), for the chart is only painted.

#include "common/plotview.h"
#include "drive/trend/trendrules.h"

#include <QColor>
#include <QList>
#include <optional>
#include <utility>

class TrendPlot : public PlotView {
    Q_OBJECT
public:
    struct Trace {
        QString name;  // the column header ("Current Speed [rpm]")
        QColor colour;
        bool digital = false;
        const TrendSeries *series = nullptr;  // owned by the caller, kept while shown
    };

    explicit TrendPlot(QWidget *parent = nullptr);

    void setTraces(const QList<Trace> &traces);
    // The time span shown: it ends at endMs.
    void setView(qint64 endMs, qint64 spanMs);
    qint64 viewEnd() const { return m_end; }
    qint64 viewSpan() const { return m_span; }
    void setCursorTime(std::optional<qint64> t);
    std::optional<qint64> cursorTime() const;

    // The value range each lane shows (low, high), for the labels; a digital
    // lane reads 0 to 1.
    QList<std::pair<double, double>> ranges() const;
    // The time at a point of the widget and the point of a time across.
    qint64 timeAt(int x) const;
    int xAt(qint64 t) const;
    // A figure of a lane's scale as the window's labels write it.
    static QString scaleText(double v);

    QSize sizeHint() const override { return {560, 320}; }

Q_SIGNALS:
    // The user put the cursor at t (click, mouse move, arrow keys).
    void cursorMoved(qint64 t);

private:
    qint64 m_end = 0;
    qint64 m_span = 10'000;
};
