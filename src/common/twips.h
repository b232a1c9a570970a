#pragma once
// Layout lengths are given in twips: 15 twips are one pixel at 100 % scale.

#include <QPoint>
#include <QRect>
#include <QSize>

namespace Twips {
inline constexpr int PerPixel = 15;
// Twips to pixels, rounded to the nearest pixel.
constexpr int px(double twips) { return static_cast<int>(twips >= 0 ? twips / PerPixel + 0.5 : twips / PerPixel - 0.5); }
constexpr double tw(int pixels) { return static_cast<double>(pixels) * PerPixel; }
inline QRect rect(double left, double top, double width, double height)
{
    return QRect(px(left), px(top), px(width), px(height));
}
inline QSize size(double width, double height) { return QSize(px(width), px(height)); }
inline QPoint point(double x, double y) { return QPoint(px(x), px(y)); }
}  // namespace Twips
