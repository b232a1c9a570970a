#pragma once
// Drawing of the three plots into their pictures: the grid is copied in, then
// the series are drawn over it pixel by pixel. Points are given in twips and
// land on the nearest pixel.

#include "drive/wave/wavestate.h"

#include <QImage>
#include <QRgb>

// Previous series red, present series light yellow.
inline constexpr QRgb PreviousColour = qRgb(255, 0, 0);
inline constexpr QRgb PresentColour = qRgb(255, 255, 64);

// Display mode 0 ("Previous+Present") draws series 2, then series 1 over it;
// mode 1 ("Present") draws series 1 only.
int SeriesCount(int displayMode);
int SeriesAt(int displayMode, int i);
inline constexpr QRgb SeriesColour(int series) { return series == 2 ? PreviousColour : PresentColour; }

// A straight line between two pixels, both ends included; what falls outside
// the image is left out without walking it.
void RasterLine(QImage &image, int x0, int y0, int x1, int y1, QRgb colour);
void RasterPoint(QImage &image, int x, int y, QRgb colour);

// The speed (channel 0) or torque (channel 1) plot: the grid, then for each
// series shown the lines between the points of slots 0..127, x = 30 s and
// y = y0 - (floor(v f) - (k - 1)) x 15 in twips.
void RenderTrace(QImage &image, const QImage &grid, const WaveState &wave, int channel, int y0, double factor,
                 int displayMode);

// The status plot: a high (150) or low (600) level per sample, 15 twips lower
// for the previous series, and a vertical line where the level changes.
void RenderStatusTrace(QImage &image, const QImage &grid, const WaveState &wave, int displayMode);
