#include "waveplot.h"

#include "common/twips.h"
#include "wave/wavegeometry.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

int SeriesCount(int displayMode) { return displayMode == 1 ? 1 : 2; }

int SeriesAt(int displayMode, int i) { return displayMode == 1 ? 1 : (i == 0 ? 2 : 1); }

namespace {

// n / d rounded to the nearest whole number, halves up; d > 0.
qint64 roundDiv(qint64 n, qint64 d)
{
    const qint64 twice = 2 * n + d;
    const qint64 q = twice / (2 * d);
    return (twice % (2 * d) != 0 && twice < 0) ? q - 1 : q;
}

void setPixel(QImage &image, int x, int y, QRgb colour)
{
    reinterpret_cast<QRgb *>(image.scanLine(y))[x] = colour;
}

// Starts a plot from its grid, reusing the picture's memory.
void startFrom(QImage &image, const QImage &grid)
{
    if (image.size() != grid.size() || image.format() != grid.format()) image = QImage(grid.size(), grid.format());
    image.setDevicePixelRatio(grid.devicePixelRatio());
    std::memcpy(image.bits(), grid.constBits(), static_cast<size_t>(grid.sizeInBytes()));
}

// The whole picture pixels per window pixel of a plot.
int ratioOf(const QImage &image) { return std::max(1, static_cast<int>(std::lround(image.devicePixelRatio()))); }

// Twips to the picture's pixels: at a ratio above 1 the series are placed
// finer, each of their points still a window pixel square.
struct Pen {
    QImage &image;
    int ratio;
    int at(double twips) const { return Twips::px(twips * ratio); }
    void point(int x, int y, QRgb colour) const
    {
        for (int dy = 0; dy < ratio; ++dy)
            for (int dx = 0; dx < ratio; ++dx) RasterPoint(image, x + dx, y + dy, colour);
    }
    void line(int x0, int y0, int x1, int y1, QRgb colour) const
    {
        for (int dy = 0; dy < ratio; ++dy)
            for (int dx = 0; dx < ratio; ++dx) RasterLine(image, x0 + dx, y0 + dy, x1 + dx, y1 + dy, colour);
    }
};

// Walks a line one step at a time along its longer axis a, from a0 to a1,
// only over 0..aLimit - 1, and hands each step with its nearest b to plot.
template <typename Plot> void walkLine(int a0, int b0, int a1, int b1, int aLimit, Plot plot)
{
    if (a0 > a1) {
        std::swap(a0, a1);
        std::swap(b0, b1);
    }
    const qint64 da = qint64(a1) - a0;
    const qint64 db = qint64(b1) - b0;
    for (int a = a0 < 0 ? 0 : a0; a <= a1 && a < aLimit; ++a) plot(a, b0 + roundDiv((a - qint64(a0)) * db, da));
}

}  // namespace

void RasterPoint(QImage &image, int x, int y, QRgb colour)
{
    if (x >= 0 && y >= 0 && x < image.width() && y < image.height()) setPixel(image, x, y, colour);
}

void RasterLine(QImage &image, int x0, int y0, int x1, int y1, QRgb colour)
{
    const int w = image.width();
    const int h = image.height();
    const qint64 dx = qint64(x1) - x0;
    const qint64 dy = qint64(y1) - y0;
    if (dx == 0 && dy == 0) {
        RasterPoint(image, x0, y0, colour);
    } else if ((dx < 0 ? -dx : dx) >= (dy < 0 ? -dy : dy)) {
        walkLine(x0, y0, x1, y1, w, [&](int x, qint64 y) {
            if (y >= 0 && y < h) setPixel(image, x, static_cast<int>(y), colour);
        });
    } else {
        walkLine(y0, x0, y1, x1, h, [&](int y, qint64 x) {
            if (x >= 0 && x < w) setPixel(image, static_cast<int>(x), y, colour);
        });
    }
}

void RenderTrace(QImage &image, const QImage &grid, const WaveState &wave, int channel, int y0, double factor,
                 int displayMode)
{
    startFrom(image, grid);
    const Pen pen{image, ratioOf(grid)};
    const auto pixel = [&pen](double twips) { return pen.at(twips); };
    const auto c = static_cast<size_t>(channel);
    for (int i = 0; i < SeriesCount(displayMode); ++i) {
        const int k = SeriesAt(displayMode, i);
        const QRgb colour = SeriesColour(k);
        const auto &series = wave.WaveData[static_cast<size_t>(k)];
        int px0 = pixel(WaveGeometry::SampleX(0));
        int py0 = pixel(WaveGeometry::TracePointY(y0, series[0][c], factor, k));
        for (int s = 1; s < WaveSamples; ++s) {
            const int px1 = pixel(WaveGeometry::SampleX(s));
            const int py1 = pixel(WaveGeometry::TracePointY(y0, series[static_cast<size_t>(s)][c], factor, k));
            pen.line(px0, py0, px1, py1, colour);
            px0 = px1;
            py0 = py1;
        }
    }
}

void RenderStatusTrace(QImage &image, const QImage &grid, const WaveState &wave, int displayMode)
{
    startFrom(image, grid);
    const Pen pen{image, ratioOf(grid)};
    const auto pixel = [&pen](double twips) { return pen.at(twips); };
    for (int i = 0; i < SeriesCount(displayMode); ++i) {
        const int k = SeriesAt(displayMode, i);
        const QRgb colour = SeriesColour(k);
        const auto &flags = wave.WaveFlag[static_cast<size_t>(k)];
        const double yh = 150 + 15 * (k - 1);
        const double yl = 600 + 15 * (k - 1);
        // The first sample is a single point, without the series offset.
        pen.point(0, pixel((flags[0] & 1) ? 150 : 600), colour);
        for (int s = 1; s < WaveSamples; ++s) {
            const bool high = flags[static_cast<size_t>(s)] & 1;
            const int y = pixel(high ? yh : yl);
            const double x = WaveGeometry::SampleX(s);
            pen.point(pixel(x), y, colour);
            pen.point(pixel(x + 15), y, colour);
            if (high != bool(flags[static_cast<size_t>(s - 1)] & 1))
                pen.line(pixel(x), pixel(yl), pixel(x), pixel(yh), colour);
        }
    }
}
