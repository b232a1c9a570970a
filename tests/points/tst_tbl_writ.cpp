#include "app/childwindow.h"
#include "app/twips.h"
#include "linktestutil.h"
#include "points/pointfile.h"
#include "points/tbl_writ.h"
#include "uitestutil.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

// The point table window in a frame of its own inside an MDI area, on a link
// over the in-memory port; the layout timer is driven by the test.
struct TblRig {
    QTemporaryDir dir;
    PortSettings settings;
    MemoryPort port;
    DriveLink link{settings, port};
    PointData data{};
    QMdiArea area;
    ChildFrame *frame;
    Tbl_Writ *w;
    QStringList chosen;  // what the file dialog was asked, "open" or "save"
    QList<std::optional<QString>> choices;
    int timeoutQuestions = 0;

    TblRig()
    {
        QDir::setCurrent(dir.path());
        w = new Tbl_Writ(link, data);
        w->TimerTblMain.stop();
        w->dlogFile.chooser = [this](bool save) {
            chosen << (save ? QStringLiteral("save") : QStringLiteral("open"));
            return choices.isEmpty() ? std::nullopt : choices.takeFirst();
        };
        link.askRetry = [this] {
            ++timeoutQuestions;
            return false;
        };
        frame = new ChildFrame;
        frame->setWidget(w);
        area.addSubWindow(frame);
        area.resize(1300, 1000);
        frame->setGeometry(QRect(QPoint(0, 0), Tbl_Writ::loadSize()));
        area.show();
        frame->show();
        area.activateWindow();
        QApplication::setActiveWindow(&area);
        w->TimerTblMain_Timer();
    }
    // The port opens and "S" is in flight.
    void open()
    {
        link.OpenPort();
        port.written.clear();
    }
    QString text(int row, int column) const { return w->field(row, column)->text(); }
    QStringList row(int r) const { return {text(r, 0), text(r, 1), text(r, 2), text(r, 3)}; }
    QString path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }
    // Types into a field as the user does, then leaves it with Tab.
    void type(int row, int column, const QString &typed)
    {
        QLineEdit *f = w->field(row, column);
        f->setFocus(Qt::MouseFocusReason);
        f->selectAll();
        QTest::keyClick(f, Qt::Key_Backspace);
        QTest::keyClicks(f, typed);
        QTest::keyClick(f, Qt::Key_Tab);
    }
    bool enabled(const char *name) const { return w->findChild<QPushButton *>(QString::fromLatin1(name))->isEnabled(); }
    // A whole import, every point answered with abs 0, travel 100 * p, speed p, time 2 * p.
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
    void columns_data();
    void columns();
    void startState();
    void rowGeometry();
    void typing_data();
    void typing();
    void keys_data();
    void keys();
    void focusScrollsRowIntoView();
    void viewportFollowsWindow();
    void wheelScrolls();
    void minimumSize();
    void import();
    void exportReadsGridAtEachStep();
    void transferEnds_data();
    void transferEnds();
    void refusedWhileParametersTransfer();
    void strayRepliesChangeNothing();
    void saveAllInitial();
    void saveHoldsTo32Bits();
    void saveFailureIsReported();
    void openShowsFile();
    void openRefusesWrongLength_data();
    void openRefusesWrongLength();
    void cancelledDialogsDoNothing();
};

void TstTblWrit::columns_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("tip");
    QTest::addColumn<QString>("initial");
    QTest::newRow("abs/inc") << 0 << "TxtInc" << "abs/inc" << "0/1" << "0";
    QTest::newRow("travel") << 1 << "TxtLocate" << "Travel" << QString::fromUtf8("-2000000 - 2000000[\u03BCm]") << "0";
    QTest::newRow("speed") << 2 << "TxtSpd" << "Speed" << "1 - 2500[mm/s]" << "1";
    QTest::newRow("acc/dec") << 3 << "TxtKGJit" << "Acc/Dec" << "1 - 9999[ms/0-3000rpm]" << "1";
}

void TstTblWrit::columns()
{
    QFETCH(int, column);
    QFETCH(QString, name);
    QFETCH(QString, header);
    QFETCH(QString, tip);
    QFETCH(QString, initial);
    TblRig r;
    auto *label = r.w->findChild<QLabel *>(QStringLiteral("LblMaxMin(%1)").arg(column));
    QVERIFY(label);
    QCOMPARE(label->text(), header);
    const QColor pale(192, 192, 255);
    for (int row = 0; row < PointCount; ++row) {
        auto *f = r.w->findChild<QLineEdit *>(QStringLiteral("%1(%2)").arg(name).arg(row));
        QVERIFY(f);
        QCOMPARE(f, r.w->field(row, column));
        QCOMPARE(f->text(), initial);
        QCOMPARE(f->toolTip(), tip);
        QCOMPARE(f->accessibleName(), QStringLiteral("POINT%1 %2").arg(row).arg(header));
        QCOMPARE(f->palette().color(QPalette::Base) == pale, row % 2 == 1);
    }
}

void TstTblWrit::startState()
{
    TblRig r;
    QCOMPARE(r.w->objectName(), QStringLiteral("Tbl_Writ"));
    QCOMPARE(r.w->windowTitle(), QStringLiteral("Point Table"));
    QCOMPARE(r.w->tag(), QString());
    const QStringList captions{"Import Data", "Export Data", "Open File", "Save File", "ﾌﾗｯｼｭ"};
    const char *names[] = {"CmdRW(0)", "CmdRW(1)", "CmdFile(0)", "CmdFile(1)", "CmdFlash"};
    const bool enabled[] = {true, false, true, true, false};
    for (int i = 0; i < 5; ++i) {
        auto *b = r.w->findChild<QPushButton *>(QString::fromLatin1(names[i]));
        QVERIFY2(b, names[i]);
        QCOMPARE(b->text(), captions[i]);
        QCOMPARE(b->accessibleName(), captions[i]);
        QCOMPARE(b->isEnabled(), enabled[i]);
    }
    QCOMPARE(r.w->CmdFlash->toolTip(), QStringLiteral("RAM上ﾃﾞｰﾀをEEPROMに保存"));
    QCOMPARE(r.w->findChild<QLabel *>(QStringLiteral("LblPoint(31)"))->text(), QStringLiteral("POINT31"));
    QCOMPARE(r.w->TimerTblMain.interval(), 200);
    QCOMPARE(r.frame->size(), Twips::size(6090, 4935));
    QCOMPARE(r.w->dlogFile.initDir(), r.dir.path());
}

void TstTblWrit::rowGeometry()
{
    TblRig r;
    QCOMPARE(r.w->PictScrl->height(), Twips::px(11775));
    for (int row : {0, 1, 17, 31}) {
        for (int c = 0; c < PointColumns; ++c) {
            const QRect g = r.w->field(row, c)->geometry();
            QCOMPARE(g.top(), Twips::px(120 + 360 * row));
            QCOMPARE(g.height(), Twips::px(330));
        }
    }
    // Columns side by side, the row label left of them.
    const QRect label = r.w->LblPoint[4]->geometry();
    QVERIFY(label.right() < r.w->TxtInc[4]->geometry().left());
    for (int c = 0; c + 1 < PointColumns; ++c)
        QVERIFY(r.w->field(4, c)->geometry().right() < r.w->field(4, c + 1)->geometry().left());
    QVERIFY(r.w->field(4, 3)->geometry().right() <= r.w->PictWin->width());
}

void TstTblWrit::typing_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("speed 0") << 2 << "0" << "----";
    QTest::newRow("speed 3000") << 2 << "3000" << " 2500";
    QTest::newRow("speed -1") << 2 << "-1" << "----";
    QTest::newRow("speed 0.4") << 2 << "0.4" << " .4";
    QTest::newRow("travel 2500000") << 1 << "2500000" << " 2000000";
    QTest::newRow("travel -12") << 1 << "-12" << "-12";
    QTest::newRow("abs/inc 5") << 0 << "5" << " 1";
    QTest::newRow("abs/inc x") << 0 << "x" << " 0";
    QTest::newRow("acc/dec 10000") << 3 << "10000" << " 9999";
    QTest::newRow("acc/dec empty") << 3 << "" << "----";
}

void TstTblWrit::typing()
{
    QFETCH(int, column);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    TblRig r;
    r.type(7, column, typed);
    QCOMPARE(r.text(7, column), shown);
    // Nothing else changed.
    QCOMPARE(r.row(6), (QStringList{"0", "0", "1", "1"}));
}

void TstTblWrit::keys_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("to");
    QTest::newRow("down") << 1 << 0 << int(Qt::Key_Down) << 1;
    QTest::newRow("enter") << 2 << 5 << int(Qt::Key_Return) << 6;
    QTest::newRow("keypad enter") << 3 << 9 << int(Qt::Key_Enter) << 10;
    QTest::newRow("up") << 0 << 7 << int(Qt::Key_Up) << 6;
    QTest::newRow("up wraps") << 1 << 0 << int(Qt::Key_Up) << 31;
    QTest::newRow("down wraps") << 3 << 31 << int(Qt::Key_Down) << 0;
    QTest::newRow("enter wraps") << 0 << 31 << int(Qt::Key_Return) << 0;
    QTest::newRow("right stays") << 2 << 4 << int(Qt::Key_Right) << 4;
}

void TstTblWrit::keys()
{
    QFETCH(int, column);
    QFETCH(int, from);
    QFETCH(int, key);
    QFETCH(int, to);
    TblRig r;
    QLineEdit *start = r.w->field(from, column);
    start->setFocus(Qt::MouseFocusReason);
    QVERIFY(start->hasFocus());
    start->setText(QStringLiteral("99999"));
    QTest::keyClick(start, Qt::Key(key));
    QVERIFY(r.w->field(to, column)->hasFocus());
    // Leaving the field checks it; the text is left alone while staying.
    if (to != from) QVERIFY(start->text() != QStringLiteral("99999"));
    else QCOMPARE(start->text(), QStringLiteral("99999"));
}

void TstTblWrit::focusScrollsRowIntoView()
{
    TblRig r;
    const int viewport = 4935 - 1200 - 495;  // twips, the window at its load size
    QCOMPARE(r.w->PictWin->height(), Twips::px(viewport));
    r.w->TxtSpd[0]->setFocus(Qt::MouseFocusReason);
    QCOMPARE(r.w->VScrlPict->value(), 0);
    r.w->TxtSpd[20]->setFocus(Qt::MouseFocusReason);
    QCOMPARE(r.w->VScrlPict->value(), 360 * 22 - viewport);
    QCOMPARE(r.w->PictScrl->y(), -Twips::px(360 * 22 - viewport));
    // Row 20 is wholly inside the viewport, at its bottom.
    const QRect field = r.w->TxtSpd[20]->geometry().translated(r.w->PictScrl->pos());
    QVERIFY(field.top() >= 0);
    QVERIFY(field.bottom() < r.w->PictWin->height());
    QVERIFY(r.w->PictWin->height() - field.bottom() < Twips::px(360));
    r.w->TxtSpd[0]->setFocus(Qt::MouseFocusReason);
    QCOMPARE(r.w->VScrlPict->value(), 0);
    QCOMPARE(r.w->PictScrl->y(), 0);
}

void TstTblWrit::viewportFollowsWindow()
{
    TblRig r;
    QCOMPARE(r.w->PictWin->height(), Twips::px(4935 - 1200 - 495));
    QCOMPARE(r.w->VScrlPict->height(), r.w->PictWin->height());
    QVERIFY(r.w->VScrlPict->isEnabled());
    QCOMPARE(r.w->VScrlPict->maximum(), 11775 - (4935 - 1200 - 495));
    QCOMPARE(r.w->VScrlPict->pageStep(), 4935 - 1200 - 495 - 360);
    QCOMPARE(r.w->PictCmd->y(), Twips::px(4935 - 495 - 600));
    // The buttons lie inside the window, below the viewport.
    QVERIFY(r.w->PictCmd->geometry().bottom() < r.w->height());
    QVERIFY(r.w->PictCmd->y() > r.w->PictWin->geometry().bottom());

    // Taller than all rows need: the viewport stops at the rows' height.
    r.w->TxtInc[31]->setFocus(Qt::MouseFocusReason);
    QVERIFY(r.w->VScrlPict->value() > 0);
    r.frame->resize(r.frame->width(), Twips::px(14000));
    r.w->TimerTblMain_Timer();
    QCOMPARE(r.w->PictWin->height(), Twips::px(11775));
    QVERIFY(!r.w->VScrlPict->isEnabled());
    QCOMPARE(r.w->VScrlPict->value(), 0);
    QCOMPARE(r.w->PictScrl->y(), 0);

    // And back.
    r.frame->resize(r.frame->width(), Twips::px(6000));
    r.w->TimerTblMain_Timer();
    QCOMPARE(r.w->PictWin->height(), Twips::px(6000 - 1200 - 495));
    QVERIFY(r.w->VScrlPict->isEnabled());
}

void TstTblWrit::wheelScrolls()
{
    TblRig r;
    // Over a field and over a row label.
    for (QWidget *over : {static_cast<QWidget *>(r.w->TxtLocate[3]), static_cast<QWidget *>(r.w->PictScrl)}) {
        const int before = r.w->VScrlPict->value();
        const QPoint at(5, 5);
        QWheelEvent down(at, over->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                         Qt::NoScrollPhase, false);
        QApplication::sendEvent(over, &down);
        QVERIFY(r.w->VScrlPict->value() > before);
        QCOMPARE(r.w->PictScrl->y(), -Twips::px(r.w->VScrlPict->value()));
    }
}

void TstTblWrit::minimumSize()
{
    TblRig r;
    r.frame->resize(200, 100);
    r.w->TimerTblMain_Timer();
    QCOMPARE(r.frame->size(), Twips::size(6090, 3135));
    QCOMPARE(r.w->PictWin->height(), Twips::px(3135 - 1200 - 495));

    // Minimised: the layout waits; maximised: no minimum applies.
    r.frame->showMinimized();
    r.w->TimerTblMain_Timer();
    QCOMPARE(r.w->PictWin->height(), Twips::px(3135 - 1200 - 495));
    r.frame->showMaximized();
    r.w->TimerTblMain_Timer();
    QCOMPARE(r.frame->size(), r.area.viewport()->size());
    QCOMPARE(r.w->PictWin->height(), Twips::px(std::min(11775, int(Twips::tw(r.frame->height())) - 1200 - 495)));
}

void TstTblWrit::import()
{
    TblRig r;
    r.open();
    QTest::mouseClick(r.w->CmdRW[0], Qt::LeftButton);
    QVERIFY(!r.enabled("CmdRW(0)"));
    QVERIFY(r.port.written.isEmpty());  // waits for the reply in flight
    reply(r.port, "S;0");
    QStringList expected{"TBLR;0"};
    for (int p = 0; p < PointCount; ++p) {
        QCOMPARE(requests(r.port), expected);
        if (p == 1) replyByChar(r.port, "TBLR;1;FFFE1C18;0;0");
        else if (p == 2) reply(r.port, "TBLR;0;FFFF;64;1F4");
        else reply(r.port, QStringLiteral("TBLR;0;%1;1;1").arg(QString::number(p, 16).toUpper()).toLatin1());
        if (p < PointCount - 1) {
            // The grid waits for the last point.
            QCOMPARE(r.row(1), (QStringList{"0", "0", "1", "1"}));
            QVERIFY(!r.enabled("CmdRW(0)"));
            expected << QStringLiteral("TBLR;%1").arg(p + 1, 0, 16).toUpper();
        }
    }
    QCOMPARE(requests(r.port).size(), 33);
    QCOMPARE(requests(r.port).at(31), QStringLiteral("TBLR;1F"));
    QCOMPARE(requests(r.port).last(), QStringLiteral("S"));  // polling resumes
    QCOMPARE(r.row(1), (QStringList{" 1", "-123880", "----", "----"}));
    QCOMPARE(r.row(2), (QStringList{" 0", "-1", " 100", " 500"}));
    QCOMPARE(r.row(31), (QStringList{" 0", " 31", " 1", " 1"}));
    QCOMPARE(r.data[4 * 1 + 1], -123880);
    QCOMPARE(r.data[4 * 2 + 1], -1);
    QVERIFY(r.enabled("CmdRW(0)"));
    QVERIFY(r.enabled("CmdRW(1)"));
    QVERIFY(r.enabled("CmdFlash"));
    QCOMPARE(r.link.state().ReadDoneFlags, quint8(1));
    QCOMPARE(r.link.state().XferIndex, quint8(0));
    QVERIFY(r.link.transferOwner().isEmpty());
}

void TstTblWrit::exportReadsGridAtEachStep()
{
    TblRig r;
    r.open();
    r.importAll();
    r.w->TxtInc[31]->setText(QStringLiteral(" 0"));
    r.w->TxtLocate[31]->setText(QStringLiteral(" 10000"));
    r.w->TxtSpd[31]->setText(QStringLiteral("----"));
    r.w->TxtKGJit[31]->setText(QStringLiteral(" 500"));
    r.w->TxtLocate[2]->setText(QStringLiteral("-500"));

    QTest::mouseClick(r.w->CmdRW[1], Qt::LeftButton);
    QVERIFY(!r.enabled("CmdRW(1)"));
    QVERIFY(!r.enabled("CmdRW(0)"));
    reply(r.port, "S;0");
    for (int p = 0; p < PointCount; ++p) {
        QCOMPARE(requests(r.port).size(), p + 1);
        // A field edited while the export runs goes out with its point.
        if (p == 3) r.w->TxtKGJit[5]->setText(QStringLiteral("77"));
        reply(r.port, "TBLW");
    }
    const QStringList sent = requests(r.port);
    QCOMPARE(sent.size(), 33);
    QCOMPARE(sent[0], QStringLiteral("TBLW;0;0;0;0;0;"));
    QCOMPARE(sent[2], QStringLiteral("TBLW;2;0;FFFFFE0C;2;4;"));
    QCOMPARE(sent[5], QStringLiteral("TBLW;5;0;1F4;5;4D;"));
    QCOMPARE(sent[31], QStringLiteral("TBLW;1F;0;2710;0;1F4;"));
    QCOMPARE(sent[32], QStringLiteral("FLASH"));
    QVERIFY(r.enabled("CmdRW(1)"));
    QVERIFY(r.enabled("CmdRW(0)"));
    QVERIFY(r.link.transferOwner().isEmpty());
    reply(r.port, "FLASH");
    QCOMPARE(requests(r.port).last(), QStringLiteral("S"));
    // Export reads the grid, not the numbers of the last read.
    QCOMPARE(r.data[4 * 31 + 1], 3100);
}

void TstTblWrit::transferEnds_data()
{
    QTest::addColumn<bool>("readBefore");
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("how");
    QTest::newRow("ERR during first import") << false << 0 << "err";
    QTest::newRow("ERR during import") << true << 0 << "err";
    QTest::newRow("ERR during export") << true << 1 << "err";
    QTest::newRow("time-out cancelled, first import") << false << 0 << "timeout";
    QTest::newRow("time-out cancelled, export") << true << 1 << "timeout";
    QTest::newRow("offline") << false << 0 << "offline";
    QTest::newRow("port lost") << true << 1 << "lost";
}

void TstTblWrit::transferEnds()
{
    QFETCH(bool, readBefore);
    QFETCH(int, button);
    QFETCH(QString, how);
    TblRig r;
    r.open();
    if (readBefore) r.importAll();
    const QStringList rowBefore = r.row(3);
    const PointData dataBefore = r.data;
    QTest::mouseClick(r.w->CmdRW[button], Qt::LeftButton);
    reply(r.port, "S;0");
    for (int p = 0; p < 3; ++p) reply(r.port, button == 0 ? "TBLR;1;2;3;4" : "TBLW");
    QCOMPARE(r.link.state().XferIndex, quint8(3));
    r.port.written.clear();
    if (how == u"err") {
        reply(r.port, "ERR;3");
        // The transfer builds nothing more; the poll goes on.
        QCOMPARE(requests(r.port), QStringList{"S"});
    } else if (how == u"timeout") {
        for (int i = 0; i < 16; ++i) r.link.countTimeout();
        QCOMPARE(r.timeoutQuestions, 1);
    } else if (how == u"offline") {
        r.link.dropAllOffline();
    } else {
        r.port.vanish(QStringLiteral("unplugged"));
    }
    QVERIFY(r.link.transferOwner().isEmpty());
    QCOMPARE(r.link.state().XferIndex, quint8(0));
    QVERIFY(r.enabled("CmdRW(0)"));
    QCOMPARE(r.enabled("CmdRW(1)"), readBefore);
    // An abandoned read leaves the grid as it was.
    QCOMPARE(r.row(3), rowBefore);
    if (button == 1) QCOMPARE(r.data, dataBefore);
    // A late reply of the abandoned transfer starts nothing.
    r.port.written.clear();
    reply(r.port, button == 0 ? "TBLR;1;2;3;4" : "TBLW");
    for (const QString &req : requests(r.port)) QVERIFY2(!req.startsWith(QStringLiteral("TBL")), qPrintable(req));
}

void TstTblWrit::refusedWhileParametersTransfer()
{
    TblRig r;
    r.open();
    QVERIFY(r.link.beginTransfer(QStringLiteral("Prm_Writ")));
    r.link.setCommand("R;2", QStringLiteral("R"));
    ModalAnswerer answers;
    QTest::mouseClick(r.w->CmdRW[0], Qt::LeftButton);
    QCOMPARE(answers.seen.size(), 1);
    QCOMPARE(answers.seen[0].title, QStringLiteral("Point Table"));
    QVERIFY(answers.seen[0].text.contains(QStringLiteral("parameters")));
    QCOMPARE(r.link.transferOwner(), QStringLiteral("Prm_Writ"));
    QCOMPARE(r.link.state().PendingCmd, F("R;2"));
    QVERIFY(r.enabled("CmdRW(0)"));
    // Once the parameters are done, the import starts.
    r.link.endTransfer();
    QTest::mouseClick(r.w->CmdRW[0], Qt::LeftButton);
    QCOMPARE(answers.seen.size(), 1);
    QCOMPARE(r.link.state().PendingCmd, F("TBLR;0"));
}

void TstTblWrit::strayRepliesChangeNothing()
{
    TblRig r;
    r.open();
    reply(r.port, "TBLR;1;2;3;4");
    reply(r.port, "TBLW");
    QCOMPARE(r.data, PointData{});
    QCOMPARE(requests(r.port), (QStringList{"S", "S"}));
    QCOMPARE(r.link.state().ReadDoneFlags, quint8(0));
}

void TstTblWrit::saveAllInitial()
{
    TblRig r;
    r.choices << r.path("a.ptt");
    QTest::mouseClick(r.w->CmdFile[1], Qt::LeftButton);
    QCOMPARE(r.chosen, QStringList{"save"});
    QFile f(r.path("a.ptt"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("\0\0\0\0\0\0\0\0\x01\0\0\0\x01\0\0\0", 16).repeated(32));
    QVERIFY(r.w->CmdFile[1]->hasFocus());
}

void TstTblWrit::saveHoldsTo32Bits()
{
    TblRig r;
    r.w->TxtLocate[0]->setText(QStringLiteral("99999999999"));
    r.w->TxtLocate[1]->setText(QStringLiteral("-99999999999"));
    r.w->TxtSpd[2]->setText(QStringLiteral("----"));
    r.choices << r.path("b.ptt");
    r.w->CmdFile_Click(1);
    const PointFileRead read = ReadPointFile(r.path("b.ptt"));
    QCOMPARE(int(read.status), int(PointFileRead::Status::Ok));
    QCOMPARE(read.data[1], std::numeric_limits<qint32>::max());
    QCOMPARE(read.data[5], std::numeric_limits<qint32>::min());
    QCOMPARE(read.data[10], 0);
}

void TstTblWrit::saveFailureIsReported()
{
    TblRig r;
    QVERIFY(QDir(r.dir.path()).mkdir(QStringLiteral("dir.ptt")));
    r.choices << r.path("dir.ptt");
    ModalAnswerer answers;
    r.w->CmdFile_Click(1);
    QCOMPARE(answers.seen.size(), 1);
    QCOMPARE(answers.seen[0].title, QStringLiteral("error"));
    QVERIFY(answers.seen[0].text.startsWith(r.path("dir.ptt") + QLatin1Char('\r')));
    QCOMPARE(answers.seen[0].icon, QMessageBox::Critical);
}

void TstTblWrit::openShowsFile()
{
    TblRig r;
    PointData file{};
    for (int p = 0; p < PointCount; ++p) file[4 * p + 2] = file[4 * p + 3] = 1;
    file[4 * 5 + 1] = -1;
    file[4 * 9 + 2] = 0;
    file[4 * 2 + 2] = 3000;
    QVERIFY(WritePointFile(r.path("c.ptt"), file));
    r.choices << r.path("c.ptt");
    QTest::mouseClick(r.w->CmdFile[0], Qt::LeftButton);
    QCOMPARE(r.text(5, 1), QStringLiteral("-1"));
    QCOMPARE(r.text(9, 2), QStringLiteral("----"));
    QCOMPARE(r.text(2, 2), QStringLiteral(" 3000"));  // no check while loading
    QCOMPARE(r.data, file);
    QVERIFY(r.w->CmdFile[0]->hasFocus());
    // The check runs when the field is left.
    r.w->TxtSpd[2]->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(r.w->TxtSpd[2], Qt::Key_Down);
    QCOMPARE(r.text(2, 2), QStringLiteral(" 2500"));
}

void TstTblWrit::openRefusesWrongLength_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("thenGood");
    QTest::newRow("511, cancel") << 511 << false;
    QTest::newRow("513, cancel") << 513 << false;
    QTest::newRow("0, then a good one") << 0 << true;
}

void TstTblWrit::openRefusesWrongLength()
{
    QFETCH(int, length);
    QFETCH(bool, thenGood);
    TblRig r;
    QFile bad(r.path("bad.ptt"));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write(QByteArray(length, '\x05'));
    bad.close();
    PointData good{};
    good[4 * 3 + 1] = 42;
    QVERIFY(WritePointFile(r.path("good.ptt"), good));
    r.choices << r.path("bad.ptt");
    if (thenGood) r.choices << r.path("good.ptt");
    ModalAnswerer answers;
    r.w->CmdFile_Click(0);
    QCOMPARE(answers.seen.size(), 1);
    QCOMPARE(answers.seen[0].title, QStringLiteral("error"));
    QCOMPARE(answers.seen[0].text, r.path("bad.ptt") + QStringLiteral("\rInvalid File"));
    QCOMPARE(answers.seen[0].icon, QMessageBox::Critical);
    // The open dialog comes again after the message.
    QCOMPARE(r.chosen, (QStringList{"open", "open"}));
    QCOMPARE(r.text(3, 1), thenGood ? QStringLiteral(" 42") : QStringLiteral("0"));
    QCOMPARE(r.data, thenGood ? good : PointData{});
}

void TstTblWrit::cancelledDialogsDoNothing()
{
    TblRig r;
    ModalAnswerer answers;
    r.w->CmdFile_Click(0);
    r.w->CmdFile_Click(1);
    r.choices << r.path("missing.ptt");
    r.w->CmdFile_Click(0);
    QCOMPARE(r.chosen, (QStringList{"open", "save", "open"}));
    QVERIFY(answers.seen.isEmpty());
    QCOMPARE(r.row(5), (QStringList{"0", "0", "1", "1"}));
    QCOMPARE(r.data, PointData{});
    QVERIFY(r.w->CmdFile[0]->hasFocus());
    QVERIFY(QDir(r.dir.path()).entryList(QDir::Files).isEmpty());
}

QTEST_MAIN(TstTblWrit)
#include "tst_tbl_writ.moc"
