#pragma once
// Reading the plots back as pixels.

#include <QImage>
#include <QList>

// The rows of a column of a picture painted in a colour.
inline QList<int> rowsIn(const QImage &img, int x, QRgb colour)
{
    QList<int> rows;
    for (int y = 0; y < img.height(); ++y)
        if ((img.pixel(x, y) | 0xFF000000u) == colour) rows << y;
    return rows;
}
