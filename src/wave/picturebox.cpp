#include "picturebox.h"

#include <QPaintEvent>
#include <QPainter>

PictureBox::PictureBox(QWidget *parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent, false); }

void PictureBox::setPicture(const QImage &picture)
{
    m_picture = picture;
    update();
}

void PictureBox::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    const QRect r = event->rect();
    const qreal ratio = m_picture.devicePixelRatio();
    if (ratio == 1.0) {
        p.drawImage(r.topLeft(), m_picture, r);
        return;
    }
    // The picture has ratio x ratio of its pixels to each of the window's.
    p.drawImage(QRectF(r), m_picture, QRectF(r.x() * ratio, r.y() * ratio, r.width() * ratio, r.height() * ratio));
}
