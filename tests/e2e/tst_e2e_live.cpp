// "Keep All Monitors Live" against the simulated drive: with the operation
// panel active, the status, alarm and I/O windows' requests go out in turn
// with the panel's, "S" every second exchange; a minimised window drops out;
// switched off, the poll is the active window's alone again.

#include "e2eharness.h"

#include "common/useroptions.h"
#include "monitor/commcomm.h"
#include "monitor/iomon.h"

#include <QAction>
#include <QApplication>
#include <QSet>
#include <QTemporaryDir>
#include <QMdiSubWindow>
#include <QTest>

namespace {

// The poll since the mark: every request's keyword, "S" every second one.
QStringList pollSinceMark(E2eHarness &h)
{
    QStringList keywords;
    for (const QString &r : h.requests()) keywords << r.section(u';', 0, 0);
    for (qsizetype i = 1; i < keywords.size(); ++i)
        if ((keywords[i] == u"S") == (keywords[i - 1] == u"S")) return {QStringLiteral("no alternation at ") + keywords[i]};
    return keywords;
}

bool sawAll(E2eHarness &h, const QStringList &keywords)
{
    const QStringList seen = pollSinceMark(h);
    return std::all_of(keywords.begin(), keywords.end(), [&](const QString &k) { return seen.count(k) >= 2; });
}

}  // namespace

class TstE2eLive : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void allMonitorsInTurn();
};

void TstE2eLive::allMonitorsInTurn()
{
    E2eHarness h;
    QVERIFY2(h.ok() && h.waitForReply(QStringLiteral("S;")), qPrintable(h.error()));
    MDItbl &w = h.window();
    h.activate(w.commComm);
    QVERIFY(!w.mnuKeepAllLive->isChecked());
    w.mnuKeepAllLive->trigger();
    QVERIFY(LoadUserOptions().keepAllMonitorsLive);

    h.mark();
    const QStringList all{"S", "VV", "ALM", "IO", "MON"};
    QVERIFY(h.waitUntil([&] { return sawAll(h, all); }));
    QVERIFY2(!pollSinceMark(h).contains(u"T"), qPrintable(pollSinceMark(h).join(u' ')));
    const QStringList on = pollSinceMark(h);
    QVERIFY2(QSet<QString>(on.begin(), on.end()) == QSet<QString>(all.begin(), all.end()), qPrintable(on.join(u' ')));

    w.frameOf(w.ioMon)->showMinimized();
    h.activate(w.commComm);
    h.idle(50);
    h.mark();
    QVERIFY(h.waitUntil([&] { return sawAll(h, {"S", "VV", "ALM", "MON"}); }));
    QVERIFY2(!pollSinceMark(h).contains(u"IO"), qPrintable(pollSinceMark(h).join(u' ')));

    w.mnuKeepAllLive->trigger();
    h.idle(50);
    h.mark();
    QVERIFY(h.waitUntil([&] { return sawAll(h, {"S", "MON"}); }));
    const QStringList off = pollSinceMark(h);
    QVERIFY2(QSet<QString>(off.begin(), off.end()) == QSet<QString>({"S", "MON"}), qPrintable(off.join(u' ')));
    QVERIFY(!LoadUserOptions().keepAllMonitorsLive);
}

int main(int argc, char *argv[])
{
    // The option is remembered: in a settings folder of this run's own, so
    // that tests running beside this one never see it.
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    TstE2eLive test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_e2e_live.moc"
