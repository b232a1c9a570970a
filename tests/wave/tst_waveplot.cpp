// The plots as pixels: the grid pictures, and the traces drawn over them.

#include "resources/bitmaps.h"
#include "wave/wavegeometry.h"
#include "wave/waveplot.h"

#include <QElapsedTimer>
#include <QTest>

namespace WG = WaveGeometry;

namespace {
constexpr QRgb Black = qRgb(0, 0, 0);
constexpr QRgb Green = qRgb(0, 128, 0);
constexpr QRgb Frame = qRgb(192, 192, 192);

QRgb at(const QImage &img, int x, int y) { return img.pixel(x, y) | 0xFF000000u; }

// The rows of a column painted in a colour.
QList<int> rowsIn(const QImage &img, int x, QRgb colour)
{
    QList<int> rows;
    for (int y = 0; y < img.height(); ++y)
        if (at(img, x, y) == colour) rows << y;
    return rows;
}

QImage speedPlot(const WaveState &w, int dial, int mode, int zero = 0)
{
    QImage img;
    const QImage grid = WaveGridImage(249, 149);
    RenderTrace(img, grid, w, 0, WG::ZeroLineY(WG::ZeroMarkerTop(0, zero), WG::PlotTop[0]), WG::SpeedFactor(dial),
                mode);
    return img;
}

void fillSeries(WaveState &w, int series, int channel, qint16 value)
{
    for (auto &slot : w.WaveData[series]) slot[channel] = value;
}
}  // namespace

class TstWavePlot : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void grid_data();
    void grid();
    void flatLines_data();
    void flatLines();
    void scaledRows_data();
    void scaledRows();
    void torqueMotorType();
    void stepIsJoined();
    void wildValuesClipped();
    void lineOutsideLeavesImage();
    void statusTrace();
    void statusPresentOnly();
    void redrawStartsFromGrid();
    void threePlotsAreFast();
};

void TstWavePlot::grid_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<uint>("colour");
    // Speed and torque: 249 x 149, lines every 25 px, 125/126 and 75/76 thick.
    QTest::newRow("division line x 25") << 149 << 25 << 12 << uint(Green);
    QTest::newRow("between lines") << 149 << 24 << 12 << uint(Black);
    QTest::newRow("middle x 125") << 149 << 125 << 12 << uint(Green);
    QTest::newRow("middle x 126") << 149 << 126 << 12 << uint(Green);
    QTest::newRow("beside the middle") << 149 << 127 << 12 << uint(Black);
    QTest::newRow("middle y 75") << 149 << 12 << 75 << uint(Green);
    QTest::newRow("middle y 76") << 149 << 12 << 76 << uint(Green);
    QTest::newRow("above the middle") << 149 << 12 << 74 << uint(Black);
    QTest::newRow("division line y 125") << 149 << 12 << 125 << uint(Green);
    QTest::newRow("frame left") << 149 << 0 << 40 << uint(Frame);
    QTest::newRow("frame right") << 149 << 248 << 40 << uint(Frame);
    QTest::newRow("frame top") << 149 << 40 << 0 << uint(Frame);
    QTest::newRow("frame bottom") << 149 << 40 << 148 << uint(Frame);
    // Status: 249 x 50, two divisions, the middle at 25/26.
    QTest::newRow("status middle 25") << 50 << 12 << 25 << uint(Green);
    QTest::newRow("status middle 26") << 50 << 12 << 26 << uint(Green);
    QTest::newRow("status ground") << 50 << 12 << 40 << uint(Black);
    QTest::newRow("status frame bottom") << 50 << 40 << 49 << uint(Frame);
}

void TstWavePlot::grid()
{
    QFETCH(int, height);
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(uint, colour);
    const QImage g = WaveGridImage(249, height);
    QCOMPARE(g.size(), QSize(249, height));
    QCOMPARE(at(g, x, y), QRgb(colour));
}

void TstWavePlot::flatLines_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("zero");
    QTest::addColumn<int>("presentRow");
    QTest::addColumn<int>("previousRow");
    // All data 0: y = 1118 twips for the present series, one pixel lower for
    // the previous one.
    QTest::newRow("Previous+Present") << 0 << 0 << 75 << 76;
    QTest::newRow("Present only") << 1 << 0 << 75 << -1;
    QTest::newRow("zero line +1 (1192)") << 0 << 1 << 79 << 80;
    QTest::newRow("zero line -1 (1042)") << 0 << -1 << 69 << 70;
    QTest::newRow("zero line 15 (2242)") << 0 << 15 << 149 << -1;
}

void TstWavePlot::flatLines()
{
    QFETCH(int, mode);
    QFETCH(int, zero);
    QFETCH(int, presentRow);
    QFETCH(int, previousRow);
    const WaveState w;
    const QImage img = speedPlot(w, 0, mode, zero);
    for (int x = 0; x < 249; x += 31) {
        QCOMPARE(rowsIn(img, x, PresentColour), presentRow < 149 ? QList<int>{presentRow} : QList<int>{});
        QCOMPARE(rowsIn(img, x, PreviousColour), previousRow >= 0 ? QList<int>{previousRow} : QList<int>{});
    }
}

void TstWavePlot::scaledRows_data()
{
    QTest::addColumn<int>("dial");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("row");
    QTest::newRow("400 at 0 -> 2 px up") << 0 << 400 << 73;
    QTest::newRow("400 at 3 -> 30 px up") << 3 << 400 << 45;
    QTest::newRow("-1 -> 1 px down") << 2 << -1 << 76;
    QTest::newRow("beyond the top: nothing drawn") << 3 << 2000 << -1;
}

void TstWavePlot::scaledRows()
{
    QFETCH(int, dial);
    QFETCH(int, value);
    QFETCH(int, row);
    WaveState w;
    fillSeries(w, 1, 0, qint16(value));
    const QImage img = speedPlot(w, dial, 1);
    QCOMPARE(rowsIn(img, 100, PresentColour), row >= 0 ? QList<int>{row} : QList<int>{});
}

void TstWavePlot::torqueMotorType()
{
    WaveState w;
    fillSeries(w, 1, 1, 900);
    fillSeries(w, 2, 1, 900);
    const QImage grid = WaveGridImage(249, 149);
    QImage img;
    RenderTrace(img, grid, w, 1, 1118, WG::TorqueFactor(0, QStringLiteral("0")), 0);
    QCOMPARE(rowsIn(img, 60, PresentColour), QList<int>{63});   // 12 px up
    QCOMPARE(rowsIn(img, 60, PreviousColour), QList<int>{64});  // and one lower
    // Type 5 leaves the factor as it is: 112 px up, above the plot.
    RenderTrace(img, grid, w, 1, 1118, WG::TorqueFactor(0, QStringLiteral("5")), 0);
    QCOMPARE(rowsIn(img, 60, PresentColour), QList<int>{});
    QCOMPARE(rowsIn(img, 60, PreviousColour), QList<int>{});
}

void TstWavePlot::stepIsJoined()
{
    // A step between slots 63 and 64 (x 126 and 128) is one joined line.
    WaveState w;
    for (int s = 64; s < WaveSamples; ++s) w.WaveData[1][s][0] = 4000;  // 29 px up
    const QImage img = speedPlot(w, 0, 1);
    QCOMPARE(rowsIn(img, 120, PresentColour), QList<int>{75});
    QCOMPARE(rowsIn(img, 140, PresentColour), QList<int>{46});
    for (int y = 46; y <= 75; ++y) {
        bool lit = false;
        for (int x = 126; x <= 128; ++x) lit = lit || at(img, x, y) == PresentColour;
        QVERIFY2(lit, qPrintable(QStringLiteral("row %1 has a gap").arg(y)));
    }
}

void TstWavePlot::wildValuesClipped()
{
    // Alternating extremes at the largest factor: every line crosses the
    // whole plot, thousands of pixels beyond it on both sides.
    WaveState w;
    for (int s = 0; s < WaveSamples; ++s) w.WaveData[1][s][0] = s % 2 ? qint16(32767) : qint16(-32768);
    const QImage img = speedPlot(w, 3, 1);
    for (int x = 1; x < 249; x += 2) QCOMPARE(rowsIn(img, x, PresentColour).size(), 149);
}

void TstWavePlot::lineOutsideLeavesImage()
{
    QImage img(20, 20, QImage::Format_RGB32);
    img.fill(Black);
    const QImage before = img;
    RasterLine(img, -50, -3, 100, -3, PresentColour);
    RasterLine(img, 25, -100000, 30, 100000, PresentColour);
    RasterLine(img, 5, 100000, 5, 30, PresentColour);
    QCOMPARE(img, before);
    RasterLine(img, 5, -100000, 7, 100000, PresentColour);
    QCOMPARE(rowsIn(img, 6, PresentColour).size(), 20);
    RasterLine(img, 3, 3, 3, 3, PreviousColour);
    QCOMPARE(at(img, 3, 3), PreviousColour);
}

void TstWavePlot::statusTrace()
{
    // Present: low for slots 0..9, high from slot 10; previous: all low.
    WaveState w;
    for (int s = 10; s < WaveSamples; ++s) w.WaveFlag[1][s] = 3;  // only bit 0 counts
    w.WaveFlag[2][5] = 2;                                          // bit 0 clear: low
    QImage img;
    RenderStatusTrace(img, WaveGridImage(249, 50), w, 0);
    QCOMPARE(rowsIn(img, 2, PresentColour), QList<int>{40});    // low, 600 twips
    QCOMPARE(rowsIn(img, 3, PresentColour), QList<int>{40});
    QCOMPARE(rowsIn(img, 2, PreviousColour), QList<int>{41});   // low, 615 twips
    QCOMPARE(rowsIn(img, 30, PresentColour), QList<int>{10});   // high, 150 twips
    QCOMPARE(rowsIn(img, 30, PreviousColour), QList<int>{41});
    QCOMPARE(rowsIn(img, 20, PresentColour).size(), 31);        // the rise at slot 10, rows 10..40
    QCOMPARE(rowsIn(img, 21, PresentColour), QList<int>{10});
    // Slot 0 is a single point at x 0, without the series offset.
    QCOMPARE(rowsIn(img, 0, PresentColour), QList<int>{40});
    QCOMPARE(rowsIn(img, 0, PreviousColour), QList<int>{});
    QCOMPARE(rowsIn(img, 1, PresentColour), QList<int>{});
}

void TstWavePlot::statusPresentOnly()
{
    WaveState w;
    w.WaveFlag[1][0] = 1;
    QImage img;
    RenderStatusTrace(img, WaveGridImage(249, 50), w, 1);
    QCOMPARE(rowsIn(img, 0, PresentColour), QList<int>{10});
    for (int x = 0; x < 249; ++x) QCOMPARE(rowsIn(img, x, PreviousColour), QList<int>{});
    // The fall at slot 1 joins the levels.
    QCOMPARE(rowsIn(img, 2, PresentColour).size(), 31);
}

void TstWavePlot::redrawStartsFromGrid()
{
    WaveState w;
    fillSeries(w, 1, 0, 400);
    const QImage grid = WaveGridImage(249, 149);
    QImage img;
    RenderTrace(img, grid, w, 0, 1118, WG::SpeedFactor(3), 1);
    fillSeries(w, 1, 0, 0);
    RenderTrace(img, grid, w, 0, 1118, WG::SpeedFactor(3), 1);
    QCOMPARE(rowsIn(img, 100, PresentColour), QList<int>{75});
    QCOMPARE(at(img, 101, 45), Black);
}

void TstWavePlot::threePlotsAreFast()
{
    WaveState w;
    for (int s = 0; s < WaveSamples; ++s) {
        w.WaveData[1][s] = {qint16((s * 397) % 20000 - 10000), qint16((s * 211) % 9000 - 4500)};
        w.WaveData[2][s] = {qint16((s * 113) % 20000 - 10000), qint16((s * 71) % 9000 - 4500)};
        w.WaveFlag[1][s] = qint16((s / 7) & 1);
        w.WaveFlag[2][s] = qint16((s / 5) & 1);
    }
    const QImage g0 = WaveGridImage(249, 149);
    const QImage g2 = WaveGridImage(249, 50);
    QImage a, b, c;
    QElapsedTimer t;
    t.start();
    constexpr int Rounds = 200;
    for (int i = 0; i < Rounds; ++i) {
        RenderTrace(a, g0, w, 0, 1118, WG::SpeedFactor(1), 0);
        RenderTrace(b, g0, w, 1, 1118, WG::TorqueFactor(1, QStringLiteral("0")), 0);
        RenderStatusTrace(c, g2, w, 0);
    }
    const double perRedrawMs = t.nsecsElapsed() / 1e6 / Rounds;
    QVERIFY2(perRedrawMs < 1.0, qPrintable(QStringLiteral("%1 ms").arg(perRedrawMs)));
}

QTEST_GUILESS_MAIN(TstWavePlot)
#include "tst_waveplot.moc"
