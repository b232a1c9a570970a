// The parameter window driven as a user drives it: fields, help, checks, keys,
// maker mode, the transfer through the in-memory port, and the file.

#include "app/mditbl.h"
#include "app/password.h"
#include "linktestutil.h"
#include "params/helparea.h"
#include "params/paramfile.h"
#include "params/prm_writ.h"
#include "resources/strings.h"
#include "uitestutil.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The window on a link over the in-memory port, its port open and the opening
// "S" in flight.
struct Rig {
    PortSettings settings;
    MemoryPort port;
    DriveLink link{settings, port};
    bool maker = false;
    Prm_Writ w{link, [this] { return maker; }};
    QStringList told;
    QList<bool> dialogs;  // one entry per file dialog shown: true = save
    QList<std::optional<QString>> choices;

    Rig()
    {
        w.tellUser = [this](const QString &text) { told << text; };
        w.DlogFile.chooser = [this](bool save) {
            dialogs << save;
            return choices.isEmpty() ? std::nullopt : choices.takeFirst();
        };
        link.OpenPort();
        port.written.clear();
        w.show();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
    }
    QLineEdit *field(int k) { return w.TxtPrm[k]; }
    void setMaker(bool on)
    {
        maker = on;
        w.SetMakerMode(on);
    }
    // Focus on field k as a click would give it: its tab first.
    void focus(int k)
    {
        w.SSTabPrm->setCurrentIndex(k / 10);
        field(k)->setFocus(Qt::MouseFocusReason);
        QVERIFY(field(k)->hasFocus());
    }
    int focusedField() const
    {
        for (int k = 0; k < ParamCount; ++k)
            if (w.TxtPrm[k]->hasFocus()) return k;
        return -1;
    }
    // Lets the opening "S" be answered; the request waiting goes out.
    void answerPoll() { reply(port, "S;0"); }
    // Answers every request of a transfer until polling resumes.
    void runTransfer(const std::function<QByteArray(const QString &)> &answer)
    {
        for (int guard = 0; guard < 20; ++guard) {
            const QString last = requests(port).constLast();
            if (last == u"S") return;
            reply(port, answer(last).constData());
        }
        QFAIL("the transfer did not end");
    }
    // A completed read, so that "Export Data" is enabled; answered with zeros.
    void importZeros()
    {
        w.CmdRW[0]->click();
        answerPoll();
        runTransfer([](const QString &) { return QByteArray("R;0;0;0;0;0;0;0;0;0;0;0"); });
        port.written.clear();
    }
    QStringList sent() const { return requests(port); }
};

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The requests cut after their block number: "W;3", "FLASH".
QStringList heads(const QStringList &requests)
{
    QStringList out;
    for (const QString &r : requests) out << r.section(u';', 0, 1);
    return out;
}

QByteArray echoOf(const QString &request) { return request.section(u';', 0, 0).toLatin1(); }

}  // namespace

class TstPrmWrit : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void controls();
    void helpFollowsTheKeys();
    void helpPrintedBelowWhatIsThere();
    void checkOnLeaving_data();
    void checkOnLeaving();
    void keyRule_data();
    void keyRule();
    void keyRuleFallsBackToFieldZero();
    void makerModeKeepsTexts();
    void importFillsEveryField();
    void exportWrites_data();
    void exportWrites();
    void makerSwitchedDuringExport_data();
    void makerSwitchedDuringExport();
    void valuesTakenWhenEachBlockIsBuilt();
    void errorReplyEndsTransfer_data();
    void errorReplyEndsTransfer();
    void timeOutCancelRestoresButtons();
    void refusedWhilePointTableTransfers();
    void refusedDuringOwnTransfer();
    void saveFile();
    void openFile();
    void openRefusesWrongLength_data();
    void openRefusesWrongLength();
    void cancelledDialogsChangeNothing();
    void failedSaveKeepsOldFile();
};

void TstPrmWrit::controls()
{
    Rig r;
    QCOMPARE(r.w.objectName(), QStringLiteral("Prm_Writ"));
    QCOMPARE(r.w.windowTitle(), QStringLiteral("Setting Parameters"));
    QCOMPARE(r.w.SSTabPrm->count(), 6);
    for (int t = 0; t < 6; ++t) QCOMPARE(r.w.SSTabPrm->tabText(t), QStringLiteral("%1-%2").arg(t * 10, 2, 10, QLatin1Char('0')).arg(t * 10 + 9, 2, 10, QLatin1Char('0')));
    for (int k = 0; k < ParamCount; ++k) {
        QLineEdit *f = r.w.findChild<QLineEdit *>(QStringLiteral("TxtPrm(%1)").arg(k));
        QLabel *l = r.w.findChild<QLabel *>(QStringLiteral("LblMaxMin(%1)").arg(k));
        QVERIFY(f && l);
        QCOMPARE(f->text(), QStringLiteral("0"));
        QCOMPARE(l->text(), ParamName(k));
        QCOMPARE(f->property("Tag").toString(), ParamIsHex(k) ? QStringLiteral("H") : QString());
        QCOMPARE(f->accessibleName(), ParamSpokenName(k));
        QVERIFY(r.w.SSTabPrm->widget(k / 10)->isAncestorOf(f));
        QVERIFY(r.w.SSTabPrm->widget(k / 10)->isAncestorOf(l));
        QCOMPARE(f->isHidden(), k >= 40);
        QCOMPARE(l->isHidden(), k >= 40);
    }
    // A name with a trailing line break sits on its field's row like the
    // others, and the fields stand in one column on every tab.
    r.setMaker(true);
    for (int t = 5; t >= 0; --t) {
        r.w.SSTabPrm->setCurrentIndex(t);
        for (int k = t * 10; k < t * 10 + 10; ++k) {
            QCOMPARE(r.w.LblMaxMin[k]->geometry().top(), r.field(k)->geometry().top());
            QCOMPARE(r.w.LblMaxMin[k]->height(), r.field(k)->height());
            QCOMPARE(r.field(k)->geometry(), r.field(k % 10)->geometry());
        }
    }
    QCOMPARE(r.w.CmdFile[0]->text(), QStringLiteral("Open File"));
    QCOMPARE(r.w.CmdFile[1]->text(), QStringLiteral("Save File"));
    QCOMPARE(r.w.CmdRW[0]->text(), QStringLiteral("Import Data"));
    QCOMPARE(r.w.CmdRW[1]->text(), QStringLiteral("Export Data"));
    QVERIFY(r.w.CmdRW[0]->isEnabled());
    QVERIFY(!r.w.CmdRW[1]->isEnabled());
    QVERIFY(r.w.findChild<HelpArea *>(QStringLiteral("PictureSetu")));
    QVERIFY(r.w.findChild<QPushButton *>(QStringLiteral("CmdRW(1)")));
    // The help area has room for the longest help without cutting it.
    QVERIFY(r.w.PictureSetu->height() >= r.w.PictureSetu->sizeHint().height());
}

void TstPrmWrit::helpFollowsTheKeys()
{
    // Down from field 0 through the user set and back round to field 0: each
    // field shows its own help alone, on the tab that holds it.
    Rig r;
    r.focus(0);
    for (int step = 0; step <= 40; ++step) {
        const int k = step % 40;
        QCOMPARE(r.focusedField(), k);
        QCOMPARE(r.w.SSTabPrm->currentIndex(), k / 10);
        QCOMPARE(r.w.PictureSetu->printed(), QStringList{LoadResString(500 + k)});
        QTest::keyClick(r.field(k), Qt::Key_Down);
    }
    r.w.CmdFile[0]->setFocus();
    QVERIFY(r.w.PictureSetu->printed().isEmpty());
}

void TstPrmWrit::helpPrintedBelowWhatIsThere()
{
    Rig r;
    r.setMaker(true);
    r.focus(45);
    QVERIFY(r.w.PictureSetu->printed().isEmpty());  // the maker set has no help
    r.w.PictureSetu->Print(QStringLiteral("earlier"));
    r.focus(40);  // leaving a maker field clears nothing
    QTest::keyClick(r.field(40), Qt::Key_Up);
    // Printed at the print position, below what is there.
    QCOMPARE(r.w.PictureSetu->printed(), (QStringList{"earlier", LoadResString(539)}));
    QCOMPARE(r.w.PictureSetu->currentLine(), 1 + 4);
    QTest::keyClick(r.field(39), Qt::Key_Up);
    QCOMPARE(r.w.PictureSetu->printed(), QStringList{LoadResString(538)});
}

void TstPrmWrit::checkOnLeaving_data()
{
    QTest::addColumn<int>("k");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("02 below minimum") << 2 << "5" << " 10";
    QTest::newRow("00 beyond 32 bits") << 0 << "99999999999" << " 99999";
    QTest::newRow("12 fraction stays") << 12 << "12.5" << " 12.5";
    QTest::newRow("17 below minimum") << 17 << "-3000000" << "-2000000";
    QTest::newRow("19 rounds within") << 19 << "2500.4" << " 2500.4";
    QTest::newRow("30 lower case") << 30 << "20a" << "20A";
    QTest::newRow("30 too big") << 30 << "FFFF" << "3FF";
    QTest::newRow("30 junk") << 30 << "XYZ" << "0";
    QTest::newRow("34 anything") << 34 << "5" << "0";
    QTest::newRow("37 leading zeros") << 37 << "0003" << "3";
    QTest::newRow("45 maker keeps") << 45 << "12zz!" << "12zz!";
    QTest::newRow("59 maker keeps hex") << 59 << "3FF" << "3FF";
}

void TstPrmWrit::checkOnLeaving()
{
    QFETCH(int, k);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    Rig r;
    r.setMaker(true);
    r.focus(k);
    r.field(k)->clear();
    QTest::keyClicks(r.field(k), typed);
    QCOMPARE(r.field(k)->text(), typed);  // never changed while typing
    r.w.CmdRW[0]->setFocus();
    QCOMPARE(r.field(k)->text(), shown);
}

void TstPrmWrit::keyRule_data()
{
    QTest::addColumn<bool>("maker");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("to");
    QTest::newRow("Up on 0 wraps to 39") << false << 0 << int(Qt::Key_Up) << 39;
    QTest::newRow("Down on 39 wraps to 0") << false << 39 << int(Qt::Key_Down) << 0;
    QTest::newRow("Enter on 39 wraps to 0") << false << 39 << int(Qt::Key_Return) << 0;
    QTest::newRow("Enter on 12") << false << 12 << int(Qt::Key_Return) << 13;
    QTest::newRow("keypad Enter on 22") << false << 22 << int(Qt::Key_Enter) << 23;
    QTest::newRow("Down on 9 to next tab") << false << 9 << int(Qt::Key_Down) << 10;
    QTest::newRow("Up on 10 to previous tab") << false << 10 << int(Qt::Key_Up) << 9;
    QTest::newRow("letter stays") << false << 12 << int(Qt::Key_A) << 12;
    QTest::newRow("Tab key is not the rule's") << false << 12 << int(Qt::Key_Left) << 12;
    QTest::newRow("maker Down on 39") << true << 39 << int(Qt::Key_Down) << 40;
    QTest::newRow("maker Enter on 59 wraps") << true << 59 << int(Qt::Key_Return) << 0;
    QTest::newRow("maker Up on 0 wraps to 59") << true << 0 << int(Qt::Key_Up) << 59;
    QTest::newRow("maker Up on 40") << true << 40 << int(Qt::Key_Up) << 39;
}

void TstPrmWrit::keyRuleFallsBackToFieldZero()
{
    // The tick says maker mode but the maker fields are not shown: the focus
    // cannot go to field 40, so field 0 on the first tab takes it.
    Rig r;
    r.maker = true;
    r.focus(39);
    QTest::keyClick(r.field(39), Qt::Key_Down);
    QCOMPARE(r.focusedField(), 0);
    QCOMPARE(r.w.SSTabPrm->currentIndex(), 0);
}

void TstPrmWrit::keyRule()
{
    QFETCH(bool, maker);
    QFETCH(int, from);
    QFETCH(int, key);
    QFETCH(int, to);
    Rig r;
    r.setMaker(maker);
    r.focus(from);
    QTest::keyClick(r.field(from), Qt::Key(key));
    QCOMPARE(r.focusedField(), to);
    QCOMPARE(r.w.SSTabPrm->currentIndex(), to / 10);
}

void TstPrmWrit::makerModeKeepsTexts()
{
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    MemoryPort port;
    MDItbl app(port);
    Prm_Writ *w = app.prmWrit;
    app.mnuSystem1[1]->trigger();
    app.passWord->TxtPassWord->setText(QStringLiteral("KPZW"));
    app.passWord->CmdOK->click();
    QVERIFY(app.makerMode());
    w->SSTabPrm->setCurrentIndex(4);
    for (int k = 40; k < 60; ++k) {
        QVERIFY(!w->TxtPrm[k]->isHidden() && !w->LblMaxMin[k]->isHidden());
        w->TxtPrm[k]->setText(QStringLiteral("m%1").arg(k));
    }
    for (bool on : {false, true}) {
        if (on) app.SetMakerMode(true);
        else app.mnuSystem1[1]->trigger();  // ticked: switches maker mode off
        QCOMPARE(app.makerMode(), on);
        for (int k = 40; k < 60; ++k) {
            QCOMPARE(w->TxtPrm[k]->isHidden(), !on);
            QCOMPARE(w->LblMaxMin[k]->isHidden(), !on);
            QCOMPARE(w->TxtPrm[k]->text(), QStringLiteral("m%1").arg(k));
        }
        QCOMPARE(w->SSTabPrm->count(), 6);  // the maker tabs stay, empty when off
    }
}

void TstPrmWrit::importFillsEveryField()
{
    Rig r;
    r.w.CmdRW[0]->click();
    QVERIFY(!r.w.CmdRW[0]->isEnabled());
    QVERIFY(!r.w.CmdRW[1]->isEnabled());  // keeps its state
    QVERIFY(r.sent().isEmpty());          // waits for the reply in flight
    r.answerPoll();
    QStringList blocks;
    r.runTransfer([&](const QString &request) {
        blocks << request;
        if (request == u"R;0") return QByteArray("R;9;3E8;FFFF;0000FFFF;FFFFFFFF;7FFFFFFF;A;B;C;D;E");
        const int b = request.mid(2).toInt();
        // Block b carries the values b*100 + i; block 4 only eight of them.
        QByteArray text = "R;" + QByteArray::number(b);
        for (int i = 0; i < (b == 4 ? 8 : 10); ++i) text += ';' + QByteArray::number(b * 100 + i, 16).toUpper();
        return text;
    });
    QCOMPARE(blocks, (QStringList{"R;0", "R;1", "R;2", "R;3", "R;4", "R;5"}));
    QCOMPARE(r.field(0)->text(), QStringLiteral(" 1000"));
    QCOMPARE(r.field(1)->text(), QStringLiteral("-1"));  // four digits are 16 bits
    QCOMPARE(r.field(2)->text(), QStringLiteral(" 65535"));
    QCOMPARE(r.field(3)->text(), QStringLiteral("-1"));
    QCOMPARE(r.field(4)->text(), QStringLiteral(" 2147483647"));
    QCOMPARE(r.field(9)->text(), QStringLiteral(" 14"));
    QCOMPARE(r.field(15)->text(), QStringLiteral(" 105"));
    QCOMPARE(r.field(29)->text(), QStringLiteral(" 209"));
    QCOMPARE(r.field(30)->text(), QStringLiteral("12C"));  // hexadecimal field
    QCOMPARE(r.field(39)->text(), QStringLiteral("135"));
    QCOMPARE(r.field(31)->text(), QStringLiteral(" 301"));
    QCOMPARE(r.field(45)->text(), QStringLiteral(" 405"));  // hidden, filled all the same
    // A short reply: the fields it lacks keep what the reply before left.
    QCOMPARE(r.field(47)->text(), QStringLiteral(" 407"));
    QCOMPARE(r.field(48)->text(), QStringLiteral(" 308"));
    QCOMPARE(r.field(49)->text(), QStringLiteral(" 309"));
    QCOMPARE(r.field(59)->text(), QStringLiteral(" 509"));
    QVERIFY(r.w.CmdRW[0]->isEnabled());
    QVERIFY(r.w.CmdRW[1]->isEnabled());
    QCOMPARE(r.link.state().ReadDoneFlags & ReadDone::Parameters, ReadDone::Parameters);
    QCOMPARE(r.link.state().XferIndex, quint8(0));
    QVERIFY(r.link.transferOwner().isEmpty());
}

void TstPrmWrit::exportWrites_data()
{
    QTest::addColumn<bool>("maker");
    QTest::addColumn<QStringList>("keywords");
    QTest::newRow("user set") << false << QStringList{"W;0", "W;1", "W;2", "W;3", "FLASH"};
    QTest::newRow("maker mode") << true << QStringList{"W;0", "W;1", "W;2", "W;3", "W;4", "W;5", "FLASH"};
}

void TstPrmWrit::exportWrites()
{
    QFETCH(bool, maker);
    QFETCH(QStringList, keywords);
    Rig r;
    r.setMaker(maker);
    r.importZeros();
    const QStringList values{" 1000", " 100", " 300", " 100", " 0", " 0", " 0", " 0", " 0", " 0"};
    for (int i = 0; i < 10; ++i) r.field(i)->setText(values[i]);
    r.field(30)->setText(QStringLiteral("20A"));
    r.field(12)->setText(QStringLiteral(" 12.5"));
    r.field(13)->setText(QStringLiteral(" 13.5"));
    r.field(17)->setText(QStringLiteral("-500"));
    r.field(50)->setText(QStringLiteral(" 7"));
    r.w.CmdRW[1]->click();
    QVERIFY(!r.w.CmdRW[1]->isEnabled());
    QVERIFY(r.w.CmdRW[0]->isEnabled());  // keeps its state
    r.answerPoll();
    bool enabledBeforeFlashReply = false;
    r.runTransfer([&](const QString &request) {
        if (request == u"FLASH") enabledBeforeFlashReply = r.w.CmdRW[1]->isEnabled();
        return echoOf(request);
    });
    QStringList sent = r.sent();
    QCOMPARE(sent.takeLast(), QStringLiteral("S"));  // polling resumes
    QCOMPARE(heads(sent), keywords);
    QCOMPARE(sent[0], QStringLiteral("W;0;3E8;64;12C;64;0;0;0;0;0;0"));
    QCOMPARE(sent[1], QStringLiteral("W;1;0;0;C;E;0;0;0;FFFFFE0C;0;0"));
    QCOMPARE(sent[3], QStringLiteral("W;3;20A;0;0;0;0;0;0;0;0;0"));
    if (maker) QCOMPARE(sent[5], QStringLiteral("W;5;7;0;0;0;0;0;0;0;0;0"));
    QVERIFY(enabledBeforeFlashReply);
    QCOMPARE(r.link.state().XferIndex, quint8(0));
    QVERIFY(r.link.transferOwner().isEmpty());
}

void TstPrmWrit::makerSwitchedDuringExport_data()
{
    QTest::addColumn<bool>("makerAtStart");
    QTest::addColumn<QString>("switchWhenSent");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("on before the fourth reply goes on to block 5")
        << false << "W;2" << QStringList{"W;0", "W;1", "W;2", "W;3", "W;4", "W;5", "FLASH", "S"};
    // Off once block 4 has gone out: the write ends rather than running past
    // the last block.
    QTest::newRow("off past block 3 ends") << true << "W;4" << QStringList{"W;0", "W;1", "W;2", "W;3", "W;4", "FLASH", "S"};
}

void TstPrmWrit::makerSwitchedDuringExport()
{
    QFETCH(bool, makerAtStart);
    QFETCH(QString, switchWhenSent);
    QFETCH(QStringList, expected);
    Rig r;
    r.setMaker(makerAtStart);
    r.importZeros();
    r.w.CmdRW[1]->click();
    r.answerPoll();
    r.runTransfer([&](const QString &request) {
        if (request.section(u';', 0, 1) == switchWhenSent) r.setMaker(!makerAtStart);
        return echoOf(request);
    });
    QCOMPARE(heads(r.sent()), expected);
    QVERIFY(r.w.CmdRW[1]->isEnabled());
}

void TstPrmWrit::valuesTakenWhenEachBlockIsBuilt()
{
    Rig r;
    r.importZeros();
    r.w.CmdRW[1]->click();
    r.field(15)->setText(QStringLiteral(" 77"));  // before block 0 goes out
    r.answerPoll();
    QCOMPARE(r.sent().constLast(), QStringLiteral("W;0;0;0;0;0;0;0;0;0;0;0"));
    r.field(15)->setText(QStringLiteral(" 78"));  // after block 0, before block 1 is built
    r.field(5)->setText(QStringLiteral(" 99"));   // block 0 has gone: not sent again
    reply(r.port, "W");
    QCOMPARE(r.sent().constLast(), QStringLiteral("W;1;0;0;0;0;0;4E;0;0;0;0"));
}

void TstPrmWrit::errorReplyEndsTransfer_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("refusedRequest");
    QTest::newRow("import") << 0 << "R;2";
    QTest::newRow("export") << 1 << "W;2";
}

void TstPrmWrit::errorReplyEndsTransfer()
{
    QFETCH(int, button);
    QFETCH(QString, refusedRequest);
    Rig r;
    r.importZeros();
    r.w.CmdRW[button]->click();
    r.answerPoll();
    r.runTransfer([&](const QString &request) {
        return request.section(u';', 0, 1) == refusedRequest ? QByteArray("ERR;3") : echoOf(request) + ";0;0;0;0;0;0;0;0;0;0;0";
    });
    QCOMPARE(r.sent().constLast(), QStringLiteral("S"));
    QCOMPARE(r.sent().at(r.sent().size() - 2).section(u';', 0, 1), refusedRequest);
    QCOMPARE(r.link.state().XferIndex, quint8(0));
    QVERIFY(r.link.transferOwner().isEmpty());
    QVERIFY(r.w.CmdRW[0]->isEnabled());
    QVERIFY(r.w.CmdRW[1]->isEnabled());  // a read had completed before
    // The next transfer starts afresh.
    r.port.written.clear();
    r.w.CmdRW[0]->click();
    reply(r.port, "S;0");
    QCOMPARE(r.sent(), QStringList{"R;0"});
    QVERIFY(r.told.isEmpty());
}

void TstPrmWrit::timeOutCancelRestoresButtons()
{
    Rig r;
    r.link.askRetry = [] { return false; };
    r.w.CmdRW[0]->click();
    r.answerPoll();
    reply(r.port, "R;0;1;2;3;4;5;6;7;8;9;A");
    QCOMPARE(r.sent().constLast(), QStringLiteral("R;1"));
    for (int i = 0; i < 16; ++i) r.link.countTimeout();
    QCOMPARE(r.sent().constLast(), QStringLiteral("S"));
    QVERIFY(r.w.CmdRW[0]->isEnabled());
    QVERIFY(!r.w.CmdRW[1]->isEnabled());  // no read has completed
    QCOMPARE(r.link.state().XferIndex, quint8(0));
    QCOMPARE(r.field(0)->text(), QStringLiteral(" 1"));  // what arrived stays
    // A late answer to the abandoned read neither fills nor goes on.
    reply(r.port, "R;1;64;64;64;64;64;64;64;64;64;64");
    QCOMPARE(r.field(10)->text(), QStringLiteral("0"));
    QCOMPARE(r.sent().constLast(), QStringLiteral("S"));
}

void TstPrmWrit::refusedWhilePointTableTransfers()
{
    Rig r;
    QVERIFY(r.link.beginTransfer(QStringLiteral("Tbl_Writ")));
    r.w.CmdRW[0]->click();
    QCOMPARE(r.told.size(), 1);
    QVERIFY(r.w.CmdRW[0]->isEnabled());
    QVERIFY(r.link.state().PendingCmd.isEmpty());
    QCOMPARE(r.link.transferOwner(), QStringLiteral("Tbl_Writ"));
    r.link.endTransfer();
    r.w.CmdRW[0]->click();
    QCOMPARE(r.told.size(), 1);
    QCOMPARE(r.link.state().PendingCmd, F("R;0"));
    // And the other way round: the point table cannot start meanwhile.
    QVERIFY(!r.link.beginTransfer(QStringLiteral("Tbl_Writ")));
}

void TstPrmWrit::refusedDuringOwnTransfer()
{
    // "Export Data" pressed during a read would take the read's replies for
    // the wrong block; it is refused and the read goes on untouched.
    Rig r;
    r.importZeros();
    r.w.CmdRW[0]->click();
    r.answerPoll();
    reply(r.port, "R;0;1;1;1;1;1;1;1;1;1;1");
    QVERIFY(r.w.CmdRW[1]->isEnabled());
    r.w.CmdRW[1]->click();
    QCOMPARE(r.told.size(), 1);
    r.runTransfer([](const QString &request) {
        return "R;0;" + request.mid(2).toLatin1() + ";2;2;2;2;2;2;2;2;2";
    });
    QCOMPARE(r.sent(), (QStringList{"R;0", "R;1", "R;2", "R;3", "R;4", "R;5", "S"}));
    QCOMPARE(r.field(0)->text(), QStringLiteral(" 1"));
    QCOMPARE(r.field(10)->text(), QStringLiteral(" 1"));
    QCOMPARE(r.field(50)->text(), QStringLiteral(" 5"));
}

void TstPrmWrit::saveFile()
{
    QTemporaryDir dir;
    Rig r;
    const QString path = dir.filePath(QStringLiteral("set.pxt"));
    QVERIFY(writeFile(path, QByteArray(512, '\x55')));  // replaced whole, so it loads back
    r.field(0)->setText(QStringLiteral(" 1000"));
    r.field(12)->setText(QStringLiteral(" 12.5"));
    r.field(13)->setText(QStringLiteral(" 13.5"));
    r.field(17)->setText(QStringLiteral("-2000000"));
    r.field(30)->setText(QStringLiteral("3FF"));
    r.field(38)->setText(QStringLiteral("10"));   // hexadecimal: 16
    r.field(59)->setText(QStringLiteral("-1"));   // hidden maker field
    r.choices << path;
    r.w.CmdFile[1]->click();
    QCOMPARE(r.dialogs, QList<bool>{true});
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    QCOMPARE(bytes.size(), 240);
    QCOMPARE(bytes.mid(48, 4), QByteArray::fromHex("0C000000"));
    QCOMPARE(bytes.mid(52, 4), QByteArray::fromHex("0E000000"));
    QCOMPARE(bytes.mid(120, 4), QByteArray::fromHex("FF030000"));
    QCOMPARE(bytes.mid(152, 4), QByteArray::fromHex("10000000"));
    QCOMPARE(bytes.mid(236, 4), QByteArray::fromHex("FFFFFFFF"));
    QVERIFY(r.w.CmdFile[1]->hasFocus());
}

void TstPrmWrit::openFile()
{
    QTemporaryDir dir;
    Rig r;
    ParamValues values{};
    values[0] = 1023;
    values[2] = 5;  // below its minimum of 10
    values[17] = -2000000;
    values[30] = 1023;
    values[36] = 7;  // beyond its range "0/1": no check on loading
    values[57] = 3;
    const QString path = dir.filePath(QStringLiteral("in.pxt"));
    QVERIFY(writeFile(path, EncodeParamFile(values)));
    r.choices << path;
    r.w.CmdFile[0]->click();
    QCOMPARE(r.field(0)->text(), QStringLiteral(" 1023"));
    QCOMPARE(r.field(1)->text(), QStringLiteral(" 0"));
    QCOMPARE(r.field(2)->text(), QStringLiteral(" 5"));
    QCOMPARE(r.field(17)->text(), QStringLiteral("-2000000"));
    QCOMPARE(r.field(30)->text(), QStringLiteral("3FF"));
    QCOMPARE(r.field(36)->text(), QStringLiteral("7"));
    QCOMPARE(r.field(57)->text(), QStringLiteral(" 3"));
    QVERIFY(r.w.CmdFile[0]->hasFocus());
    // The check runs when the field is next left.
    r.focus(2);
    r.focus(3);
    QCOMPARE(r.field(2)->text(), QStringLiteral(" 10"));
}

void TstPrmWrit::openRefusesWrongLength_data()
{
    QTest::addColumn<int>("length");
    QTest::newRow("empty") << 0;
    QTest::newRow("239") << 239;
    QTest::newRow("241") << 241;
}

void TstPrmWrit::openRefusesWrongLength()
{
    QFETCH(int, length);
    QTemporaryDir dir;
    Rig r;
    const QString path = dir.filePath(QStringLiteral("bad.pxt"));
    QVERIFY(writeFile(path, QByteArray(length, '\x01')));
    r.field(0)->setText(QStringLiteral(" 42"));
    r.choices << path;  // then the dialog shown again is cancelled
    ModalAnswerer answer;
    r.w.CmdFile[0]->click();
    QCOMPARE(answer.seen.size(), 1);
    QCOMPARE(answer.seen[0].title, QStringLiteral("error"));
    QCOMPARE(answer.seen[0].text, QFileInfo(path).absoluteFilePath() + QStringLiteral("\rInvalid File"));
    QCOMPARE(answer.seen[0].icon, QMessageBox::Critical);
    QCOMPARE(r.dialogs, (QList<bool>{false, false}));
    QCOMPARE(r.field(0)->text(), QStringLiteral(" 42"));
    QCOMPARE(r.field(1)->text(), QStringLiteral("0"));
}

void TstPrmWrit::cancelledDialogsChangeNothing()
{
    Rig r;
    r.field(0)->setText(QStringLiteral(" 42"));
    r.choices << std::nullopt;
    r.w.CmdFile[0]->click();
    r.choices << QStringLiteral("/nonexistent-dir-orvex/missing.pxt");
    r.w.CmdFile[0]->click();  // a file that cannot be opened: silently nothing
    QCOMPARE(r.dialogs.size(), 2);
    QCOMPARE(r.field(0)->text(), QStringLiteral(" 42"));
    QVERIFY(r.w.CmdFile[0]->hasFocus());
}

void TstPrmWrit::failedSaveKeepsOldFile()
{
    QTemporaryDir dir;
    Rig r;
    // A path whose folder is a file cannot be written; the reason is told.
    const QString blocker = dir.filePath(QStringLiteral("plain"));
    QVERIFY(writeFile(blocker, "keep"));
    r.choices << blocker + QStringLiteral("/set.pxt");
    ModalAnswerer answer;
    r.w.CmdFile[1]->click();
    QCOMPARE(answer.seen.size(), 1);
    QCOMPARE(answer.seen[0].title, QStringLiteral("error"));
    QVERIFY(answer.seen[0].text.startsWith(blocker + QStringLiteral("/set.pxt\r")));
    QFile b(blocker);
    QVERIFY(b.open(QIODevice::ReadOnly));
    QCOMPARE(b.readAll(), QByteArray("keep"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"plain"});
}

QTEST_MAIN(TstPrmWrit)
#include "tst_prm_writ.moc"
