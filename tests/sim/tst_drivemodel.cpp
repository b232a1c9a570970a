// The drive model: field widths as the program reads them, memory,
// refusals, the axis, the waveform capture and the faults put into replies.

#include "simtestutil.h"
#include "sim/replyshaper.h"
#include "sim/wirefield.h"

#include <QRegularExpression>
#include <QTest>

using namespace sim;

Q_DECLARE_METATYPE(sim::FaultConfig)

class TstDriveModel : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fieldWidths_data();
    void fieldWidths();
    void scenario_data();
    void scenario();
    void armedCapture();
    void faults_data();
    void faults();
};

void TstDriveModel::fieldWidths_data()
{
    QTest::addColumn<qint64>("value");
    QTest::addColumn<bool>("sixteen");
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("readBack");  // as the program reads the text
    QTest::newRow("32767") << 32767LL << true << "7FFF" << 32767LL;
    QTest::newRow("32768 in five") << 32768LL << true << "08000" << 32768LL;
    QTest::newRow("-32768 of 16 bits") << -32768LL << true << "8000" << -32768LL;
    QTest::newRow("-32769 of 16 bits widens") << -32769LL << true << "FFFF7FFF" << -32769LL;
    QTest::newRow("status word bit 31") << 0x80008100LL << false << "80008100" << qint64(qint32(0x80008100U));
}

void TstDriveModel::fieldWidths()
{
    QFETCH(qint64, value);
    QFETCH(bool, sixteen);
    QFETCH(QString, text);
    QFETCH(qint64, readBack);
    const std::string field = HexField(value, sixteen ? FieldWidth::Bits16 : FieldWidth::Bits32);
    QCOMPARE(QString::fromStdString(field), text);
    QCOMPARE(qint64(HexFieldToLong(QByteArray::fromStdString(field))), readBack);
}

// Each step of a scenario, on a fresh model:
//   "REQ"             the request is answered with its own keyword
//   "REQ=REPLY"       ... with exactly this reply ("-" for none)
//   "REQ[i]=V" / "~T" field i of the reply (as the program reads it) is V (within T); also "<V", ">V"
//   "REQ[i]&M" / "!M" field i has every bit of M set / clear
//   "+N" N ms pass; "alarm N" the drive raises alarm N; "power" off and on
void TstDriveModel::scenario_data()
{
    QTest::addColumn<QStringList>("steps");

    QTest::newRow("refused: not a request") << QStringList{
        "FOO=ERR;1", "=ERR;1", "s=ERR;1", "S;1=ERR;1", "R=ERR;1", "W;0;1;1;10;10;0;0;0;0;0=ERR;1",
        "TBLW;0;0;0;0;=ERR;1"};
    QTest::newRow("refused: out of range") << QStringList{
        "R;6=ERR;3", "R;X=ERR;3", "W;0;186A0;14;28;96;28;0;0;0;32;0=ERR;3", "W;0;FFFFFFFF;14;28;96;28;0;0;0;32;0=ERR;3",
        "TBLR;20=ERR;3", "TBLW;0;0;0;9C5;0;=ERR;3", "MON;11=ERR;3", "PNT;20=ERR;3", "T;80;1F;0=ERR;3",
        "T;80;F;5=ERR;3", "VV;FFFFZZ12;FFFF0000;=ERR;3"};
    QTest::newRow("refused in alarm") << QStringList{"alarm 3", "SVON=ERR;7", "PJOG=ERR;7", "STRON=ERR;7",
                                                     "ZSTRON=ERR;7", "SVOFF", "JOGOFF"};
    QTest::newRow("refused in emergency") << QStringList{"EMCON", "SVON=ERR;8", "NJOG=ERR;8", "EMCOFF"};

    // A jog at the speed of parameter 20, 6 rpm a mm/s.
    QTest::newRow("jog forward and stop") << QStringList{
        "SVON", "PJOG", "+2000", "MON;4[1]=120~3", "S[0]&0x8000", "MON;0[1]>0",
        "JOGOFF", "+2000", "MON;4[1]=0", "S[0]!0x8000", "S[0]&0x100"};
    QTest::newRow("zero set and teaching") << QStringList{
        "ZSET;3E8", "MON;0[1]=1000", "PNT;07", "TDIN", "TBLR;7=TBLR;0;3E8;0;0", "SVON", "PJOG", "+300",
        "ZSET;0=ERR;2", "ZSET;80000000=ERR;2"};

    // Working memory is lost at a power cycle or RESET; what FLASH kept is not.
    // The in-position width (parameter 1) is 20 at the factory.
    QTest::newRow("kept and lost") << QStringList{
        "TBLW;A;0;FFE17B80;9C4;270F;", "W;0;7530;4D;28;96;28;0;0;0;32;0", "FLASH", "TBLW;A;0;0;0;0;",
        "W;0;7530;14;28;96;28;0;0;0;32;0", "R;0[2]=20", "power", "S=-", "+400",
        "TBLR;A=TBLR;0;FFE17B80;9C4;270F", "R;0[2]=77"};
    QTest::newRow("RESET restarts without answer") << QStringList{
        "SVON", "TBLW;0;1;1;1;1;", "RESET=-", "S=-", "+300", "S[0]!0x80000000", "TBLR;0=TBLR;0;0;64;64"};

    QTest::newRow("capture cancelled") << QStringList{"T;83;F;0=T;0", "T;3;F;0=T;0", "+1000", "T;83;F;0=T;0"};
}

void TstDriveModel::scenario()
{
    QFETCH(QStringList, steps);
    static const QRegularExpression check(QStringLiteral(R"(^(.*)\[(\d+)\]([=<>&!])(-?\w+)(?:~(\d+))?$)"));
    DriveModel m;
    for (const QString &step : steps) {
        const QRegularExpressionMatch c = check.match(step);
        if (step.startsWith(u'+')) {
            runFor(m, step.mid(1).toInt());
        } else if (step.startsWith(u"alarm ")) {
            m.raiseAlarm(step.mid(6).toInt());
        } else if (step == u"power") {
            m.powerCycle();
        } else if (c.hasMatch()) {
            const qint64 got = askRead(m, c.captured(1).toStdString()).fields.value(c.captured(2).toInt(), -999999);
            const qint64 want = c.captured(4).toLongLong(nullptr, 0);
            const QChar op = c.captured(3).at(0);
            const bool ok = op == u'=' ? std::abs(got - want) <= c.captured(5).toInt()
                          : op == u'<' ? got < want
                          : op == u'>' ? got > want
                          : op == u'&' ? (quint32(got) & want) == want
                                       : (quint32(got) & want) == 0;
            QVERIFY2(ok, qPrintable(step + QStringLiteral(" read ") + QString::number(got)));
        } else {
            const QString request = step.section(u'=', 0, 0);
            const std::optional<std::string> r = m.handle(request.toStdString());
            const QString got = r ? QString::fromStdString(*r) : QStringLiteral("-");
            const QString want = step.contains(u'=') ? step.section(u'=', 1) : request.section(u';', 0, 0);
            QVERIFY2(step.contains(u'=') ? got == want : got.section(u';', 0, 0) == want,
                     qPrintable(step + QStringLiteral(" answered ") + got));
        }
    }
}

void TstDriveModel::armedCapture()
{
    // Armed with the trigger "Speed" and the status signal "Brake", it
    // waits for the axis to move.
    DriveModel m;
    QCOMPARE(ask(m, "T;80;F;0"), std::string("T;0"));
    runFor(m, 3000);
    QCOMPARE(ask(m, "T;80;F;0"), std::string("T;0"));
    ask(m, "SVON");
    ask(m, "PJOG");
    runFor(m, 3000);
    QList<qint32> speeds;
    QList<bool> brake;
    for (int b = 1; b <= 8; ++b) {
        const ReadReply r = askRead(m, "T;80;F;0");
        QCOMPARE(r.fields.size(), 33);
        QCOMPARE(r.fields[0], b);
        for (int j = 0; j < 16; ++j) {
            brake << (std::abs(r.fields[2 * j + 1]) > 9999);  // the status bit rides on the torque
            speeds << r.fields[2 * j + 2];
        }
    }
    const int pre = 63;  // position 15 puts the trigger under the middle grid line
    QVERIFY(speeds[pre - 1] < WaveCapture::SpeedLevel && speeds[pre] >= WaveCapture::SpeedLevel);
    QVERIFY(brake.first() && !brake.last());  // held before the servo is on, released while running
    QCOMPARE(ask(m, "T;80;F;0"), std::string("T;0"));  // and a new capture is armed
}

void TstDriveModel::faults_data()
{
    QTest::addColumn<sim::FaultConfig>("faults");
    QTest::addColumn<QString>("note");
    QTest::addColumn<QString>("wire");       // what a reply sent puts on the line
    QTest::addColumn<int>("pauseMs");        // between its pieces
    const QString intact = QStringLiteral(R"(^\x02S;41;0;0;D7;0\x04$)");
    // Every reply faulted one way, with the setting beside the rate.
    const auto always = [](double FaultConfig::*rate, int FaultConfig::*setting = nullptr, int value = 0) {
        FaultConfig f;
        f.*rate = 1;
        if (setting) f.*setting = value;
        return f;
    };
    FaultConfig dropS;
    dropS.dropKeywords = {"S"};
    QTest::newRow("drop S") << dropS << "dropped" << "" << 0;
    QTest::newRow("garble") << always(&FaultConfig::garbleRate) << "garbled"
                            << R"(^\x02(?!S;41;0;0;D7;0\x04)[ -~]{13}\x04$)" << 0;
    QTest::newRow("oversize") << always(&FaultConfig::oversizeRate) << "oversize" << R"(^\x02S(;\d){300}\x04$)" << 0;
    QTest::newRow("split") << always(&FaultConfig::splitRate, &FaultConfig::splitGapMs, 60) << "split" << intact << 60;
}

void TstDriveModel::faults()
{
    QFETCH(sim::FaultConfig, faults);
    QFETCH(QString, note);
    QFETCH(QString, wire);
    QFETCH(int, pauseMs);
    ReplyShaper shaper(1);
    const std::string reply = *DriveModel().handle("S");  // S;41;0;0;D7;0
    const WirePlan plan = shaper.shape("S", reply, faults);
    QCOMPARE(QString::fromStdString(plan.note), note);
    QCOMPARE(plan.dropped, note == u"dropped");
    if (plan.dropped) return;
    const QString bytes = QString::fromLatin1(plan.bytes());
    QVERIFY2(QRegularExpression(wire).match(bytes).hasMatch(), qPrintable(bytes.toLatin1().toPercentEncoding()));
    QCOMPARE(plan.pieces.size() > 1, pauseMs > 0);
    for (size_t i = 1; i < plan.pieces.size(); ++i)
        QCOMPARE(plan.pieces[i].pauseBefore, std::chrono::microseconds(pauseMs * 1000));
}

QTEST_MAIN(TstDriveModel)
#include "tst_drivemodel.moc"
