#include "bitmaps.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

QPixmap LogoBitmap()
{
    QPixmap pm(118, 36);
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
