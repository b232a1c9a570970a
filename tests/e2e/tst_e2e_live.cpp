// "Keep All Monitors Live" against the simulated drive: with the operation
// panel active, the status, alarm and I/O windows' requests go out in turn
// with the panel's, "S" every second exchange; a minimised window drops out.
// And replies taken whole by the terminal driver.

#include "ownhome.h"
#include "e2eharness.h"

#include "drive/useroptions.h"
#include "monitor/commcomm.h"
#include "monitor/iomon.h"
#include "params/prm_writ.h"

#include <QAction>
#include <QApplication>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSet>
#include <QTest>

class TstE2eLive : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void allMonitorsInTurn();
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

