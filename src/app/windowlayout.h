#pragma once
// Where the child windows go: the start-up arrangement for the area there is,
// and whether a place remembered from an earlier run can still be reached.
// Pure functions of sizes and rectangles, so the rules can be tried without
// a screen.

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <array>
#include <optional>

namespace WindowLayout {

// The seven child windows, in the order their sizes are given.
enum Slot { Panel, Status, Alarm, Scope, IO, Params, Points, SlotCount };
using Sizes = std::array<QSize, SlotCount>;

enum class Kind {
    ThreeColumns,  // operating (panel over status and alarms) | scope over I/O | the two editors
    TwoColumns,    // the same blocks in their order, stacked in two columns
    Cascade,       // each window a title bar lower and further right than the one before
};

struct Arrangement {
    Kind kind = Kind::ThreeColumns;
    bool fits = false;  // everything lies inside the area
    std::array<QPoint, SlotCount> positions{};
    QSize extent;  // the bounding size of the windows as placed
};

inline constexpr int Gap = 4;         // between windows side by side or stacked
inline constexpr int CascadeStep = 26;  // a title bar

// Three columns when they fit the area, else two, else (when windows may
// overlap) a cascade. When none of these fits, the windows stay side by side,
// none covering another, in the columns that overflow the area the least
// (width and height added), and the area scrolls; fits is false then.
Arrangement Arrange(const Sizes &sizes, QSize area, bool mayOverlap = true);
Arrangement ArrangeAs(Kind kind, const Sizes &sizes);

// A place remembered for a top-level window is used again only when a strip
// along its top as high as a title bar (Grip high, at least GripWidth wide)
// lies on one of the screens, so it can be grabbed and moved.
inline constexpr int GripHeight = 24;
inline constexpr int GripWidth = 64;
bool UsableOnScreens(const QRect &remembered, const QList<QRect> &screens);

// A remembered main window on the screen it opens on (its available room):
// moved just far enough to lie inside with its title bar above it, or
// nothing when it is too large for the screen (it is then maximised).
std::optional<QRect> FitOnScreen(const QRect &remembered, const QRect &available);

// The top-left corner for a child window of this size at this place such that
// its title bar (GripHeight high, the window's width wide) lies inside an area
// of this size: unchanged when it does already, else moved as little as will
// do; a window wider than the area goes to its left edge.
QPoint TitleBarInside(const QRect &child, QSize area);

}  // namespace WindowLayout
