// The waveform monitor's rules without widgets: the "T" request, the block
// decoding, the plot and marker geometry and the file record.

#include "link/frames.h"
#include "linktestutil.h"
#include "wave/wavefile.h"
#include "wave/wavegeometry.h"
#include "wave/waveupload.h"

#include <QTest>

namespace WG = WaveGeometry;

// A "T" reply split as the link splits it.
static LinkState splitT(const QByteArray &text)
{
    LinkState s;
    s.RecvBuf = F(text.constData());
    SplitReply(s);
    return s;
}

// A block reply: torque field t0 + j, speed field s0 + j for every sample.
static QByteArray blockText(int b, int torque0, int speed0, int samples = WaveBlockSamples)
{
    QByteArray t = "T;" + QByteArray::number(b, 16).toUpper();
    for (int j = 0; j < samples; ++j) {
        t += ';' + QByteArray::number(quint16(torque0 + j), 16).toUpper();
        t += ';' + QByteArray::number(quint16(speed0 + j), 16).toUpper();
    }
    return t;
}

class TstWaveRules : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void tRequest_data();
    void tRequest();
    void unfold_data();
    void unfold();
    void firstSampleOfBlock1_data();
    void firstSampleOfBlock1();
    void blockGoesToItsSlots_data();
    void blockGoesToItsSlots();
    void badBlocksChangeNothing_data();
    void badBlocksChangeNothing();
    void fieldsCarried_data();
    void fieldsCarried();
    void shiftSeries();
    void progress();
    void speedFactors_data();
    void speedFactors();
    void torqueFactors_data();
    void torqueFactors();
    void tracePoint_data();
    void tracePoint();
    void zeroLine_data();
    void zeroLine();
    void knobPlaces_data();
    void knobPlaces();
    void knobDrag_data();
    void knobDrag();
    void knobRelease_data();
    void knobRelease();
    void dialStep_data();
    void dialStep();
    void zeroStrip_data();
    void zeroStrip();
    void zeroDrag_data();
    void zeroDrag();
    void trigStrip_data();
    void trigStrip();
    void trigDrag_data();
    void trigDrag();
    void fileRecord();
    void fileLength_data();
    void fileLength();
};

// --- the request -------------------------------------------------------------------

void TstWaveRules::tRequest_data()
{
    QTest::addColumn<int>("run");
    QTest::addColumn<int>("timeBase");
    QTest::addColumn<int>("edge");
    QTest::addColumn<int>("trig");
    QTest::addColumn<int>("trigPos");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("text");
    QTest::newRow("idle defaults") << 0 << 0 << 0 << 0 << 15 << 0 << "T;0;F;0";
    QTest::newRow("running") << 1 << 0 << 0 << 0 << 15 << 0 << "T;80;F;0";
    QTest::newRow("all fields") << 1 << 3 << 1 << 2 << 30 << 4 << "T;EA;1E;4";
    QTest::newRow("trigger position 0") << 0 << 0 << 0 << 0 << 0 << 0 << "T;0;0;0";
    QTest::newRow("each field its own bits") << 0 << 2 << 3 << 1 << 7 << 3 << "T;59;7;3";
    QTest::newRow("manual trigger") << 0 << 0 << 0 << 3 << 15 << 1 << "T;3;F;1";
}

void TstWaveRules::tRequest()
{
    QFETCH(int, run);
    QFETCH(int, timeBase);
    QFETCH(int, edge);
    QFETCH(int, trig);
    QFETCH(int, trigPos);
    QFETCH(int, status);
    QFETCH(QString, text);
    WaveState w;
    w.CaptureRun = qint16(run);
    w.DialPos[2] = qint16(timeBase);
    w.DialPos[0] = 3;  // the scales are not sent
    w.DialPos[1] = 2;
    w.TrigPos = qint16(trigPos);
    QCOMPARE(TRequestText(w, {trig, edge, status}), text);
}

// --- decoding ----------------------------------------------------------------------

void TstWaveRules::unfold_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<int>("torque");
    QTest::addColumn<int>("flag");
    QTest::newRow("-9999 clear") << -9999 << -9999 << 0;
    QTest::newRow("9999 clear") << 9999 << 9999 << 0;
    QTest::newRow("-10000 set") << -10000 << 0 << 1;
    QTest::newRow("10000 set") << 10000 << 0 << 1;
    QTest::newRow("19999 set") << 19999 << 9999 << 1;
    QTest::newRow("-10001 set") << -10001 << -1 << 1;
    QTest::newRow("0 clear") << 0 << 0 << 0;
    QTest::newRow("largest") << 32767 << 22767 << 1;
    QTest::newRow("smallest") << -32768 << -22768 << 1;
}

void TstWaveRules::unfold()
{
    QFETCH(int, field);
    QFETCH(int, torque);
    QFETCH(int, flag);
    const UnfoldedTorque u = UnfoldStatusBit(qint16(field));
    QCOMPARE(int(u.torque), torque);
    QCOMPARE(int(u.flag), flag);
}

void TstWaveRules::firstSampleOfBlock1_data()
{
    QTest::addColumn<QByteArray>("torqueField");
    QTest::addColumn<int>("torque");
    QTest::addColumn<int>("flag");
    QTest::newRow("D8F1") << QByteArray("D8F1") << -9999 << 0;
    QTest::newRow("D8F0") << QByteArray("D8F0") << 0 << 1;
    QTest::newRow("2710") << QByteArray("2710") << 0 << 1;
    QTest::newRow("4E1F") << QByteArray("4E1F") << 9999 << 1;
}

void TstWaveRules::firstSampleOfBlock1()
{
    QFETCH(QByteArray, torqueField);
    QFETCH(int, torque);
    QFETCH(int, flag);
    QByteArray text = "T;1;" + torqueField + ";0014";
    for (int j = 1; j < WaveBlockSamples; ++j) text += ";0;0";
    LinkState s = splitT(text);
    WaveState w;
    w.WaveFlag[0][0] = qint16(1 - flag);
    QCOMPARE(StoreWaveBlock(w, s.ReplyField, FieldsCarried(s.RecvBuf)), BlockOutcome::Stored);
    QCOMPARE(int(w.WaveData[0][0][1]), torque);
    QCOMPARE(int(w.WaveFlag[0][0]), flag);
    QCOMPARE(int(w.WaveData[0][0][0]), 20);
}

void TstWaveRules::blockGoesToItsSlots_data()
{
    QTest::addColumn<int>("block");
    QTest::addColumn<int>("first");
    QTest::newRow("block 1") << 1 << 0;
    QTest::newRow("block 3") << 3 << 32;
    QTest::newRow("block 8") << 8 << 112;
}

void TstWaveRules::blockGoesToItsSlots()
{
    QFETCH(int, block);
    QFETCH(int, first);
    WaveState w;
    for (auto &slot : w.WaveData[0]) slot = {-7, -7};
    LinkState s = splitT(blockText(block, 100, 500));
    QCOMPARE(StoreWaveBlock(w, s.ReplyField, FieldsCarried(s.RecvBuf)), BlockOutcome::Stored);
    for (int slot = 0; slot < WaveSlots; ++slot) {
        const bool mine = slot >= first && slot < first + WaveBlockSamples;
        QCOMPARE(int(w.WaveData[0][slot][0]), mine ? 500 + slot - first : -7);
        QCOMPARE(int(w.WaveData[0][slot][1]), mine ? 100 + slot - first : -7);
    }
    // Only the upload buffer is written.
    QCOMPARE(int(w.WaveData[1][first][0]), 0);
}

void TstWaveRules::badBlocksChangeNothing_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("outcome");
    QTest::newRow("block 0") << blockText(0, 1, 1) << int(BlockOutcome::NoData);
    QTest::newRow("block 9") << blockText(9, 1, 1) << int(BlockOutcome::NoData);
    QTest::newRow("negative block") << blockText(0xFFFF, 1, 1) << int(BlockOutcome::NoData);
    QTest::newRow("armed, nothing yet") << QByteArray("T;0") << int(BlockOutcome::NoData);
    QTest::newRow("one sample short") << blockText(2, 1, 1, 15) << int(BlockOutcome::Refused);
    QTest::newRow("last speed missing") << blockText(2, 1, 1).left(blockText(2, 1, 1).lastIndexOf(';'))
                                        << int(BlockOutcome::Refused);
    QTest::newRow("block number alone") << QByteArray("T;2") << int(BlockOutcome::Refused);
    QByteArray wide = blockText(2, 1, 1);
    wide.replace(";1;1;", ";10000;1;");  // five digits: 65536
    QTest::newRow("torque beyond 16 bits") << wide << int(BlockOutcome::Refused);
    QByteArray wideSpeed = blockText(2, 1, 1);
    wideSpeed.append(";0");
    wideSpeed.replace(";1;1;", ";1;0FFFF;");  // five digits behind a zero: 65535
    QTest::newRow("speed beyond 16 bits") << wideSpeed << int(BlockOutcome::Refused);
}

void TstWaveRules::badBlocksChangeNothing()
{
    QFETCH(QByteArray, text);
    QFETCH(int, outcome);
    // Leftovers of a longer earlier reply stand in the positions a short
    // reply does not carry.
    LinkState s = splitT(blockText(5, 3000, 4000));
    s.RecvBuf = F(text.constData());
    SplitReply(s);
    WaveState w;
    const WaveState before = w;
    QCOMPARE(int(StoreWaveBlock(w, s.ReplyField, FieldsCarried(s.RecvBuf))), outcome);
    QVERIFY(w.WaveData == before.WaveData);
    QVERIFY(w.WaveFlag == before.WaveFlag);
}

void TstWaveRules::fieldsCarried_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("count");
    QTest::newRow("keyword only") << QByteArray("T") << 0;
    QTest::newRow("one") << QByteArray("T;0") << 1;
    QTest::newRow("full block") << blockText(1, 0, 0) << 33;
    QTest::newRow("empty last field counts") << QByteArray("T;1;2;") << 3;
}

void TstWaveRules::fieldsCarried()
{
    QFETCH(QByteArray, text);
    QFETCH(int, count);
    QCOMPARE(FieldsCarried(F(text.constData())), count);
}

void TstWaveRules::shiftSeries()
{
    WaveState w;
    for (int s = 0; s < WaveSlots; ++s) {
        w.WaveData[0][s] = {qint16(s), qint16(-s)};
        w.WaveFlag[0][s] = qint16(s & 1);
        w.WaveData[1][s] = {qint16(1000 + s), qint16(2000 + s)};
        w.WaveFlag[1][s] = 1;
    }
    w.WaveData[0][128] = {77, 77};
    ShiftSeries(w, 1);
    ShiftSeries(w, 0);
    for (int s = 0; s < WaveSamples; ++s) {
        QCOMPARE(w.WaveData[2][s], (std::array<qint16, 2>{qint16(1000 + s), qint16(2000 + s)}));
        QCOMPARE(int(w.WaveFlag[2][s]), 1);
        QCOMPARE(w.WaveData[1][s], (std::array<qint16, 2>{qint16(s), qint16(-s)}));
        QCOMPARE(int(w.WaveFlag[1][s]), s & 1);
        QCOMPARE(w.WaveData[0][s], w.WaveData[1][s]);  // the source keeps its contents
    }
    // Slot 128 is never copied.
    QCOMPARE(w.WaveData[1][128], (std::array<qint16, 2>{1128, 2128}));
}

void TstWaveRules::progress()
{
    std::array<bool, 16> shown{};
    for (int b = 1; b <= 8; ++b) {
        QVERIFY(AdvanceProgress(shown));
        for (int i = 0; i < 16; ++i) QCOMPARE(shown[i], i < 2 * b);
    }
    QVERIFY(!AdvanceProgress(shown));
    // A gap is filled first.
    shown.fill(true);
    shown[4] = false;
    QVERIFY(AdvanceProgress(shown));
    QVERIFY(shown[4] && shown[5]);
}

// --- scale and points --------------------------------------------------------------

void TstWaveRules::speedFactors_data()
{
    QTest::addColumn<int>("dial");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("pixels");
    QTest::newRow("400 at 0 -> 2, not 3") << 0 << 400 << 2;
    QTest::newRow("400 at 3 -> 30") << 3 << 400 << 30;
    QTest::newRow("-1 at 0 -> -1") << 0 << -1 << -1;
    QTest::newRow("-1 at 3 -> -1") << 3 << -1 << -1;
    QTest::newRow("1000 at 1") << 1 << 1000 << 18;
    QTest::newRow("-400 at 2") << 2 << -400 << -16;
    QTest::newRow("largest at 3") << 3 << 32767 << 2457;
}

void TstWaveRules::speedFactors()
{
    QFETCH(int, dial);
    QFETCH(int, value);
    QFETCH(int, pixels);
    QCOMPARE(int(std::floor(value * WG::SpeedFactor(dial))), pixels);
    // The factor is the single-precision number, not the decimal one.
    QVERIFY(WG::SpeedFactor(0) < 0.0075);
}

void TstWaveRules::torqueFactors_data()
{
    QTest::addColumn<int>("dial");
    QTest::addColumn<QString>("motorType");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("pixels");
    QTest::newRow("900, type 0") << 0 << "0" << 900 << 12;
    QTest::newRow("900, type 5 unchanged") << 0 << "5" << 900 << 112;
    QTest::newRow("empty reads 0") << 0 << "" << 900 << 12;
    QTest::newRow("junk reads 0") << 0 << "abc" << 900 << 12;
    QTest::newRow("1.5 matches nothing") << 0 << "1.5" << 900 << 112;
    // 10000 units at dial position 3: 125000 / R pixels.
    const struct {
        const char *type;
        int pixels;
    } types[] = {{"1", 1666},  {" 31", 1666}, {"2", 1574},  {"20", 1572}, {"21", 1453}, {"22", 1363},
                 {"30", 1891}, {"32", 1614},  {"33", 1689}, {"34", 1773}, {"0", 1388}};
    for (const auto &t : types)
        QTest::addRow("type %s", t.type) << 3 << QString::fromLatin1(t.type) << 10000 << t.pixels;
    QTest::newRow("negative torque floors down") << 0 << "0" << -900 << -13;
}

void TstWaveRules::torqueFactors()
{
    QFETCH(int, dial);
    QFETCH(QString, motorType);
    QFETCH(int, value);
    QFETCH(int, pixels);
    QCOMPARE(int(std::floor(value * WG::TorqueFactor(dial, motorType))), pixels);
}

void TstWaveRules::tracePoint_data()
{
    QTest::addColumn<int>("y0");
    QTest::addColumn<int>("value");
    QTest::addColumn<double>("factor");
    QTest::addColumn<int>("series");
    QTest::addColumn<double>("y");
    QTest::newRow("zero, present") << 1118 << 0 << 0.5 << 1 << 1118.0;
    QTest::newRow("zero, previous one pixel lower") << 1118 << 0 << 0.5 << 2 << 1133.0;
    QTest::newRow("-1 one pixel below") << 1118 << -1 << 0.3 << 1 << 1133.0;
    QTest::newRow("3 at 0.5 -> 1 pixel up") << 1118 << 3 << 0.5 << 1 << 1103.0;
    QTest::newRow("-3 at 0.5 -> 2 pixels down") << 1192 << -3 << 0.5 << 1 << 1222.0;
}

void TstWaveRules::tracePoint()
{
    QFETCH(int, y0);
    QFETCH(int, value);
    QFETCH(double, factor);
    QFETCH(int, series);
    QFETCH(double, y);
    QCOMPARE(WG::TracePointY(y0, qint16(value), factor, series), y);
}

void TstWaveRules::zeroLine_data()
{
    QTest::addColumn<int>("c");
    QTest::addColumn<int>("zero");
    QTest::addColumn<int>("y0");
    QTest::newRow("speed 0") << 0 << 0 << 1118;
    QTest::newRow("speed +1") << 0 << 1 << 1192;
    QTest::newRow("speed -1") << 0 << -1 << 1042;
    QTest::newRow("speed +2") << 0 << 2 << 1268;
    QTest::newRow("torque 0") << 1 << 0 << 1118;
    QTest::newRow("torque 15") << 1 << 15 << 2242;
    QTest::newRow("torque -15") << 1 << -15 << -8;
}

void TstWaveRules::zeroLine()
{
    QFETCH(int, c);
    QFETCH(int, zero);
    QFETCH(int, y0);
    QCOMPARE(WG::ZeroLineY(WG::ZeroMarkerTop(c, zero), WG::PlotTop[c]), y0);
}

// --- dials ---------------------------------------------------------------------------

void TstWaveRules::knobPlaces_data()
{
    QTest::addColumn<int>("pos");
    QTest::addColumn<double>("left");
    QTest::addColumn<double>("top");
    QTest::newRow("0") << 0 << 420.0 << 390.0;
    QTest::newRow("1") << 1 << 532.0 << 510.0;
    QTest::newRow("2") << 2 << 532.0 << 720.0;
    QTest::newRow("3") << 3 << 403.0 << 847.5;
}

void TstWaveRules::knobPlaces()
{
    QFETCH(int, pos);
    QFETCH(double, left);
    QFETCH(double, top);
    QCOMPARE(WG::KnobTop(pos), top);
    QCOMPARE(WG::KnobLeft(top, true), left);
}

void TstWaveRules::knobDrag_data()
{
    QTest::addColumn<double>("knobTop");
    QTest::addColumn<double>("mouseY");
    QTest::addColumn<bool>("moves");
    QTest::addColumn<double>("newTop");
    QTest::newRow("band start 450") << 390.0 << 60.0 << true << 382.5;
    QTest::newRow("just above the band") << 390.0 << 45.0 << false << 0.0;
    QTest::newRow("band end 915") << 847.5 << 67.5 << true << 847.5;
    QTest::newRow("just below the band") << 847.5 << 75.0 << false << 0.0;
    QTest::newRow("middle") << 510.0 << 120.0 << true << 562.5;
}

void TstWaveRules::knobDrag()
{
    QFETCH(double, knobTop);
    QFETCH(double, mouseY);
    QFETCH(bool, moves);
    QFETCH(double, newTop);
    const auto top = WG::KnobDragTop(knobTop, mouseY);
    QCOMPARE(top.has_value(), moves);
    if (moves) {
        QCOMPARE(*top, newTop);
        // During a drag the Left is not rounded, and stays on the circle.
        const double left = WG::KnobLeft(newTop, false);
        QVERIFY(left > 367 - 67.5 && left < 367 + 255);
    }
}

void TstWaveRules::knobRelease_data()
{
    QTest::addColumn<double>("top");
    QTest::addColumn<int>("pos");
    QTest::newRow("449.9") << 449.9 << 0;
    QTest::newRow("450") << 450.0 << 1;
    QTest::newRow("622.4") << 622.4 << 1;
    QTest::newRow("622.5") << 622.5 << 2;
    QTest::newRow("787.4") << 787.4 << 2;
    QTest::newRow("787.5") << 787.5 << 3;
    QTest::newRow("each place is its own position") << 847.5 << 3;
    QTest::newRow("place 0") << 390.0 << 0;
    QTest::newRow("place 1") << 510.0 << 1;
    QTest::newRow("place 2") << 720.0 << 2;
}

void TstWaveRules::knobRelease()
{
    QFETCH(double, top);
    QFETCH(int, pos);
    QCOMPARE(WG::DialFromKnobTop(top), pos);
}

void TstWaveRules::dialStep_data()
{
    QTest::addColumn<int>("pos");
    QTest::addColumn<int>("delta");
    QTest::addColumn<int>("result");
    QTest::newRow("Up at 0 stays") << 0 << -1 << 0;
    QTest::newRow("Down at 3 stays") << 3 << 1 << 3;
    QTest::newRow("Up at 2") << 2 << -1 << 1;
    QTest::newRow("Down at 0") << 0 << 1 << 1;
}

void TstWaveRules::dialStep()
{
    QFETCH(int, pos);
    QFETCH(int, delta);
    QFETCH(int, result);
    QCOMPARE(WG::DialStep(pos, delta), result);
}

// --- zero lines and trigger ------------------------------------------------------------

void TstWaveRules::zeroStrip_data()
{
    QTest::addColumn<int>("zero");
    QTest::addColumn<bool>("below");
    QTest::addColumn<int>("result");
    QTest::newRow("below from 1") << 1 << true << 2;
    QTest::newRow("below from 2") << 2 << true << 4;
    QTest::newRow("above from 1") << 1 << false << 0;
    QTest::newRow("above from -1") << -1 << false << -2;
    QTest::newRow("above from -2") << -2 << false << -4;
    QTest::newRow("below from -3") << -3 << true << -2;
    QTest::newRow("below from 15 (clamped later)") << 15 << true << 16;
}

void TstWaveRules::zeroStrip()
{
    QFETCH(int, zero);
    QFETCH(bool, below);
    QFETCH(int, result);
    QCOMPARE(WG::ZeroStripStep(zero, below), result);
    QCOMPARE(WG::ClampZero(result), qBound(-15, result, 15));
}

void TstWaveRules::zeroDrag_data()
{
    QTest::addColumn<int>("c");
    QTest::addColumn<double>("top");
    QTest::addColumn<double>("mouseY");
    QTest::addColumn<bool>("moves");
    QTest::addColumn<int>("zeroOnRelease");
    // m = Top + mouse; allowed while m + 15 >= plot Top and m - 15 <= plot bottom.
    QTest::newRow("speed top edge") << 0 << 300.0 << 45.0 << true << -15;
    QTest::newRow("speed above the plot") << 0 << 300.0 << 44.0 << false << 0;
    QTest::newRow("speed bottom edge") << 0 << 2500.0 << 110.0 << true << 15;
    QTest::newRow("speed below the plot") << 0 << 2500.0 << 111.0 << false << 0;
    QTest::newRow("torque, 5 steps down") << 1 << 3750.0 << 503.0 << true << 5;
    QTest::newRow("torque above its plot") << 1 << 2600.0 << 100.0 << false << 0;
}

void TstWaveRules::zeroDrag()
{
    QFETCH(int, c);
    QFETCH(double, top);
    QFETCH(double, mouseY);
    QFETCH(bool, moves);
    QFETCH(int, zeroOnRelease);
    const auto t = WG::ZeroDragTop(c, top, mouseY);
    QCOMPARE(t.has_value(), moves);
    if (moves) {
        QCOMPARE(*t, top + mouseY - 128);
        QCOMPARE(WG::ZeroFromMarkerTop(c, *t), zeroOnRelease);
    }
}

void TstWaveRules::trigStrip_data()
{
    QTest::addColumn<int>("pos");
    QTest::addColumn<bool>("right");
    QTest::addColumn<int>("result");
    QTest::newRow("right from 15") << 15 << true << 17;
    QTest::newRow("right from 14") << 14 << true << 15;
    QTest::newRow("left from 15") << 15 << false << 13;
    QTest::newRow("left from 14") << 14 << false << 13;
    QTest::newRow("left from 0 (clamped later)") << 0 << false << -1;
}

void TstWaveRules::trigStrip()
{
    QFETCH(int, pos);
    QFETCH(bool, right);
    QFETCH(int, result);
    QCOMPARE(WG::TrigStripStep(pos, right), result);
}

void TstWaveRules::trigDrag_data()
{
    QTest::addColumn<double>("left");
    QTest::addColumn<double>("mouseX");
    QTest::addColumn<bool>("moves");
    QTest::addColumn<int>("posOnRelease");
    QTest::addColumn<double>("snapLeft");
    QTest::newRow("to 1880 -> 15, back to 1875") << 1875.0 << 133.0 << true << 15 << 1875.0;
    QTest::newRow("to 1913 -> 15.51 -> 16") << 1875.0 << 166.0 << true << 16 << 1950.0;
    QTest::newRow("to 1912.5 -> 15.5, to the even 16") << 1875.0 << 165.5 << true << 16 << 1950.0;
    QTest::newRow("to 1837.5 -> 14.5, to the even 14") << 1875.0 << 90.5 << true << 14 << 1800.0;
    QTest::newRow("left band edge") << 750.0 << 123.0 << true << 0 << 750.0;
    QTest::newRow("beyond the left band") << 750.0 << 122.0 << false << 0 << 0.0;
    QTest::newRow("right band edge") << 3000.0 << 128.0 << true << 30 << 3000.0;
    QTest::newRow("beyond the right band") << 3000.0 << 129.0 << false << 0 << 0.0;
}

void TstWaveRules::trigDrag()
{
    QFETCH(double, left);
    QFETCH(double, mouseX);
    QFETCH(bool, moves);
    QFETCH(int, posOnRelease);
    QFETCH(double, snapLeft);
    const auto l = WG::TrigDragLeft(left, mouseX);
    QCOMPARE(l.has_value(), moves);
    if (!moves) return;
    const int pos = WG::ClampTrig(WG::TrigFromMarkerLeft(*l));
    QCOMPARE(pos, posOnRelease);
    QCOMPARE(WG::TrigMarkerLeft(pos), snapLeft);
}

// --- the file ----------------------------------------------------------------------------

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
    QCOMPARE(entry(0), qint16(1));      // flag of slot 0
    QCOMPARE(entry(4), qint16(-1));     // torque of slot 1
    QCOMPARE(entry(5), qint16(3));      // speed of slot 1
    QCOMPARE(entry(3 * 127 + 2), qint16(381));
    const qint16 setup[9] = {2, 1, 15, 3, 1, 2, -15, 7, 4};
    for (int i = 0; i < 9; ++i) QCOMPARE(entry(384 + i), setup[i]);
    for (int i = 393; i < 404; ++i) QCOMPARE(entry(i), qint16(0));
    QCOMPARE(quint8(bytes[6 * 1 + 2]), quint8(0xFF));  // little-endian -1
    QCOMPARE(quint8(bytes[780]), quint8(0xF1));         // -15 low byte first

    const auto back = DecodeWaveFile(bytes);
    QVERIFY(back.has_value());
    WaveState loaded;
    LoadWaveSamples(loaded, *back);
    QVERIFY(loaded.WaveData[1] == w.WaveData[1]);
    QVERIFY(loaded.WaveFlag[1] == w.WaveFlag[1]);
}

void TstWaveRules::fileLength_data()
{
    QTest::addColumn<int>("length");
    QTest::newRow("807") << 807;
    QTest::newRow("809") << 809;
    QTest::newRow("empty") << 0;
    QTest::newRow("808") << 808;
}

void TstWaveRules::fileLength()
{
    QFETCH(int, length);
    QCOMPARE(DecodeWaveFile(QByteArray(length, '\x7F')).has_value(), length == 808);
}

QTEST_GUILESS_MAIN(TstWaveRules)
#include "tst_waverules.moc"
