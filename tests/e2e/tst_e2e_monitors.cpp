// The operation panel and the three monitors against the simulated drive, in
// one flow: the panel's commands change the drive's state, and the lamps,
// rows, values and alarm cells follow what the drive says. Which request the
// poll sends for each window is the main window's test; the point move from
// the panel is the point table's end-to-end test.

#include "e2eharness.h"

#include "common/shape.h"
#include "app/titlebar.h"
#include "monitor/alarm.h"
#include "monitor/commcomm.h"
#include "monitor/mon2.h"
#include "drive/monitor/monitorrules.h"
#include "monitor/monitorwidgets.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <cmath>

namespace {

const QColor Red(255, 0, 0);
const QColor Green(0, 255, 0);
const QColor Black(Qt::black);

// Rows of the status window (LblSS indexes).
constexpr int RunRow = 14;
constexpr int SvonRow = 6;

// The harness with the port open and the drive answering.
bool started(E2eHarness &h) { return h.ok() && h.waitForReply(QStringLiteral("S;")); }

bool backColour(const QWidget *w, const QColor &c) { return w->palette().color(QPalette::Window) == c; }

QString rowText(E2eHarness &h, int row) { return h.window().mon2->LblSS[static_cast<size_t>(row)]->text(); }

double drivePosition(E2eHarness &h)
{
    return h.withModel([](sim::DriveModel &m) { return m.axis().position(); });
}

bool driveServo(E2eHarness &h)
{
    return h.withModel([](sim::DriveModel &m) { return m.axis().servoOn(); });
}

}  // namespace

class TstE2eMonitors : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void panelAndAlarms();
};

void TstE2eMonitors::panelAndAlarms()
{
    E2eHarness h;
    QVERIFY2(started(h), qPrintable(h.error()));
    MDItbl &w = h.window();
    h.activate(w.commComm);

    // Servo on from the panel: the drive's servo comes on, and the panel's
    // lamp, the status row and the strip say so.
    CommComm *p = w.commComm;
    QVERIFY(h.waitUntil([&] { return rowText(h, SvonRow) == u": OFF" && lampLit(p->LblOFF[0]); }));
    QTest::mouseClick(p->CmdON[0], Qt::LeftButton);
    QVERIFY(h.waitUntil([&] {
        return driveServo(h) && lampLit(p->LblON[0]) && !lampLit(p->LblOFF[0]) && rowText(h, SvonRow) == u": ON" &&
               backColour(w.titleBar->LblSVON, Red);
    }));
    QVERIFY(h.waitUntil([&] { return p->LblMON->text() == u"0"; }));
    QVERIFY(lampLit(p->LblOFF[7]));

    // Jog: the drive runs, the panel's value and lamps and the Run row follow.
    QTest::mouseClick(p->CmdJOG[0], Qt::LeftButton);
    QVERIFY(h.waitUntil([&] { return drivePosition(h) > 1000; }));
    QVERIFY(h.waitUntil([&] {
        return p->LblMON->text().toLongLong() > 1000 && lampLit(p->LblON[7]) && !lampLit(p->LblON[8]) &&
               !lampLit(p->LblOFF[7]) && rowText(h, RunRow) == u": ON" && w.titleBar->ShpGreen->fillColor() == Green;
    }));

    // Stop: the axis comes to rest and everything says so.
    QTest::mouseClick(p->CmdJOG[2], Qt::LeftButton);
    QVERIFY(h.waitUntil([&] {
        return lampLit(p->LblOFF[7]) && !lampLit(p->LblON[7]) && rowText(h, RunRow) == u": OFF" &&
               w.titleBar->ShpGreen->fillColor() == Black;
    }));
    const double rest = drivePosition(h);
    QVERIFY(h.waitUntil([&] { return std::abs(p->LblMON->text().toLongLong() - drivePosition(h)) < 3; }));
    h.idle(150);
    QVERIFY(std::abs(drivePosition(h) - rest) < 50);

    // Alarms raised in the drive: over load, then over current.
    const QList<int> bits{1, 6};
    Alarm *a = w.alarm;
    h.activate(a);
    QVERIFY(h.waitForReply(QStringLiteral("ALM")));
    for (int bit : bits) h.drive().raiseAlarm(bit);
    auto redCells = [&] {
        QList<int> red;
        for (int k = 0; k < AlarmCount; ++k)
            if (backColour(a->LblAlarm[k], Red)) red << k;
        return red;
    };

    // Each present alarm's cell turns red; the newest alarm heads the record.
    QVERIFY(h.waitUntil([&] { return redCells() == bits; }));
    QCOMPARE(a->LblHist[0]->text(), AlarmCaptions()[6]);
    QCOMPARE(a->LblHist[1]->text(), AlarmCaptions()[1]);
    QCOMPARE(a->LblHist[2]->text(), QString());

    // Alarm Reset: the drive's alarms go, the cells turn grey, the record stays.
    QTest::mouseClick(a->CmdARST, Qt::LeftButton);
    QVERIFY(h.waitUntil([&] { return h.withModel([](sim::DriveModel &m) { return m.alarms(); }) == 0; }));
    QVERIFY(h.waitUntil([&] { return redCells().isEmpty(); }));
    QCOMPARE(a->LblHist[0]->text(), AlarmCaptions()[6]);
}

QTEST_MAIN(TstE2eMonitors)
#include "tst_e2e_monitors.moc"
