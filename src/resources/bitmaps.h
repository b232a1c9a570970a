#pragma once
// The program's pictures, drawn in code so no image file has to be shipped.

#include <QPixmap>

// The logo of the About box: 118 x 36 pixels.
QPixmap LogoBitmap();
