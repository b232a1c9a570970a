#pragma once
// The program's pictures, drawn in code so no image file has to be shipped.

#include <QPixmap>

// The logo of the About box: 118 x 36 pixels.
QPixmap LogoBitmap();

// The program's icon: a motor flange, drawn at the given size.
QPixmap AppIconBitmap(int size);
