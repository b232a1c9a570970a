// The waveform monitor's rules without widgets: the "T" request, the block
// decoding, the marker and knob geometry, the file record, and the plots as
// pixels.

#include "link/frames.h"
#include "linktestutil.h"
#include "plotpixels.h"
#include "resources/bitmaps.h"
#include "wave/wavefile.h"
#include "wave/wavegeometry.h"
#include "wave/waveplot.h"
#include "wave/waveupload.h"

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
QByteArray blockText(int b, int t0, int s0, int samples = WaveBlockSamples)
{
    QByteArray t = "T;" + QByteArray::number(quint16(b), 16).toUpper();
    for (int j = 0; j < samples; ++j)
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
    void statusBitOfBlock1_data();
    void statusBitOfBlock1();
    void blockSlots_data();
    void blockSlots();
    void refusedBlocks_data();
    void refusedBlocks();
    void numbers_data();
    void numbers();
    void dragBands_data();
    void dragBands();
    void fileRecord();
    void grid_data();
    void grid();
    void traceRows_data();
    void traceRows();
    void stepIsJoined();
    void wildValuesClipped();
    void statusTrace();
};

void TstWaveRules::tRequest_data()
{
    QTest::addColumn<QList<int>>("setup");  // run, time base, trigger position, edge, source, status
    QTest::addColumn<QString>("text");
    QTest::newRow("idle") << QList<int>{0, 0, 15, 0, 0, 0} << "T;0;F;0";
    QTest::newRow("running") << QList<int>{1, 0, 15, 0, 0, 0} << "T;80;F;0";
    QTest::newRow("every field") << QList<int>{1, 3, 30, 1, 2, 4} << "T;EA;1E;4";
    QTest::newRow("each its own bits") << QList<int>{0, 2, 0, 3, 1, 3} << "T;59;0;3";
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

void TstWaveRules::statusBitOfBlock1_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<int>("torque");
    QTest::addColumn<int>("flag");
    QTest::newRow("D8F1") << QByteArray("D8F1") << -9999 << 0;
    QTest::newRow("D8F0") << QByteArray("D8F0") << 0 << 1;
    QTest::newRow("2710") << QByteArray("2710") << 0 << 1;
    QTest::newRow("4E1F") << QByteArray("4E1F") << 9999 << 1;
    QTest::newRow("270F") << QByteArray("270F") << 9999 << 0;
}

void TstWaveRules::statusBitOfBlock1()
{
    QFETCH(QByteArray, field);
    QFETCH(int, torque);
    QFETCH(int, flag);
    WaveState w;
    w.WaveFlag[0][0] = qint16(1 - flag);
    QCOMPARE(store(w, "T", "T;1;" + field + ";0014" + QByteArray(";0;0").repeated(15)), BlockOutcome::Stored);
    QCOMPARE(w.WaveData[0][0], (std::array<qint16, 2>{20, qint16(torque)}));
    QCOMPARE(int(w.WaveFlag[0][0]), flag);
}

void TstWaveRules::blockSlots_data()
{
    QTest::addColumn<int>("block");
    QTest::addColumn<int>("first");
    QTest::newRow("block 1") << 1 << 0;
    QTest::newRow("block 3") << 3 << 32;
    QTest::newRow("block 8") << 8 << 112;
}

void TstWaveRules::blockSlots()
{
    QFETCH(int, block);
    QFETCH(int, first);
    WaveState w;
    for (auto &slot : w.WaveData[0]) slot = {-7, -7};
    QCOMPARE(store(w, "T", blockText(block, 100, 500)), BlockOutcome::Stored);
    for (int slot = 0; slot < WaveSlots; ++slot) {
        const bool mine = slot >= first && slot < first + WaveBlockSamples;
        QCOMPARE(w.WaveData[0][slot], mine ? (std::array<qint16, 2>{qint16(500 + slot - first), qint16(100 + slot - first)})
                                           : (std::array<qint16, 2>{-7, -7}));
    }
    QCOMPARE(w.WaveData[1][first], (std::array<qint16, 2>{0, 0}));  // only the upload buffer
}

void TstWaveRules::refusedBlocks_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<BlockOutcome>("outcome");
    const QByteArray full = blockText(2, 1, 1);
    QTest::newRow("block 0") << blockText(0, 1, 1) << BlockOutcome::NoData;
    QTest::newRow("block 9") << blockText(9, 1, 1) << BlockOutcome::NoData;
    QTest::newRow("armed, no data") << QByteArray("T;0") << BlockOutcome::NoData;
    QTest::newRow("a sample short") << blockText(2, 1, 1, 15) << BlockOutcome::Refused;
    QTest::newRow("last field missing") << full.left(full.lastIndexOf(';')) << BlockOutcome::Refused;
    QTest::newRow("block number alone") << QByteArray("T;2") << BlockOutcome::Refused;
    QTest::newRow("torque 10000 hex") << QByteArray(full).replace(";1;1;", ";10000;1;") << BlockOutcome::Refused;
    QTest::newRow("speed 0FFFF") << QByteArray(full).replace(";1;1;", ";1;0FFFF;") << BlockOutcome::Refused;
    QTest::newRow("extra fields are fine") << full + ";5" << BlockOutcome::Stored;
}

void TstWaveRules::refusedBlocks()
{
    QFETCH(QByteArray, text);
    QFETCH(BlockOutcome, outcome);
    // The leftovers of a longer block 5 stand where a short reply carries nothing.
    WaveState w;
    QCOMPARE(store(w, blockText(5, 3000, 4000), text), outcome);
    if (outcome != BlockOutcome::Stored) QVERIFY(w.WaveData == WaveState().WaveData && w.WaveFlag == WaveState().WaveFlag);
}

// One rule's result against the expected number, one row each.
void TstWaveRules::numbers_data()
{
    QTest::addColumn<double>("actual");
    QTest::addColumn<double>("expected");
    auto px = [](int v, double f) { return std::floor(v * f); };
    // Torque: 100 % is R units of the motor type in parameter 57.
    QTest::newRow("torque 900, type 0") << px(900, WG::TorqueFactor(0, "0")) << 12.0;
    QTest::newRow("torque 900, type 5") << px(900, WG::TorqueFactor(0, "5")) << 112.0;
    QTest::newRow("torque, empty text") << px(900, WG::TorqueFactor(0, "")) << 12.0;
    QTest::newRow("torque, type 1.5") << px(900, WG::TorqueFactor(0, "1.5")) << 112.0;
    QTest::newRow("torque -900, type 0") << px(-900, WG::TorqueFactor(0, "0")) << -13.0;
    const struct {
        const char *type;
        double pixels;  // 10000 units at position 3: 125000 / R
    } types[] = {{"1", 1666},  {" 31", 1666}, {"2", 1574},  {"20", 1572}, {"21", 1453}, {"22", 1363},
                 {"30", 1891}, {"32", 1614},  {"33", 1689}, {"34", 1773}, {"0", 1388}};
    for (const auto &t : types) QTest::addRow("motor type %s", t.type) << px(10000, WG::TorqueFactor(3, t.type)) << t.pixels;
    QTest::newRow("y0 torque at -15") << double(WG::ZeroLineY(WG::ZeroMarkerTop(1, -15), WG::PlotTop[1])) << -8.0;
    // Knobs: Tops 390, 510, 720, 847.5; Lefts by the circle rule.
    const double tops[4] = {390, 510, 720, 847.5}, lefts[4] = {420, 532, 532, 403};
    for (int p = 0; p < 4; ++p) {
        QTest::addRow("knob top %d", p) << WG::KnobTop(p) << tops[p];
        QTest::addRow("knob left %d", p) << WG::KnobLeft(tops[p], true) << lefts[p];
    }
    QTest::newRow("knob left 0 unrounded") << WG::KnobLeft(390, false) << 419.5;
    const double thresholds[][2] = {{449.9, 0}, {450, 1}, {622.4, 1}, {622.5, 2}, {787.4, 2}, {787.5, 3}};
    for (const auto &t : thresholds) QTest::addRow("knob at %g", t[0]) << double(WG::DialFromKnobTop(t[0])) << t[1];
    // Releases round halves to even.
    QTest::newRow("trigger at 1880") << double(WG::TrigFromMarkerLeft(1880)) << 15.0;
    QTest::newRow("trigger at 1912.5") << double(WG::TrigFromMarkerLeft(1912.5)) << 16.0;
    QTest::newRow("trigger at 1837.5") << double(WG::TrigFromMarkerLeft(1837.5)) << 14.0;
    QTest::newRow("zero at 1387.5") << double(WG::ZeroFromMarkerTop(0, 1387.5)) << 0.0;
    QTest::newRow("zero at 3862.5") << double(WG::ZeroFromMarkerTop(1, 3862.5)) << 2.0;
}

void TstWaveRules::numbers()
{
    QFETCH(double, actual);
    QFETCH(double, expected);
    QCOMPARE(actual, expected);
}

void TstWaveRules::dragBands_data()
{
    QTest::addColumn<int>("what");  // 0, 1 zero line of that plot; 2 trigger; 3 knob
    QTest::addColumn<double>("at");
    QTest::addColumn<double>("mouse");
    QTest::addColumn<double>("moved");  // -1: stays
    QTest::newRow("speed zero, top edge") << 0 << 300.0 << 45.0 << 217.0;
    QTest::newRow("speed zero, above") << 0 << 300.0 << 44.0 << -1.0;
    QTest::newRow("speed zero, bottom edge") << 0 << 2500.0 << 110.0 << 2482.0;
    QTest::newRow("speed zero, below") << 0 << 2500.0 << 111.0 << -1.0;
    QTest::newRow("torque zero, above its plot") << 1 << 2600.0 << 100.0 << -1.0;
    QTest::newRow("trigger, left edge") << 2 << 750.0 << 123.0 << 745.0;
    QTest::newRow("trigger, beyond left") << 2 << 750.0 << 122.0 << -1.0;
    QTest::newRow("trigger, right edge") << 2 << 3000.0 << 128.0 << 3000.0;
    QTest::newRow("trigger, beyond right") << 2 << 3000.0 << 129.0 << -1.0;
    QTest::newRow("knob, band start 450") << 3 << 390.0 << 60.0 << 382.5;
    QTest::newRow("knob, above the band") << 3 << 390.0 << 45.0 << -1.0;
    QTest::newRow("knob, band end 915") << 3 << 847.5 << 67.5 << 847.5;
    QTest::newRow("knob, below the band") << 3 << 847.5 << 75.0 << -1.0;
}

void TstWaveRules::dragBands()
{
    QFETCH(int, what);
    QFETCH(double, at);
    QFETCH(double, mouse);
    QFETCH(double, moved);
    const std::optional<double> r = what < 2 ? WG::ZeroDragTop(what, at, mouse)
                                  : what == 2 ? WG::TrigDragLeft(at, mouse)
                                              : WG::KnobDragTop(at, mouse);
    QCOMPARE(r.value_or(-1.0), moved);
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
}

void TstWaveRules::grid_data()
{
    constexpr QRgb Black = qRgb(0, 0, 0), Green = qRgb(0, 128, 0), Frame = qRgb(192, 192, 192);
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

void TstWaveRules::grid()
{
    QFETCH(int, height);
    QFETCH(QPoint, at);
    QFETCH(uint, colour);
    const QImage g = WaveGridImage(249, height);
    QCOMPARE(g.size(), QSize(249, height));
    QCOMPARE(g.pixel(at) | 0xFF000000u, colour);
}

void TstWaveRules::traceRows_data()
{
    QTest::addColumn<QList<int>>("setup");  // present, previous (every sample), dial, mode, zero line
    QTest::addColumn<QList<int>>("presentRows");
    QTest::addColumn<QList<int>>("previousRows");
    // All 0: y = 1118 twips, the previous series one pixel lower.
    QTest::newRow("zero data") << QList<int>{0, 0, 0, 0, 0} << QList<int>{75} << QList<int>{76};
    QTest::newRow("Present only") << QList<int>{0, 0, 0, 1, 0} << QList<int>{75} << QList<int>{};
    QTest::newRow("zero line +1 (1192)") << QList<int>{0, 0, 0, 0, 1} << QList<int>{79} << QList<int>{80};
    QTest::newRow("zero line -1 (1042)") << QList<int>{0, 0, 0, 0, -1} << QList<int>{69} << QList<int>{70};
    QTest::newRow("zero line 15: below") << QList<int>{0, 0, 0, 0, 15} << QList<int>{} << QList<int>{};
    QTest::newRow("400 at 0: 2 px up") << QList<int>{400, 0, 0, 0, 0} << QList<int>{73} << QList<int>{76};
    QTest::newRow("400 at 3: 30 px up") << QList<int>{400, 400, 3, 0, 0} << QList<int>{45} << QList<int>{46};
    QTest::newRow("-1: 1 px down over red") << QList<int>{-1, 0, 2, 0, 0} << QList<int>{76} << QList<int>{};
    QTest::newRow("2000 at 3: above") << QList<int>{2000, 0, 3, 1, 0} << QList<int>{} << QList<int>{};
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

void TstWaveRules::stepIsJoined()
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

QTEST_GUILESS_MAIN(TstWaveRules)
#include "tst_waverules.moc"
