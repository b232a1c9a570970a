#include "ownhome.h"
#include "common/childwindow.h"
#include "app/mditbl.h"
#include "common/messagelines.h"
#include "app/password.h"
#include "app/portinp.h"
#include "app/titlebar.h"
#include "linktestutil.h"
#include "mainwindowrig.h"
#include "monitor/alarm.h"
#include "monitor/commcomm.h"
#include "monitor/iomon.h"
#include "monitor/mon2.h"
#include "params/prm_writ.h"
#include "points/tbl_writ.h"
#include "testservices.h"
#include "uitestutil.h"
#include "drive/session.h"
#include "wave/hmon.h"

#include <QAccessible>
#include <QDir>
#include <QLabel>
#include <QElapsedTimer>
#include <QMenuBar>
#include <QSettings>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QPushButton>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTest>

// The main window, shown.
struct AppRig : MainWindowRig {
    AppRig() { app->show(); }
    QStringList titles() const
    {
        QStringList out;
        for (QMdiSubWindow *w : app->mdiArea->subWindowList(QMdiArea::CreationOrder))
            if (!w->isHidden()) out << w->windowTitle();
        return out;
    }
};

class TstMainWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { UseOwnHome(); }
    void startUpAndClosingAChild();
    void sessionOutlivesTheWindow();
    void viewsShowTheirModels();
    void refusedTransferIsTold();
    void quitStopsAJog_data();
    void quitStopsAJog();
    void holdToJogIsKept();
    void pollFollowsActiveWindowAndLostAlarmAsks();
    void messageLines_data();
    void messageLines();
    void portMessages_data();
    void portMessages();
    void password_data();
    void password();
    void makerModeStatusRows();
    void windowMenu_data();
    void windowMenu();
    void makerModeMovesNoWindow_data();
    void makerModeMovesNoWindow();
    void arrangingWithAMaximisedWindow_data();
    void arrangingWithAMaximisedWindow();
    void newWindowOpensInside_data();
    void newWindowOpensInside();
    void layoutFromALargerScreen();
    void changingTextsReachAssistiveTools();
    void addedMenusHaveMnemonics();
    void noLabelHidesItsText();
    void chosenWindowComesIntoView_data();
    void chosenWindowComesIntoView();
    void layoutKeptBetweenRuns_data();
    void layoutKeptBetweenRuns();
};

namespace {

QList<ChildFrame *> sevenFrames(const MDItbl &app)
{
    return {app.frameOf(app.commComm), app.frameOf(app.mon2),    app.frameOf(app.alarm), app.frameOf(app.hMon),
            app.frameOf(app.ioMon),    app.frameOf(app.prmWrit), app.frameOf(app.tblWrit)};
}

// The names of the first two windows found lying over one another, or empty.
QString overlapping(const MDItbl &app)
{
    const QList<ChildFrame *> frames = sevenFrames(app);
    for (int i = 0; i < frames.size(); ++i)
        for (int j = i + 1; j < frames.size(); ++j)
            if (frames[i]->geometry().intersects(frames[j]->geometry()))
                return frames[i]->windowTitle() + QStringLiteral(" / ") + frames[j]->windowTitle();
    return {};
}

QStringList menuTexts(QMenu *menu)
{
    emit menu->aboutToShow();
    QStringList out;
    for (QAction *a : menu->actions()) out << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
}

QSettings settings()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("orvex"), QStringLiteral("orvex"));
}

}  // namespace

void TstMainWindow::startUpAndClosingAChild()
{
    AppRig r;
    QCOMPARE(r.titles(), (QStringList{"Point Table", "Graphical Monitor", "Command Communication", "Status Display",
                                      "Alarm Display", "Setting Parameters", "I/O Monitor"}));
    QVERIFY(r.port.written.isEmpty());  // nothing is sent before the first tick
    // Closing a child minimises it rather than destroying it.
    ChildFrame *frame = r.app->frameOf(r.app->tblWrit);
    frame->close();
    QVERIFY(frame->isMinimized());
    QVERIFY(r.titles().contains(QStringLiteral("Point Table")));
}

// Quitting (or closing the main window) while this program's jog or high
// speed runs, or the status shows a jog, sends the stops and waits for
// their replies, never asking; otherwise it ends at once.
void TstMainWindow::quitStopsAJog_data()
{
    QTest::addColumn<QString>("before");  // a panel button clicked, "held" the Speed key held, or a status field 4
    QTest::addColumn<bool>("answered");   // the drive answers the stops
    QTest::addColumn<QStringList>("sent");
    // The poll goes on until the program ends.
    QTest::newRow("nothing runs") << "" << true << QStringList();
    QTest::newRow("+JOG") << "CmdJOG(0)" << true << QStringList{"JOGOFF", "S"};
    QTest::newRow("jog already stopped") << "CmdJOG(2)" << true << QStringList();
    QTest::newRow("status shows -JOG") << "4" << true << QStringList{"JOGOFF", "IO"};
    QTest::newRow("high speed held") << "held" << true << QStringList{"JOGOFF", "HSOFF", "S"};
    QTest::newRow("drive silent") << "CmdJOG(1)" << false << QStringList{"JOGOFF", "S"};
}

void TstMainWindow::quitStopsAJog()
{
    QFETCH(QString, before);
    QFETCH(bool, answered);
    QFETCH(QStringList, sent);
    AppRig r;
    r.tick();
    reply(r.port, "S;0");
    if (before == u"held") QTest::mousePress(r.app->commComm->CmdON[6], Qt::LeftButton);
    else if (before.size() > 1) r.app->findChild<QPushButton *>(before)->click();
    // The button's request goes out and is answered; a poll is in flight.
    reply(r.port, qPrintable(QStringLiteral("S;0;0;0;0;") + (before.size() == 1 ? before : QStringLiteral("0"))));
    reply(r.port, "IO;0");
    const qsizetype start = r.port.written.size();
    MDItbl *app = r.app.get();
    r.port.onWrite = [&r, app, answered](const QByteArray &w) {
        const QByteArray keyword = w.mid(1, w.size() - 2);
        // The drive answers until the program has ended.
        if (answered && r.exits == 0) QTimer::singleShot(5, app, [&r, keyword] { reply(r.port, keyword.constData()); });
    };
    QTimer::singleShot(5, app, [&r] { reply(r.port, "S;0"); });
    r.app->titleBar->TimerDateTime.start();  // the time-out counts
    ModalAnswerer noQuestion;
    QElapsedTimer took;
    took.start();
    r.app->mnuFile1->trigger();
    QTRY_COMPARE(r.exits, 1);  // once the stops are answered, or at once
    QVERIFY(noQuestion.seen.isEmpty());
    QCOMPARE(requests(r.port).mid(start), sent);
    QVERIFY(took.elapsed() < (sent.isEmpty() ? 50 : answered ? 1000 : 2500));
}

void TstMainWindow::holdToJogIsKept()
{
    QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("orvex"), QStringLiteral("orvex")).clear();
    {
        AppRig r;
        QCOMPARE(r.app->menuBar()->actions().indexOf(r.app->mnuOptions->menuAction()),
                 r.app->menuBar()->actions().indexOf(r.app->mnuSystem->menuAction()) + 1);
        QVERIFY(!r.app->mnuHoldToJog->isChecked() && !r.app->commComm->holdToJog());
        r.app->mnuHoldToJog->trigger();
        QVERIFY(r.app->commComm->holdToJog());
    }
    AppRig again;
    QVERIFY(again.app->mnuHoldToJog->isChecked() && again.app->commComm->holdToJog());
    again.app->mnuHoldToJog->trigger();
}

void TstMainWindow::pollFollowsActiveWindowAndLostAlarmAsks()
{
    // The poll alternates "S" with the active window's request, the I/O
    // monitor's at first.
    AppRig r;
    r.tick();
    for (QWidget *child : std::initializer_list<QWidget *>{r.app->ioMon, r.app->mon2, r.app->commComm, r.app->alarm}) {
        r.activate(child);
        reply(r.port, "S;0");
        reply(r.port, "S;0");
    }
    QCOMPARE(requests(r.port), (QStringList{"S", "S", "IO", "S", "VV;FFFF0000;FFFF0000;", "S", "MON;0", "S", "ALM"}));
    // An "ALM" that is never answered asks; Cancel goes back to "S".
    ModalAnswerer answer(QMessageBox::Cancel);
    r.tick(16);
    QTRY_COMPARE(answer.told(), QStringList{"critical Error: It failed in the communication."});
    QCOMPARE(requests(r.port).last(), QStringLiteral("S"));
    // The alarm window's reply names the alarm on the strip.
    reply(r.port, "S;800000");
    reply(r.port, "ALM;40");
    r.tick();
    QCOMPARE(r.app->titleBar->LblAlarmName->text(), QStringLiteral("Over Current Alarm(06)"));
}

void TstMainWindow::messageLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("carriage return") << "a.ptt\rInvalid File" << "a.ptt\nInvalid File";
    QTest::newRow("both, once") << "a\r\nb" << "a\nb";
    QTest::newRow("line feed stays, blank line kept") << "a\n\r\rb" << "a\n\n\nb";
    QTest::newRow("at the ends") << "\ra b\r" << "\na b\n";
    QTest::newRow("nothing else changes") << "C:\\x <b>" << "C:\\x <b>";
}

void TstMainWindow::messageLines()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QCOMPARE(MessageLines(text), shown);
}

void TstMainWindow::portMessages_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("text");
    QTest::newRow("no such port") << int(OpenStatus::InvalidPort) << QStringLiteral("warning CommPort: COMM1\nポート番号が不正です");
    QTest::newRow("in use") << int(OpenStatus::InUse)
                            << QStringLiteral("warning CommPort: COMM1\nこのポートは既に使用されています。\n"
                                              "他のアプリケーションでポートを閉じてから\n設定し直して下さい。");
}

void TstMainWindow::portMessages()
{
    QFETCH(int, status);
    QFETCH(QString, text);
    AppRig r;
    r.port.nextOpen = {OpenStatus(status), QString()};
    ModalAnswerer answer;
    r.tick();
    QTRY_COMPARE(answer.told(), QStringList{text});
    // Then the port dialog (its own test drives it); nothing is opened meanwhile.
    QTRY_VERIFY(r.app->portInp->isVisible());
    r.tick(3);
    QCOMPARE(r.port.openCount, 1);
    r.app->portInp->reject();
    r.tick();
    QCOMPARE(r.port.openCount, 2);
}

void TstMainWindow::password_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("action");  // OK, Enter, Cancel or the close box
    QTest::addColumn<bool>("on");
    QTest::addColumn<bool>("message");
    QTest::newRow("right") << "KPZW" << "ok" << true << false;
    QTest::newRow("lower case") << "kpzw" << "ok" << false << true;
    QTest::newRow("blank behind") << "KPZW " << "enter" << false << true;
    QTest::newRow("Cancel") << "KPZW" << "cancel" << false << false;
    QTest::newRow("close box") << "KPZW" << "close" << false << false;
}

// The session outlives its window: the link polls on ("S" alone, no window
// being there to choose a request) and calls into no window that is gone.
void TstMainWindow::sessionOutlivesTheWindow()
{
    AppRig r;
    r.tick();  // "S" goes out, then "S" again, then the I/O monitor's "IO"
    reply(r.port, "S;0");
    reply(r.port, "S;0");
    QCOMPARE(requests(r.port).last(), QStringLiteral("IO"));
    r.app.reset();
    reply(r.port, "IO;0");  // its decoder went with the window
    reply(r.port, "S;80000000");
    const QStringList sent = requests(r.port);
    QCOMPARE(sent.mid(sent.size() - 2), (QStringList{"S", "S"}));
    QCOMPARE(r.session->link.state().StatusWord, 0x80000000u);
    r.session->parameters.setText(57, QStringLiteral("30"));  // no field to follow it now
}

// What one view or command writes into the session, the others show: no
// window reads another's controls.
void TstMainWindow::viewsShowTheirModels()
{
    AppRig r;
    Session &s = *r.session;
    // The model's text is the field's, both ways.
    s.parameters.setText(57, QStringLiteral("30"));
    QCOMPARE(r.app->prmWrit->TxtPrm[57]->text(), QStringLiteral("30"));
    r.app->tblWrit->TxtLocate[4]->setText(QStringLiteral("-7"));
    QCOMPARE(s.points.text(4, 1), QStringLiteral("-7"));
    // A capture takes the motor type's scale from the model.
    Q_EMIT r.app->hMon->captureTaken(Capture{});
    QCOMPARE(s.captures.items().last().motorTypeUnits, 661);
    // The drive's own words reach the strip and the panel.
    r.tick();
    reply(r.port, "S;0;3;14;12C;1");
    QCOMPARE(s.drive.motorModel(), QStringLiteral("RM2310"));
    QCOMPARE(r.app->titleBar->LblMSEL->text(), QStringLiteral("RM2310"));
    QCOMPARE(r.app->titleBar->LblROMV->text(), s.drive.romVersionText());
    QCOMPARE(r.app->commComm->LblPnt->text(), QStringLiteral("3"));
}

// "Import Data" pressed while a transfer runs: the parameter window says so,
// and the main window shows it in a box that does not wait.
void TstMainWindow::refusedTransferIsTold()
{
    AppRig r;
    r.tick();
    r.app->tblWrit->CmdRW[0]->click();  // the point table is read
    QVERIFY(!r.session->link.transferOwner().isEmpty());
    ModalAnswerer answer;
    r.app->prmWrit->CmdRW[0]->click();
    QTRY_COMPARE(answer.told(), QStringList{QStringLiteral("information Setting Parameters: A transfer with the drive "
                                                           "is already running.\nWait until it has finished, then try again.")});
}

void TstMainWindow::password()
{
    QFETCH(QString, typed);
    QFETCH(QString, action);
    QFETCH(bool, on);
    QFETCH(bool, message);
    AppRig r;
    PassWord *pw = r.app->passWord;
    QLineEdit *makerField = r.app->prmWrit->TxtPrm[45];
    makerField->setText(QStringLiteral("m45"));  // what the maker fields hold stays
    QVERIFY(r.app->frameOf(pw)->isHidden());
    r.app->mnuSystem1[1]->trigger();  // not ticked: shows the window
    QVERIFY(r.app->frameOf(pw)->isVisible());
    QTest::keyClicks(pw->TxtPassWord, typed);
    // One "*" for every character, whatever the style.
    for (const QString &style : QStyleFactory::keys()) {
        QApplication::setStyle(style);
        QCOMPARE(pw->TxtPassWord->displayText(), QString(typed.size(), u'*'));
    }
    ModalAnswerer answer;
    if (action == u"ok") pw->CmdOK->click();
    else if (action == u"enter") QTest::keyClick(pw->TxtPassWord, Qt::Key_Return);
    else if (action == u"cancel") pw->CmdCancel->click();
    else r.app->frameOf(pw)->close();
    QCOMPARE(r.app->makerMode(), on);
    QCOMPARE(answer.told(), message ? QStringList{"critical Error: Invalid Password"} : QStringList());
    QVERIFY(pw->TxtPassWord->text().isEmpty());
    QVERIFY(r.app->frameOf(pw)->isHidden());
    QCOMPARE(r.app->mnuSystem1[1]->isChecked(), on);
    QCOMPARE(makerField->isHidden(), !on);
    // Ticked: the item switches maker mode off without showing the window.
    if (on) r.app->mnuSystem1[1]->trigger();
    QVERIFY(!r.app->makerMode());
    QVERIFY(r.app->frameOf(pw)->isHidden());
    QVERIFY(makerField->isHidden() && r.app->prmWrit->LblMaxMin[45]->isHidden());
    QCOMPARE(makerField->text(), QStringLiteral("m45"));
}

void TstMainWindow::makerModeStatusRows()
{
    // The status display's dump row and raw values are the maker's: hidden at
    // start, shown with maker mode, hidden again without; the rest stays.
    AppRig r;
    const Mon2 *m = r.app->mon2;
    QList<QWidget *> maker{m->Label7, m->Label8, m->TxtAdr[0], m->TxtAdr[1], m->Label9, m->Label10, m->Label11,
                           m->LblDt[6], m->LblDt[7], m->LblDt[8]};
    for (int i = 0; i < 4; ++i) maker << m->LblDmp1[i] << m->LblDmp2[i];
    const QList<QWidget *> always{m->LblDt[5], m->LblDt[9], m->Label12, m->CmdTRST};
    for (int step = 0; step < 3; ++step) {
        if (step > 0) r.app->SetMakerMode(step == 1);
        for (QWidget *c : maker) QCOMPARE(c->isVisibleTo(m), step == 1);
        for (QWidget *c : always) QVERIFY(c->isVisibleTo(m));
    }
}

// The arranging items come first, the list of windows below them as ever;
// each leaves no window over another except the cascade, and "Arrange as at
// Start" gives back the start-up sizes.
void TstMainWindow::windowMenu_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QSize>("mainSize");
    QTest::addColumn<bool>("apart");
    QTest::newRow("tile, large") << "mnuTile" << QSize(1900, 1000) << true;
    QTest::newRow("tile, small") << "mnuTile" << QSize(1000, 700) << true;
    QTest::newRow("cascade") << "mnuCascade" << QSize(1900, 1000) << false;
    QTest::newRow("as at start, large") << "mnuArrangeAtStart" << QSize(1900, 1000) << true;
}

void TstMainWindow::windowMenu()
{
    QFETCH(QString, item);
    QFETCH(QSize, mainSize);
    QFETCH(bool, apart);
    AppRig r;
    QCOMPARE(menuTexts(r.app->mnuWindow),
             (QStringList{"&Tile", "&Cascade", "&Arrange as at Start", "-", "&1 Point Table", "&2 Graphical Monitor",
                          "&3 Command Communication", "&4 Status Display", "&5 Alarm Display",
                          "&6 Setting Parameters", "&7 I/O Monitor"}));
    QList<QSize> start;
    for (ChildFrame *f : sevenFrames(*r.app)) start << f->size();
    sevenFrames(*r.app)[6]->resize(start[6] + QSize(30, 30));
    r.app->resize(mainSize);
    r.app->findChild<QAction *>(item)->trigger();
    QCOMPARE(overlapping(*r.app).isEmpty(), apart);
    QList<QSize> now;
    for (ChildFrame *f : sevenFrames(*r.app)) now << f->size();
    QCOMPARE(now == start, item == u"mnuArrangeAtStart");
}

// Nothing moves under the pointer: a wrong password changes nothing on screen
// (the next click once landed on a panel button), and maker mode grows the
// status display in place and moves no other window.
void TstMainWindow::makerModeMovesNoWindow_data()
{
    QTest::addColumn<QSize>("mainSize");
    QTest::newRow("large") << QSize(1900, 1000);
    QTest::newRow("small, the area scrolls") << QSize(1000, 700);
}

void TstMainWindow::makerModeMovesNoWindow()
{
    QFETCH(QSize, mainSize);
    AppRig r;
    r.app->resize(mainSize);
    r.app->mnuArrangeAtStart->trigger();
    const auto places = [&r] {
        QList<QRect> out;
        for (ChildFrame *f : sevenFrames(*r.app)) out << f->geometry();
        return out;
    };
    const QList<QRect> start = places();
    ChildFrame *status = r.app->frameOf(r.app->mon2);
    const int statusIndex = sevenFrames(*r.app).indexOf(status);

    ModalAnswerer answer;
    r.app->mnuSystem1[1]->trigger();
    QTest::keyClicks(r.app->passWord->TxtPassWord, QStringLiteral("wrong"));
    r.app->passWord->CmdOK->click();
    QCOMPARE(answer.told(), QStringList{"critical Error: Invalid Password"});
    QCOMPARE(places(), start);

    for (bool on : {true, false, true, false}) {
        r.app->SetMakerMode(on);
        const QList<QRect> now = places();
        for (int i = 0; i < now.size(); ++i) {
            if (i != statusIndex) QCOMPARE(now[i], start[i]);
        }
        QCOMPARE(now[statusIndex].topLeft(), start[statusIndex].topLeft());
        if (on) QVERIFY(now[statusIndex].height() > start[statusIndex].height());
        else QCOMPARE(now[statusIndex], start[statusIndex]);
    }
}

// "Tile", "Cascade" and "Arrange as at Start" work while a window is maximised.
void TstMainWindow::arrangingWithAMaximisedWindow_data()
{
    QTest::addColumn<QString>("item");
    QTest::newRow("tile") << "mnuTile";
    QTest::newRow("cascade") << "mnuCascade";
    QTest::newRow("as at start") << "mnuArrangeAtStart";
}

void TstMainWindow::arrangingWithAMaximisedWindow()
{
    QFETCH(QString, item);
    AppRig r;
    r.app->resize(1900, 1000);
    r.app->mnuArrangeAtStart->trigger();
    QList<QRect> start;
    for (ChildFrame *f : sevenFrames(*r.app)) start << f->geometry();
    r.app->frameOf(r.app->prmWrit)->showMaximized();
    r.app->findChild<QAction *>(item)->trigger();
    for (ChildFrame *f : sevenFrames(*r.app)) QVERIFY(!f->isMaximized());
    QList<QRect> now;
    for (ChildFrame *f : sevenFrames(*r.app)) now << f->geometry();
    if (item != u"mnuCascade") QCOMPARE(now, start);
    else QVERIFY(now != start);
}

// A window made later opens inside the part of the area in view, or from its
// top-left corner where even its smallest size is larger.
void TstMainWindow::newWindowOpensInside_data()
{
    QTest::addColumn<QSize>("mainSize");
    QTest::newRow("1920x1080") << QSize(1920, 1040);
    QTest::newRow("1024x768") << QSize(1024, 740);
}

void TstMainWindow::newWindowOpensInside()
{
    QFETCH(QSize, mainSize);
    AppRig r;
    r.app->resize(mainSize);
    r.app->mnuArrangeAtStart->trigger();
    r.app->findChild<QAction *>(QStringLiteral("mnuTrendRecorder"))->trigger();
    QMdiSubWindow *trend = r.app->mdiArea->activeSubWindow();
    QVERIFY(trend && trend->objectName() == u"TrendRecorderFrame");
    const QRect view = r.app->mdiArea->viewport()->rect();
    const QRect g = trend->geometry();
    if (g.width() > view.width()) QCOMPARE(g.x(), 0);
    if (g.height() > view.height()) QCOMPARE(g.y(), 0);
    QVERIFY2(view.contains(g.topLeft()) && (g.width() > view.width() || g.right() <= view.right()) &&
                 (g.height() > view.height() || g.bottom() <= view.bottom()), qPrintable(QStringLiteral("%1,%2 %3x%4 in %5x%6")
                                                             .arg(trend->x()).arg(trend->y())
                                                             .arg(trend->width()).arg(trend->height())
                                                             .arg(view.width()).arg(view.height())));
}

// On a window area smaller than the windows, the window chosen from the list
// is scrolled into view, its top-left corner first when it is larger.
void TstMainWindow::chosenWindowComesIntoView_data()
{
    QTest::addColumn<int>("entry");  // in the list of windows
    QTest::addColumn<QSize>("mainSize");
    QTest::newRow("point table, small") << 1 << QSize(640, 480);
    QTest::newRow("I/O monitor, small") << 7 << QSize(640, 480);
    QTest::newRow("parameters, wide and low") << 6 << QSize(1900, 400);
    QTest::newRow("panel after the point table") << -3 << QSize(640, 480);
}

void TstMainWindow::chosenWindowComesIntoView()
{
    QFETCH(int, entry);
    QFETCH(QSize, mainSize);
    AppRig r;
    r.app->resize(mainSize);
    r.app->mnuTile->trigger();
    emit r.app->mnuWindow->aboutToShow();
    QList<QAction *> list = r.app->mnuWindow->actions().mid(4);
    if (entry < 0) {
        list[0]->trigger();  // scrolled away first
        emit r.app->mnuWindow->aboutToShow();
        list = r.app->mnuWindow->actions().mid(4);
    }
    const int index = std::abs(entry) - 1;
    list[index]->trigger();
    QMdiSubWindow *sub = r.app->mdiArea->subWindowList(QMdiArea::CreationOrder)[index];
    QCOMPARE(r.app->mdiArea->activeSubWindow(), sub);
    const QRect view = r.app->mdiArea->viewport()->rect();
    const QRect g = sub->geometry();
    QVERIFY2(view.contains(g.topLeft()), qPrintable(QStringLiteral("%1,%2").arg(g.x()).arg(g.y())));
    if (g.width() <= view.width()) QVERIFY(g.right() <= view.right());
    if (g.height() <= view.height()) QVERIFY(g.bottom() <= view.bottom());
}

void TstMainWindow::layoutKeptBetweenRuns_data()
{
    QTest::addColumn<QPoint>("mainAt");  // where the main window was left
    QTest::addColumn<bool>("mainUsed");
    QTest::newRow("on the screen") << QPoint(30, 40) << true;
    QTest::newRow("on a screen that is gone") << QPoint(9000, 40) << false;
}

void TstMainWindow::layoutKeptBetweenRuns()
{
    QFETCH(QPoint, mainAt);
    QFETCH(bool, mainUsed);
    settings().clear();
    const QRect statusAt(500, 420, 333, 222);
    {
        AppRig r;
        QVERIFY(!r.app->restoreLayout());
        r.app->frameOf(r.app->mon2)->setGeometry(statusAt);
        r.app->setGeometry(QRect(mainAt, QSize(700, 500)));
        r.app->mnuFile1->trigger();
    }
    AppRig again;
    QCOMPARE(again.app->restoreLayout(), mainUsed);
    QCOMPARE(again.app->frameOf(again.app->mon2)->geometry(), statusAt);
    if (mainUsed) QCOMPARE(again.app->geometry(), QRect(mainAt, QSize(700, 500)));
    settings().clear();
}

// A session kept on a 1920x1080 screen, restored on a smaller one: the main
// window is maximised rather than reaching off the screen, and every child
// window's title bar is brought inside the area.
void TstMainWindow::layoutFromALargerScreen()
{
    settings().clear();
    QSettings s = settings();
    s.setValue(QStringLiteral("layout/main"), QRect(36, 60, 1848, 912));
    s.setValue(QStringLiteral("layout/maximized"), false);
    s.setValue(QStringLiteral("layout/Mon2Frame"), QRect(1500, 800, 333, 222));
    s.setValue(QStringLiteral("layout/IOMonFrame"), QRect(-900, -300, 300, 200));
    s.sync();
    AppRig r;
    r.app->hide();
    QVERIFY(r.app->restoreLayout());
    QVERIFY(r.app->restoredMaximized());
    r.app->showMaximized();
    QTRY_VERIFY(r.app->isMaximized());
    const QRect screen = r.app->screen()->availableGeometry();
    QVERIFY2(screen.contains(r.app->geometry()), qPrintable(QStringLiteral("%1x%2").arg(r.app->width()).arg(r.app->height())));
    const QRect view = r.app->mdiArea->viewport()->rect();
    QCoreApplication::processEvents();
    for (QWidget *child : {static_cast<QWidget *>(r.app->mon2), static_cast<QWidget *>(r.app->ioMon)}) {
        const QRect g = r.app->frameOf(child)->geometry();
        QVERIFY2(view.contains(QRect(g.topLeft(), QSize(qMin(view.width(), g.width()), 24))),
                 qPrintable(QStringLiteral("%1 at %2,%3 in %4x%5").arg(child->objectName()).arg(g.x()).arg(g.y())
                                .arg(view.width()).arg(view.height())));
    }
    settings().clear();
}

// Labels whose text changes are read by assistive tools with their text (a
// fixed accessible name hid the message; Qt announces a label's new text only
// while its accessible name is empty), their role kept as the description.
void TstMainWindow::changingTextsReachAssistiveTools()
{
    AppRig r;
    PortInp dialog(r.session->link, {});
    const QList<QLabel *> labels{r.app->transferStatus, r.app->titleBar->LblNoReply, r.app->titleBar->LblAlarmName,
                                 r.app->titleBar->LblPort, dialog.LblAccess};
    for (QLabel *label : labels) {
        const QString text = QStringLiteral("Written and verified: 40 parameters (%1)").arg(label->objectName());
        label->setText(text);
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(label);
        QVERIFY(a);
        QCOMPARE(a->text(QAccessible::Name), text);
        QVERIFY2(!a->text(QAccessible::Description).isEmpty(), qPrintable(label->objectName()));
        QVERIFY2(label->accessibleName().isEmpty(), qPrintable(label->objectName()));
    }
}

// No label anywhere hides its text behind a fixed accessible name: the name
// is empty (the text is read) or holds the text's words (a marker that is one
// glyph, as the scope's "V", is named for what it marks). The tools' windows
// are opened first.
void TstMainWindow::noLabelHidesItsText()
{
    AppRig r;
    for (const char *item : {"mnuTrendRecorder", "mnuWaveAnalysis", "mnuAlarmLog"})
        r.app->findChild<QAction *>(QLatin1String(item))->trigger();
    const auto words = [](const QString &s) {
        QString out;
        for (QChar c : s)
            if (c.isLetterOrNumber()) out += c;
        return out;
    };
    QStringList hidden;
    for (QWidget *top : QApplication::topLevelWidgets())
        for (QLabel *label : top->findChildren<QLabel *>()) {
            const QString name = words(label->accessibleName()), text = words(label->text());
            if (!name.isEmpty() && text.size() > 1 && !name.contains(text))
                hidden << label->objectName() + QStringLiteral(": ") + label->accessibleName();
        }
    QVERIFY2(hidden.isEmpty(), qPrintable(hidden.join(QStringLiteral("; "))));
}

// Every item of the menus this program adds can be reached from the keyboard:
// each has a mnemonic, none shared within its menu.
void TstMainWindow::addedMenusHaveMnemonics()
{
    AppRig r;
    emit r.app->mnuWindow->aboutToShow();
    const QList<QList<QAction *>> menus{r.app->mnuTools->actions(), r.app->mnuOptions->actions(),
                                        {r.app->mnuTile, r.app->mnuCascade, r.app->mnuArrangeAtStart}};
    for (const QList<QAction *> &items : menus) {
        QSet<QChar> keys;
        for (QAction *a : items) {
            if (a->isSeparator()) continue;
            const qsizetype at = a->text().indexOf(u'&');
            QVERIFY2(at >= 0 && at + 1 < a->text().size(), qPrintable(a->text()));
            const QChar key = a->text().at(at + 1).toLower();
            QVERIFY2(!keys.contains(key), qPrintable(a->text()));
            keys.insert(key);
        }
    }
}

QTEST_MAIN(TstMainWindow)
#include "tst_mainwindow.moc"
