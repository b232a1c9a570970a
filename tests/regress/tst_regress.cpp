// Faults found by the fuzz targets, the fault soak and reviews, each with the
// input that showed it.

#include "mainwindowrig.h"
#include "common/childwindow.h"
#include "fulldisk.h"
#include "app/mditbl.h"
#include "drive/numtext.h"
#include "drive/params/entrychecks.h"
#include "drive/params/paramtext.h"
#include "drive/link/memoryport.h"
#include "app/titlebar.h"
#include "monitor/commcomm.h"
#include "params/prm_writ.h"
#include "points/tbl_writ.h"
#include "wave/hmon.h"
#include "drive/driveinfo.h"
#include "drive/session.h"
#include "testservices.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMdiArea>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <limits>

class TstRegress : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void displayFormOfExtremes_data();
    void displayFormOfExtremes();
    void checkedEntryStaysInRange_data();
    void checkedEntryStaysInRange();
    void closingPanelWithSpeedHeld();
    void failedSaveIsTold_data();
    void failedSaveIsTold();
    void contextMenuLeavesNoField_data();
    void contextMenuLeavesNoField();
};

void TstRegress::displayFormOfExtremes_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("shown");
    constexpr double inf = std::numeric_limits<double>::infinity();
    constexpr double max = std::numeric_limits<double>::max();
    // An infinity used to end the program (no exponent to read in "inf").
    QTest::newRow("plus infinity") << inf << " 1.79769313486232E+308";
    QTest::newRow("minus infinity") << -inf << "-1.79769313486232E+308";
    QTest::newRow("largest") << max << " 1.79769313486232E+308";
    QTest::newRow("smallest subnormal") << std::numeric_limits<double>::denorm_min() << " 4.94065645841247E-324";
    QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << " 0";
}

void TstRegress::displayFormOfExtremes()
{
    QFETCH(double, value);
    QFETCH(QString, shown);
    QCOMPARE(StrText(value), shown);
    // What is shown reads back as a finite number.
    QVERIFY(std::isfinite(ValText(shown)));
}

void TstRegress::checkedEntryStaysInRange_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("range");
    QTest::addColumn<QString>("shown");
    // Just below a half, shown as the half, which then rounded beyond the
    // maximum: the field sent 2 for a range of 0/1.
    QTest::newRow("below a half at the maximum") << "1.4999999999999998" << "0/1" << " 1";
    QTest::newRow("below a half at the minimum") << "-1.4999999999999998" << "-1/5" << "-1";
    QTest::newRow("below a half inside") << "2.4999999999999996" << "0/9" << " 2.5";
    QTest::newRow("plain half at the maximum") << "1.5" << "0/1" << " 1";
    QTest::newRow("clearly below a half") << "1.49" << "0/1" << " 1.49";
}

void TstRegress::checkedEntryStaysInRange()
{
    QFETCH(QString, typed);
    QFETCH(QString, range);
    QFETCH(QString, shown);
    const QString checked = CheckRangeDec(typed, range);
    QCOMPARE(checked, shown);
    // A second check leaves it, and what goes to the drive lies within the range.
    QCOMPARE(CheckRangeDec(checked, range), checked);
    const qint32 sent = FieldValue(checked, false);
    const QStringList limits = range.split(u'/');
    QVERIFY(sent >= limits[0].toInt() && sent <= limits[1].toInt());
}

void TstRegress::closingPanelWithSpeedHeld()
{
    PortSettings settings;
    MemoryPort port;
    DriveLink link(settings, port);
    DriveInfo drive;
    auto *panel = new CommComm(link, drive);
    panel->show();
    panel->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(panel));
    auto *point = panel->findChild<QLineEdit *>(QStringLiteral("TxtPNT"));
    QVERIFY(point);
    point->setFocus();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_F9, Qt::NoModifier);
    QApplication::sendEvent(point, &press);
    QCOMPARE(link.state().PendingCmd, QByteArray("\x02HSON\x04"));
    // Closing the window hands the focus on as its controls go; the panel,
    // half destroyed by then, used to be told and to release high speed
    // through controls that no longer existed.
    delete panel;
    QCOMPARE(link.state().PendingCmd, QByteArray("\x02HSON\x04"));
}

void TstRegress::failedSaveIsTold_data()
{
    QTest::addColumn<int>("window");
    QTest::addColumn<QString>("name");
    QTest::newRow("parameters") << 0 << "in/missing/folder.pxt";
    QTest::newRow("point table") << 1 << "in/missing/folder.ptt";
    // The waveform window used to say nothing, as if the file had been kept.
    QTest::newRow("waveform") << 2 << "in/missing/folder.wvt";
    QTest::newRow("waveform onto a folder") << 2 << "taken.wvt";
    // The current directory followed the name chosen, and the next dialog
    // opened in /proc.
    QTest::newRow("parameters into /proc") << 0 << "/proc/kept.pxt";
    QTest::newRow("point table into /proc") << 1 << "/proc/kept.ptt";
    QTest::newRow("waveform into /proc") << 2 << "/proc/kept.wvt";
    // On a full disk the save was reported as done and the good file left empty.
    QTest::newRow("parameters over a good file, disk full") << 0 << "FULL/good.pxt";
    QTest::newRow("point table over a good file, disk full") << 1 << "FULL/good.ptt";
    QTest::newRow("waveform over a good file, disk full") << 2 << "FULL/good.wvt";
}

void TstRegress::failedSaveIsTold()
{
    QFETCH(int, window);
    QFETCH(QString, name);
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    FullDisk disk;
    const QByteArray goodBytes("the good file");
    if (name.startsWith(u"FULL/")) {
        name = disk.path(name.mid(5));
        QFile f(name);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(goodBytes) == goodBytes.size());
        f.close();
        disk.fill();
    }
    MemoryPort port;
    TestFileChooser files;
    Session session(port);
    MDItbl app(session, files);
    app.titleBar->TimerDateTime.stop();
    QDir(dir.path()).mkdir(QStringLiteral("taken.wvt"));
    QDir(dir.path()).mkdir(QStringLiteral("kept"));
    const QString good = dir.filePath(QStringLiteral("kept/good"));
    files.answers << QDir(dir.path()).filePath(name) << good;
    QPushButton *save[] = {app.prmWrit->CmdFile[1], app.tblWrit->CmdFile[1], app.hMon->CmdFile[1]};

    QStringList told;
    QTimer reader;
    connect(&reader, &QTimer::timeout, this, [&told] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()); box && box->isVisible()) {
            told << box->objectName();
            box->done(QMessageBox::Ok);
        }
    });
    reader.start(5);
    save[window]->click();
    disk.empty();
    QCOMPARE(told, QStringList{QStringLiteral("SaveFailedMessage")});
    if (name.startsWith(disk.path(QString()))) {
        QFile f(name);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), goodBytes);
    }
    // Only a file written moves the current directory, where the port file goes.
    QCOMPARE(QDir::currentPath(), QDir(dir.path()).absolutePath());
    save[window]->click();
    QCOMPARE(told.size(), 1);
    QCOMPARE(QDir::currentPath(), QFileInfo(good).absolutePath());
}

void TstRegress::contextMenuLeavesNoField_data()
{
    QTest::addColumn<int>("window");  // 0 parameters, 1 point table
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("checked");
    // The point table checked its field as the menu opened.
    QTest::newRow("parameter 02") << 0 << "5" << " 10";
    QTest::newRow("speed of point 0") << 1 << "3000" << " 2500";
}

void TstRegress::contextMenuLeavesNoField()
{
    QFETCH(int, window);
    QFETCH(QString, typed);
    QFETCH(QString, checked);
    MainWindowRig rig;
    MDItbl &app = *rig.app;
    app.show();
    QApplication::setActiveWindow(&app);
    QVERIFY(QTest::qWaitForWindowActive(&app));
    QWidget *windows[] = {app.prmWrit, app.tblWrit};
    QLineEdit *fields[][2] = {{app.prmWrit->TxtPrm[2], app.prmWrit->TxtPrm[3]},
                              {app.tblWrit->TxtSpd[0], app.tblWrit->TxtSpd[1]}};
    QLineEdit *field = fields[window][0];
    app.mdiArea->setActiveSubWindow(app.frameOf(windows[window]));
    field->setFocus(Qt::MouseFocusReason);
    QVERIFY(field->hasFocus());
    field->setText(typed);
    // A right click opens the field's menu, which takes the focus a while.
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(2, 2), field->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(field, &rightClick);
    QWidget *menu = QApplication::activePopupWidget();
    QVERIFY(menu);
    QCOMPARE(field->text(), typed);
    menu->close();
    QVERIFY(field->hasFocus());
    QCOMPARE(field->text(), typed);
    // Leaving the field for the next one checks it.
    fields[window][1]->setFocus(Qt::MouseFocusReason);
    QCOMPARE(field->text(), checked);
}

QTEST_MAIN(TstRegress)
#include "tst_regress.moc"
