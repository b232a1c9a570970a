// Stops that always go out, each tried with the reply to "PJOG" lost: the
// stops waiting or kept when the program quits, those kept when the port
// dialog closes a port that went away, and the panel's stop keys while the
// question of the lost reply is open.

#include "ownhome.h"
#include "app/linkprompts.h"
#include "app/mditbl.h"
#include "app/portinp.h"
#include "app/titlebar.h"
#include "linktestutil.h"
#include "mainwindowrig.h"
#include "drive/session.h"
#include "monitor/commcomm.h"
#include "testservices.h"
#include "uitestutil.h"

#include <QComboBox>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The main window, shown, past its opening "S".
struct StopRig : MainWindowRig {
    StopRig()
    {
        app->show();
        tick();
        reply(port, "S;0");  // the opening "S"; "IO" is in flight
    }
    QPushButton *button(const char *name) { return app->findChild<QPushButton *>(QLatin1String(name)); }
    // The request written last gets its reply (its keyword alone).
    void answer() { reply(port, RequestKeyword(port.written.last()).toByteArray().constData()); }
    QString last() const { return requests(port).last(); }
    // "+JOG": "PJOG" goes out once the reply in flight ends, and its own
    // reply is lost.
    void jogWithLostReply()
    {
        button("CmdJOG(0)")->click();
        answer();
        QCOMPARE(last(), QStringLiteral("PJOG"));
    }
    QMessageBox *question() const { return app->prompts->question(); }
};

}  // namespace

class TstStops : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { UseOwnHome(); }
    void quitWritesEveryStop_data();
    void quitWritesEveryStop();
    void keptStopsSurviveThePortDialog();
    void stopKeysWhileAsked_data();
    void stopKeysWhileAsked();
};

void TstStops::quitWritesEveryStop_data()
{
    QTest::addColumn<QStringList>("before");  // buttons clicked, "lost" the reply to "PJOG" lost, "ask" the question open, "F2" to it
    QTest::addColumn<QStringList>("written");  // after Quit, each answered but a "PJOG" or "IO"
    // The poll's reply lost, no jog known: "SVOFF" still goes out once the
    // lost reply is given up, without the question.
    QTest::newRow("SVOFF behind a lost poll") << QStringList{"CmdOFF(0)"} << QStringList{"SVOFF"};
    // A jog whose reply was lost, stopped and then the servo off: the stops
    // kept go out in turn, and the jog is stopped once more.
    QTest::newRow("kept behind a lost PJOG") << QStringList{"lost", "CmdJOG(2)", "CmdOFF(0)"}
                                             << QStringList{"JOGOFF", "SVOFF", "JOGOFF"};
    // Quit while the question of the lost "PJOG" is open, with "EMCON" given
    // by its key: the question closes as Cancel would, the stops go out.
    QTest::newRow("question open") << QStringList{"lost", "ask", "F2"} << QStringList{"EMCON", "JOGOFF"};
}

void TstStops::quitWritesEveryStop()
{
    QFETCH(QStringList, before);
    QFETCH(QStringList, written);
    StopRig r;
    for (const QString &b : before) {
        if (b == u"lost") r.jogWithLostReply();
        else if (b == u"ask") r.tick(16);
        else if (b == u"F2") QTest::keyClick(r.question(), Qt::Key_F2);
        else r.button(qPrintable(b))->click();
    }
    const qsizetype start = r.port.written.size();
    const bool asked = r.question() != nullptr;
    ModalAnswerer noQuestion;
    r.app->mnuFile1->trigger();
    QCOMPARE(r.exits, 0);  // not while a stop waits
    if (asked) QTRY_VERIFY(!r.question());
    // The reply in flight is lost: given up after the time-out, silently.
    if (!asked) {
        r.tick(16);
        QCoreApplication::processEvents();
    }
    for (int i = 0; i < written.size(); ++i) {
        QCOMPARE(requests(r.port).mid(start).value(i), written[i]);
        QCOMPARE(r.exits, 0);
        r.answer();
    }
    // At once after the last stop's reply.
    QCOMPARE(r.exits, 1);
    QCOMPARE(requests(r.port).mid(start, written.size()), written);
    QVERIFY(noQuestion.seen.isEmpty());
}

// Drive silent: "Speed" pressed and let go ("HSOFF" waits), "JOG STOP"
// ("HSOFF" kept, "JOGOFF" waits), the port vanishes, and the port dialog is
// left with OK: both stops go out after the reconnection's "S".
void TstStops::keptStopsSurviveThePortDialog()
{
    StopRig r;
    r.jogWithLostReply();
    QTest::mousePress(r.app->commComm->CmdON[6], Qt::LeftButton);
    QTest::mouseRelease(r.app->commComm->CmdON[6], Qt::LeftButton);
    r.button("CmdJOG(2)")->click();
    r.port.vanish(QStringLiteral("unplugged"));
    const qsizetype start = r.port.written.size();
    QTimer::singleShot(0, r.app.get(), [&r] { r.app->portInp->CmdOKCancel_Click(0); });
    r.app->mnuSystem1[0]->trigger();  // "Commport Select"
    r.tick();
    QCOMPARE(requests(r.port).mid(start), QStringList{"S"});
    r.answer();
    r.answer();
    QCOMPARE(requests(r.port).mid(start), (QStringList{"S", "HSOFF", "JOGOFF"}));
}

void TstStops::stopKeysWhileAsked_data()
{
    QTest::addColumn<QString>("held");    // before the question: "F9" or "mouse" holds "Speed", "F7" a held jog
    QTest::addColumn<QString>("key");     // given while the question is open
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("sendLine");
    QTest::addColumn<QStringList>("then");  // written after the lost "PJOG", each answered
    const int retry = QMessageBox::Retry, cancel = QMessageBox::Cancel;
    // A stop goes out before the retried request, or instead of Cancel's
    // "S", and the poll (the panel's "MON") goes on; a jog that "JOGOFF"
    // stops is not written again.
    QTest::newRow("Shift+F7, Retry") << "" << "Shift+F7" << retry << "JOGOFF" << QStringList{"JOGOFF", "MON;0"};
    QTest::newRow("Shift+F8, Cancel") << "" << "Shift+F8" << cancel << "JOGOFF" << QStringList{"JOGOFF", "MON;0"};
    QTest::newRow("F2, Retry") << "" << "F2" << retry << "EMCON" << QStringList{"EMCON", "PJOG"};
    QTest::newRow("Shift+F1, Cancel") << "" << "Shift+F1" << cancel << "SVOFF" << QStringList{"SVOFF", "MON;0"};
    // Only the stops: "SVON" is not given.
    QTest::newRow("F1 does nothing") << "" << "F1" << retry << "PJOG" << QStringList{"PJOG"};
    // What is held is let go as the question takes the focus ("Speed" held by
    // the mouse as its button loses the focus).
    QTest::newRow("Speed held by F9") << "F9" << "F9 up" << retry << "HSOFF" << QStringList{"HSOFF", "PJOG"};
    QTest::newRow("Speed held by the mouse") << "mouse" << "" << retry << "HSOFF" << QStringList{"HSOFF", "PJOG"};
    QTest::newRow("held jog, Hold to Jog") << "F7" << "F7 up" << retry << "JOGOFF" << QStringList{"JOGOFF", "MON;0"};
}

void TstStops::stopKeysWhileAsked()
{
    QFETCH(QString, held);
    QFETCH(QString, key);
    QFETCH(int, answer);
    QFETCH(QString, sendLine);
    QFETCH(QStringList, then);
    StopRig r;
    CommComm *panel = r.app->commComm;
    r.app->mdiArea->setActiveSubWindow(r.app->frameOf(panel));
    QVERIFY(QTest::qWaitForWindowActive(r.app.get()));
    panel->CmbMON->setFocus();
    if (held == u"F7") {
        panel->setHoldToJog(true);
        QTest::keyPress(panel, Qt::Key_F7);  // held: "PJOG"
        r.answer();
        QCOMPARE(r.last(), QStringLiteral("PJOG"));
    } else {
        r.jogWithLostReply();
        if (held == u"F9") QTest::keyPress(panel, Qt::Key_F9);
        if (held == u"mouse") QTest::mousePress(panel->CmdON[6], Qt::LeftButton);
    }
    const qsizetype start = r.port.written.size();
    r.tick(16);
    QMessageBox *box = r.question();
    QVERIFY(box);
    QCOMPARE(box->objectName(), QStringLiteral("LinkTimeoutQuestion"));
    QVERIFY(box->isModal());
    QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget *>(box));
    if (key.endsWith(u" up")) {
        QTest::keyRelease(box, key.startsWith(u"F9") ? Qt::Key_F9 : Qt::Key_F7);
    } else if (!key.isEmpty()) {
        const bool shift = key.startsWith(u"Shift+");
        const int f = key.section(u'F', -1).toInt();
        QTest::keyClick(box, Qt::Key(Qt::Key_F1 + f - 1), shift ? Qt::ShiftModifier : Qt::NoModifier);
    }
    QCOMPARE(panel->LblStr->text(), sendLine);
    QCOMPARE(requests(r.port).size(), start);  // nothing goes out while the question is open
    box->button(QMessageBox::StandardButton(answer))->click();
    QVERIFY(!r.session->link.awaitingDecision());
    QTRY_VERIFY(!r.question());
    for (int i = 0; i < then.size(); ++i) {
        QCOMPARE(requests(r.port).mid(start).value(i), then[i]);
        r.answer();
    }
    if (held == u"mouse") QTest::mouseRelease(panel->CmdON[6], Qt::LeftButton);
}

QTEST_MAIN(TstStops)
#include "tst_stops.moc"
