#pragma once
// The program's pictures, drawn in code so no image file has to be shipped.
// Sizes are given in the window's pixels; a picture for a screen of ratio
// (device pixels per window pixel) 2 has twice as many pixels each way and
// carries that ratio, so it shows as sharp as the text beside it.

#include <QImage>
#include <QPixmap>

// The logo of the About box: 118 x 36 pixels.
QPixmap LogoBitmap(int ratio = 1);

// The program's icon: a motor flange, drawn at the given size.
QPixmap AppIconBitmap(int size);

// A picture of the resource table by number: 110..113 the trigger edges
// ("Forward Up", "Forward Down", "Reverse Up", "Reverse Down"), 120 and 121
// the display modes ("Previous+Present", "Present"); a null picture for any
// other number. Each is 48 x 32 pixels.
QPixmap LoadResPicture(int id, int ratio = 1);

// The grid a plot is drawn on: black ground, green lines every 25 pixels from
// the top-left corner, the middle lines two pixels thick, a light frame.
// 249 x 149 for the speed and torque plots, 249 x 50 for the status plot.
// At a ratio above 1 every line keeps its width in window pixels.
QImage WaveGridImage(int width, int height, int ratio = 1);

// The ground of a dial: 270 x 222 pixels, grey, a round knob face in the
// top-left corner with four ticks on its right and "[ /div]" below it.
QPixmap DialBitmap(int ratio = 1);

// The progress panel: 311 x 166 pixels, a small dialog window with a blue
// title bar.
QPixmap CapturePanelBitmap(int ratio = 1);

// The whole device pixels per window pixel of a widget's screen: fractions
// are rounded up, so a picture is drawn finer rather than coarser.
class QWidget;
int PictureRatio(const QWidget *widget);
