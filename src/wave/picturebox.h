#pragma once
// A picture box: shows a picture from its top-left corner, clipped by its own
// size, and holds child controls over it. The plots draw straight into the
// picture and repaint.

#include <QImage>
#include <QWidget>

class PictureBox : public QWidget {
    Q_OBJECT
public:
    explicit PictureBox(QWidget *parent = nullptr);

    void setPicture(const QImage &picture);
    // The picture itself, for drawing into; call update() afterwards.
    QImage &picture() { return m_picture; }
    const QImage &picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QImage m_picture;
};
