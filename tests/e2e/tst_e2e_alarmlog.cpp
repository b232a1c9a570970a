// The alarm log against the simulated drive: alarms raised in the drive and
// reset from the alarm display reach the log, its file and its window (newest
// first, live, filtered, saved as CSV); the alarm cells tell cause and remedy.

#include "e2eharness.h"

#include "drive/useroptions.h"
#include "drive/alarmlog.h"
#include "drive/csvfiles.h"
#include "monitor/alarm.h"
#include "drive/monitor/alarmremedies.h"
#include "monitor/iomon.h"
#include "drive/monitor/monitorrules.h"
#include "tools/alarmlogwindow.h"
#include "tools/toolsmenu.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QSet>
#include <QTest>

#include <QHeaderView>
#include <QPlainTextEdit>
#include <QTableView>

#include <algorithm>

namespace {

// "appeared|cleared", names joined by "+".
QString change(const AlarmLogEntry &e) { return e.appeared.join(u'+') + u'|' + e.cleared.join(u'+'); }

QStringList changes(const QList<AlarmLogEntry> &entries)
{
    QStringList out;
    for (const AlarmLogEntry &e : entries) out << change(e);
    return out;
}

// The window's rows top to bottom.
QList<AlarmLogEntry> shownEntries(AlarmLogWindow &w)
{
    QList<AlarmLogEntry> out;
    for (int r = 0; r < w.model().rowCount(); ++r) out << w.model().eventAt(r);
    return out;
}

int alarmRequests(E2eHarness &h)
{
    int n = 0;
    for (const QString &r : h.requests()) n += r.startsWith(QLatin1String("ALM"));
    return n;
}

QList<AlarmLogEntry> reversed(QList<AlarmLogEntry> entries)
{
    std::reverse(entries.begin(), entries.end());
    return entries;
}

}  // namespace

class TstE2eAlarmLog : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void raisedAndCleared();
    void namesAskedForWithTheOption();
};

void TstE2eAlarmLog::raisedAndCleared()
{
    E2eHarness h;
    QVERIFY2(h.ok() && h.waitForReply(QStringLiteral("S;")), qPrintable(h.error()));
    MDItbl &w = h.window();
    // Each alarm cell tells its own cause and remedy; the captions stay as they were.
    QSet<QString> texts;
    for (int i = 0; i < AlarmCount; ++i) {
        QCOMPARE(w.alarm->LblAlarm[i]->text(), AlarmCaptions()[i]);
        QCOMPARE(w.alarm->LblAlarm[i]->toolTip(), AlarmRemedy(i));
        QCOMPARE(AlarmRemedyForName(AlarmCaptions()[i]), AlarmRemedy(i));
        QVERIFY(AlarmRemedy(i).size() > 80);
        texts << AlarmRemedy(i);
    }
    QCOMPARE(texts.size(), AlarmCount);
    QVERIFY(AlarmRemedy(6).contains(QLatin1String("U/V/W")));  // over current: the motor wiring
    QCOMPARE(AlarmRemedy(AlarmCount), QString());
    QCOMPARE(AlarmRemedyForName(QStringLiteral("Over Load")), QString());

    AlarmLogBook *log = &h.session().alarmLog;
    QCOMPARE(log->path(), QDir(h.workDir()).filePath(QStringLiteral("data/orvex/alarm-log.csv")));
    QCOMPARE(log->entries().size(), 0);  // nothing present at start

    // While another window is active only the status word tells of an alarm
    // (the poll is as it always was: no "ALM").
    h.activate(w.ioMon);
    QVERIFY(h.waitForRequest(QStringLiteral("IO")));
    h.mark();
    h.drive().raiseAlarm(1);
    QVERIFY(h.waitUntil([&] { return log->entries().size() == 1; }));
    QCOMPARE(log->entries()[0].note, AlarmNote::bitSet());
    QCOMPARE(change(log->entries()[0]), QStringLiteral("|"));
    h.idle(300);
    QCOMPARE(alarmRequests(h), 0);

    // The alarm display names it, and the next one as it comes.
    h.activate(w.alarm);
    QVERIFY(h.waitUntil([&] { return log->entries().size() == 2; }));
    h.drive().raiseAlarm(6);
    QVERIFY(h.waitUntil([&] { return log->entries().size() == 3; }));
    QTest::mouseClick(w.alarm->CmdARST, Qt::LeftButton);
    QVERIFY(h.waitUntil([&] { return log->entries().size() == 4; }));
    h.idle(300);
    const QStringList expected{"|", "Over Load(01)|", "Over Current Alarm(06)|", "|Over Load(01)+Over Current Alarm(06)"};
    QCOMPARE(changes(log->entries()), expected);
    for (qsizetype i = 1; i < log->entries().size(); ++i)
        QVERIFY(log->entries()[i - 1].time <= log->entries()[i].time);

    // The file has every entry, in order, once.
    QFile file(log->path());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const AlarmLogRead read = ReadAlarmLog(bytes);
    QCOMPARE(read.kind, AlarmLogRead::Kind::Log);
    QCOMPARE(read.entries, log->entries());
    QVERIFY(bytes.contains("\"Over Current Alarm(06)\""));

    // Every entry names the drive's port.
    for (const AlarmLogEntry &e : log->entries()) QVERIFY2(e.port.startsWith(QLatin1String("COM1 ")), qPrintable(e.port));

    // Tools -> Alarm Log: newest first, one row an event (the alarm bit and
    // its name a moment later are one), the cause and remedy of the selected
    // row below, each row one line.
    QAction *item = w.mnuTools->findChild<QAction *>(QStringLiteral("mnuAlarmLog"));
    QVERIFY(item);
    QCOMPARE(item->text(), QStringLiteral("&Alarm Log"));
    item->trigger();
    auto *win = w.findChild<AlarmLogWindow *>();
    QVERIFY(win && win->isVisible());
    QCOMPARE(shownEntries(*win), reversed(AlarmLogEvents(log->entries())));
    QCOMPARE(changes(shownEntries(*win)), (QStringList{"|Over Load(01)+Over Current Alarm(06)", "Over Current Alarm(06)|",
                                                       "Over Load(01)|"}));
    QCOMPARE(shownEntries(*win).last().time, log->entries().first().time);  // the bit's time
    QCOMPARE(win->LblCount->text(), QStringLiteral("3 events"));
    QVERIFY(win->LblFile->text().contains(log->path()));
    QCOMPARE(win->TblLog->rowHeight(0), win->TblLog->verticalHeader()->defaultSectionSize());
    win->TblLog->selectRow(2);  // over load appeared
    QCOMPARE(win->TxtRemedy->toPlainText(), AlarmCaptions()[1] + QStringLiteral(": ") + AlarmRemedy(1));
    QCOMPARE(win->model().index(1, AlarmLogModel::Appeared).data().toString(), AlarmCaptions()[6]);
    QVERIFY(!win->TblLog->accessibleName().isEmpty() && !win->CmbAlarm->accessibleName().isEmpty());

    // A new alarm goes on top while the window is open, as one row.
    h.drive().raiseAlarm(8);
    QVERIFY(h.waitUntil([&] { return win->model().rowCount() == 4; }));
    h.idle(300);  // one row for it, whether the status or the names came first
    QCOMPARE(win->model().rowCount(), 4);
    QCOMPARE(change(win->model().eventAt(0)), QStringLiteral("Runaway Error(08)|"));
    // With ORVEX_SCREENSHOT_DIR set, the window is saved there as alarm-log.png.
    if (const QString dir = qEnvironmentVariable("ORVEX_SCREENSHOT_DIR"); !dir.isEmpty()) {
        win->TblLog->selectRow(0);
        h.idle(100);
        win->grab().save(dir + QStringLiteral("/alarm-log.png"));
    }

    // One alarm only: the events that name it, still newest first.
    win->CmbAlarm->setCurrentIndex(win->CmbAlarm->findText(AlarmCaptions()[1]));
    QCOMPARE(changes(shownEntries(*win)), (QStringList{"|Over Load(01)+Over Current Alarm(06)", "Over Load(01)|"}));
    QCOMPARE(win->LblCount->text(), QStringLiteral("2 events with Over Load(01)"));
    h.drive().raiseAlarm(2);  // not this one: the rows stay
    QVERIFY(h.waitUntil([&] { return log->entries().size() == 6; }));
    QCOMPARE(win->model().rowCount(), 2);

    // Saved as CSV: the rows shown, with their port and cause and remedy.
    const QString saved = QDir(h.workDir()).filePath(QStringLiteral("overload.csv"));
    h.files.alwaysSave = saved;
    QTest::mouseClick(win->CmdExport, Qt::LeftButton);
    const std::optional<QByteArray> csv = ReadCsvFile(saved);
    QVERIFY(csv);
    const QList<QStringList> rows = ReadCsv(*csv).rows();
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows[0], (QStringList{"Time", "Port", "Appeared", "Cleared", "Note", "Cause and remedy"}));
    QVERIFY(rows[1][1].startsWith(QLatin1String("COM1 ")));
    QCOMPARE(rows[2][2], AlarmCaptions()[1]);
    QCOMPARE(rows[2][5], AlarmCaptions()[1] + QStringLiteral(": ") + AlarmRemedy(1));
    QCOMPARE(rows[1][3], AlarmCaptions()[1] + QStringLiteral(", ") + AlarmCaptions()[6]);
    QCOMPARE(rows[1][0], AlarmLogTimeText(log->entries()[3].time));
}

void TstE2eAlarmLog::namesAskedForWithTheOption()
{
    E2eHarness h;
    QVERIFY2(h.ok() && h.waitForReply(QStringLiteral("S;")), qPrintable(h.error()));
    MDItbl &w = h.window();
    AlarmLogBook *log = &h.session().alarmLog;
    QAction *option = w.mnuOptions->findChild<QAction *>(QStringLiteral("mnuNameAlarms"));
    QVERIFY(option && option->isCheckable());
    QCOMPARE(option->text(), QStringLiteral("&Name Alarms in the Log"));
    QVERIFY(!UserOptions{}.nameAlarmsInLog);  // off unless chosen
    UserOptions options = h.session().options();
    options.nameAlarmsInLog = true;
    h.session().useOptions(options);  // not saved: the other tests keep their settings

    // The status shows the alarm: it is asked for by name once, and the poll
    // of the active window goes on.
    h.activate(w.ioMon);
    QVERIFY(h.waitForRequest(QStringLiteral("IO")));
    h.mark();
    h.drive().raiseAlarm(3);
    QVERIFY(h.waitUntil([&] { return log->entries().size() == 2; }));
    QCOMPARE(changes(log->entries()), (QStringList{"|", "Regeneration Alarm(03)|"}));
    h.idle(500);
    QCOMPARE(alarmRequests(h), 1);
    QVERIFY(h.waitForRequest(QStringLiteral("IO")));

    // Reset: the status says none are left, with nothing more asked.
    h.mark();
    h.link().setCommand("ARST");
    QVERIFY(h.waitUntil([&] { return log->entries().size() == 3; }));
    QCOMPARE(change(log->entries()[2]), QStringLiteral("|Regeneration Alarm(03)"));
    QCOMPARE(log->entries()[2].note, AlarmNote::bitCleared());
    h.idle(300);
    QCOMPARE(alarmRequests(h), 0);
}

QTEST_MAIN(TstE2eAlarmLog)
#include "tst_e2e_alarmlog.moc"
