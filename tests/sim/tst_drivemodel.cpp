// The drive model: reply layouts and field widths as the program reads them,
// memory, refusals, the axis and the waveform capture.

#include "simtestutil.h"
#include "sim/wirefield.h"

#include <QTemporaryDir>
#include <QTest>
#include <fstream>

using namespace sim;

class TstDriveModel : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void catalogueReplies_data();
    void catalogueReplies();
    void fieldWidths_data();
    void fieldWidths();
    void factoryParametersAreInRange();
    void parametersWrittenReadAndKept();
    void pointsWrittenReadAndKept();
    void nonVolatileFileOutlivesTheModel();
    void damagedFileLeavesFactoryValuesAndFile();
    void refusals_data();
    void refusals();
    void jogRunsAtParameterSpeed_data();
    void jogRunsAtParameterSpeed();
    void pointMovesReachTheirTargets();
    void softLimitsHoldOnceHomed();
    void excessiveDeviationRaisesAlarm();
    void peakTorqueAndItsReset();
    void statusAndLampBits_data();
    void statusAndLampBits();
    void teachingAndZeroSet();
    void manualCaptureGivesBlocksInOrder();
    void speedTriggerWaitsForMotion();
    void captureCancelledByRunBitZero();
    void resetRestartsWithoutAnswer();
    void sameSeedSameReplies();
};

void TstDriveModel::catalogueReplies_data()
{
    QTest::addColumn<QString>("request");
    QTest::addColumn<QString>("keyword");
    QTest::addColumn<int>("fieldCount");
    for (const auto &[request, count] : CatalogueRequests())
        QTest::newRow(qPrintable(request)) << request << request.section(QLatin1Char(';'), 0, 0) << count;
}

void TstDriveModel::catalogueReplies()
{
    QFETCH(QString, request);
    QFETCH(QString, keyword);
    QFETCH(int, fieldCount);
    DriveModel m;
    const ReadReply r = askRead(m, request.toStdString());
    QCOMPARE(r.keyword, keyword);
    QCOMPARE(r.fields.size(), fieldCount);
}

void TstDriveModel::fieldWidths_data()
{
    QTest::addColumn<qint64>("value");
    QTest::addColumn<bool>("sixteen");
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("readBack");  // as the program reads the text
    QTest::newRow("zero") << 0LL << true << "0" << 0LL;
    QTest::newRow("1000") << 1000LL << true << "3E8" << 1000LL;
    QTest::newRow("32767") << 32767LL << true << "7FFF" << 32767LL;
    QTest::newRow("32768 in five") << 32768LL << true << "08000" << 32768LL;
    QTest::newRow("65535 in five") << 65535LL << false << "0FFFF" << 65535LL;
    QTest::newRow("65536") << 65536LL << false << "10000" << 65536LL;
    QTest::newRow("-1 of 16 bits") << -1LL << true << "FFFF" << -1LL;
    QTest::newRow("-32768 of 16 bits") << -32768LL << true << "8000" << -32768LL;
    QTest::newRow("-32769 of 16 bits widens") << -32769LL << true << "FFFF7FFF" << -32769LL;
    QTest::newRow("-1 of 32 bits") << -1LL << false << "FFFFFFFF" << -1LL;
    QTest::newRow("-5 of 32 bits") << -5LL << false << "FFFFFFFB" << -5LL;
    QTest::newRow("-123880") << -123880LL << false << "FFFE1C18" << -123880LL;
    QTest::newRow("status word bit 31") << 0x80008100LL << false << "80008100" << qint64(qint32(0x80008100U));
    QTest::newRow("2^31-1") << 2147483647LL << false << "7FFFFFFF" << 2147483647LL;
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

void TstDriveModel::factoryParametersAreInRange()
{
    for (int k = 0; k < ParameterCount; ++k) QVERIFY2(ParameterRange(k).contains(FactoryParameters()[k]), qPrintable(QString::number(k)));
    for (int i = 0; i < PointCount * PointColumns; ++i) QVERIFY(PointColumnRange(i % PointColumns).contains(FactoryPoints()[i]));
}

void TstDriveModel::parametersWrittenReadAndKept()
{
    DriveModel m;
    Parameters p = FactoryParameters();
    p[0] = 99999;        // five digits on the way back
    p[17] = 1500000;
    p[18] = -1500000;    // eight digits
    p[25] = -99999;
    p[30] = 0x20A;       // a hexadecimal parameter
    p[38] = 0xFFF;
    p[45] = -5;          // the maker set takes anything
    p[59] = 65535;
    for (int b = 0; b < 6; ++b) QCOMPARE(ask(m, writeRequest(b, p)), "W;" + std::to_string(b));
    auto readAll = [&] {
        Parameters out{};
        for (int b = 0; b < 6; ++b) {
            const ReadReply r = askRead(m, "R;" + std::to_string(b));
            if (r.keyword != "R" || r.fields.size() != 11 || r.fields[0] != b) return Parameters{};
            for (int i = 0; i < 10; ++i) out[b * 10 + i] = r.fields[i + 1];
        }
        return out;
    };
    QCOMPARE(readAll(), p);
    QCOMPARE(ask(m, "FLASH"), std::string("FLASH"));
    m.powerCycle();
    runFor(m, 400);
    QCOMPARE(readAll(), p);
    // Written but not kept: gone after the next power-up.
    Parameters q = p;
    q[1] = 77;
    ask(m, writeRequest(0, q));
    QCOMPARE(readAll(), q);
    m.powerCycle();
    runFor(m, 400);
    QCOMPARE(readAll(), p);
}

void TstDriveModel::pointsWrittenReadAndKept()
{
    DriveModel m;
    QCOMPARE(ask(m, "TBLW;1F;1;FFFFFFFB;64;14;"), std::string("TBLW;1F"));
    QCOMPARE(ask(m, "TBLW;A;0;FFE17B80;9C4;270F;"), std::string("TBLW;A"));
    QCOMPARE(askRead(m, "TBLR;1F").fields, QList<qint32>({1, -5, 100, 20}));
    QCOMPARE(askRead(m, "TBLR;A").fields, QList<qint32>({0, -2000000, 2500, 9999}));
    ask(m, "FLASH");
    ask(m, "TBLW;A;0;0;0;0;");
    m.powerCycle();
    runFor(m, 400);
    QCOMPARE(askRead(m, "TBLR;A").fields, QList<qint32>({0, -2000000, 2500, 9999}));
}

void TstDriveModel::nonVolatileFileOutlivesTheModel()
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
    QCOMPARE(askRead(again, "TBLR;3").fields, QList<qint32>({1, 1000, 10, 20}));
    QCOMPARE(again.alarmHistory()[0], 1U << 4);
    QCOMPARE(again.alarms(), 0U);  // history is kept, the alarm itself is not
}

void TstDriveModel::damagedFileLeavesFactoryValuesAndFile()
{
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("nv.txt")).toStdString();
    {
        std::ofstream out(path);
        out << "something else\nparam 0 5\n";
    }
    DriveModel m(1, path);
    QCOMPARE(m.parameters(), FactoryParameters());
    std::ifstream in(path);
    std::string first;
    std::getline(in, first);
    QCOMPARE(first, std::string("something else"));
}

void TstDriveModel::refusals_data()
{
    QTest::addColumn<QString>("state");  // "", "alarm" or "emergency"
    QTest::addColumn<QString>("request");
    QTest::addColumn<QString>("reply");
    QTest::newRow("unknown keyword") << "" << "FOO" << "ERR;1";
    QTest::newRow("empty request") << "" << "" << "ERR;1";
    QTest::newRow("lower-case keyword") << "" << "s" << "ERR;1";
    QTest::newRow("field where none belongs") << "" << "S;1" << "ERR;1";
    QTest::newRow("R without block") << "" << "R" << "ERR;1";
    QTest::newRow("R block 6") << "" << "R;6" << "ERR;3";
    QTest::newRow("R block not hexadecimal") << "" << "R;X" << "ERR;3";
    QTest::newRow("W nine values") << "" << "W;0;1;1;10;10;0;0;0;0;0" << "ERR;1";
    QTest::newRow("W value out of range") << "" << "W;0;186A0;14;28;96;28;0;0;0;32;0" << "ERR;3";
    QTest::newRow("W negative where none may be") << "" << "W;0;FFFFFFFF;14;28;96;28;0;0;0;32;0" << "ERR;3";
    QTest::newRow("TBLR point 32") << "" << "TBLR;20" << "ERR;3";
    QTest::newRow("TBLW speed 2501") << "" << "TBLW;0;0;0;9C5;0;" << "ERR;3";
    QTest::newRow("TBLW three values") << "" << "TBLW;0;0;0;0;" << "ERR;1";
    QTest::newRow("MON item 17") << "" << "MON;11" << "ERR;3";
    QTest::newRow("PNT point 32") << "" << "PNT;20" << "ERR;3";
    QTest::newRow("T trigger position 31") << "" << "T;80;1F;0" << "ERR;3";
    QTest::newRow("T status 5") << "" << "T;80;F;5" << "ERR;3";
    QTest::newRow("VV address not hexadecimal") << "" << "VV;FFFFZZ12;FFFF0000;" << "ERR;3";
    QTest::newRow("servo on in alarm") << "alarm" << "SVON" << "ERR;7";
    QTest::newRow("jog in alarm") << "alarm" << "PJOG" << "ERR;7";
    QTest::newRow("start in alarm") << "alarm" << "STRON" << "ERR;7";
    QTest::newRow("homing in alarm") << "alarm" << "ZSTRON" << "ERR;7";
    QTest::newRow("servo off in alarm is fine") << "alarm" << "SVOFF" << "SVOFF";
    QTest::newRow("jog stop in alarm is fine") << "alarm" << "JOGOFF" << "JOGOFF";
    QTest::newRow("servo on in emergency") << "emergency" << "SVON" << "ERR;8";
    QTest::newRow("jog in emergency") << "emergency" << "NJOG" << "ERR;8";
    QTest::newRow("emergency off in emergency") << "emergency" << "EMCOFF" << "EMCOFF";
}

void TstDriveModel::refusals()
{
    QFETCH(QString, state);
    QFETCH(QString, request);
    QFETCH(QString, reply);
    DriveModel m;
    if (state == u"alarm") m.raiseAlarm(3);
    if (state == u"emergency") ask(m, "EMCON");
    QCOMPARE(QString::fromStdString(ask(m, request.toStdString())), reply);
    // A refusal changes nothing: the drive still answers its status.
    QCOMPARE(askRead(m, "S").keyword, QStringLiteral("S"));
}

void TstDriveModel::jogRunsAtParameterSpeed_data()
{
    QTest::addColumn<bool>("highSpeed");
    QTest::addColumn<QString>("direction");
    QTest::addColumn<int>("rpm");
    QTest::newRow("low forward") << false << "PJOG" << 20 * 6;
    QTest::newRow("low reverse") << false << "NJOG" << -20 * 6;
    QTest::newRow("high forward") << true << "PJOG" << 200 * 6;
}

void TstDriveModel::jogRunsAtParameterSpeed()
{
    QFETCH(bool, highSpeed);
    QFETCH(QString, direction);
    QFETCH(int, rpm);
    DriveModel m;
    ask(m, "SVON");
    if (highSpeed) ask(m, "HSON");
    QCOMPARE(QString::fromStdString(ask(m, direction.toStdString())), direction);
    runFor(m, 2000);
    const qint32 speed = askRead(m, "MON;4").fields.value(1);
    QVERIFY2(std::abs(speed - rpm) <= std::abs(rpm) / 50 + 1, qPrintable(QString::number(speed)));
    QVERIFY(m.statusWord() & (1U << StatusBit::Running));
    const qint32 before = askRead(m, "MON;0").fields.value(1);
    QVERIFY(rpm > 0 ? before > 0 : before < 0);
    ask(m, "JOGOFF");
    runFor(m, 2000);
    QCOMPARE(askRead(m, "MON;4").fields.value(1), 0);
    QVERIFY(!(m.statusWord() & (1U << StatusBit::Running)));
    QVERIFY(m.statusWord() & (1U << StatusBit::InPosition));
}

void TstDriveModel::pointMovesReachTheirTargets()
{
    DriveModel m;
    ask(m, "SVON");
    ask(m, "PNT;01");  // absolute 100000 µm at 200 mm/s
    ask(m, "STRON");
    runFor(m, 200);
    QVERIFY(m.statusWord() & (1U << StatusBit::Running));
    QCOMPARE(askRead(m, "MON;1").fields.value(1), 100000);  // the target
    runFor(m, 2000);
    const qint32 tolerance = m.parameters()[Param::InPosition];
    QVERIFY(std::abs(askRead(m, "MON;0").fields.value(1) - 100000) <= tolerance);
    const quint32 status = m.statusWord();
    QVERIFY(status & (1U << StatusBit::InPosition));
    QVERIFY(status & (1U << StatusBit::Point));
    QVERIFY(!(status & (1U << StatusBit::Running)));
    QCOMPARE(askRead(m, "S").fields.value(1), 1);  // current point
    // Point 4 is incremental: 10000 further; a new start needs a new edge.
    ask(m, "STROFF");
    ask(m, "PNT;04");
    ask(m, "STRON");
    runFor(m, 2000);
    QVERIFY(std::abs(askRead(m, "MON;0").fields.value(1) - 110000) <= tolerance);
}

void TstDriveModel::softLimitsHoldOnceHomed()
{
    DriveModel m;
    Parameters p = m.parameters();
    p[Param::ForwardSoftOt] = 5000;
    p[Param::ReverseSoftOt] = -5000;
    p[Param::HomingMethod] = 1;  // the origin is where the axis stands
    ask(m, writeRequest(1, p));
    ask(m, writeRequest(2, p));
    ask(m, "SVON");
    ask(m, "PJOG");
    runFor(m, 500);  // before homing the limits do not hold
    QVERIFY(askRead(m, "MON;0").fields.value(1) > 5000);
    ask(m, "JOGOFF");
    runFor(m, 500);
    ask(m, "ZSTRON");
    QVERIFY(m.homed());
    QCOMPARE(askRead(m, "MON;0").fields.value(1), 0);
    ask(m, "PJOG");
    runFor(m, 1500);
    QCOMPARE(askRead(m, "MON;1").fields.value(1), 5000);
    QVERIFY(m.statusWord() & (1U << StatusBit::ForwardDisabled));
    ask(m, "NJOG");
    runFor(m, 2000);
    QVERIFY(std::abs(askRead(m, "MON;0").fields.value(1) + 5000) <= 20);
    QVERIFY(m.statusWord() & (1U << StatusBit::ReverseDisabled));
    QVERIFY(!(m.statusWord() & (1U << StatusBit::ForwardDisabled)));
    // A point beyond the limit is moved to the limit.
    ask(m, "JOGOFF");
    ask(m, "PNT;01");
    ask(m, "STRON");
    runFor(m, 1000);
    QCOMPARE(askRead(m, "MON;1").fields.value(1), 5000);
}

void TstDriveModel::excessiveDeviationRaisesAlarm()
{
    DriveModel m;
    Parameters p = m.parameters();
    p[Param::ExcessiveError] = 100;
    ask(m, writeRequest(0, p));
    ask(m, "SVON");
    ask(m, "HSON");
    ask(m, "PJOG");
    runFor(m, 1000);
    QCOMPARE(m.alarms(), 1U << AlarmBit::ExcessiveDeviation);
    const quint32 status = m.statusWord();
    QVERIFY(status & (1U << StatusBit::Alarm));
    QVERIFY(status & (1U << StatusBit::ExcessiveDeviation));
    QVERIFY(!(status & (1U << StatusBit::ServoOn)));
    QCOMPARE(askRead(m, "ALM").fields.mid(0, 3), QList<qint32>({0x80, 0x80, 0}));
    QCOMPARE(ask(m, "SVON"), std::string("ERR;7"));
    QCOMPARE(ask(m, "ARST"), std::string("ARST"));
    QCOMPARE(m.alarms(), 0U);
    QCOMPARE(ask(m, "SVON"), std::string("SVON"));
    m.raiseAlarm(1);
    QCOMPARE(askRead(m, "ALM").fields.mid(0, 3), QList<qint32>({0x2, 0x2, 0x80}));  // newest first
    QCOMPARE(ask(m, "HCL"), std::string("HCL"));
    QCOMPARE(askRead(m, "ALM").fields, QList<qint32>({0x2, 0, 0, 0, 0, 0, 0, 0, 0}));
}

void TstDriveModel::peakTorqueAndItsReset()
{
    DriveModel m;
    ask(m, "SVON");
    ask(m, "PNT;02");
    ask(m, "STRON");
    runFor(m, 3000);
    const ReadReply vv = askRead(m, "VV;FFFF0000;FFFF0000;");
    QVERIFY(vv.fields.value(10) >= 20);  // accelerating at 300 mm/s in 300 ms
    QCOMPARE(ask(m, "TRST"), std::string("TRST"));
    QVERIFY(askRead(m, "VV;FFFF0000;FFFF0000;").fields.value(10) <= 1);
}

void TstDriveModel::statusAndLampBits_data()
{
    QTest::addColumn<QStringList>("requests");
    QTest::addColumn<quint32>("statusSet");
    QTest::addColumn<quint32>("statusClear");
    QTest::addColumn<quint32>("lamps");
    QTest::newRow("power-up") << QStringList() << ((1U << 0) | (1U << 6)) << ((1U << 31) | (1U << 23) | (1U << 15))
                              << 0U;
    QTest::newRow("servo on") << QStringList{"SVON"} << ((1U << 31) | (1U << 8)) << ((1U << 0) | (1U << 6)) << 1U;
    QTest::newRow("emergency") << QStringList{"SVON", "EMCON"} << ((1U << 27) | (1U << 6)) << (1U << 31) << 0x100U;
    QTest::newRow("held high-speed jog") << QStringList{"SVON", "HOLDON", "HSON", "PJOG"} << (1U << 31) << 0U
                                         << (1U | 2U | 0x40U | 0x80U);
    QTest::newRow("reverse jog, start, homing, reset inputs")
        << QStringList{"NJOG", "STRON", "ZSTRON", "RSTON"} << 0U << 0U << (4U | 0x10U | 0x20U | 0x8U);
}

void TstDriveModel::statusAndLampBits()
{
    QFETCH(QStringList, requests);
    QFETCH(quint32, statusSet);
    QFETCH(quint32, statusClear);
    QFETCH(quint32, lamps);
    DriveModel m;
    for (const QString &r : requests) QCOMPARE(QString::fromStdString(ask(m, r.toStdString())), r);
    runFor(m, 100);
    const ReadReply s = askRead(m, "S");
    const quint32 status = static_cast<quint32>(s.fields.value(0));
    QCOMPARE(status & statusSet, statusSet);
    QCOMPARE(status & statusClear, 0U);
    QCOMPARE(static_cast<quint32>(s.fields.value(4)), lamps);
    QCOMPARE(s.fields.value(2), 0);    // motor model RM2210
    QCOMPARE(s.fields.value(3), 215);  // ROM 2.15
}

void TstDriveModel::teachingAndZeroSet()
{
    DriveModel m;
    QCOMPARE(ask(m, "ZSET;3E8"), std::string("ZSET"));
    QCOMPARE(askRead(m, "MON;0").fields.value(1), 1000);
    ask(m, "PNT;07");
    QCOMPARE(ask(m, "TDIN"), std::string("TDIN"));
    QCOMPARE(askRead(m, "TBLR;7").fields.mid(0, 2), QList<qint32>({0, 1000}));
    ask(m, "SVON");
    ask(m, "PJOG");
    runFor(m, 300);
    QCOMPARE(ask(m, "ZSET;0"), std::string("ERR;2"));  // not while moving
    QCOMPARE(ask(m, "ZSET;80000000"), std::string("ERR;2"));
}

void TstDriveModel::manualCaptureGivesBlocksInOrder()
{
    DriveModel m;
    QCOMPARE(ask(m, "T;83;F;0"), std::string("T;0"));  // armed, manual trigger
    QCOMPARE(ask(m, "T;83;F;0"), std::string("T;0"));  // still recording
    runFor(m, 128 * 4 + 10);
    for (int b = 1; b <= 8; ++b) {
        const ReadReply r = askRead(m, "T;83;F;0");
        QCOMPARE(r.fields.size(), 33);
        QCOMPARE(r.fields[0], b);
        // Servo off: the brake is on, and its bit rides on every torque field.
        for (int j = 0; j < 16; ++j) QVERIFY(std::abs(r.fields[2 * j + 1]) >= 10000);
    }
    QCOMPARE(m.capture().state(), WaveCapture::State::Idle);
    QCOMPARE(ask(m, "T;83;F;0"), std::string("T;0"));  // a new capture is armed
    QCOMPARE(m.capture().state(), WaveCapture::State::Armed);
}

void TstDriveModel::speedTriggerWaitsForMotion()
{
    DriveModel m;
    const int trigPos = 10;
    QCOMPARE(ask(m, "T;80;A;0"), std::string("T;0"));  // speed, forward up, status Brake
    runFor(m, 3000);
    QCOMPARE(ask(m, "T;80;A;0"), std::string("T;0"));
    ask(m, "SVON");
    ask(m, "HSON");
    ask(m, "PJOG");
    runFor(m, 3000);
    QList<qint32> speeds;
    QList<bool> flags;
    for (int b = 1; b <= 8; ++b) {
        const ReadReply r = askRead(m, "T;80;A;0");
        QCOMPARE(r.fields.value(0), b);
        for (int j = 0; j < 16; ++j) {
            const qint32 t = r.fields[2 * j + 1];
            flags << (t > 9999 || t < -9999);
            speeds << r.fields[2 * j + 2];
        }
    }
    const int pre = WaveCapture::pretrigger(trigPos);
    QVERIFY(speeds[pre - 1] < WaveCapture::SpeedLevel);
    QVERIFY(speeds[pre] >= WaveCapture::SpeedLevel);
    QVERIFY(flags[0]);        // the brake holds before the servo is on
    QVERIFY(!flags.last());   // and is released while the axis runs
}

void TstDriveModel::captureCancelledByRunBitZero()
{
    DriveModel m;
    ask(m, "T;83;F;0");
    QCOMPARE(ask(m, "T;3;F;0"), std::string("T;0"));
    runFor(m, 1000);
    QCOMPARE(m.capture().state(), WaveCapture::State::Idle);
    QCOMPARE(ask(m, "T;3;F;0"), std::string("T;0"));
}

void TstDriveModel::resetRestartsWithoutAnswer()
{
    DriveModel m;
    ask(m, "SVON");
    ask(m, "TBLW;0;1;1;1;1;");
    QVERIFY(!m.handle("RESET").has_value());
    QVERIFY(!m.handle("S").has_value());  // still starting up
    runFor(m, 300);
    const ReadReply s = askRead(m, "S");
    QCOMPARE(s.keyword, QStringLiteral("S"));
    QVERIFY(!(static_cast<quint32>(s.fields.value(0)) & (1U << StatusBit::ServoOn)));
    QCOMPARE(askRead(m, "TBLR;0").fields, QList<qint32>({0, 0, 100, 100}));  // not kept, so lost
}

void TstDriveModel::sameSeedSameReplies()
{
    auto script = [](DriveModel &m) {
        QStringList out;
        for (const char *r : {"SVON", "HSON", "PJOG", "VV;FFFF0100;FFFF2000;", "MON;6", "T;83;F;3", "PNT;02",
                              "STRON", "MON;0", "VV;FFFF0000;FFFF0004;", "T;83;F;3", "MON;6", "S"}) {
            out << QString::fromStdString(ask(m, r));
            runFor(m, 173);
        }
        return out;
    };
    DriveModel a(42);
    DriveModel b(42);
    DriveModel c(43);
    const QStringList ra = script(a);
    QCOMPARE(script(b), ra);
    QVERIFY(script(c) != ra);
}

QTEST_MAIN(TstDriveModel)
#include "tst_drivemodel.moc"
