// The drive model: field widths as the program reads them, memory,
// refusals, the axis, the waveform capture and the faults put into replies.

#include "simtestutil.h"
#include "sim/replyshaper.h"
#include "sim/wirefield.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>

using namespace sim;

Q_DECLARE_METATYPE(sim::FaultConfig)

class TstDriveModel : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fieldWidths_data();
    void fieldWidths();
    void factoryValuesAreInRange();
    void scenario_data();
    void scenario();
    void nonVolatileFile();
    void sameSeedSameReplies();
    void faults_data();
    void faults();
};

void TstDriveModel::fieldWidths_data()
{
    QTest::addColumn<qint64>("value");
    QTest::addColumn<bool>("sixteen");
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("readBack");  // as the program reads the text
    QTest::newRow("zero") << 0LL << true << "0" << 0LL;
    QTest::newRow("32767") << 32767LL << true << "7FFF" << 32767LL;
    QTest::newRow("32768 in five") << 32768LL << true << "08000" << 32768LL;
    QTest::newRow("65535 in five") << 65535LL << false << "0FFFF" << 65535LL;
    QTest::newRow("-1 of 16 bits") << -1LL << true << "FFFF" << -1LL;
    QTest::newRow("-32768 of 16 bits") << -32768LL << true << "8000" << -32768LL;
    QTest::newRow("-32769 of 16 bits widens") << -32769LL << true << "FFFF7FFF" << -32769LL;
    QTest::newRow("-1 of 32 bits") << -1LL << false << "FFFFFFFF" << -1LL;
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

void TstDriveModel::factoryValuesAreInRange()
{
    for (int k = 0; k < ParameterCount; ++k) QVERIFY(ParameterRange(k).contains(FactoryParameters()[k]));
    for (int i = 0; i < PointCount * PointColumns; ++i) QVERIFY(PointColumnRange(i % PointColumns).contains(FactoryPoints()[i]));
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
    auto w = [](int block, const Parameters &p) { return QString::fromLatin1(writeRequest(block, p)); };
    const QString tolerance = QString::number(FactoryParameters()[Param::InPosition]);

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

    // The status word, the motor model, the ROM version and the lamps of the operation panel.
    QTest::newRow("status at power-up") << QStringList{"+100", "S[0]&0x41", "S[0]!0x80808000", "S[4]=0", "S[2]=0", "S[3]=215"};
    QTest::newRow("status servo on") << QStringList{"SVON", "+100", "S[0]&0x80000100", "S[0]!0x41", "S[4]=1"};
    QTest::newRow("status emergency") << QStringList{"SVON", "EMCON", "+100", "S[0]&0x8000040", "S[0]!0x80000000", "S[4]=0x100"};
    QTest::newRow("status held high-speed jog") << QStringList{"SVON", "HOLDON", "HSON", "PJOG", "+100", "S[0]&0x80000000", "S[4]=0xC3"};
    QTest::newRow("status inputs") << QStringList{"NJOG", "STRON", "ZSTRON", "RSTON", "+100", "S[4]=0x3C"};

    // Jogs at the speeds of parameters 20 (low) and 19 (high), 6 rpm a mm/s.
    QTest::newRow("jog forward and stop") << QStringList{
        "SVON", "PJOG", "+2000", "MON;4[1]=120~3", "S[0]&0x8000", "MON;0[1]>0",
        "JOGOFF", "+2000", "MON;4[1]=0", "S[0]!0x8000", "S[0]&0x100"};
    QTest::newRow("jog reverse") << QStringList{"SVON", "NJOG", "+2000", "MON;4[1]=-120~3", "MON;0[1]<0"};
    QTest::newRow("jog high speed") << QStringList{"SVON", "HSON", "PJOG", "+2000", "MON;4[1]=1200~25"};
    // Point 1: absolute 100000 µm; point 4: 10000 further, on a new start edge.
    QTest::newRow("point moves") << QStringList{
        "SVON", "PNT;01", "STRON", "+200", "S[0]&0x8000", "MON;1[1]=100000", "+2000", "MON;0[1]=100000~" + tolerance,
        "S[0]&0x108", "S[0]!0x8000", "S[1]=1", "STROFF", "PNT;04", "STRON", "+2000", "MON;0[1]=110000~" + tolerance};
    Parameters p = FactoryParameters();
    p[Param::ForwardSoftOt] = 5000;
    p[Param::ReverseSoftOt] = -5000;
    p[Param::HomingMethod] = 1;  // the origin is where the axis stands
    QTest::newRow("soft limits hold once homed") << QStringList{
        w(1, p), w(2, p), "SVON", "PJOG", "+500", "MON;0[1]>5000", "JOGOFF", "+500", "ZSTRON", "S[0]&0x800",
        "MON;0[1]=0", "PJOG", "+1500", "MON;1[1]=5000", "S[0]&0x1000000", "NJOG", "+2000", "MON;0[1]=-5000~20",
        "S[0]&0x40000000", "S[0]!0x1000000", "JOGOFF", "PNT;01", "STRON", "+1000", "MON;1[1]=5000"};
    p = FactoryParameters();
    p[Param::ExcessiveError] = 100;
    QTest::newRow("excessive deviation, reset, history") << QStringList{
        w(0, p), "SVON", "HSON", "PJOG", "+1000", "ALM[0]=0x80", "S[0]&0x810000", "S[0]!0x80000000", "ALM[1]=0x80",
        "SVON=ERR;7", "ARST", "ALM[0]=0", "SVON", "alarm 1", "ALM[1]=2", "ALM[2]=0x80", "HCL",
        "ALM=ALM;2;0;0;0;0;0;0;0;0"};
    QTest::newRow("peak torque and its reset") << QStringList{
        "SVON", "PNT;02", "STRON", "+3000", "VV;FFFF0000;FFFF0000;[10]>19", "TRST", "VV;FFFF0000;FFFF0000;[10]<2"};
    QTest::newRow("zero set and teaching") << QStringList{
        "ZSET;3E8", "MON;0[1]=1000", "PNT;07", "TDIN", "TBLR;7=TBLR;0;3E8;0;0", "SVON", "PJOG", "+300",
        "ZSET;0=ERR;2", "ZSET;80000000=ERR;2"};

    // Working memory is lost at a power cycle or RESET; what FLASH kept is not.
    p = FactoryParameters();
    p[Param::InPosition] = 77;
    QTest::newRow("kept and lost") << QStringList{
        "TBLW;A;0;FFE17B80;9C4;270F;", "FLASH", "TBLW;A;0;0;0;0;", w(0, p), "R;0[2]=77", "power", "S=-", "+400",
        "TBLR;A=TBLR;0;FFE17B80;9C4;270F", "R;0[2]=" + tolerance};
    QTest::newRow("RESET restarts without answer") << QStringList{
        "SVON", "TBLW;0;1;1;1;1;", "RESET=-", "S=-", "+300", "S[0]!0x80000000", "TBLR;0=TBLR;0;0;64;64"};

    // A manual capture fires at once and gives blocks 1..8; then a new one is armed.
    QStringList manual{"T;83;F;0=T;0", "T;83;F;0=T;0", "+522"};
    for (int b = 1; b <= 8; ++b) manual << QStringLiteral("T;83;F;0[0]=%1").arg(b);
    QTest::newRow("manual capture") << manual + QStringList{"T;83;F;0=T;0", "T;83;F;0=T;0"};
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

void TstDriveModel::nonVolatileFile()
{
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("nv.txt")).toStdString();
    {
        DriveModel m(1, path);
        ask(m, "TBLW;3;1;3E8;A;14;");
        ask(m, "FLASH");
        m.raiseAlarm(4);
    }
    DriveModel again(7, path);
    QCOMPARE(ask(again, "TBLR;3"), std::string("TBLR;1;3E8;A;14"));
    QCOMPARE(askRead(again, "ALM").fields.mid(0, 2), QList<qint32>({0, 0x10}));  // the history outlives the alarm
    // A file that is not the drive's leaves the factory values, and itself, alone.
    std::ofstream(path) << "something else\nparam 0 5\n";
    DriveModel third(1, path);
    QCOMPARE(third.parameters(), FactoryParameters());
    std::ifstream in(path);
    std::string first;
    std::getline(in, first);
    QCOMPARE(first, std::string("something else"));
}

void TstDriveModel::sameSeedSameReplies()
{
    const auto script = [](std::uint64_t seed) {
        DriveModel m(seed);
        QStringList out;
        for (const char *r : {"SVON", "HSON", "PJOG", "VV;FFFF0100;FFFF2000;", "MON;6", "T;83;F;3", "PNT;02",
                              "STRON", "MON;0", "VV;FFFF0000;FFFF0004;", "T;83;F;3", "MON;6", "S"}) {
            out << QString::fromStdString(ask(m, r));
            runFor(m, 173);
        }
        return out;
    };
    QCOMPARE(script(42), script(42));
    QVERIFY(script(43) != script(42));
}

void TstDriveModel::faults_data()
{
    QTest::addColumn<sim::FaultConfig>("faults");
    QTest::addColumn<QString>("keyword");  // of the request
    QTest::addColumn<QStringList>("notes");  // of three replies in turn
    QTest::addColumn<QString>("wire");       // what a reply sent puts on the line
    QTest::addColumn<int>("pauseMs");        // between its pieces
    const QString intact = QStringLiteral(R"(^\x02S;41;0;0;D7;0\x04$)");
    const auto three = [](const char *note) { return QStringList(3, QString::fromLatin1(note)); };
    // Every reply faulted one way, with the setting beside the rate.
    const auto always = [](double FaultConfig::*rate, int FaultConfig::*setting = nullptr, int value = 0) {
        FaultConfig f;
        f.*rate = 1;
        if (setting) f.*setting = value;
        return f;
    };
    FaultConfig dropS, dropTwo;
    dropS.dropKeywords = {"S"};
    dropTwo.dropNext = 2;
    QTest::newRow("none") << FaultConfig{} << "S" << three("") << intact << 0;
    QTest::newRow("drop S") << dropS << "S" << three("dropped") << "" << 0;
    QTest::newRow("drop S, IO asked") << dropS << "IO" << three("")
                                      << R"(^\x02IO;1FFF003E\x04$)" << 0;
    QTest::newRow("drop the next two") << dropTwo << "S" << QStringList{"dropped", "dropped", ""}
                                       << intact << 0;
    QTest::newRow("drop all") << always(&FaultConfig::dropRate) << "S" << three("dropped") << "" << 0;
    QTest::newRow("garble") << always(&FaultConfig::garbleRate) << "S" << three("garbled")
                            << R"(^\x02(?!S;41;0;0;D7;0\x04)[ -~]{13}\x04$)" << 0;
    QTest::newRow("noise") << always(&FaultConfig::noiseRate, &FaultConfig::noiseLength, 5) << "S" << three("noise")
                           << R"(^[ -~]{5}\x02S;41;0;0;D7;0\x04$)" << 0;
    QTest::newRow("stray end") << always(&FaultConfig::strayEndRate) << "S" << three("stray end")
                               << R"(^\x04\x03\x02S;41;0;0;D7;0\x04$)" << 0;
    QTest::newRow("double start") << always(&FaultConfig::doubleStartRate) << "S" << three("double start")
                                  << R"(^\x02[^\x02\x04]+\x02S;41;0;0;D7;0\x04$)" << 0;
    QTest::newRow("oversize") << always(&FaultConfig::oversizeRate) << "S" << three("oversize") << R"(^\x02S(;\d){300}\x04$)" << 0;
    QTest::newRow("split") << always(&FaultConfig::splitRate, &FaultConfig::splitGapMs, 60) << "S" << three("split") << intact << 60;
    QTest::newRow("stall") << always(&FaultConfig::stallRate, &FaultConfig::stallMs, 300) << "S" << three("stall") << intact << 300;
}

void TstDriveModel::faults()
{
    QFETCH(sim::FaultConfig, faults);
    QFETCH(QString, keyword);
    QFETCH(QStringList, notes);
    QFETCH(QString, wire);
    QFETCH(int, pauseMs);
    ReplyShaper shaper(1);
    const std::string reply = *DriveModel().handle(keyword.toStdString());
    for (const QString &note : notes) {
        const WirePlan plan = shaper.shape(keyword.toStdString(), reply, faults);
        QCOMPARE(QString::fromStdString(plan.note), note);
        QCOMPARE(plan.dropped, note == u"dropped");
        if (plan.dropped) continue;
        const QString bytes = QString::fromLatin1(plan.bytes());
        QVERIFY2(QRegularExpression(wire).match(bytes).hasMatch(), qPrintable(bytes.toLatin1().toPercentEncoding()));
        QCOMPARE(plan.pieces.size() > 1, pauseMs > 0);
        for (size_t i = 1; i < plan.pieces.size(); ++i)
            QCOMPARE(plan.pieces[i].pauseBefore, std::chrono::microseconds(pauseMs * 1000));
    }
}

QTEST_MAIN(TstDriveModel)
#include "tst_drivemodel.moc"
