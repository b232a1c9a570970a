// The plots as pixels: the grid pictures, and the traces drawn over them.

#include "plotpixels.h"
#include "resources/bitmaps.h"
#include "wave/wavegeometry.h"
#include "wave/waveplot.h"

#include <QTest>

namespace WG = WaveGeometry;

namespace {
constexpr QRgb Black = qRgb(0, 0, 0);
constexpr QRgb Green = qRgb(0, 128, 0);
constexpr QRgb Frame = qRgb(192, 192, 192);


QImage speedPlot(const WaveState &w, int dial, int mode, int zero = 0)
{
    QImage img;
    RenderTrace(img, WaveGridImage(249, 149), w, 0, WG::ZeroLineY(WG::ZeroMarkerTop(0, zero), WG::PlotTop[0]),
                WG::SpeedFactor(dial), mode);
    return img;
}
}  // namespace

class TstWavePlot : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void grid_data();
    void grid();
    void traceRows_data();
    void traceRows();
    void stepIsJoined();
    void wildValuesClipped();
    void statusTrace();
};

void TstWavePlot::grid_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<uint>("colour");
    QTest::newRow("division line x 25") << 149 << QPoint(25, 12) << uint(Green);
    QTest::newRow("between lines") << 149 << QPoint(24, 12) << uint(Black);
    QTest::newRow("middle x 125, 126") << 149 << QPoint(126, 12) << uint(Green);
    QTest::newRow("beside the middle") << 149 << QPoint(127, 12) << uint(Black);
    QTest::newRow("middle y 75, 76") << 149 << QPoint(12, 76) << uint(Green);
    QTest::newRow("above the middle") << 149 << QPoint(12, 74) << uint(Black);
    QTest::newRow("frame right") << 149 << QPoint(248, 40) << uint(Frame);
    QTest::newRow("frame bottom") << 149 << QPoint(40, 148) << uint(Frame);
    QTest::newRow("status middle 25, 26") << 50 << QPoint(12, 26) << uint(Green);
    QTest::newRow("status frame bottom") << 50 << QPoint(40, 49) << uint(Frame);
}

void TstWavePlot::grid()
{
    QFETCH(int, height);
    QFETCH(QPoint, at);
    QFETCH(uint, colour);
    const QImage g = WaveGridImage(249, height);
    QCOMPARE(g.size(), QSize(249, height));
    QCOMPARE(g.pixel(at) | 0xFF000000u, colour);
}

void TstWavePlot::traceRows_data()
{
    QTest::addColumn<int>("present");   // every sample of series 1
    QTest::addColumn<int>("previous");  // every sample of series 2
    QTest::addColumn<int>("dial");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("zero");
    QTest::addColumn<QList<int>>("presentRows");
    QTest::addColumn<QList<int>>("previousRows");
    // All 0: y = 1118 twips, the previous series one pixel lower.
    QTest::newRow("zero data") << 0 << 0 << 0 << 0 << 0 << QList<int>{75} << QList<int>{76};
    QTest::newRow("Present only") << 0 << 0 << 0 << 1 << 0 << QList<int>{75} << QList<int>{};
    QTest::newRow("zero line +1 (1192)") << 0 << 0 << 0 << 0 << 1 << QList<int>{79} << QList<int>{80};
    QTest::newRow("zero line -1 (1042)") << 0 << 0 << 0 << 0 << -1 << QList<int>{69} << QList<int>{70};
    QTest::newRow("zero line 15: below") << 0 << 0 << 0 << 0 << 15 << QList<int>{} << QList<int>{};
    QTest::newRow("400 at 0: 2 px up") << 400 << 0 << 0 << 0 << 0 << QList<int>{73} << QList<int>{76};
    QTest::newRow("400 at 3: 30 px up") << 400 << 400 << 3 << 0 << 0 << QList<int>{45} << QList<int>{46};
    QTest::newRow("-1: 1 px down over red") << -1 << 0 << 2 << 0 << 0 << QList<int>{76} << QList<int>{};
    QTest::newRow("2000 at 3: above") << 2000 << 0 << 3 << 1 << 0 << QList<int>{} << QList<int>{};
}

void TstWavePlot::traceRows()
{
    QFETCH(int, present);
    QFETCH(int, previous);
    QFETCH(int, dial);
    QFETCH(int, mode);
    QFETCH(int, zero);
    QFETCH(QList<int>, presentRows);
    QFETCH(QList<int>, previousRows);
    WaveState w;
    for (auto &slot : w.WaveData[1]) slot[0] = qint16(present);
    for (auto &slot : w.WaveData[2]) slot[0] = qint16(previous);
    const QImage img = speedPlot(w, dial, mode, zero);
    for (int x = 0; x < 249; x += 31) {
        QCOMPARE(rowsIn(img, x, PresentColour), presentRows);
        QCOMPARE(rowsIn(img, x, PreviousColour), previousRows);
    }
}

void TstWavePlot::stepIsJoined()
{
    // A step between slots 63 and 64 (x 126 and 128) is one line without gaps.
    WaveState w;
    for (int s = 64; s < WaveSamples; ++s) w.WaveData[1][s][0] = 4000;  // 29 px up
    const QImage img = speedPlot(w, 0, 1);
    QCOMPARE(rowsIn(img, 120, PresentColour), QList<int>{75});
    QCOMPARE(rowsIn(img, 140, PresentColour), QList<int>{46});
    auto lit = [&](int x, int y) { return (img.pixel(x, y) | 0xFF000000u) == PresentColour; };
    for (int y = 46; y <= 75; ++y)
        QVERIFY2(lit(126, y) || lit(127, y) || lit(128, y), qPrintable(QStringLiteral("gap at row %1").arg(y)));
}

void TstWavePlot::wildValuesClipped()
{
    // Alternating extremes at the largest factor: each line crosses the plot
    // from thousands of pixels above it to thousands below.
    WaveState w;
    for (int s = 0; s < WaveSamples; ++s) w.WaveData[1][s][0] = s % 2 ? qint16(32767) : qint16(-32768);
    const QImage img = speedPlot(w, 3, 1);
    for (int x = 1; x < 249; x += 2) QCOMPARE(rowsIn(img, x, PresentColour).size(), 149);
    QImage small(20, 20, QImage::Format_RGB32);
    small.fill(Black);
    RasterLine(small, 25, -100000, 30, 100000, PresentColour);  // wholly outside
    RasterLine(small, -50, -3, 100, -3, PresentColour);
    QCOMPARE(rowsIn(small, 6, PresentColour), QList<int>{});
}

void TstWavePlot::statusTrace()
{
    // Present: low for slots 0..9, high from 10 (bit 0 only); previous low.
    WaveState w;
    for (int s = 10; s < WaveSamples; ++s) w.WaveFlag[1][s] = 3;
    w.WaveFlag[2][5] = 2;
    const QImage grid = WaveGridImage(249, 50);
    QImage img;
    RenderStatusTrace(img, grid, w, 0);
    QCOMPARE(rowsIn(img, 3, PresentColour), QList<int>{40});   // low, 600 twips
    QCOMPARE(rowsIn(img, 3, PreviousColour), QList<int>{41});  // 615
    QCOMPARE(rowsIn(img, 31, PresentColour), QList<int>{10});  // high, 150
    QCOMPARE(rowsIn(img, 20, PresentColour).size(), 31);      // the rise at slot 10
    QCOMPARE(rowsIn(img, 0, PresentColour), QList<int>{40});   // slot 0: one point, no offset
    QCOMPARE(rowsIn(img, 0, PreviousColour), QList<int>{});
    QCOMPARE(rowsIn(img, 1, PresentColour), QList<int>{});
    RenderStatusTrace(img, grid, w, 1);
    QCOMPARE(rowsIn(img, 3, PreviousColour), QList<int>{});
    QCOMPARE(rowsIn(img, 31, PresentColour), QList<int>{10});
}

QTEST_GUILESS_MAIN(TstWavePlot)
#include "tst_waveplot.moc"
