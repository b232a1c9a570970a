// The point table against the simulated drive: read, edit, write and keep
// through a power cycle, then a point move that uses the edited point.

#include "drive/backups.h"
#include "e2eharness.h"
#include "monitor/commcomm.h"
#include "points/tbl_writ.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

bool importTable(E2eHarness &h)
{
    Tbl_Writ *w = h.window().tblWrit;
    // Only once the drive answers the poll (the port is open, the drive has
    // booted) may the read begin, or its first request could go unanswered.
    h.mark();
    if (!h.waitForReply(QStringLiteral("S;"))) return false;
    h.mark();
    w->CmdRW[0]->click();
    return h.waitForRequest(QStringLiteral("TBLR;1F"), 10000) &&
           h.waitUntil([&] { return w->CmdRW[0]->isEnabled() && w->CmdRW[1]->isEnabled(); }, 10000);
}

bool exportTable(E2eHarness &h)
{
    Tbl_Writ *w = h.window().tblWrit;
    h.mark();
    w->CmdRW[1]->click();
    return h.waitForReply(QStringLiteral("FLASH"), 10000) && w->CmdRW[1]->isEnabled();
}

// Types into a field and leaves it downwards, so that its check runs.
void type(QLineEdit *field, const QString &text)
{
    field->setFocus(Qt::MouseFocusReason);
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, text);
    QTest::keyClick(field, Qt::Key_Down);
}

}  // namespace

class TstE2ePoints : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void editedTableSurvivesPowerCycleAndDrivesAMove();
};

void TstE2ePoints::editedTableSurvivesPowerCycleAndDrivesAMove()
{
    E2eHarness h;
    QVERIFY2(h.ok(), qPrintable(h.error()));
    Tbl_Writ *w = h.window().tblWrit;
    QVERIFY(importTable(h));
    const sim::PointTable factory = h.withModel([](sim::DriveModel &m) { return m.points(); });
    QCOMPARE(h.session().points.data(), PointData(factory));

    type(w->TxtInc[5], QStringLiteral("0"));
    type(w->TxtLocate[5], QStringLiteral("-1500"));
    type(w->TxtSpd[5], QStringLiteral("3000"));
    type(w->TxtKGJit[31], QStringLiteral("0"));
    type(w->TxtInc[9], QStringLiteral("1"));
    const QDir backups(BackupFolder());
    QVERIFY(backups.path().startsWith(h.workDir()));
    QVERIFY(exportTable(h));
    // With the options at their defaults the table read before is kept, and
    // what was written is read back after FLASH.
    QVERIFY(h.waitUntil([&] { return h.window().transferStatus->text() == u"Written and verified: 32 points"; }));
    const QStringList kept = backups.entryList({QStringLiteral("*_pointtable.ptt")}, QDir::Files);
    QCOMPARE(kept.size(), 1);
    // Named by the drive's port, and the status line says where it went.
    QVERIFY2(kept[0].contains(QStringLiteral("_COM1-")), qPrintable(kept[0]));
    QVERIFY(h.window().transferStatus->toolTip().endsWith(QDir::toNativeSeparators(backups.filePath(kept[0]))));
    const QStringList asked = h.requests();
    QCOMPARE(asked.filter(QRegularExpression(QStringLiteral("^TBLR;"))).size(), 32);
    QVERIFY(asked.indexOf(QStringLiteral("FLASH")) < asked.indexOf(QStringLiteral("TBLR;0")));

    h.drive().powerCycle();
    // The grid forgets the edits, so only a read can bring them back.
    const QList<QLineEdit *> edited{w->TxtInc[5], w->TxtLocate[5], w->TxtSpd[5], w->TxtKGJit[31], w->TxtInc[9]};
    for (QLineEdit *f : edited) f->setText(QStringLiteral("7"));
    QVERIFY(importTable(h));
    QStringList shown;
    for (QLineEdit *f : edited) shown << f->text();
    QCOMPARE(shown, (QStringList{" 0", "-1500", " 2500", "----", " 1"}));

    // On the operation panel: point 5, servo on, start; the drive moves to
    // the edited point, and the panel's point and position follow.
    CommComm *panel = h.window().commComm;
    h.activate(panel);
    panel->TxtPNT->setText(QStringLiteral("5"));
    const std::pair<QPushButton *, const char *> steps[] = {
        {panel->CmdPNT, "PNT;05"}, {panel->CmdON[0], "SVON"}, {panel->CmdON[2], "STRON"}, {panel->CmdOFF[2], "STROFF"}};
    for (const auto &[button, request] : steps) {
        h.mark();
        button->click();
        QVERIFY2(h.waitForRequest(QString::fromLatin1(request)), request);
    }
    QCOMPARE(h.withModel([](sim::DriveModel &m) { return m.selectedPoint(); }), 5);
    QVERIFY(h.waitUntil([&] {
        return h.withModel([](sim::DriveModel &m) { return !m.axis().moving() && std::abs(m.axis().position() + 1500) < 2; });
    }, 15000));
    QVERIFY(h.waitUntil([&] { return panel->LblPnt->text() == u"5" && panel->LblMON->text() == u"-1500"; }));
}

QTEST_MAIN(TstE2ePoints)
#include "tst_e2e_points.moc"
