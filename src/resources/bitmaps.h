#pragma once
// The program's pictures, drawn in code so no image file has to be shipped.

#include <QImage>
#include <QPixmap>

// The logo of the About box: 118 x 36 pixels.
QPixmap LogoBitmap();

// The program's icon: a motor flange, drawn at the given size.
QPixmap AppIconBitmap(int size);

// A picture of the resource table by number: 110..113 the trigger edges
// ("Forward Up", "Forward Down", "Reverse Up", "Reverse Down"), 120 and 121
// the display modes ("Previous+Present", "Present"); a null picture for any
// other number. Each is 48 x 32 pixels.
QPixmap LoadResPicture(int id);

// The grid a plot is drawn on: black ground, green lines every 25 pixels from
// the top-left corner, the middle lines two pixels thick, a light frame.
// 249 x 149 for the speed and torque plots, 249 x 50 for the status plot.
QImage WaveGridImage(int width, int height);

// The ground of a dial: 270 x 222 pixels, grey, a round knob face in the
// top-left corner with four ticks on its right and "[ /div]" below it.
QPixmap DialBitmap();

// The progress panel: 311 x 166 pixels, a small dialog window with a blue
// title bar.
QPixmap CapturePanelBitmap();
