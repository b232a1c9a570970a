#include "windowlayout.h"

#include <algorithm>

namespace WindowLayout {

namespace {

// A window or a group of windows placed together, with the offsets of its
// windows from its top-left corner.
struct Block {
    QSize size;
    QList<QPair<Slot, QPoint>> members;
};

Block single(const Sizes &sizes, Slot s) { return {sizes[s], {{s, QPoint(0, 0)}}}; }

// The panel over the status display and the alarm display side by side.
Block operating(const Sizes &sizes)
{
    const int below = sizes[Panel].height() + Gap;
    const int width = std::max(sizes[Panel].width(), sizes[Status].width() + Gap + sizes[Alarm].width());
    const int height = below + std::max(sizes[Status].height(), sizes[Alarm].height());
    return {QSize(width, height),
            {{Panel, QPoint(0, 0)}, {Status, QPoint(0, below)}, {Alarm, QPoint(sizes[Status].width() + Gap, below)}}};
}

// Blocks stacked into columns left to right, each column's blocks top down.
Arrangement columns(const QList<QList<Block>> &cols)
{
    Arrangement a;
    int x = 0;
    int bottom = 0;
    for (const QList<Block> &col : cols) {
        int y = 0;
        int width = 0;
        for (const Block &b : col) {
            for (const auto &[slot, offset] : b.members) a.positions[slot] = QPoint(x, y) + offset;
            y += b.size.height() + Gap;
            width = std::max(width, b.size.width());
        }
        bottom = std::max(bottom, y - Gap);
        x += width + Gap;
    }
    a.extent = QSize(x - Gap, bottom);
    return a;
}

bool within(QSize extent, QSize area) { return extent.width() <= area.width() && extent.height() <= area.height(); }

Arrangement threeColumns(const Sizes &sizes)
{
    Arrangement a = columns({{operating(sizes)},
                             {single(sizes, Scope), single(sizes, IO)},
                             {single(sizes, Params), single(sizes, Points)}});
    a.kind = Kind::ThreeColumns;
    return a;
}

// The blocks keep their order; of the ways to cut them into two columns the
// one with the lower bottom is taken (the narrower one when both are as low).
Arrangement twoColumns(const Sizes &sizes)
{
    const QList<Block> blocks{operating(sizes), single(sizes, Scope), single(sizes, IO), single(sizes, Params),
                              single(sizes, Points)};
    Arrangement best;
    for (int cut = 1; cut < blocks.size(); ++cut) {
        const Arrangement a = columns({blocks.mid(0, cut), blocks.mid(cut)});
        const bool better = best.extent.isEmpty() || a.extent.height() < best.extent.height() ||
                            (a.extent.height() == best.extent.height() && a.extent.width() < best.extent.width());
        if (better) best = a;
    }
    best.kind = Kind::TwoColumns;
    return best;
}

Arrangement cascade(const Sizes &sizes)
{
    // Large windows first, so the small ones end up on top; the I/O monitor,
    // active at start, in front.
    constexpr Slot order[SlotCount] = {Params, Points, Scope, Panel, Status, Alarm, IO};
    Arrangement a;
    a.kind = Kind::Cascade;
    QRect all;
    for (int i = 0; i < SlotCount; ++i) {
        const QPoint at(i * CascadeStep, i * CascadeStep);
        a.positions[order[i]] = at;
        all |= QRect(at, sizes[order[i]]);
    }
    a.extent = all.size();
    return a;
}

}  // namespace

Arrangement ArrangeAs(Kind kind, const Sizes &sizes)
{
    switch (kind) {
    case Kind::ThreeColumns: return threeColumns(sizes);
    case Kind::TwoColumns: return twoColumns(sizes);
    case Kind::Cascade: return cascade(sizes);
    }
    return threeColumns(sizes);
}

Arrangement Arrange(const Sizes &sizes, QSize area, bool mayOverlap)
{
    for (Kind kind : {Kind::ThreeColumns, Kind::TwoColumns, Kind::Cascade}) {
        if (kind == Kind::Cascade && !mayOverlap) break;
        Arrangement a = ArrangeAs(kind, sizes);
        a.fits = within(a.extent, area);
        if (a.fits) return a;
    }
    // Side by side, scrolling as little as may be: the overflow of the three
    // columns against that of the two, the three when they overflow as much.
    const auto overflow = [area](const Arrangement &a) {
        return std::max(0, a.extent.width() - area.width()) + std::max(0, a.extent.height() - area.height());
    };
    const Arrangement three = threeColumns(sizes);
    const Arrangement two = twoColumns(sizes);
    Arrangement a = overflow(two) < overflow(three) ? two : three;
    a.fits = false;
    return a;
}

bool UsableOnScreens(const QRect &remembered, const QList<QRect> &screens)
{
    if (remembered.isEmpty()) return false;
    const QRect grip(remembered.topLeft(), QSize(remembered.width(), std::min(GripHeight, remembered.height())));
    const int wide = std::min(GripWidth, grip.width());
    for (const QRect &screen : screens) {
        const QRect on = grip & screen;
        if (!on.isEmpty() && on.width() >= wide && on.height() * 2 >= grip.height()) return true;
    }
    return false;
}

std::optional<QRect> FitOnScreen(const QRect &remembered, const QRect &available)
{
    if (remembered.isEmpty() || remembered.width() > available.width() ||
        remembered.height() + GripHeight > available.height())
        return std::nullopt;
    const int x = std::clamp(remembered.x(), available.left(), available.right() + 1 - remembered.width());
    const int y = std::clamp(remembered.y(), available.top() + GripHeight, available.bottom() + 1 - remembered.height());
    return QRect(QPoint(x, y), remembered.size());
}

QPoint TitleBarInside(const QRect &child, QSize area)
{
    // The whole title bar where the window is narrower than the area, else
    // from the area's left edge.
    const int x = std::clamp(child.x(), 0, std::max(0, area.width() - child.width()));
    const int y = std::clamp(child.y(), 0, std::max(0, area.height() - GripHeight));
    return QPoint(x, y);
}

}  // namespace WindowLayout
