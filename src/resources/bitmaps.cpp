#include "bitmaps.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QWidget>
#include <cmath>

namespace {

// A picture of w x h window pixels at the ratio; painters on it draw in
// window pixels.
QPixmap canvas(int w, int h, int ratio)
{
    QPixmap pm(w * ratio, h * ratio);
    pm.setDevicePixelRatio(ratio);
    return pm;
}

}  // namespace

int PictureRatio(const QWidget *widget)
{
    const double ratio = widget ? widget->devicePixelRatioF() : 1.0;
    return std::max(1, static_cast<int>(std::ceil(ratio - 1e-6)));
}

QPixmap LogoBitmap(int ratio)
{
    QPixmap pm = canvas(118, 36, ratio);
    pm.fill(QColor(0, 0, 128));
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    // A motor flange: a ring with four bolt holes and a shaft.
    p.setPen(QPen(QColor(192, 192, 192), 2));
    p.setBrush(QColor(128, 128, 128));
    p.drawEllipse(QRectF(5, 5, 26, 26));
    p.setBrush(QColor(255, 255, 0));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(14, 14, 8, 8));
    p.setBrush(QColor(0, 0, 128));
    for (const QPointF c : {QPointF(10, 10), QPointF(26, 10), QPointF(10, 26), QPointF(26, 26)})
        p.drawEllipse(c, 1.6, 1.6);
    // The name, with a red speed stroke under it.
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(19);
    f.setBold(true);
    f.setItalic(true);
    p.setFont(f);
    p.setPen(QColor(255, 255, 255));
    p.drawText(QRectF(36, 2, 80, 26), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("ORVEX"));
    p.setPen(QPen(QColor(255, 0, 0), 2));
    p.drawLine(QPointF(38, 29), QPointF(112, 29));
    p.setPen(QPen(QColor(0, 255, 255), 1));
    p.drawLine(QPointF(50, 32), QPointF(112, 32));
    return pm;
}

QPixmap AppIconBitmap(int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    p.setPen(QPen(QColor(0, 0, 128), 2));
    p.setBrush(QColor(160, 160, 176));
    p.drawEllipse(QRectF(2, 2, 28, 28));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 128));
    for (const QPointF c : {QPointF(8, 8), QPointF(24, 8), QPointF(8, 24), QPointF(24, 24)}) p.drawEllipse(c, 2, 2);
    p.setBrush(QColor(255, 200, 0));
    p.drawEllipse(QRectF(11, 11, 10, 10));
    return pm;
}

namespace {

constexpr QRgb Green = qRgb(0, 128, 0);
constexpr QRgb LightFrame = qRgb(192, 192, 192);

// A small scope screen, the ground of the edge and display-mode pictures.
void drawScreen(QPainter &p, int w, int h)
{
    p.fillRect(0, 0, w, h, QColor(0, 0, 0));
    p.setPen(QColor(0, 96, 0));
    for (int x = 8; x < w; x += 8)
        for (int y = 4; y < h; y += 4) p.drawPoint(x, y);
    p.setPen(QColor(128, 128, 128));
    p.drawRect(0, 0, w - 1, h - 1);
}

void arrowHead(QPainter &p, QPointF tip, QPointF from)
{
    const QPointF d = tip - from;
    const double len = std::hypot(d.x(), d.y());
    const QPointF u = d / len;
    const QPointF n(-u.y(), u.x());
    p.drawPolygon(QPolygonF{tip, tip - u * 6 + n * 3.5, tip - u * 6 - n * 3.5});
}

// One trigger edge: the zero axis, the trigger level (above it for forward,
// below it for reverse) and a trace that passes it rising or falling away
// from zero ("Up") or back towards zero ("Down").
QPixmap edgePicture(bool reverse, bool up, int ratio)
{
    QPixmap pm = canvas(48, 32, ratio);
    QPainter p(&pm);
    drawScreen(p, 48, 32);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(160, 160, 160), 1));
    p.drawLine(QPointF(2, 16.5), QPointF(46, 16.5));
    const double level = reverse ? 24.5 : 8.5;
    p.setPen(QPen(QColor(255, 64, 64), 1, Qt::DashLine));
    p.drawLine(QPointF(2, level), QPointF(46, level));
    // Away from zero is up on the forward side and down on the reverse side.
    const double nearZero = 16.5;
    const double beyond = reverse ? 29 : 4;
    const bool away = up;
    const QPointF a(6, away ? nearZero : beyond);
    const QPointF b(18, away ? nearZero : beyond);
    const QPointF c(30, away ? beyond : nearZero);
    const QPointF e(42, away ? beyond : nearZero);
    p.setPen(QPen(QColor(255, 255, 64), 1.6));
    p.drawPolyline(QPolygonF{a, b, c, e});
    p.setBrush(QColor(255, 255, 64));
    p.setPen(Qt::NoPen);
    const QPointF mid = (b + c) / 2;
    arrowHead(p, mid + (c - b) * 0.18, b);
    return pm;
}

// A display mode: the present trace in light yellow, with the previous one
// in red beneath it for "Previous+Present".
QPixmap modePicture(bool withPrevious, int ratio)
{
    QPixmap pm = canvas(48, 32, ratio);
    QPainter p(&pm);
    drawScreen(p, 48, 32);
    p.setRenderHint(QPainter::Antialiasing);
    auto wave = [](double dy) {
        QPolygonF poly;
        for (int x = 3; x <= 45; ++x) poly << QPointF(x, 16 + dy - 9 * std::sin((x - 3) / 42.0 * 2 * M_PI));
        return poly;
    };
    if (withPrevious) {
        p.setPen(QPen(QColor(255, 0, 0), 1.4));
        p.drawPolyline(wave(5));
    }
    p.setPen(QPen(QColor(255, 255, 64), 1.4));
    p.drawPolyline(wave(0));
    return pm;
}

}  // namespace

QPixmap LoadResPicture(int id, int ratio)
{
    switch (id) {
    case 110: return edgePicture(false, true, ratio);
    case 111: return edgePicture(false, false, ratio);
    case 112: return edgePicture(true, true, ratio);
    case 113: return edgePicture(true, false, ratio);
    case 120: return modePicture(true, ratio);
    case 121: return modePicture(false, ratio);
    default: return {};
    }
}

QImage WaveGridImage(int width, int height, int ratio)
{
    QImage img(width * ratio, height * ratio, QImage::Format_RGB32);
    img.setDevicePixelRatio(ratio);
    img.fill(qRgb(0, 0, 0));
    // One window pixel: ratio x ratio pixels of the picture.
    auto set = [&](int x, int y, QRgb c) {
        if (x < 0 || y < 0 || x >= width || y >= height) return;
        for (int dy = 0; dy < ratio; ++dy) {
            QRgb *line = reinterpret_cast<QRgb *>(img.scanLine(y * ratio + dy));
            for (int dx = 0; dx < ratio; ++dx) line[x * ratio + dx] = c;
        }
    };
    const int midX = (width + 1) / 2 / 25 * 25;   // 125
    const int midY = (height + 1) / 2 / 25 * 25;  // 75 or 25
    for (int x = 0; x < width; x += 25)
        for (int y = 0; y < height; ++y) set(x, y, Green);
    for (int y = 0; y < height; y += 25)
        for (int x = 0; x < width; ++x) set(x, y, Green);
    for (int y = 0; y < height; ++y) set(midX + 1, y, Green);
    for (int x = 0; x < width; ++x) set(x, midY + 1, Green);
    // Fifths of a division marked along the middle lines.
    for (int x = 0; x < width; x += 5)
        for (int y = midY - 2; y <= midY + 3; ++y) set(x, y, Green);
    for (int y = 0; y < height; y += 5)
        for (int x = midX - 2; x <= midX + 3; ++x) set(x, y, Green);
    for (int x = 0; x < width; ++x) {
        set(x, 0, LightFrame);
        set(x, height - 1, LightFrame);
    }
    for (int y = 0; y < height; ++y) {
        set(0, y, LightFrame);
        set(width - 1, y, LightFrame);
    }
    return img;
}

QPixmap DialBitmap(int ratio)
{
    QPixmap pm = canvas(270, 222, ratio);
    pm.fill(QColor(192, 192, 192));
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    // The face fills the dial's circle (4, 24, 41 x 41); the knob rides on a
    // circle of 17 pixels about (24.5, 45.5).
    const QRectF face(4, 24, 41, 41);
    QRadialGradient shade(face.center() - QPointF(6, 6), 26);
    shade.setColorAt(0, QColor(250, 250, 250));
    shade.setColorAt(1, QColor(150, 150, 150));
    p.setPen(QPen(QColor(64, 64, 64), 1.2));
    p.setBrush(shade);
    p.drawEllipse(face.adjusted(0.5, 0.5, -0.5, -0.5));
    p.setPen(QPen(QColor(112, 112, 112), 1));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(face.adjusted(6, 6, -6, -6));
    // Ticks towards the four knob places.
    const QPointF centre(367 / 15.0, 682 / 15.0);
    const QPointF knobs[4] = {{487.5, 457.5}, {599.5, 577.5}, {599.5, 787.5}, {470.5, 915}};
    // Each tick leads to the left end of its position caption (Left 48 px,
    // middles 20.5, 36.5, 52.5, 67.5 px).
    const double captionMiddle[4] = {20.5, 36.5, 52.5, 67.5};
    for (int i = 0; i < 4; ++i) {
        const QPointF d = knobs[i] / 15.0 - centre;
        const QPointF u = d / std::hypot(d.x(), d.y());
        const QPointF outer = centre + u * 25;
        p.setPen(QPen(QColor(0, 0, 0), 1.5));
        p.drawLine(centre + u * 21.5, outer);
        p.setPen(QPen(QColor(96, 96, 96), 1));
        p.drawLine(outer, QPointF(47, captionMiddle[i]));
    }
    // "[ /div]" under the face; the unit is placed in its gap.
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(11);
    p.setFont(f);
    p.setPen(QColor(0, 0, 0));
    p.drawText(QRectF(2, 76, 10, 15), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("["));
    p.drawText(QRectF(40, 76, 40, 15), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("/div]"));
    return pm;
}

QPixmap CapturePanelBitmap(int ratio)
{
    QPixmap pm = canvas(311, 166, ratio);
    pm.fill(QColor(212, 208, 200));
    QPainter p(&pm);
    // A raised window edge.
    p.setPen(QColor(255, 255, 255));
    p.drawLine(1, 1, 309, 1);
    p.drawLine(1, 1, 1, 164);
    p.setPen(QColor(64, 64, 64));
    p.drawLine(0, 165, 310, 165);
    p.drawLine(310, 0, 310, 165);
    p.setPen(QColor(128, 128, 128));
    p.drawLine(1, 164, 309, 164);
    p.drawLine(309, 1, 309, 164);
    // The title bar.
    QLinearGradient bar(4, 0, 306, 0);
    bar.setColorAt(0, QColor(0, 0, 128));
    bar.setColorAt(1, QColor(16, 132, 208));
    p.fillRect(QRect(4, 4, 303, 18), bar);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(11);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(255, 255, 255));
    p.drawText(QRect(9, 4, 260, 18), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Graphical Monitor"));
    // A close box, greyed: the capture is closed with "Cancel".
    const QRect box(289, 7, 14, 12);
    p.fillRect(box, QColor(212, 208, 200));
    p.setPen(QColor(255, 255, 255));
    p.drawLine(box.topLeft(), box.topRight());
    p.drawLine(box.topLeft(), box.bottomLeft());
    p.setPen(QColor(64, 64, 64));
    p.drawLine(box.bottomLeft(), box.bottomRight());
    p.drawLine(box.topRight(), box.bottomRight());
    p.setPen(QPen(QColor(128, 128, 128), 1.5));
    p.drawLine(QPoint(293, 10), QPoint(299, 16));
    p.drawLine(QPoint(299, 10), QPoint(293, 16));
    return pm;
}
