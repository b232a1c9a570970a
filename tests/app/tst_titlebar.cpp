// The status strip: its lamps, the caption of the main window, and what it
// says of the port and of the drive's answer, all following the link's tick.

#include "app/titlebar.h"
#include "common/shape.h"
#include "drive/driveinfo.h"
#include "linktestutil.h"

#include <QLabel>
#include <QTest>
#include <memory>

namespace {

// The link under the status strip, its timer stopped: the test ticks.
struct StripRig : LinkRig {
    QString caption = QStringLiteral("ORVEX");
    DriveInfo drive;
    std::unique_ptr<TitleBar> bar;
    StripRig()
    {
        link.setActiveTagSource([] { return QStringLiteral("1"); });
        bar = std::make_unique<TitleBar>(link, drive);
        bar->TimerDateTime.stop();
        QObject::connect(bar.get(), &TitleBar::captionChanged, bar.get(), [this](const QString &c) { caption = c; });
    }
    void tick(int n = 1)
    {
        for (int i = 0; i < n; ++i) bar->TimerDateTime_Timer();
    }
};

}  // namespace

class TstTitleBar : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void lamps();
    void captionPortAndAnswer();
};

void TstTitleBar::lamps()
{
    StripRig r;
    r.tick();  // opens the port
    // Alarm: dark for three ticks, lit for two. Each status reply carries the
    // alarm bit and keeps the time-out away.
    reply(r.port, "S;800000");
    QList<bool> lit;
    for (int i = 0; i < 10; ++i) {
        r.tick();
        reply(r.port, "S;800000");
        lit << (r.bar->ShpRed->fillColor() == QColor(255, 0, 0));
    }
    QCOMPARE(lit, (QList<bool>{false, true, true, false, false, false, true, true, false, false}));
    QCOMPARE(r.bar->ShpGreen->fillColor(), QColor(Qt::black));
    // Beside the lamp, the alarm by name once an "ALM" reply has told it.
    QCOMPARE(r.bar->LblAlarmName->text(), QStringLiteral("Alarm"));
    r.bar->setPresentAlarms(0x82);
    r.tick();
    QCOMPARE(r.bar->LblAlarmName->text(), QStringLiteral("Over Load(01), Excessive Deviation(07)"));

    reply(r.port, "S;80008000");  // running, servo on
    r.tick();
    QCOMPARE(r.bar->ShpGreen->fillColor(), QColor(0, 255, 0));
    QCOMPARE(r.bar->LblAlarmName->text(), QString());  // no alarm, no name
    const auto svon = [&](QPalette::ColorRole role) { return r.bar->LblSVON->palette().color(role); };
    QCOMPARE(svon(QPalette::Window), QColor(255, 0, 0));
    // Switching to offline darkens SVON one tick later.
    r.settings.OfflineMode = 1;
    r.tick();
    QCOMPARE(svon(QPalette::Window), QColor(255, 0, 0));
    r.tick();
    QCOMPARE(svon(QPalette::Window), QColor(Qt::black));
}

void TstTitleBar::captionPortAndAnswer()
{
    StripRig r;
    r.caption = QStringLiteral("something else");
    r.tick();
    QCOMPARE(r.caption, QStringLiteral("ORVEX"));
    QCOMPARE(r.bar->LblPort->text(), QStringLiteral("COM1 (memory)"));
    // Two lost replies in a row: "No reply"; a reply clears it.
    r.tick(32);
    QCOMPARE(r.bar->LblNoReply->text(), QStringLiteral("No reply"));
    reply(r.port, "S;0");
    r.tick();
    QCOMPARE(r.bar->LblNoReply->text(), QString());
    // The caption turns within the tick that finds offline mode on.
    r.link.closePort();
    r.settings.OfflineMode = 1;
    r.tick();
    QCOMPARE(r.caption, QStringLiteral("ORVEX (Offline Mode)"));
    QCOMPARE(r.bar->LblPort->text(), QStringLiteral("Offline"));
    r.settings.OfflineMode = 0;
    r.tick();
    QCOMPARE(r.caption, QStringLiteral("ORVEX"));
}

QTEST_MAIN(TstTitleBar)
#include "tst_titlebar.moc"
