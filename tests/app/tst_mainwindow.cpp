#include "app/childwindow.h"
#include "app/mditbl.h"
#include "app/password.h"
#include "app/version.h"
#include "link/titlebar.h"
#include "linktestutil.h"
#include "monitor/alarm.h"
#include "params/prm_writ.h"
#include "points/tbl_writ.h"
#include "uitestutil.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

// The main window on an in-memory port, in a fresh current directory, with
// the tick driven by the test.
struct AppRig {
    QTemporaryDir dir;
    MemoryPort port;
    std::unique_ptr<MDItbl> app;
    int questions = 0;
    AppRig()
    {
        QDir::setCurrent(dir.path());
        app = std::make_unique<MDItbl>(port);
        app->titleBar->TimerDateTime.stop();
        app->link.askRetry = [this] {
            ++questions;
            return false;
        };
        app->show();
    }
    void tick(int n = 1)
    {
        for (int i = 0; i < n; ++i) app->titleBar->TimerDateTime_Timer();
    }
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
    void startUp();
    void menus();
    void closingChildMinimisesIt();
    void pollFollowsActiveWindow();
    void lostAlarmReplyAsks();
    void passwordMenuTogglesMakerMode();
    void password_data();
    void password();
    void passwordCloseBoxCancels();
    void aboutBox();
};

void TstMainWindow::startUp()
{
    AppRig r;
    QCOMPARE(r.titles(), (QStringList{"Point Table", "Graphical Monitor", "Command Communication", "Status Display",
                                      "Alarm Display", "Setting Parameters", "I/O Monitor"}));
    QCOMPARE(r.app->wave.TrigPos, qint16(15));
    QCOMPARE(r.app->activeTag(), QStringLiteral("1"));
    QCOMPARE(r.app->windowTitle(), QStringLiteral("ORVEX"));
    QVERIFY(r.port.written.isEmpty());  // nothing is sent before the first tick
    const QStringList tags = [&] {
        QStringList t;
        for (QMdiSubWindow *w : r.app->mdiArea->subWindowList(QMdiArea::CreationOrder))
            t << static_cast<ChildWindow *>(w->widget())->tag();
        return t;
    }();
    QCOMPARE(tags, (QStringList{"", "3", "4", "2", "0", "", "1", ""}));
}

void TstMainWindow::menus()
{
    AppRig r;
    QStringList top;
    for (QAction *a : r.app->menuBar()->actions()) top << a->text();
    QCOMPARE(top, (QStringList{"File(&F)", "Window(&W)", "System(&S)"}));
    QCOMPARE(r.app->mnuFile1->text(), QStringLiteral("Quit(&Q)"));
    QStringList system;
    for (QAction *a : r.app->mnuSystem1) system << a->text();
    QCOMPARE(system, (QStringList{"Commport Select", "PassWord(&P)", "About(&A)"}));
    QVERIFY(!r.app->mnuSystem1[1]->isChecked());
}

void TstMainWindow::closingChildMinimisesIt()
{
    AppRig r;
    ChildFrame *frame = r.app->frameOf(r.app->tblWrit);
    frame->close();
    QVERIFY(frame->isMinimized());
    QVERIFY(r.titles().contains(QStringLiteral("Point Table")));
    // The window list brings it back.
    Q_EMIT r.app->mnuWindow->aboutToShow();
    QAction *entry = nullptr;
    for (QAction *a : r.app->mnuWindow->actions())
        if (a->text().endsWith(QStringLiteral("Point Table"))) entry = a;
    QVERIFY(entry);
    entry->trigger();
    QVERIFY(!frame->isMinimized());
    QCOMPARE(r.app->mdiArea->currentSubWindow(), frame);
}

void TstMainWindow::pollFollowsActiveWindow()
{
    AppRig r;
    r.tick();
    for (int i = 0; i < 4; ++i) reply(r.port, "S;0");
    r.app->mdiArea->setActiveSubWindow(r.app->frameOf(r.app->alarm));
    reply(r.port, "S;0");
    reply(r.port, "S;0");
    r.app->mdiArea->setActiveSubWindow(r.app->frameOf(r.app->prmWrit));
    reply(r.port, "S;0");
    reply(r.port, "S;0");
    QCOMPARE(requests(r.port), (QStringList{"S", "S", "IO", "S", "IO", "S", "ALM", "S", "S"}));
}

void TstMainWindow::lostAlarmReplyAsks()
{
    AppRig r;
    r.app->mdiArea->setActiveSubWindow(r.app->frameOf(r.app->alarm));
    r.tick();
    reply(r.port, "S;0");
    reply(r.port, "S;0");  // ALM goes out and is never answered
    r.tick(16);
    QCOMPARE(r.questions, 1);
    QCOMPARE(requests(r.port).last(), QStringLiteral("S"));
}

void TstMainWindow::passwordMenuTogglesMakerMode()
{
    AppRig r;
    ChildFrame *pw = r.app->frameOf(r.app->passWord);
    QVERIFY(pw->isHidden());
    r.app->mnuSystem1[1]->trigger();
    QVERIFY(pw->isVisible());
    QVERIFY(!r.app->makerMode());
    r.app->SetMakerMode(true);
    pw->hide();
    QVERIFY(r.app->mnuSystem1[1]->isChecked());
    // Ticked: the item switches maker mode off without showing the window.
    r.app->mnuSystem1[1]->trigger();
    QVERIFY(!r.app->makerMode());
    QVERIFY(pw->isHidden());
    r.app->mnuSystem1[1]->trigger();
    QVERIFY(pw->isVisible());
}

void TstMainWindow::password_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("enter");
    QTest::addColumn<bool>("on");
    QTest::newRow("right") << "KPZW" << false << true;
    QTest::newRow("right by Enter") << "KPZW" << true << true;
    QTest::newRow("lower case") << "kpzw" << false << false;
    QTest::newRow("empty") << "" << false << false;
    QTest::newRow("blank behind") << "KPZW " << true << false;
}

void TstMainWindow::password()
{
    QFETCH(QString, typed);
    QFETCH(bool, enter);
    QFETCH(bool, on);
    AppRig r;
    r.app->mnuSystem1[1]->trigger();
    PassWord *pw = r.app->passWord;
    QCOMPARE(pw->TxtPassWord->echoMode(), QLineEdit::Password);
    pw->TxtPassWord->setText(typed);
    ModalAnswerer answer;
    if (enter) QTest::keyClick(pw->TxtPassWord, Qt::Key_Return);
    else pw->CmdOK->click();
    QCOMPARE(r.app->makerMode(), on);
    QCOMPARE(answer.seen.size(), on ? 0 : 1);
    if (!on) {
        QCOMPARE(answer.seen[0].text, QStringLiteral("Invalid Password"));
        QCOMPARE(answer.seen[0].title, QStringLiteral("Error"));
        QCOMPARE(answer.seen[0].icon, QMessageBox::Critical);
    }
    QVERIFY(pw->TxtPassWord->text().isEmpty());
    QVERIFY(r.app->frameOf(pw)->isHidden());
}

void TstMainWindow::passwordCloseBoxCancels()
{
    AppRig r;
    r.app->mnuSystem1[1]->trigger();
    r.app->passWord->TxtPassWord->setText(QStringLiteral("KPZW"));
    r.app->frameOf(r.app->passWord)->close();
    QVERIFY(r.app->frameOf(r.app->passWord)->isHidden());
    QVERIFY(!r.app->makerMode());
    QVERIFY(r.app->passWord->TxtPassWord->text().isEmpty());
}

void TstMainWindow::aboutBox()
{
    const QString expected = QLocale::system().toString(1.21, 'f', 2) + QStringLiteral("E");
    QCOMPARE(VersionText(), expected);
    for (int i = 0; i < 2; ++i) {
        Version about;
        QCOMPARE(about.windowTitle(), QStringLiteral("About"));
        QCOMPARE(about.LblVer->text(), expected);
        QCOMPARE(about.Label8->text(), QStringLiteral("PC Apprication Softwear"));
        QCOMPARE(about.Label7->text(), QStringLiteral("for Tavix-DRIVE"));
        QCOMPARE(about.Label1->text(), QStringLiteral("ORVEX"));
        QCOMPARE(about.Image1->pixmap().size(), QSize(118, 36));
    }
}

QTEST_MAIN(TstMainWindow)
#include "tst_mainwindow.moc"
