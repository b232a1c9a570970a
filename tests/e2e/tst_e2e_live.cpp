// "Keep All Monitors Live" against the simulated drive: with the operation
// panel active, the status, alarm and I/O windows' requests go out in turn
// with the panel's, "S" every second exchange; a minimised window drops out;
// a capture armed in the waveform monitor keeps asking for its blocks while
// the panel starts a jog. And replies taken whole by the terminal driver.

#include "ownhome.h"
#include "e2eharness.h"

#include "drive/useroptions.h"
#include "monitor/commcomm.h"
#include "monitor/iomon.h"
#include "params/prm_writ.h"
#include "wave/hmon.h"
#include "wave/picturebox.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QApplication>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSet>
#include <QTest>

class TstE2eLive : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void allMonitorsInTurn();
    void captureAroundAJogStart_data();
    void captureAroundAJogStart();
    void repliesTakenWhole();
};

void TstE2eLive::allMonitorsInTurn()
{
    E2eHarness h;
    QVERIFY2(h.ok() && h.waitForReply(QStringLiteral("S;")), qPrintable(h.error()));
    MDItbl &w = h.window();
    QVERIFY(!w.mnuKeepAllLive->isChecked());
    w.mnuKeepAllLive->trigger();
    QVERIFY(LoadUserOptions().keepAllMonitorsLive);
    // The keywords polled since the mark (those seen at least n times), or
    // "no alternation" unless "S" went out every second time.
    const auto polled = [&](int n) {
        QStringList k;
        for (const QString &r : h.requests()) k << r.section(u';', 0, 0);
        QSet<QString> seen;
        for (qsizetype i = 0; i < k.size(); ++i) {
            if (i > 0 && (k[i] == u"S") == (k[i - 1] == u"S")) return QSet<QString>{QStringLiteral("no alternation")};
            if (k.count(k[i]) >= n) seen << k[i];
        }
        return seen;
    };
    for (bool ioShown : {true, false}) {
        if (!ioShown) w.frameOf(w.ioMon)->showMinimized();
        h.activate(w.commComm);
        h.idle(50);
        h.mark();
        QSet<QString> want{"S", "VV", "ALM", "MON"};
        if (ioShown) want << QStringLiteral("IO");
        QVERIFY(h.waitUntil([&] { return polled(2).contains(want); }));
        QCOMPARE(polled(1), want);  // never "T", the waveform monitor not being active
    }
}

// The engineer arms a capture triggered by the speed, goes to the operation
// panel and jogs. With all monitors live the armed capture keeps asking "T"
// from behind the panel, triggers on the jog's start and uploads it: the
// samples before the trigger are the axis at rest, those after it the jog.
// Off, "T" goes out only while the waveform monitor is active: the capture
// stays armed behind the panel, as ever.
void TstE2eLive::captureAroundAJogStart_data()
{
    QTest::addColumn<bool>("live");
    QTest::newRow("all monitors live") << true;
    QTest::newRow("off") << false;
}

void TstE2eLive::captureAroundAJogStart()
{
    QFETCH(bool, live);
    E2eHarness h;
    QVERIFY2(h.ok() && h.waitForReply(QStringLiteral("S;")), qPrintable(h.error()));
    MDItbl &w = h.window();
    if (w.mnuKeepAllLive->isChecked() != live) w.mnuKeepAllLive->trigger();
    HMon *wave = w.hMon;
    wave->CmbTrig->setCurrentIndex(0);  // "Speed"
    wave->CmbEdje->setCurrentIndex(0);  // "Forward Up"
    w.commComm->CmdON[0]->click();      // "SVON": the axis holds still
    QVERIFY(h.waitForReply(QStringLiteral("SVON")));
    h.activate(wave);
    h.mark();
    wave->CmdRun->click();
    QCOMPARE(wave->LblJap->text(), QStringLiteral("Now measureing"));
    QVERIFY(h.waitForRequest(QStringLiteral("T;80;F;0")));  // armed
    h.activate(w.commComm);
    h.idle(600);  // the drive records the samples before the trigger
    h.mark();
    w.commComm->CmdJOG[0]->click();  // "+JOG"
    QVERIFY(h.waitForRequest(QStringLiteral("PJOG")));
    if (!live) {
        h.idle(1500);
        QVERIFY(h.requests().filter(QRegularExpression(QStringLiteral("^T;"))).isEmpty());
        QVERIFY(!wave->PictYomitorichu->isHidden());
        QCOMPARE(wave->LblJap->text(), QStringLiteral("Now measureing"));
        return;
    }
    QVERIFY(h.waitUntil([&] { return wave->PictYomitorichu->isHidden(); }, 8000));
    QVERIFY(!h.requests().filter(QRegularExpression(QStringLiteral("^T;80;F;0$"))).isEmpty());
    QVERIFY(!h.requests().filter(QRegularExpression(QStringLiteral("^MON;"))).isEmpty());  // the panel's poll goes on
    // The trigger stands at sample 63 (position 15): at rest before it, the
    // jog's speed (100 rpm or more) from it on.
    const auto &speed = h.session().wave.WaveData[1];
    QVERIFY2(std::abs(speed[10][0]) < 133, qPrintable(QString::number(speed[10][0])));
    QVERIFY2(speed[62][0] < 133 && speed[63][0] >= 133, qPrintable(QStringLiteral("%1 %2").arg(speed[62][0]).arg(speed[63][0])));
    QVERIFY(speed[127][0] >= 133);
    w.commComm->CmdJOG[2]->click();  // "JOG STOP"
    QVERIFY(h.waitForRequest(QStringLiteral("JOGOFF")));
}

// "Take Replies Whole (Less CPU)" against a drive answering at the line's
// pace: a parameter import runs through, each request asked once, no reply
// lost or swallowed on the way.
void TstE2eLive::repliesTakenWhole()
{
    sim::ServerConfig paced = E2eHarness::fastDrive();
    paced.paced = true;
    E2eHarness h(paced);
    QVERIFY2(h.ok() && h.waitForReply(QStringLiteral("S;")), qPrintable(h.error()));
    MDItbl &w = h.window();
    QVERIFY(!w.mnuRepliesWhole->isChecked());
    w.mnuRepliesWhole->trigger();
    QVERIFY(LoadUserOptions().takeRepliesWhole);
    h.mark();
    w.prmWrit->CmdRW[0]->click();
    QVERIFY(h.waitUntil([&] { return w.prmWrit->CmdRW[0]->isEnabled(); }, 10000));
    QVERIFY(h.link().state().ReadDoneFlags & ReadDone::Parameters);
    QCOMPARE(h.requests().filter(QRegularExpression(QStringLiteral("^R;"))),
             (QStringList{"R;0", "R;1", "R;2", "R;3", "R;4", "R;5"}));
}

int main(int argc, char *argv[])
{
    UseOwnHome();  // the option is remembered
    QApplication app(argc, argv);
    TstE2eLive test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_e2e_live.moc"

