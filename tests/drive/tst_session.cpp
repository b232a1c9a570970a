// The session without a window: the parameter and point table models hold the
// editors' texts as given (the texts are the data) beside the values last
// read and the baseline of the change marks; what the drive told of itself
// is said once and then only when it changes; the options reach the link and
// the alarm log, kept for the next run or for this run only.

#include "ownhome.h"
#include "drive/driveinfo.h"
#include "drive/link/memoryport.h"
#include "drive/params/parametermodel.h"
#include "drive/points/pointmodel.h"
#include "drive/session.h"
#include "testclock.h"

#include <QSignalSpy>
#include <QTest>

class TstSession : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void parameterTexts_data();
    void parameterTexts();
    void parameterBaseline();
    void pointTexts();
    void driveInfoSaysChanges();
    void motionShown_data();
    void motionShown();
    void optionsReachTheLink();
    void portName_data();
    void portName();
};

void TstSession::initTestCase()
{
    UseOwnHome();
}

void TstSession::parameterTexts_data()
{
    QTest::addColumn<int>("k");
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint32>("value");
    QTest::addColumn<int>("motorUnits");  // when it is parameter 57
    // Kept exactly as typed: half-typed, untrimmed, unchecked.
    QTest::newRow("decimal rounds half to even") << 2 << " 12.5" << 12 << 0;
    QTest::newRow("hexadecimal as typed") << 30 << "3ff" << 0x3FF << 0;
    QTest::newRow("out of range stays") << 2 << "99999" << 99999 << 0;
    QTest::newRow("motor type 0") << 57 << "0" << 0 << 900;
    QTest::newRow("motor type 1, shown") << 57 << " 1" << 1 << 750;
    QTest::newRow("motor type 30") << 57 << "30" << 30 << 661;
    QTest::newRow("motor type not known") << 57 << "5" << 5 << 0;
    QTest::newRow("junk reads as type 0") << 57 << "abc" << 0 << 900;
}

void TstSession::parameterTexts()
{
    QFETCH(int, k);
    QFETCH(QString, text);
    QFETCH(qint32, value);
    QFETCH(int, motorUnits);
    ParameterModel params;
    QCOMPARE(params.text(k), QStringLiteral("0"));
    QSignalSpy changed(&params, &ParameterModel::textChanged);
    params.setText(k, text);
    params.setText(k, text);  // the same again: nothing to say
    QCOMPARE(changed.size(), text == u"0" ? 0 : 1);
    if (!changed.isEmpty()) QCOMPARE(changed[0][0].toInt(), k);
    QCOMPARE(params.text(k), text);
    QCOMPARE(params.value(k), value);
    QCOMPARE(params.values()[k], value);
    if (k == 57) QCOMPARE(params.motorTypeUnits(), motorUnits);
}

void TstSession::parameterBaseline()
{
    ParameterModel params;
    QVERIFY(!params.changed(3));  // nothing to differ from before a read
    ParamValues read{};
    read[3] = 1500;
    read[30] = 0x20A;
    params.showValues(read);
    params.setBaseline(read);
    QCOMPARE(params.text(3), QStringLiteral(" 1500"));
    QCOMPARE(params.text(30), QStringLiteral("20A"));
    QVERIFY(!params.changed(3) && !params.changed(30));
    params.setText(3, QStringLiteral("1500.2"));  // another text, the same value
    QVERIFY(!params.changed(3));
    params.setText(30, QStringLiteral("20B"));
    QVERIFY(params.changed(30));
    QCOMPARE(params.baselineText(30), QStringLiteral("20A"));
    params.setDriveValues(read);
    QCOMPARE(params.driveValues(), std::optional<ParamValues>(read));
}

void TstSession::pointTexts()
{
    PointModel points;
    QCOMPARE((QStringList{points.text(5, 0), points.text(5, 1), points.text(5, 2), points.text(5, 3)}),
             (QStringList{"0", "0", "1", "1"}));
    QCOMPARE(points.data(), PointData{});
    // Typed texts are the table's at once; PointData follows only when read in.
    points.setText(PointModel::cell(1, 1), QStringLiteral("-500"));
    points.setText(PointModel::cell(1, 2), QStringLiteral("----"));
    QCOMPARE(points.textValues()[PointModel::cell(1, 1)], -500);
    QCOMPARE(points.data()[PointModel::cell(1, 1)], 0);
    points.dataFromTexts();
    QCOMPARE(points.data()[PointModel::cell(1, 1)], -500);
    QCOMPARE(points.data()[PointModel::cell(1, 2)], 0);
    QCOMPARE(points.tableText().section(u'\n', 1, 1), QStringLiteral("0\t-500\t----\t1"));
    // A table shown: PointData and the texts both.
    PointData table{};
    table[PointModel::cell(31, 3)] = 250;
    points.showTable(table);
    QCOMPARE(points.data(), table);
    QCOMPARE(points.text(31, 3).trimmed(), QStringLiteral("250"));
    QCOMPARE(points.text(1, 2), QStringLiteral("----"));  // speed 0
    QCOMPARE(points.text(0, 2), QStringLiteral("----"));
    // Shown again, no text differs: nothing is said.
    QSignalSpy changed(&points, &PointModel::textChanged);
    points.showTable(table);
    QCOMPARE(changed.size(), 0);
    points.setBaseline(table);
    QVERIFY(!points.changed(PointModel::cell(31, 3)));
    points.setText(PointModel::cell(31, 3), QStringLiteral("251"));
    QVERIFY(points.changed(PointModel::cell(31, 3)));
    QCOMPARE(points.baselineText(PointModel::cell(31, 3)).trimmed(), QStringLiteral("250"));
}

void TstSession::driveInfoSaysChanges()
{
    DriveInfo drive;
    QSignalSpy model(&drive, &DriveInfo::motorModelChanged);
    QSignalSpy rom(&drive, &DriveInfo::romVersionChanged);
    QSignalSpy point(&drive, &DriveInfo::pointChanged);
    QSignalSpy state(&drive, &DriveInfo::commandStateChanged);
    QCOMPARE(drive.romVersionText(), QString());
    // The first reply says everything, zeros too; a repeat says nothing.
    for (int i = 0; i < 2; ++i) {
        drive.setPoint(0);
        drive.setMotorModel(QStringLiteral("RM2310"));
        drive.setRomVersion(300);
        drive.setCommandState(0);
    }
    QCOMPARE((QList<qsizetype>{model.size(), rom.size(), point.size(), state.size()}), (QList<qsizetype>{1, 1, 1, 1}));
    drive.setMotorModel(QString());  // a code not in the table: the name stays
    QCOMPARE(drive.motorModel(), QStringLiteral("RM2310"));
    drive.setRomVersion(5);
    QCOMPARE(rom.size(), 2);
    QVERIFY(drive.romVersionText().endsWith(QStringLiteral("05")));
}

void TstSession::motionShown_data()
{
    // The operation state word: bit 1 "+JOG", bit 2 "-JOG", bit 7 "High".
    QTest::addColumn<int>("word");  // -1: no status yet
    QTest::addColumn<bool>("jog");
    QTest::addColumn<bool>("highSpeed");
    QTest::newRow("no status yet") << -1 << false << false;
    QTest::newRow("standing") << 0x01 << false << false;
    QTest::newRow("+JOG") << 0x02 << true << false;
    QTest::newRow("-JOG") << 0x04 << true << false;
    QTest::newRow("high speed") << 0x80 << false << true;
    QTest::newRow("both") << 0x86 << true << true;
}

// What quitting stops: the jog and high speed the last status showed.
void TstSession::motionShown()
{
    QFETCH(int, word);
    QFETCH(bool, jog);
    QFETCH(bool, highSpeed);
    DriveInfo drive;
    if (word >= 0) drive.setCommandState(word);
    QCOMPARE(drive.jogShown(), jog);
    QCOMPARE(drive.highSpeedShown(), highSpeed);
}

void TstSession::optionsReachTheLink()
{
    MemoryPort port;
    ManualClock clock;
    SessionSetup setup;
    setup.clock = &clock;
    setup.alarmLogPath.clear();
    UserOptions kept = LoadUserOptions();
    kept.keepAllMonitorsLive = false;
    kept.nameAlarmsInLog = false;
    SaveUserOptions(kept);
    {
        Session session(port, setup);
        QCOMPARE(&session.clock(), &clock);
        QVERIFY(session.alarmLog.path().isEmpty());
        QVERIFY(!session.link.keepAllLive());
        QSignalSpy told(&session, &Session::optionsChanged);
        // For this run only: applied, not kept.
        UserOptions once = session.options();
        once.keepAllMonitorsLive = true;
        session.useOptions(once);
        QVERIFY(session.link.keepAllLive());
        QVERIFY(!LoadUserOptions().keepAllMonitorsLive);
        // Chosen in the menu: applied and kept.
        session.setOption(&UserOptions::keepAllMonitorsLive, false);
        session.setOption(&UserOptions::nameAlarmsInLog, true);
        QVERIFY(!session.link.keepAllLive());
        QVERIFY(LoadUserOptions().nameAlarmsInLog);
        QCOMPARE(told.size(), 3);
    }
    // The next run starts with what was kept.
    Session next(port, setup);
    QVERIFY(next.options().nameAlarmsInLog);
    QVERIFY(!next.link.keepAllLive());
}

namespace {

// A port that does not tell its device.
class UnnamedPort : public MemoryPort {
public:
    QString describe() const override { return {}; }
};

}  // namespace

void TstSession::portName_data()
{
    QTest::addColumn<bool>("named");
    QTest::addColumn<int>("offline");
    QTest::addColumn<QString>("name");
    QTest::newRow("the device") << true << 0 << "COM3 (memory)";
    QTest::newRow("the device, offline") << true << 1 << "COM3 (memory)";
    QTest::newRow("no device: the number") << false << 0 << "COM3";
    QTest::newRow("no device, offline") << false << 1 << "offline";
}

void TstSession::portName()
{
    QFETCH(bool, named);
    QFETCH(int, offline);
    QFETCH(QString, name);
    MemoryPort namedPort;
    UnnamedPort unnamedPort;
    MemoryPort &port = named ? namedPort : unnamedPort;
    port.lastOpenedPort = 3;
    SessionSetup setup;
    setup.alarmLogPath.clear();
    Session session(port, setup);
    session.portSettings.PortNo = 3;
    session.portSettings.OfflineMode = static_cast<qint16>(offline);
    QCOMPARE(session.portName(), name);
}

QTEST_MAIN(TstSession)
#include "tst_session.moc"
