// Old values are never shown as live: each monitor window's values grey and
// say "as of hh:mm:ss" once a second passes without a refresh, under a clock
// the test moves; the note shows only then (and before the first refresh).

#include "app/titlebar.h"
#include "common/stalemark.h"
#include "drive/driveinfo.h"
#include "linktestutil.h"
#include "testservices.h"
#include "monitor/alarm.h"
#include "monitor/commcomm.h"
#include "monitor/iomon.h"
#include "monitor/mon2.h"

#include <QLabel>
#include <QTest>

class TstStaleMark : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void marks_data();
    void marks();
};

void TstStaleMark::marks_data()
{
    QTest::addColumn<QString>("note");      // the window's note
    QTest::addColumn<QString>("value");     // one of the values it greys
    QTest::addColumn<QByteArray>("fresh");  // the reply that refreshes them
    QTest::addColumn<QByteArray>("other");  // a reply that does not
    QTest::newRow("panel's monitor value") << "LblMONAsOf" << "LblMON" << QByteArray("MON;0;5") << QByteArray("S;0");
    QTest::newRow("status rows") << "LblStatusAsOf" << "LblSS(6)" << QByteArray("S;0") << QByteArray("VV;0");
    QTest::newRow("numeric values") << "LblValuesAsOf" << "LblDt(0)" << QByteArray("VV;0") << QByteArray("S;0");
    QTest::newRow("alarms") << "LblAlarmAsOf" << "LblHist(0)" << QByteArray("ALM;0") << QByteArray("IO;0");
    QTest::newRow("inputs and outputs") << "LblIOAsOf" << "LblIN(0)" << QByteArray("IO;0") << QByteArray("ALM;0");
}

void TstStaleMark::marks()
{
    QFETCH(QString, note);
    QFETCH(QString, value);
    QFETCH(QByteArray, fresh);
    QFETCH(QByteArray, other);
    LinkRig r;
    ManualClock clock(QDateTime(QDate(2026, 12, 7), QTime(14, 3, 19, 900)));
    DriveInfo drive;
    TitleBar bar(r.link, drive, clock);
    CommComm comm(r.link, drive, clock);
    Mon2 mon2(r.link, drive, clock);
    Alarm alarm(r.link, clock);
    IOMon io(r.link, clock);
    QWidget *window = nullptr;
    for (QWidget *w : std::initializer_list<QWidget *>{&comm, &mon2, &alarm, &io})
        if (w->findChild<QLabel *>(note)) window = w;
    QVERIFY(window);
    auto *label = window->findChild<QLabel *>(note);
    auto *shown = window->findChild<QLabel *>(value);
    StaleMark *mark = nullptr;
    for (StaleMark *m : window->findChildren<StaleMark *>())
        if (m->note() == label) mark = m;
    QVERIFY(mark && shown);
    window->show();
    // Each step: a reply, or "+MS" the clock moved and the mark's check run;
    // then what the note says ("" hidden, the value enabled).
    const QList<std::pair<QByteArray, QString>> steps{
        {"", "not read yet"}, {other, "not read yet"}, {fresh, ""}, {"+800", ""}, {fresh, ""},
        {"+1001", ""}, {"+1800", ""}, {"+1801", "as of 14:03:20"}, {other, "as of 14:03:20"}, {fresh, ""}};
    for (const auto &[step, text] : steps) {
        if (step.startsWith('+')) clock.ms = step.mid(1).toLongLong();
        if (step.startsWith('+')) mark->check();
        else if (!step.isEmpty()) reply(r.port, step.constData());
        QCOMPARE(label->isVisible() ? label->text() : QString(), text);
        QCOMPARE(shown->isEnabled(), text.isEmpty());
        QVERIFY(label->accessibleName().endsWith(text));
    }
}

QTEST_MAIN(TstStaleMark)
#include "tst_stalemark.moc"
