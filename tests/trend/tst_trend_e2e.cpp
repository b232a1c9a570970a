// The trend recorder in the program against the simulated drive: a jog from
// the operation panel recorded with the recorder active, the panel and the
// recorder each keeping their own "MON" values, pause and cursor read-out,
// the gap rows while another window has the poll, and a file removed while
// recording.

#include "e2eharness.h"

#include "drive/csvfiles.h"
#include "monitor/commcomm.h"
#include "trend/trendwindow.h"

#include <QAction>
#include <QComboBox>
#include <QDateTime>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

namespace {

constexpr int SpeedItem = 4;
constexpr int RunRow = 1;  // "Run" in the status window's order

TrendRecorder *openRecorder(E2eHarness &h)
{
    for (QAction *a : h.window().mnuTools->actions())
        if (a->objectName() == u"mnuTrendRecorder") a->trigger();
    return h.window().findChild<TrendRecorder *>();
}

bool isActive(E2eHarness &h, QWidget *child) { return h.window().activeTag() == qobject_cast<ChildWindow *>(child)->tag(); }

QList<QStringList> readRows(const QString &path)
{
    const std::optional<QByteArray> bytes = ReadCsvFile(path);
    return bytes ? ReadCsv(*bytes).rows() : QList<QStringList>{};
}

double driveSpeed(E2eHarness &h)
{
    return h.withModel([](sim::DriveModel &m) { return m.axis().speed(); });
}

}  // namespace

class TstTrendE2e : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void jogRecordedAndRead();
    void gapsAndAVanishedFile();
};

void TstTrendE2e::jogRecordedAndRead()
{
    E2eHarness h;
    QVERIFY2(h.ok() && h.waitForReply(QStringLiteral("S;")), qPrintable(h.error()));
    TrendRecorder *rec = openRecorder(h);
    QVERIFY(rec && isActive(h, rec));
    QCOMPARE(rec->windowTitle(), QStringLiteral("Trend Recorder"));
    rec->chooseItem(0, SpeedItem);
    rec->chooseStatus(RunRow, true);
    const QString path = h.workDir() + QStringLiteral("/jog.csv");
    rec->setFile(path, false);
    QVERIFY(rec->startRecording());
    QVERIFY(!rec->CmbItem[0]->isEnabled());  // the columns stay as the file's header says
    h.idle(600);
    const qint64 atRest = QDateTime::currentMSecsSinceEpoch() - 300;

    // Servo on and jog from the panel, then back to the recorder.
    CommComm *panel = h.window().commComm;
    h.activate(panel);
    QTest::mouseClick(panel->CmdON[0], Qt::LeftButton);
    QVERIFY(h.waitUntil([&] { return h.withModel([](sim::DriveModel &m) { return m.axis().servoOn(); }); }));
    QTest::mouseClick(panel->CmdJOG[0], Qt::LeftButton);
    QVERIFY(h.waitUntil([&] { return driveSpeed(h) > 1; }));
    h.activate(rec);
    h.idle(200);
    // While the recorder has the poll its "MON" replies are its own: the
    // panel's position stands still although the axis moves.
    const QString panelValue = panel->LblMON->text();
    const qsizetype samples = rec->series({TrendChannel::Kind::Monitor, SpeedItem})->points().size();
    QVERIFY(h.waitUntil([&] { return rec->series({TrendChannel::Kind::Monitor, SpeedItem})->points().size() > samples + 5; }));
    // The jog recorded for a second at least: the cursor below reads it half
    // a second before the paused view's end.
    h.idle(600);
    QCOMPARE(panel->LblMON->text(), panelValue);
    QVERIFY(rec->readOuts().value(0).latest->text().toDouble() > 0);

    // Pause freezes the view; collecting goes on.
    QTest::mouseClick(rec->CmdPause, Qt::LeftButton);
    const qint64 frozenEnd = rec->Plot->viewEnd();
    const qsizetype atPause = rec->series({TrendChannel::Kind::Monitor, SpeedItem})->points().size();
    h.idle(500);
    QCOMPARE(rec->Plot->viewEnd(), frozenEnd);
    QVERIFY(rec->series({TrendChannel::Kind::Monitor, SpeedItem})->points().size() > atPause);

    // The cursor reads the values at a time: at rest, then while jogging.
    const int y = rec->Plot->plotArea().center().y();
    QTest::mouseClick(rec->Plot, Qt::LeftButton, {}, QPoint(rec->Plot->xAt(atRest), y));
    QCOMPARE(rec->readOuts().value(0).atCursor->text(), QStringLiteral("0"));
    QCOMPARE(rec->readOuts().value(1).atCursor->text(), QStringLiteral("0"));
    QTest::mouseMove(rec->Plot, QPoint(rec->Plot->xAt(frozenEnd - 500), y));
    QVERIFY(h.waitUntil([&] { return rec->readOuts().value(0).atCursor->text().toDouble() > 0; }, 1000));
    QCOMPARE(rec->readOuts().value(1).atCursor->text(), QStringLiteral("1"));
    QVERIFY(rec->LblCursor->text().contains(
        QDateTime::fromMSecsSinceEpoch(rec->Plot->cursorTime().value()).toString(QStringLiteral("HH:mm:ss"))));
    // With ORVEX_SCREENSHOT_DIR set, the recorder is saved there as trend.png.
    if (const QString dir = qEnvironmentVariable("ORVEX_SCREENSHOT_DIR"); !dir.isEmpty())
        rec->grab().save(dir + QStringLiteral("/trend.png"));

    QTest::mouseClick(panel->CmdJOG[2], Qt::LeftButton);
    QVERIFY(h.waitUntil([&] { return h.withModel([](sim::DriveModel &m) { return !m.axis().moving(); }); }));
    rec->stopRecording();
    QVERIFY(rec->CmbItem[0]->isEnabled());

    const QList<QStringList> rows = readRows(path);
    QVERIFY(rows.size() > 20);
    QCOMPARE(rows[0], (QStringList{"Time", "Elapsed [s]", "Current Speed [rpm]", "Run", "Note"}));
    QCOMPARE(rows[1].value(4), QStringLiteral("recording started"));
    int moving = 0;
    for (const QStringList &r : rows.mid(1)) {
        QVERIFY2(QDateTime::fromString(r.value(0), Qt::ISODateWithMs).isValid(), qPrintable(r.value(0)));
        if (r.value(2).toDouble() > 0 && r.value(3) == u"1") ++moving;
    }
    QVERIFY2(moving > 5, qPrintable(QString::number(moving)));
}

void TstTrendE2e::gapsAndAVanishedFile()
{
    E2eHarness h;
    QVERIFY2(h.ok() && h.waitForReply(QStringLiteral("S;")), qPrintable(h.error()));
    TrendRecorder *rec = openRecorder(h);
    QVERIFY(rec);
    const QString path = h.workDir() + QStringLiteral("/gaps.csv");
    h.files.answers << path;
    QVERIFY(rec->startRecording());  // asks for the file first
    const auto speeds = [&] { return rec->series({TrendChannel::Kind::Monitor, SpeedItem})->points().size(); };
    QVERIFY(h.waitUntil([&] { return speeds() >= 3; }));
    // Another window has the poll: no speed for three seconds. Once the
    // recorder's last reply is in, the clock is moved on by those seconds.
    h.activate(h.window().commComm);
    h.idle(300);
    h.clock.ms += 3000;
    QVERIFY(h.waitUntil([&] { return readRows(path).value(readRows(path).size() - 1).value(3).startsWith(u"gap"); }, 3000));
    const qsizetype beforeResuming = speeds();
    h.activate(rec);
    QVERIFY(h.waitUntil([&] { return speeds() >= beforeResuming + 3; }));
    rec->stopRecording();
    QStringList notes;
    for (const QStringList &r : readRows(path).mid(1))
        if (!r.value(3).isEmpty()) notes << QString::number(int(r.value(2).isEmpty())) + r.value(3).section(u' ', 0, 1);
    QCOMPARE(notes, (QStringList{"0recording started", "1gap: no", "0resumed after"}));

    // Recording again into the same file adds rows; a file removed meanwhile
    // stops the recording with the reason, and the program goes on.
    const qsizetype rowsBefore = readRows(path).size();
    QVERIFY(rec->startRecording());
    QVERIFY(h.waitUntil([&] { return readRows(path).size() > rowsBefore + 1; }));
    QVERIFY(QFile::remove(path));
    QVERIFY(h.waitUntil([&] { return !rec->recording(); }, 3000));
    QVERIFY2(rec->LblRecording->text().contains(QStringLiteral("was removed")), qPrintable(rec->LblRecording->text()));
    auto *box = rec->findChild<QMessageBox *>(QStringLiteral("TrendRecorderMessage"));
    QVERIFY(box && box->isVisible());
    QVERIFY(rec->CmdStart->isEnabled());
    h.mark();
    QVERIFY(h.waitForReply(QStringLiteral("MON;4;")));
}

QTEST_MAIN(TstTrendE2e)
#include "tst_trend_e2e.moc"
