// The point table window driven as a user drives it: the grid, its keys and
// scrolling, the transfer through the in-memory port, and the file.

#include "common/childwindow.h"
#include "common/twips.h"
#include "linktestutil.h"
#include "drive/backups.h"
#include "drive/points/pointfile.h"
#include "points/tbl_writ.h"
#include "drive/points/pointmodel.h"
#include "testservices.h"
#include "uitestutil.h"

#include <QSignalSpy>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QMdiArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

const QStringList Initial{"0", "0", "1", "1"};

// The window in a frame of its own inside an MDI area, on a link over the
// in-memory port; the test drives the layout timer and answers the file
// dialog (a name in the temporary folder).
struct TblRig : LinkRig {
    QTemporaryDir dir;
    PointModel points;
    TestFileChooser files;
    QMdiArea area;
    ChildFrame *frame = new ChildFrame;
    Tbl_Writ *w;

    TblRig()
    {
        QDir::setCurrent(dir.path());
        w = new Tbl_Writ(link, points, files);
        w->TimerTblMain.stop();
        frame->setWidget(w);
        area.addSubWindow(frame);
        area.resize(1300, 1000);
        frame->setGeometry(QRect(QPoint(0, 0), Tbl_Writ::loadSize()));
        area.show();
        QApplication::setActiveWindow(&area);
        w->TimerTblMain_Timer();
        link.OpenPort();  // "S" is in flight
        port.written.clear();
    }
    QString text(int row, int column) const { return w->field(row, column)->text(); }
    QStringList row(int r) const { return {text(r, 0), text(r, 1), text(r, 2), text(r, 3)}; }
    bool rw(int i) const { return w->CmdRW[i]->isEnabled(); }
    // Every point read as abs 0, travel 100 * p, speed p, time 2 * p.
    void importAll()
    {
        QTest::mouseClick(w->CmdRW[0], Qt::LeftButton);
        reply(port, "S;0");
        auto hex = [](int v) { return QString::number(v, 16).toUpper(); };
        for (int p = 0; p < PointCount; ++p)
            reply(port, QStringLiteral("TBLR;0;%1;%2;%3").arg(hex(100 * p), hex(p), hex(2 * p)).toLatin1());
        port.written.clear();
    }
};

class TstTblWrit : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void controlsAndScrolling();
    void keys_data();
    void keys();
    void import();
    void exportReadsGridAtEachStep();
    void transferEndsAndRestarts_data();
    void transferEndsAndRestarts();
    void halfWrittenExport();
    void saveAndOpen();
};

void TstTblWrit::controlsAndScrolling()
{
    TblRig r;
    const QStringList headers{"abs/inc", "Travel", "Speed", "Acc/Dec"};
    for (int c = 0; c < PointColumns; ++c) {
        for (int row = 0; row < PointCount; ++row) {
            QCOMPARE(r.text(row, c), Initial[c]);
            QCOMPARE(r.w->field(row, c)->accessibleName(), QStringLiteral("POINT%1 %2").arg(row).arg(headers[c]));
        }
    }
    QCOMPARE(r.frame->size(), Twips::size(6090, 4935));
    QVERIFY(r.rw(0) && !r.rw(1) && !r.w->CmdFlash->isEnabled());

    // The viewport follows the frame's height.
    const int viewport = 4935 - 1200 - 495;
    QCOMPARE(r.w->PictWin->height(), Twips::px(viewport));
    QCOMPARE(r.w->VScrlPict->pageStep(), viewport - 360);

    // Focus on row 20 scrolls it to the viewport's bottom; focus on row 0
    // brings the top back. Where a row lands is the scrolling rule's test.
    r.w->TxtSpd[20]->setFocus(Qt::MouseFocusReason);
    QCOMPARE(r.w->VScrlPict->value(), 360 * 22 - viewport);
    QCOMPARE(r.w->PictScrl->y(), -Twips::px(r.w->VScrlPict->value()));
    r.w->TxtSpd[0]->setFocus(Qt::MouseFocusReason);
    QCOMPARE(r.w->PictScrl->y(), 0);
    // Held to its minimum in the normal state.
    r.frame->resize(200, 100);
    r.w->TimerTblMain_Timer();
    QCOMPARE(r.frame->size(), Twips::size(6090, 3135));
}

void TstTblWrit::keys_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("from");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("to");
    QTest::addColumn<QString>("shown");
    QTest::newRow("down") << 1 << 0 << "2500000" << int(Qt::Key_Down) << 1 << " 2000000";
    QTest::newRow("up wraps") << 1 << 0 << "-12" << int(Qt::Key_Up) << 31 << "-12";
    QTest::newRow("right stays, unchecked") << 2 << 4 << "3000" << int(Qt::Key_Right) << 4 << "3000";
}

void TstTblWrit::keys()
{
    QFETCH(int, column);
    QFETCH(int, from);
    QFETCH(QString, typed);
    QFETCH(int, key);
    QFETCH(int, to);
    QFETCH(QString, shown);
    TblRig r;
    QLineEdit *start = r.w->field(from, column);
    start->setFocus(Qt::MouseFocusReason);
    start->selectAll();
    QTest::keyClick(start, Qt::Key_Backspace);
    QTest::keyClicks(start, typed);
    QTest::keyClick(start, Qt::Key(key));
    QVERIFY(r.w->field(to, column)->hasFocus());
    QCOMPARE(start->text(), shown);
    QCOMPARE(r.row(20), Initial);
}

void TstTblWrit::import()
{
    TblRig r;
    QTest::mouseClick(r.w->CmdRW[0], Qt::LeftButton);
    QVERIFY(!r.rw(0));
    QVERIFY(r.port.written.isEmpty());  // waits for the reply in flight
    reply(r.port, "S;0");
    for (int p = 0; p < PointCount; ++p) {
        QCOMPARE(requests(r.port).last(), QStringLiteral("TBLR;%1").arg(QString::number(p, 16).toUpper()));
        if (p == 1) replyByChar(r.port, "TBLR;1;FFFE1C18;0;0");
        else if (p == 2) reply(r.port, "TBLR;0;FFFF;64;1F4");
        else reply(r.port, "TBLR;0;3;1;1");
        if (p < PointCount - 1) QCOMPARE(r.row(1), Initial);  // the grid waits for the last point
    }
    QCOMPARE(requests(r.port).size(), 33);
    QCOMPARE(requests(r.port).last(), QStringLiteral("S"));  // polling resumes
    QCOMPARE(r.row(1), (QStringList{" 1", "-123880", "----", "----"}));
    QCOMPARE(r.row(2), (QStringList{" 0", "-1", " 100", " 500"}));
    QCOMPARE(r.points.data()[4 * 1 + 1], -123880);
    QVERIFY(r.rw(0) && r.rw(1) && r.w->CmdFlash->isEnabled());
    QCOMPARE(r.link.state().ReadDoneFlags, quint8(1));
    QCOMPARE(r.link.state().XferIndex, quint8(0));
    QVERIFY(r.link.transferOwner().isEmpty());
}

void TstTblWrit::exportReadsGridAtEachStep()
{
    TblRig r;
    r.importAll();
    QTest::mouseClick(r.w->CmdRW[1], Qt::LeftButton);
    QVERIFY(!r.rw(0) && !r.rw(1));
    reply(r.port, "S;0");
    for (int p = 0; p < PointCount; ++p) {
        if (p == 3) r.w->TxtKGJit[5]->setText(QStringLiteral("77"));  // edited while the export runs
        reply(r.port, "TBLW");
    }
    const QStringList sent = requests(r.port);
    QCOMPARE(sent.size(), 33);
    QCOMPARE(sent[5], QStringLiteral("TBLW;5;0;1F4;5;4D;"));
    QCOMPARE(sent[31], QStringLiteral("TBLW;1F;0;C1C;1F;3E;"));
    QCOMPARE(sent[32], QStringLiteral("FLASH"));
    QVERIFY(r.rw(0) && r.rw(1));
    QVERIFY(r.link.transferOwner().isEmpty());
    reply(r.port, "FLASH");
    QCOMPARE(requests(r.port).last(), QStringLiteral("S"));
}

void TstTblWrit::transferEndsAndRestarts_data()
{
    QTest::addColumn<bool>("readBefore");
    QTest::addColumn<int>("button");
    QTest::newRow("ERR during first import") << false << 0;
    QTest::newRow("ERR during export") << true << 1;
}

void TstTblWrit::transferEndsAndRestarts()
{
    QFETCH(bool, readBefore);
    QFETCH(int, button);
    TblRig r;
    if (readBefore) r.importAll();
    const QStringList rowBefore = r.row(3);
    QTest::mouseClick(r.w->CmdRW[button], Qt::LeftButton);
    reply(r.port, "S;0");
    const char *step = button == 0 ? "TBLR;1;2;3;4" : "TBLW";
    for (int p = 0; p < 5; ++p) reply(r.port, step);
    r.port.written.clear();
    reply(r.port, "ERR;3");
    QCOMPARE(requests(r.port), QStringList{"S"});  // the poll goes on
    QVERIFY(r.link.transferOwner().isEmpty());
    QCOMPARE(r.link.state().XferIndex, quint8(0));
    QVERIFY(r.rw(0));
    QCOMPARE(r.rw(1), readBefore);
    QCOMPARE(r.row(3), rowBefore);  // an abandoned read leaves the grid as it was
    // A late reply of the abandoned transfer starts nothing.
    r.port.written.clear();
    reply(r.port, step);
    QVERIFY(requests(r.port).filter(QStringLiteral("TBL")).isEmpty());
    // Refused while the parameters' transfer runs, with the slot left alone;
    // afterwards the next one starts afresh.
    QVERIFY(r.link.beginTransfer(QStringLiteral("Prm_Writ")));
    r.link.setCommand("R;2", QStringLiteral("R"));
    ModalAnswerer answers;
    QTest::mouseClick(r.w->CmdRW[0], Qt::LeftButton);
    QCOMPARE(answers.told(), QStringList{"information Point Table: The parameters are being transferred to or from the drive.\n"
                                         "Start the point table transfer when it has finished."});
    QCOMPARE(r.link.state().PendingCmd, F("R;2"));
    QVERIFY(r.rw(0));
    r.link.endTransfer();
    QTest::mouseClick(r.w->CmdRW[0], Qt::LeftButton);
    QCOMPARE(r.link.state().PendingCmd, F("TBLR;0"));
}

// An export whose reply is given up at point 12 leaves points 0-11 of the
// new values on the drive, and perhaps point 12: the status line and a
// message say so, and the message writes the backup's 32 points back.
void TstTblWrit::halfWrittenExport()
{
    TblRig r;
    qputenv("XDG_DATA_HOME", r.dir.filePath(QStringLiteral("data")).toLocal8Bit());
    const UserOptions options{false, true, false};
    r.w->setOptions(&options);
    QString told;
    QObject::connect(r.w, &Tbl_Writ::transferReport, [&](const QString &text) { told = text; });
    QObject::connect(&r.link, &DriveLink::replyLost, &r.link, [&r] { r.link.giveUp(); });  // Cancel
    r.importAll();
    QTest::mouseClick(r.w->CmdRW[1], Qt::LeftButton);
    reply(r.port, "S;0");
    for (int p = 0; p < 12; ++p) reply(r.port, "TBLW");
    for (int t = 0; t < 16; ++t) r.link.tick();
    const QStringList kept = QDir(BackupFolder()).entryList({QStringLiteral("*_pointtable.ptt")}, QDir::Files);
    QCOMPARE(kept.size(), 1);
    const QString backup = QDir::toNativeSeparators(QDir(BackupFolder()).filePath(kept[0]));
    QCOMPARE(told, QStringLiteral("Writing the point table: given up. The drive runs points 0-11 of the new values and perhaps "
                                  "point 12 (its answer did not come), not saved in its memory (no FLASH). The values before "
                                  "are in ") + backup + u'.');
    QVERIFY(r.rw(0) && r.rw(1));
    QTRY_VERIFY(QApplication::activeModalWidget() && QApplication::activeModalWidget()->objectName() == u"HalfWrittenMessage");
    QApplication::activeModalWidget()->findChild<QPushButton *>(QStringLiteral("CmdWriteBackupBack"))->click();
    QTRY_VERIFY(QApplication::activeModalWidget() && QApplication::activeModalWidget()->objectName() == u"WriteBackConfirm");
    qobject_cast<QMessageBox *>(QApplication::activeModalWidget())->button(QMessageBox::Yes)->click();
    r.port.written.clear();
    reply(r.port, "S;0");
    for (int p = 0; p < PointCount; ++p) reply(r.port, "TBLW");
    reply(r.port, "FLASH");
    const QStringList sent = requests(r.port);
    QCOMPARE(sent.size(), PointCount + 2);
    QCOMPARE(sent[12], QStringLiteral("TBLW;C;0;4B0;C;18;"));  // point 12 as read before
    QCOMPARE(sent[32], QStringLiteral("FLASH"));
    QCOMPARE(told, QStringLiteral("The backup ") + backup + QStringLiteral(" was written back: 32 points, saved in the drive's memory"));
    qunsetenv("XDG_DATA_HOME");
}

void TstTblWrit::saveAndOpen()
{
    TblRig r;
    ModalAnswerer answers;
    r.files.answers << r.dir.filePath(QStringLiteral("a.ptt"));
    QTest::mouseClick(r.w->CmdFile[1], Qt::LeftButton);
    QFile f(r.dir.filePath(QStringLiteral("a.ptt")));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("\0\0\0\0\0\0\0\0\x01\0\0\0\x01\0\0\0", 16).repeated(32));

    // A file one byte too long is refused and the dialog comes again.
    QFile bad(r.dir.filePath(QStringLiteral("bad.ptt")));
    QVERIFY(bad.open(QIODevice::WriteOnly) && bad.write(QByteArray(513, '\x05')) == 513 && bad.flush());
    // Opened values are shown unchecked; the check comes when the field is left.
    PointData file{};
    file[4 * 5 + 1] = -1;
    file[4 * 2 + 2] = 3000;
    QVERIFY(WritePointFile(r.dir.filePath(QStringLiteral("b.ptt")), file));
    r.files.answers << r.dir.filePath(QStringLiteral("bad.ptt")) << r.dir.filePath(QStringLiteral("b.ptt"));
    QSignalSpy status(r.w, &Tbl_Writ::transferReport);
    QTest::mouseClick(r.w->CmdFile[0], Qt::LeftButton);
    QCOMPARE(answers.told(), QStringList{"critical error: " + bad.fileName() + "\nInvalid File"});
    // The value a write would change is named on the status line.
    QCOMPARE(status.size(), 1);
    const QString said = status[0][0].toString();
    QVERIFY2(said.startsWith(r.dir.filePath(QStringLiteral("b.ptt")) + ": 1 value is outside its range") &&
                 said.endsWith(u"point 2 Speed = 3000 is outside its range 0/2500"),
             qPrintable(said));
    QCOMPARE(r.row(5), (QStringList{" 0", "-1", "----", "----"}));
    QCOMPARE(r.text(2, 2), QStringLiteral(" 3000"));
    QCOMPARE(r.points.data(), file);
    QApplication::setActiveWindow(&r.area);  // back from the message box
    r.w->TxtSpd[2]->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(r.w->TxtSpd[2], Qt::Key_Down);
    QCOMPARE(r.text(2, 2), QStringLiteral(" 2500"));

    // A failed save is told.
    r.files.answers << r.dir.filePath(QStringLiteral("none/c.ptt"));
    r.w->CmdFile_Click(1);
    QCOMPARE(answers.told().size(), 2);
    QVERIFY(answers.told()[1].startsWith("critical error: " + r.dir.filePath(QStringLiteral("none/c.ptt")) +
                                         "\nThe file could not be written: "));
    QCOMPARE(r.text(5, 1), QStringLiteral("-1"));
}

QTEST_MAIN(TstTblWrit)
#include "tst_tbl_writ.moc"
