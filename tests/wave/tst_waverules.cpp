// The waveform monitor's rules without widgets: the "T" request, the block
// decoding, the marker and knob geometry, the file record, and the plots as
// pixels.

#include "drive/link/frames.h"
#include "linktestutil.h"
#include "plotpixels.h"
#include "resources/bitmaps.h"
#include "drive/wave/wavefile.h"
#include "wave/wavegeometry.h"
#include "wave/waveplot.h"
#include "drive/wave/waveupload.h"

#include <QSet>
#include <QTest>

namespace WG = WaveGeometry;

namespace {

// A reply split as the link splits it, over the leftovers of an older one.
LinkState splitOver(const QByteArray &older, const QByteArray &text)
{
    LinkState s;
    for (const QByteArray &t : {older, text}) {
        s.RecvBuf = F(t.constData());
        SplitReply(s);
    }
    return s;
}

BlockOutcome store(WaveState &w, const QByteArray &older, const QByteArray &text)
{
    const LinkState s = splitOver(older, text);
    return StoreWaveBlock(w, s.ReplyField, FieldsCarried(s.RecvBuf));
}

// A block: torque field t0 + j and speed field s0 + j for each sample.
QByteArray blockText(int b, int t0, int s0)
{
    QByteArray t = "T;" + QByteArray::number(quint16(b), 16).toUpper();
    for (int j = 0; j < WaveBlockSamples; ++j)
        t += ';' + QByteArray::number(quint16(t0 + j), 16) + ';' + QByteArray::number(quint16(s0 + j), 16);
    return t;
}

// The speed plot of a state, its zero line at offset zero.
QImage speedPlot(const WaveState &w, int dial, int mode, int zero = 0)
{
    QImage img;
    RenderTrace(img, WaveGridImage(249, 149), w, 0, WG::ZeroLineY(WG::ZeroMarkerTop(0, zero), WG::PlotTop[0]),
                WG::SpeedFactor(dial), mode);
    return img;
}

}  // namespace

class TstWaveRules : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void tRequest_data();
    void tRequest();
    void blocks_data();
    void blocks();
    void numbers_data();
    void numbers();
    void fileRecord();
    void traceRows_data();
    void traceRows();
    void wildValuesClipped();
    void statusTrace();
    void finerAtRatio_data();
    void finerAtRatio();
};

void TstWaveRules::tRequest_data()
{
    QTest::addColumn<QList<int>>("setup");  // run, time base, trigger position, edge, source, status
    QTest::addColumn<QString>("text");
    QTest::newRow("idle") << QList<int>{0, 0, 15, 0, 0, 0} << "T;0;F;0";
    QTest::newRow("running") << QList<int>{1, 0, 15, 0, 0, 0} << "T;80;F;0";
    QTest::newRow("every field") << QList<int>{1, 3, 30, 1, 2, 4} << "T;EA;1E;4";
}

void TstWaveRules::tRequest()
{
    QFETCH(QList<int>, setup);
    QFETCH(QString, text);
    WaveState w;
    w.CaptureRun = qint16(setup[0]);
    w.DialPos = {3, 2, qint16(setup[1])};  // the scales are not sent
    w.TrigPos = qint16(setup[2]);
    QCOMPARE(TRequestText(w, {setup[4], setup[3], setup[5]}), text);
}

// A reply over the leftovers of a longer block 5: either block b's sixteen
// samples land in slots 16 (b - 1) on, first and last as given, or nothing
// changes at all.
void TstWaveRules::blocks_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<BlockOutcome>("outcome");
    QTest::addColumn<int>("first");         // slot of the block's first sample
    QTest::addColumn<QList<int>>("sample");  // speed, torque, status of the first and the last
    using L = QList<int>;
    const QByteArray zeros = QByteArray(";0;0").repeated(15);
    // The status bit rides on the torque as +-10000.
    QTest::newRow("D8F1") << "T;1;D8F1;0014" + zeros << BlockOutcome::Stored << 0 << L{20, -9999, 0, 0, 0, 0};
    QTest::newRow("D8F0") << "T;1;D8F0;0014" + zeros << BlockOutcome::Stored << 0 << L{20, 0, 1, 0, 0, 0};
    QTest::newRow("2710") << "T;1;2710;0014" + zeros << BlockOutcome::Stored << 0 << L{20, 0, 1, 0, 0, 0};
    QTest::newRow("4E1F") << "T;1;4E1F;0014" + zeros << BlockOutcome::Stored << 0 << L{20, 9999, 1, 0, 0, 0};
    QTest::newRow("270F") << "T;1;270F;0014" + zeros << BlockOutcome::Stored << 0 << L{20, 9999, 0, 0, 0, 0};
    QTest::newRow("block 3") << blockText(3, 100, 500) << BlockOutcome::Stored << 32 << L{500, 100, 0, 515, 115, 0};
    QTest::newRow("block 8") << blockText(8, -5, 1) << BlockOutcome::Stored << 112 << L{1, -5, 0, 16, 10, 0};
    const QByteArray full = blockText(2, 1, 1);
    QTest::newRow("extra fields are fine") << full + ";5" << BlockOutcome::Stored << 16 << L{1, 1, 0, 16, 16, 0};
    QTest::newRow("block 9") << blockText(9, 1, 1) << BlockOutcome::NoData << -1 << L{};
    QTest::newRow("armed, no data") << QByteArray("T;0") << BlockOutcome::NoData << -1 << L{};
    QTest::newRow("last field missing") << full.left(full.lastIndexOf(';')) << BlockOutcome::Refused << -1 << L{};
    QTest::newRow("torque 10000 hex") << QByteArray(full).replace(";1;1;", ";10000;1;") << BlockOutcome::Refused << -1 << L{};
    QTest::newRow("speed 0FFFF") << QByteArray(full).replace(";1;1;", ";1;0FFFF;") << BlockOutcome::Refused << -1 << L{};
}

void TstWaveRules::blocks()
{
    QFETCH(QByteArray, text);
    QFETCH(BlockOutcome, outcome);
    QFETCH(int, first);
    QFETCH(QList<int>, sample);
    WaveState w;
    for (auto &slot : w.WaveData[0]) slot = {-7, -7};
    w.WaveFlag[0].fill(7);
    const WaveState before = w;
    QCOMPARE(store(w, blockText(5, 3000, 4000), text), outcome);
    for (int slot = 0; slot < WaveSlots; ++slot) {
        if (first < 0 || slot < first || slot > first + 15) {
            QCOMPARE(w.WaveData[0][slot], before.WaveData[0][slot]);
            QCOMPARE(w.WaveFlag[0][slot], before.WaveFlag[0][slot]);
        } else if (slot == first || slot == first + 15) {
            const int k = slot == first ? 0 : 3;
            QCOMPARE(w.WaveData[0][slot], (std::array<qint16, 2>{qint16(sample[k]), qint16(sample[k + 1])}));
            QCOMPARE(int(w.WaveFlag[0][slot]), sample[k + 2]);
        }
    }
    QVERIFY(w.WaveData[1] == before.WaveData[1]);  // only the upload buffer
}

// One rule's result against the expected number, one row each: the plot
// scales, the knobs, the markers and the grids.
void TstWaveRules::numbers_data()
{
    QTest::addColumn<double>("actual");
    QTest::addColumn<double>("expected");
    auto px = [](int v, double f) { return std::floor(v * f); };
    // Torque: 100 % is R units of the motor type in parameter 57.
    QTest::newRow("torque 900, type 0") << px(900, WG::TorqueFactor(0, "0")) << 12.0;
    QTest::newRow("torque -900, type 0") << px(-900, WG::TorqueFactor(0, "0")) << -13.0;
    QTest::newRow("y0 torque at -15") << double(WG::ZeroLineY(WG::ZeroMarkerTop(1, -15), WG::PlotTop[1])) << -8.0;
    // Knobs: Tops 390, 510, 720, 847.5; Lefts by the circle rule.
    const double tops[4] = {390, 510, 720, 847.5}, lefts[4] = {420, 532, 532, 403};
    for (int p = 0; p < 4; ++p) {
        QTest::addRow("knob top %d", p) << WG::KnobTop(p) << tops[p];
        QTest::addRow("knob left %d", p) << WG::KnobLeft(tops[p], true) << lefts[p];
    }
    const double thresholds[][2] = {{449.9, 0}, {450, 1}, {622.4, 1}, {622.5, 2}, {787.4, 2}, {787.5, 3}};
    for (const auto &t : thresholds) QTest::addRow("knob at %g", t[0]) << double(WG::DialFromKnobTop(t[0])) << t[1];
    // Releases round halves to even.
    QTest::newRow("trigger at 1880") << double(WG::TrigFromMarkerLeft(1880)) << 15.0;
    QTest::newRow("trigger at 1912.5") << double(WG::TrigFromMarkerLeft(1912.5)) << 16.0;
    QTest::newRow("zero at 1387.5") << double(WG::ZeroFromMarkerTop(0, 1387.5)) << 0.0;
    QTest::newRow("zero at 3862.5") << double(WG::ZeroFromMarkerTop(1, 3862.5)) << 2.0;
    // A drag moves a marker only while the mouse is within its band (-1: stays).
    const auto moved = [](std::optional<double> top) { return top.value_or(-1.0); };
    QTest::newRow("speed zero, top edge") << moved(WG::ZeroDragTop(0, 300, 45)) << 217.0;
    QTest::newRow("speed zero, above") << moved(WG::ZeroDragTop(0, 300, 44)) << -1.0;
    QTest::newRow("trigger, left edge") << moved(WG::TrigDragLeft(750, 123)) << 745.0;
    QTest::newRow("trigger, beyond left") << moved(WG::TrigDragLeft(750, 122)) << -1.0;
    QTest::newRow("trigger, right edge") << moved(WG::TrigDragLeft(3000, 128)) << 3000.0;
    QTest::newRow("trigger, beyond right") << moved(WG::TrigDragLeft(3000, 129)) << -1.0;
    QTest::newRow("knob, band start 450") << moved(WG::KnobDragTop(390, 60)) << 382.5;
    QTest::newRow("knob, above the band") << moved(WG::KnobDragTop(390, 45)) << -1.0;
}

void TstWaveRules::numbers()
{
    QFETCH(double, actual);
    QFETCH(double, expected);
    QCOMPARE(actual, expected);
}

void TstWaveRules::fileRecord()
{
    WaveState w;
    w.TrigPos = 15;
    w.DialPos = {1, 2, 3};
    w.ZeroPos = {-15, 7};
    for (int s = 0; s < WaveSamples; ++s) {
        w.WaveData[1][s] = {qint16(s * 3), qint16(-s)};
        w.WaveFlag[1][s] = qint16(s % 3 == 0);
        w.WaveData[0][s] = {999, 999};  // the upload buffer is not saved
    }
    const QByteArray bytes = EncodeWaveFile(MakeWaveFileRecord(w, {2, 1, 4}));
    QCOMPARE(bytes.size(), 808);
    auto entry = [&](int i) { return qint16(quint8(bytes[2 * i]) | (quint8(bytes[2 * i + 1]) << 8)); };
    QCOMPARE(entry(0), qint16(1));  // status, torque, speed of slot 0, then slot 1
    QCOMPARE(entry(4), qint16(-1));
    QCOMPARE(entry(5), qint16(3));
    QCOMPARE(entry(3 * 127 + 2), qint16(381));
    const qint16 setup[9] = {2, 1, 15, 3, 1, 2, -15, 7, 4};
    for (int i = 0; i < 9; ++i) QCOMPARE(entry(384 + i), setup[i]);
    for (int i = 393; i < 404; ++i) QCOMPARE(entry(i), qint16(0));
    QCOMPARE(quint8(bytes[780]), quint8(0xF1));  // -15, low byte first

    // A capture of the same samples is the same record without the view; and
    // a record read back is that capture, its set-up held to the lists.
    const Capture c = CaptureFromRecord(*DecodeWaveFile(bytes));
    QCOMPARE(c.speed[127], qint16(381));
    QCOMPARE(c.torque[1], qint16(-1));
    QCOMPARE(c.status[3], qint16(1));
    QCOMPARE((QList<int>{c.setup.trig, c.setup.edge, c.setup.status, c.timeBase, c.trigPos}), (QList<int>{2, 1, 4, 3, 15}));
    WaveFileRecord noView = *DecodeWaveFile(bytes);
    for (int i : {388, 389, 390, 391}) noView[i] = 0;
    QCOMPARE(CaptureFileRecord(c), noView);
    WaveFileRecord wild = noView;
    wild[384] = 9, wild[386] = -4, wild[392] = 77;
    const Capture held = CaptureFromRecord(wild);
    QCOMPARE((QList<int>{held.setup.trig, held.trigPos, held.setup.status}), (QList<int>{3, 0, 4}));
}

void TstWaveRules::traceRows_data()
{
    QTest::addColumn<QList<int>>("setup");  // present, previous (every sample), dial, mode, zero line
    QTest::addColumn<QList<int>>("presentRows");
    QTest::addColumn<QList<int>>("previousRows");
    // All 0: y = 1118 twips, the previous series one pixel lower.
    QTest::newRow("zero data") << QList<int>{0, 0, 0, 0, 0} << QList<int>{75} << QList<int>{76};
    QTest::newRow("Present only") << QList<int>{0, 0, 0, 1, 0} << QList<int>{75} << QList<int>{};
    QTest::newRow("zero line 15: below") << QList<int>{0, 0, 0, 0, 15} << QList<int>{} << QList<int>{};
    QTest::newRow("400 at 0: 2 px up") << QList<int>{400, 0, 0, 0, 0} << QList<int>{73} << QList<int>{76};
    QTest::newRow("400 at 3: 30 px up") << QList<int>{400, 400, 3, 0, 0} << QList<int>{45} << QList<int>{46};
    QTest::newRow("-1: 1 px down over red") << QList<int>{-1, 0, 2, 0, 0} << QList<int>{76} << QList<int>{};
}

void TstWaveRules::traceRows()
{
    QFETCH(QList<int>, setup);
    QFETCH(QList<int>, presentRows);
    QFETCH(QList<int>, previousRows);
    WaveState w;
    for (auto &slot : w.WaveData[1]) slot[0] = qint16(setup[0]);
    for (auto &slot : w.WaveData[2]) slot[0] = qint16(setup[1]);
    const QImage img = speedPlot(w, setup[2], setup[3], setup[4]);
    for (int x = 0; x < 249; x += 31) {
        QCOMPARE(rowsIn(img, x, PresentColour), presentRows);
        QCOMPARE(rowsIn(img, x, PreviousColour), previousRows);
    }
}

void TstWaveRules::wildValuesClipped()
{
    // Alternating extremes at the largest factor: each line crosses the plot
    // from thousands of pixels above it to thousands below.
    WaveState w;
    for (int s = 0; s < WaveSamples; ++s) w.WaveData[1][s][0] = s % 2 ? qint16(32767) : qint16(-32768);
    const QImage img = speedPlot(w, 3, 1);
    for (int x = 1; x < 249; x += 2) QCOMPARE(rowsIn(img, x, PresentColour).size(), 149);
    QImage small(20, 20, QImage::Format_RGB32);
    small.fill(Qt::black);
    RasterLine(small, 25, -100000, 30, 100000, PresentColour);  // wholly outside
    RasterLine(small, -50, -3, 100, -3, PresentColour);
    QCOMPARE(rowsIn(small, 6, PresentColour), QList<int>{});
}

void TstWaveRules::statusTrace()
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

namespace {

// The window pixels of a plot (ratio picture pixels to one) painted in a colour.
QSet<QPair<int, int>> windowPixelsIn(const QImage &img, QRgb colour)
{
    const int r = static_cast<int>(img.devicePixelRatio());
    QSet<QPair<int, int>> out;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if ((img.pixel(x, y) | 0xFF000000u) == colour) out.insert({x / r, y / r});
    return out;
}

// The pixels of a that lie further than a window pixel from every one of b.
int strays(const QSet<QPair<int, int>> &a, const QSet<QPair<int, int>> &b)
{
    int n = 0;
    for (const auto &[x, y] : a) {
        bool near = false;
        for (int dy = -1; dy <= 1 && !near; ++dy)
            for (int dx = -1; dx <= 1 && !near; ++dx) near = b.contains({x + dx, y + dy});
        n += near ? 0 : 1;
    }
    return n;
}

}  // namespace

// On a screen of ratio 2 or 3 a plot has that many pixels per window pixel
// each way: the grid is the same grid, every window pixel a square; the
// series run where they run at ratio 1, at most a window pixel apart.
void TstWaveRules::finerAtRatio_data()
{
    QTest::addColumn<QString>("plot");
    QTest::addColumn<int>("ratio");
    for (int ratio : {2, 3})
        for (const char *plot : {"speed ramp", "speed steps", "status"})
            QTest::addRow("%s at %d", plot, ratio) << QString::fromLatin1(plot) << ratio;
}

void TstWaveRules::finerAtRatio()
{
    QFETCH(QString, plot);
    QFETCH(int, ratio);
    WaveState w;
    for (int s = 0; s < WaveSamples; ++s) {
        w.WaveData[1][s][0] = qint16(plot == u"speed ramp" ? 40 * s - 2500 : (s / 16 % 2) * 1500 - 700);
        w.WaveData[2][s][0] = qint16(-30 * s + 1000);
        w.WaveFlag[1][s] = (s / 9) % 2;
        w.WaveFlag[2][s] = (s / 13) % 2;
    }
    const bool status = plot == u"status";
    const QSize size(249, status ? 50 : 149);
    QImage coarse;
    QImage fine;
    const QImage fineGrid = WaveGridImage(size.width(), size.height(), ratio);
    if (status) {
        RenderStatusTrace(coarse, WaveGridImage(size.width(), size.height()), w, 0);
        RenderStatusTrace(fine, fineGrid, w, 0);
    } else {
        const int y0 = WG::ZeroLineY(WG::ZeroMarkerTop(0, 0), WG::PlotTop[0]);
        RenderTrace(coarse, WaveGridImage(size.width(), size.height()), w, 0, y0, WG::SpeedFactor(1), 0);
        RenderTrace(fine, fineGrid, w, 0, y0, WG::SpeedFactor(1), 0);
    }
    QCOMPARE(fine.size(), size * ratio);
    QCOMPARE(fine.devicePixelRatio(), qreal(ratio));
    // Every window pixel of the grid is one colour throughout.
    const QImage coarseGrid = WaveGridImage(size.width(), size.height());
    for (int y = 0; y < fineGrid.height(); ++y)
        for (int x = 0; x < fineGrid.width(); ++x)
            QCOMPARE(fineGrid.pixel(x, y), coarseGrid.pixel(x / ratio, y / ratio));
    for (QRgb colour : {PresentColour, PreviousColour}) {
        const auto c = windowPixelsIn(coarse, colour);
        const auto f = windowPixelsIn(fine, colour);
        QVERIFY(!c.isEmpty());
        QCOMPARE(strays(c, f), 0);
        QCOMPARE(strays(f, c), 0);
    }
}

QTEST_GUILESS_MAIN(TstWaveRules)
#include "tst_waverules.moc"
