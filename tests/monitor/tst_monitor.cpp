// The operation panel, status display, alarm display and I/O monitor: their
// rules without widgets, then the four windows on one link over the
// in-memory port, driven by keys, clicks and replies.

#include "app/mditbl.h"
#include "link/titlebar.h"
#include "linktestutil.h"
#include "monitor/alarm.h"
#include "monitor/commcomm.h"
#include "monitor/iomon.h"
#include "monitor/mon2.h"
#include "monitor/monitorrules.h"
#include "monitor/monitorwidgets.h"

#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The four windows on one link, the port open and the opening "S" in flight.
struct Rig {
    PortSettings settings;
    MemoryPort port;
    DriveLink link{settings, port};
    TitleBar bar{link};
    CommComm comm{link};
    Mon2 mon2{link, bar, comm};
    Alarm alarm{link};
    IOMon io{link};
    QString tag = QStringLiteral("4");

    Rig()
    {
        bar.TimerDateTime.stop();
        link.setActiveTagSource([this] { return tag; });
        link.OpenPort();
        port.written.clear();
    }
    // The request waiting in the slot, without its frame.
    QString pending() const
    {
        const QByteArray &p = link.state().PendingCmd;
        return p.isEmpty() ? QString() : QString::fromLatin1(p.mid(1, p.size() - 2));
    }
    void send(const QByteArrayList &replies)
    {
        for (const QByteArray &text : replies) reply(port, text.constData());
    }
    QWidget *window(const QString &name)
    {
        for (QWidget *w : std::initializer_list<QWidget *>{&comm, &mon2, &alarm, &io})
            if (w->objectName() == name) return w;
        qFatal("no window %s", qPrintable(name));
    }
    template <class T = QWidget> static T *control(const QWidget &window, const QString &name)
    {
        T *c = window.findChild<T *>(name);
        if (!c) qFatal("no control %s", qPrintable(name));
        return c;
    }
    template <class T = QWidget> T *panel(const QString &name) const { return control<T>(comm, name); }
    QString text(const QWidget &window, const QString &name) const { return control<QLabel>(window, name)->text(); }
    QString sendLine() const { return text(comm, QStringLiteral("LblStr")); }
    QString recvLine() const { return text(comm, QStringLiteral("LblRecv")); }
    // Lit lamps of the panel, as "ON0 OFF1 …" in index order.
    QString litLamps() const
    {
        QStringList lit;
        for (int k = 0; k < 9; ++k)
            if (lampLit(panel<QLabel>(indexedName("LblON", k)))) lit << QStringLiteral("ON%1").arg(k);
        for (int k = 0; k < 8; ++k)
            if (lampLit(panel<QLabel>(indexedName("LblOFF", k)))) lit << QStringLiteral("OFF%1").arg(k);
        return lit.join(u' ');
    }
};

void sendKey(QWidget *to, QEvent::Type type, int key, Qt::KeyboardModifiers mods = {}, bool autoRepeat = false)
{
    QKeyEvent e(type, key, mods, QString(), autoRepeat);
    QApplication::sendEvent(to, &e);
}

}  // namespace

class TstMonitor : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Rules.
    void commandTexts_data();
    void commandTexts();
    void lamps_data();
    void lamps();
    void motorAndRom_data();
    void motorAndRom();
    // Windows.
    void panelStartsAsLoaded();
    void functionKeysWhereverTheFocusIs_data();
    void functionKeysWhereverTheFocusIs();
    void buttonsQueueTheirCommand_data();
    void buttonsQueueTheirCommand();
    void speedHeld_data();
    void speedHeld();
    void heldF9IsReleasedWhenFocusLeaves();
    void zeroSetBeyond32BitsSendsNothing();
    void panelDecoders_data();
    void panelDecoders();
    void statusReplyExample();
    void rowsWriteOnlyOnChange_data();
    void rowsWriteOnlyOnChange();
    void valueReply();
    void pollRequestsOfPanelAndStatus();
    void makerControls();
    void alarmReply_data();
    void alarmReply();
    void ioReply_data();
    void ioReply();
    void largerWindowKeepsItsControlsTogether_data();
    void largerWindowKeepsItsControlsTogether();
};

// --- rules ---------------------------------------------------------------------

// The texts the panel and the status window queue, from what was typed.
void TstMonitor::commandTexts_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("typed2");   // the second dump address
    QTest::addColumn<QString>("command");  // empty: nothing is sent
    QTest::newRow("PNT 12") << "12" << "" << "PNT;0C";
    QTest::newRow("PNT 7x reads 7") << "7x" << "" << "PNT;07";
    QTest::newRow("PNT empty") << "" << "" << "PNT;00";
    QTest::newRow("PNT 300 keeps two digits") << "300" << "" << "PNT;2C";
    QTest::newRow("PNT -1") << "-1" << "" << "PNT;FF";
    QTest::newRow("PNT 2.5 to even") << "2.5" << "" << "PNT;02";
    QTest::newRow("PNT 3.5 to even") << "3.5" << "" << "PNT;04";
    QTest::newRow("PNT beyond 32 bits held") << "1e20" << "" << "PNT;FF";
    QTest::newRow("ZSET 1000") << "1000" << "" << "ZSET;3E8";
    QTest::newRow("ZSET -1") << "-1" << "" << "ZSET;FFFFFFFF";
    QTest::newRow("ZSET junk") << "x" << "" << "ZSET;0";
    QTest::newRow("ZSET largest") << "2147483647" << "" << "ZSET;7FFFFFFF";
    QTest::newRow("ZSET smallest") << "-2147483648" << "" << "ZSET;80000000";
    QTest::newRow("ZSET one above") << "2147483648" << "" << "";
    QTest::newRow("ZSET one below") << "-2147483649" << "" << "";
    QTest::newRow("ZSET huge exponent") << "1e400" << "" << "";
    QTest::newRow("VV initial") << "0000" << "0000" << "VV;FFFF0000;FFFF0000;";
    QTest::newRow("VV empty") << "" << "" << "VV;FFFF0000;FFFF0000;";
    QTest::newRow("VV 1 and 12") << "1" << "12" << "VV;FFFF0001;FFFF0012;";
    QTest::newRow("VV as typed") << "zz" << "ABCD" << "VV;FFFF00zz;FFFFABCD;";
    QTest::newRow("VV eight and more") << "123456789" << "12345678" << "VV;123456789;12345678;";
}

void TstMonitor::commandTexts()
{
    QFETCH(QString, typed);
    QFETCH(QString, typed2);
    QFETCH(QString, command);
    const QString rule = QString::fromLatin1(QTest::currentDataTag()).section(u' ', 0, 0);
    const QString got = rule == u"PNT"    ? PointCommand(typed)
                        : rule == u"ZSET" ? ZeroSetCommand(typed).value_or(QString())
                                          : ValueCommand(typed, typed2);
    QCOMPARE(got, command);
}

void TstMonitor::lamps_data()
{
    // Lit lamps as letters: ON lamps 0-8, then OFF lamps 0-7.
    QTest::addColumn<int>("word");
    QTest::addColumn<QString>("lit");
    QTest::newRow("nothing") << 0 << "......... XXXXXXXX";
    QTest::newRow("91: servo, start, high") << 0x91 << "X.X...X.. .X.XXX.X";
    QTest::newRow("emergency is bit 8") << 0x100 << ".X....... X.XXXXXX";
    QTest::newRow("reset is bit 3") << 0x8 << ".....X... XXXXX.XX";
    QTest::newRow("-jog") << 0x4 << "........X XXXXXXX.";
    QTest::newRow("+jog wins") << 0x6 << ".......X. XXXXXXX.";
    QTest::newRow("all bits") << -1 << "XXXXXXXX. ........";
}

void TstMonitor::lamps()
{
    QFETCH(int, word);
    QFETCH(QString, lit);
    const PanelLamps l = LampsFromState(word);
    QString got;
    for (bool b : l.on) got += b ? u'X' : u'.';
    got += u' ';
    for (bool b : l.off) got += b ? u'X' : u'.';
    QCOMPARE(got, lit);
}

void TstMonitor::motorAndRom_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("motor");  // null: not in the table
    QTest::addColumn<QString>("rom");
    QTest::newRow("0") << 0 << "RM2210" << "0.00";
    QTest::newRow("5 is no motor") << 5 << QString() << "0.05";
    QTest::newRow("22") << 22 << "RM2330" << "0.22";
    QTest::newRow("291") << 291 << QString() << "2.91";
    QTest::newRow("-5") << -5 << QString() << "-0.05";
    QTest::newRow("lowest") << int(0x80000000) << QString() << "-21474836.48";
}

void TstMonitor::motorAndRom()
{
    QFETCH(int, value);
    QFETCH(QString, motor);
    QFETCH(QString, rom);
    QCOMPARE(MotorModelText(value).isNull(), motor.isNull());
    QCOMPARE(MotorModelText(value), motor);
    QCOMPARE(RomVersionText(value), rom);
}

// --- windows -------------------------------------------------------------------

void TstMonitor::panelStartsAsLoaded()
{
    Rig r;
    QCOMPARE(r.litLamps(), QStringLiteral("OFF0 OFF1 OFF2 OFF3 OFF4 OFF5 OFF6 OFF7"));
    QVERIFY(r.panel("Frame6")->isHidden() && r.panel("LblJStr")->isHidden());
    QCOMPARE(r.panel("CmdON(5)")->accessibleName(), QStringLiteral("RESETON"));
}

void TstMonitor::functionKeysWhereverTheFocusIs_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("mods");
    QTest::addColumn<QString>("sent");
    QTest::newRow("F1 in point box") << "TxtPNT" << int(Qt::Key_F1) << 0 << "SVON";
    QTest::newRow("F3 on a button") << "CmdOFF(0)" << int(Qt::Key_F3) << 0 << "STRON";
    QTest::newRow("Shift+F3 in list box") << "CmbMON" << int(Qt::Key_F3) << int(Qt::ShiftModifier) << "STROFF";
    QTest::newRow("Ctrl+F4") << "CmbMON" << int(Qt::Key_F4) << int(Qt::ControlModifier) << "ZSTROFF";
    QTest::newRow("Alt+F6") << "TxtPNT" << int(Qt::Key_F6) << int(Qt::AltModifier) << "RSTOFF";
    QTest::newRow("F7") << "CmdRESET" << int(Qt::Key_F7) << 0 << "PJOG";
    QTest::newRow("F8 on the window") << "CommComm" << int(Qt::Key_F8) << 0 << "NJOG";
    QTest::newRow("Shift+F8") << "TxtPNT" << int(Qt::Key_F8) << int(Qt::ShiftModifier) << "JOGOFF";
    QTest::newRow("Ctrl+F7") << "TxtPNT" << int(Qt::Key_F7) << int(Qt::ControlModifier) << "JOGOFF";
    QTest::newRow("F10 does nothing") << "TxtPNT" << int(Qt::Key_F10) << 0 << "";
}

void TstMonitor::functionKeysWhereverTheFocusIs()
{
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(int, mods);
    QFETCH(QString, sent);
    Rig r;
    QWidget *target = focus == u"CommComm" ? &r.comm : r.panel(focus);
    sendKey(target, QEvent::KeyPress, key, Qt::KeyboardModifiers(mods));
    sendKey(target, QEvent::KeyRelease, key, Qt::KeyboardModifiers(mods));
    QCOMPARE(r.sendLine(), sent);
    QCOMPARE(r.pending(), sent);
    // The focused control never saw the key.
    QCOMPARE(r.panel<QLineEdit>("TxtPNT")->text(), QStringLiteral("0"));
    QCOMPARE(r.panel<QComboBox>("CmbMON")->currentIndex(), 0);
}

void TstMonitor::buttonsQueueTheirCommand_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("sent");
    QTest::addColumn<QString>("japanese");  // the panel's hidden label; empty elsewhere
    QTest::newRow("reset on") << "CommComm" << "CmdON(5)" << "RSTON" << "ﾘｾｯﾄｵﾝ";
    QTest::newRow("emergency off") << "CommComm" << "CmdOFF(1)" << "EMCOFF" << "非常停止ｵﾌ";
    QTest::newRow("jog stop") << "CommComm" << "CmdJOG(2)" << "JOGOFF" << "ｼﾞｮｸﾞｵﾌ";
    QTest::newRow("teaching") << "CommComm" << "CmdTDIN" << "TDIN" << "ﾃｨｰﾁ";
    QTest::newRow("cpu reset") << "CommComm" << "CmdRESET" << "RESET" << "CPUﾘｾｯﾄ";
    QTest::newRow("point 7x") << "CommComm" << "CmdPNT" << "PNT;07" << "ﾎﾟｲﾝﾄ指定";
    QTest::newRow("peak torque reset") << "Mon2" << "CmdTRST" << "TRST" << "";
    QTest::newRow("alarm reset") << "Alarm" << "CmdARST" << "ARST" << "";
    QTest::newRow("record clear") << "Alarm" << "CmdHCL" << "HCL" << "";
}

void TstMonitor::buttonsQueueTheirCommand()
{
    QFETCH(QString, window);
    QFETCH(QString, button);
    QFETCH(QString, sent);
    QFETCH(QString, japanese);
    Rig r;
    r.panel<QLineEdit>("TxtPNT")->setText(QStringLiteral("7x"));
    r.panel<QPushButton>("CmdON(0)")->click();  // replaced by the later command
    Rig::control<QPushButton>(*r.window(window), button)->click();
    QCOMPARE(r.pending(), sent);
    if (!japanese.isEmpty()) QCOMPARE(r.text(r.comm, "LblJStr"), japanese);
    r.send({"S;0"});
    QCOMPARE(requests(r.port), QStringList{sent});
}

void TstMonitor::speedHeld_data()
{
    QTest::addColumn<int>("key");  // 0: the mouse, pressed and released within one exchange
    QTest::newRow("mouse") << 0;
    QTest::newRow("space") << int(Qt::Key_Space);
    QTest::newRow("enter") << int(Qt::Key_Return);
    QTest::newRow("F9") << int(Qt::Key_F9);
    QTest::newRow("Shift+F9") << (int(Qt::Key_F9) | int(Qt::ShiftModifier));
}

void TstMonitor::speedHeld()
{
    QFETCH(int, key);
    Rig r;
    r.comm.show();
    QPushButton *speed = r.panel<QPushButton>("CmdON(6)");
    const auto mods = Qt::KeyboardModifiers(key & Qt::KeyboardModifierMask);
    key &= ~Qt::KeyboardModifierMask;
    if (key) sendKey(speed, QEvent::KeyPress, key, mods);
    else QTest::mousePress(speed, Qt::LeftButton);
    QCOMPARE(r.pending(), QStringLiteral("HSON"));
    QVERIFY(speed->isDown());
    if (key) {
        r.send({"S;0"});  // the drive gets HSON while the key is held
        sendKey(speed, QEvent::KeyRelease, key, mods, true);  // a repeat's release is no release
        QCOMPARE(r.sendLine(), QStringLiteral("HSON"));
        sendKey(speed, QEvent::KeyRelease, key, mods);
    } else {
        QTest::mouseRelease(speed, Qt::LeftButton);
    }
    QCOMPARE(r.pending(), QStringLiteral("HSOFF"));
    QCOMPARE(r.sendLine(), QStringLiteral("HSOFF"));
    QVERIFY(!speed->isDown());
    r.send({"HSON"});
    QCOMPARE(requests(r.port), (key ? QStringList{"HSON", "HSOFF"} : QStringList{"HSOFF"}));
}

void TstMonitor::heldF9IsReleasedWhenFocusLeaves()
{
    Rig r;
    r.comm.show();
    r.comm.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&r.comm));
    QLineEdit *point = r.panel<QLineEdit>("TxtPNT");
    point->setFocus();
    sendKey(point, QEvent::KeyPress, Qt::Key_F9);
    r.send({"S;0"});
    sendKey(point, QEvent::KeyPress, Qt::Key_F9, {}, true);  // the key repeats
    QCOMPARE(r.pending(), QStringLiteral("HSON"));
    r.send({"HSON"});
    // The focus goes to another window while F9 is still down: its release
    // will not come here, so the panel lets go of high speed at once.
    QLineEdit elsewhere;
    elsewhere.show();
    elsewhere.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&elsewhere));
    elsewhere.setFocus();
    QTRY_COMPARE(r.pending(), QStringLiteral("HSOFF"));
    r.send({"HSON"});
    QCOMPARE(requests(r.port), (QStringList{"HSON", "HSON", "HSOFF"}));
}

void TstMonitor::zeroSetBeyond32BitsSendsNothing()
{
    Rig r;
    auto *zero = r.panel<QLineEdit>("TxtZSET");
    zero->setText(QStringLiteral("1000"));
    r.panel<QPushButton>("CmdZSET")->click();
    QCOMPARE(r.pending(), QStringLiteral("ZSET;3E8"));
    r.send({"S;0"});
    zero->setText(QStringLiteral("9e99"));
    r.panel<QPushButton>("CmdZSET")->click();
    QCOMPARE(r.pending(), QString());  // never a clamped or wrapped zero
    QCOMPARE(r.sendLine(), QStringLiteral("ZSET;3E8"));
    QCOMPARE(r.recvLine(), ErrorText(3));
}

void TstMonitor::panelDecoders_data()
{
    QTest::addColumn<QByteArrayList>("replies");
    QTest::addColumn<QString>("mon");
    QTest::addColumn<QString>("recv");
    const QString err = QString::fromUtf8("Err\uFF1A");
    // The reply's item decides hexadecimal (14 and 16) or decimal, not the list.
    QTest::newRow("item 16 value 4660") << QByteArrayList{"MON;10;1234"} << "1234" << "";
    QTest::newRow("item 14 in hex") << QByteArrayList{"MON;E;FFFF"} << "FFFFFFFF" << "";
    QTest::newRow("item 15 in decimal") << QByteArrayList{"MON;F;1234"} << "4660" << "";
    QTest::newRow("speed in decimal") << QByteArrayList{"MON;4;FED4"} << "-300" << "";
    QTest::newRow("missing value keeps field 1") << QByteArrayList{"MON;4;64", "MON;10"} << "64" << "";
    QTest::newRow("err 1") << QByteArrayList{"ERR;1"} << "0" << err + "Invalid command";
    QTest::newRow("err 8") << QByteArrayList{"ERR;8"} << "0" << err + "In the EMC state.";
    QTest::newRow("err 9") << QByteArrayList{"ERR;9"} << "0" << err + "Communication error.";
    QTest::newRow("err 0") << QByteArrayList{"ERR;0"} << "0" << err + "Communication error.";
    QTest::newRow("err without code") << QByteArrayList{"ERR;2", "ERR"} << "0" << err + "Failed in ZSET";
    QTest::newRow("catch-all") << QByteArrayList{"SVON"} << "0" << "SVON";
    QTest::newRow("empty keyword") << QByteArrayList{"TRST", ""} << "0" << "";
    QTest::newRow("own decoders leave it") << QByteArrayList{"ARST", "S;0", "VV;1", "IO;0", "ALM;0", "MON;0;5"}
                                           << "5" << "ARST";
}

void TstMonitor::panelDecoders()
{
    QFETCH(QByteArrayList, replies);
    QFETCH(QString, mon);
    QFETCH(QString, recv);
    Rig r;
    r.send(replies);
    QCOMPARE(r.text(r.comm, "LblMON"), mon);
    QCOMPARE(r.recvLine(), recv);
}

void TstMonitor::statusReplyExample()
{
    Rig r;
    r.send({"S;80000000;3;14;12C;91"});
    QCOMPARE(r.link.state().StatusWord, 0x80000000u);
    for (int k : {0, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15})
        QCOMPARE(r.text(r.mon2, indexedName("LblSS", k)), k == 6 ? QStringLiteral(": ON") : QStringLiteral(": OFF"));
    QCOMPARE(r.text(r.mon2, "LblDosa(6)"), QStringLiteral("SVON"));
    QCOMPARE(r.text(r.comm, "LblPnt"), QStringLiteral("3"));
    QCOMPARE(r.bar.LblMSEL->text(), QStringLiteral("RM2310"));
    QCOMPARE(r.bar.LblROMV->text(), QStringLiteral("3") + QLocale::system().decimalPoint() + QStringLiteral("00"));
    QCOMPARE(r.litLamps(), QStringLiteral("ON0 ON2 ON6 OFF1 OFF3 OFF4 OFF5 OFF7"));

    // Bits 31 and 23: "SVON" and "ALARM"; an unknown motor keeps the text.
    r.send({"S;80800000;FFFF;5;64;6"});
    QCOMPARE(r.text(r.mon2, "LblSS(0)"), QStringLiteral(": ON"));
    QCOMPARE(r.text(r.mon2, "LblSS(6)"), QStringLiteral(": ON"));
    QCOMPARE(r.text(r.comm, "LblPnt"), QStringLiteral("-1"));
    QCOMPARE(r.bar.LblMSEL->text(), QStringLiteral("RM2310"));
    QCOMPARE(r.litLamps(), QStringLiteral("ON7 OFF0 OFF1 OFF2 OFF3 OFF4 OFF5 OFF6"));

    // Fewer fields: "VV" overwrote positions 0 to 2 only, so fields 1 and 2
    // are the value reply's and fields 3 and 4 the status reply's before.
    r.send({"VV;1;2;3", "S;0"});
    QCOMPARE(r.link.state().StatusWord, 0u);
    QCOMPARE(r.text(r.comm, "LblPnt"), QStringLiteral("2"));
    QCOMPARE(r.bar.LblMSEL->text(), QStringLiteral("RM2270"));
    QCOMPARE(r.litLamps(), QStringLiteral("ON7 OFF0 OFF1 OFF2 OFF3 OFF4 OFF5 OFF6"));
}

void TstMonitor::rowsWriteOnlyOnChange_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("label");
    // The first reply takes the label off its resting text, the second puts it back.
    QTest::addColumn<QByteArrayList>("replies");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("status INP") << "Mon2" << "LblSS(8)" << QByteArrayList{"S;00000100", "S;0"}
                                << QStringList{": ON", ": OFF"};
    QTest::newRow("output RDY") << "IOMon" << "LblOUT(0)" << QByteArrayList{"IO;0", "IO;1"}
                                << QStringList{": CLOSE", ": OPEN"};
}

void TstMonitor::rowsWriteOnlyOnChange()
{
    QFETCH(QString, window);
    QFETCH(QString, label);
    QFETCH(QByteArrayList, replies);
    QFETCH(QStringList, texts);
    Rig r;
    auto *l = Rig::control<QLabel>(*r.window(window), label);
    r.send({replies[0]});
    QCOMPARE(l->text(), texts[0]);
    // A label whose state does not change is left alone, whatever it reads...
    l->setText(QStringLiteral("kept"));
    r.send({replies[0]});
    QCOMPARE(l->text(), QStringLiteral("kept"));
    // ...and written when it does.
    r.send({replies[1]});
    QCOMPARE(l->text(), texts[1]);
    // A reply without the field leaves what the last one said.
    r.send({replies[0], replies[0].left(replies[0].indexOf(';'))});
    QCOMPARE(l->text(), texts[0]);
}

void TstMonitor::valueReply()
{
    Rig r;
    r.send({"VV;12;0;FFFF;ABCD;1;2;3;4;FFFF;0000FFFF;50;0001E240;8000;0;0;0;FFFF;7;FFFFFFFF;1F"});
    const QStringList dmp1{"12", "0", "FFFFFFFF", "FFFFABCD"};
    for (int i = 0; i < 4; ++i) QCOMPARE(r.text(r.mon2, indexedName("LblDmp1", i)), dmp1[i]);
    QCOMPARE(r.text(r.mon2, "LblDmp2(3)"), QStringLiteral("4"));
    const QStringList dt{"-1", " 65535", " 80", " 123456", "-32768", " 0", "FFFFFFFF", "7", "FFFFFFFF", "31"};
    for (int i = 0; i < 10; ++i) QCOMPARE(r.text(r.mon2, indexedName("LblDt", i)), dt[i]);
    // A shorter reply leaves the fields it does not carry as they were.
    r.send({"VV;0;0;0;0;0;0;0;0;5DC"});
    QCOMPARE(r.text(r.mon2, "LblDt(0)"), QStringLiteral(" 1500"));
    QCOMPARE(r.text(r.mon2, "LblDt(1)"), QStringLiteral(" 65535"));
    QCOMPARE(r.text(r.mon2, "LblDt(9)"), QStringLiteral("31"));
}

void TstMonitor::pollRequestsOfPanelAndStatus()
{
    // The panel's request follows its list; the status display's its two
    // dump address boxes.
    Rig r;
    r.panel<QComboBox>("CmbMON")->setCurrentIndex(16);
    r.send({"S;0", "S;0"});
    r.tag = QStringLiteral("2");
    r.send({"S;0", "S;0"});
    Rig::control<QLineEdit>(r.mon2, "TxtAdr(0)")->setText(QStringLiteral("7"));
    Rig::control<QLineEdit>(r.mon2, "TxtAdr(1)")->setText(QStringLiteral("ABCD"));
    r.send({"VV;0", "S;0"});
    QCOMPARE(requests(r.port), (QStringList{"S", "MON;10", "S", "VV;FFFF0000;FFFF0000;", "S", "VV;FFFF0007;FFFFABCD;"}));
}

void TstMonitor::makerControls()
{
    // Maker mode of the main window shows the status display's maker rows;
    // only their visibility changes.
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    MemoryPort port;
    MDItbl app(port);
    app.titleBar->TimerDateTime.stop();
    app.mon2->TxtAdr[0]->setText(QStringLiteral("7"));
    const QStringList maker{"Label7",     "Label8",     "TxtAdr(0)",  "TxtAdr(1)",  "LblDmp1(0)", "LblDmp1(3)",
                            "LblDmp2(0)", "LblDmp2(3)", "Label9",     "Label10",    "Label11",    "LblDt(6)",
                            "LblDt(7)",   "LblDt(8)"};
    for (bool on : {false, true, false}) {
        app.SetMakerMode(on);
        for (const QString &name : maker)
            QVERIFY2(Rig::control(*app.mon2, name)->isVisibleTo(app.mon2) == on, qPrintable(name));
        QVERIFY(app.mon2->LblDt[9]->isVisibleTo(app.mon2));
    }
    QCOMPARE(app.mon2->TxtAdr[0]->text(), QStringLiteral("7"));
}

void TstMonitor::alarmReply_data()
{
    QTest::addColumn<QByteArrayList>("replies");
    QTest::addColumn<QString>("red");        // cells with a red background
    QTest::addColumn<QStringList>("lines");  // history lines 0 to 2: the lowest of bits 0-12
    const QString comm = QString::fromUtf8("通信異常（11）"), acc = QString::fromUtf8("加減速領域不足（10）");
    QTest::newRow("bits 1 and 10") << QByteArrayList{"ALM;402;0;0;0"} << "1 10" << QStringList{"", "", ""};
    QTest::newRow("hidden cell, history 6") << QByteArrayList{"ALM;800;6;800"} << "11" << QStringList{"Over Load(01)", comm, ""};
    QTest::newRow("only bit 13 keeps the line")
        << QByteArrayList{"ALM;0;1;4", "ALM;2000;2000;2000"} << "" << QStringList{"ROM Error(00)", "Encoder Error(02)", ""};
    QTest::newRow("0 empties") << QByteArrayList{"ALM;1;1;1", "ALM;0;0;1"} << "" << QStringList{"", "ROM Error(00)", ""};
    QTest::newRow("bit 12 hidden cell") << QByteArrayList{"ALM;0;1000"} << "" << QStringList{acc, "", ""};
    QTest::newRow("bits 31 and 10") << QByteArrayList{"ALM;0;80000400"} << "" << QStringList{"OT Error(10)", "", ""};
    QTest::newRow("fewer fields keep older ones")
        << QByteArrayList{"ALM;1;2;2;2", "ALM;4"} << "2" << QStringList{"Over Load(01)", "Over Load(01)", "Over Load(01)"};
}

void TstMonitor::alarmReply()
{
    QFETCH(QByteArrayList, replies);
    QFETCH(QString, red);
    QFETCH(QStringList, lines);
    Rig r;
    r.send(replies);
    QStringList gotRed;
    for (int i = 0; i < AlarmCount; ++i) {
        const QColor back = Rig::control(r.alarm, indexedName("LblAlarm", i))->palette().color(QPalette::Window);
        QVERIFY(back == QColor(255, 0, 0) || back == QColor(128, 128, 128));
        if (back == QColor(255, 0, 0)) gotRed << QString::number(i);
    }
    QCOMPARE(gotRed.join(u' '), red);
    for (int j = 0; j < 3; ++j) QCOMPARE(r.text(r.alarm, indexedName("LblHist", j)), lines[j]);
    QVERIFY(Rig::control(r.alarm, "LblAlarm(11)")->isHidden());
}

void TstMonitor::ioReply_data()
{
    QTest::addColumn<QByteArray>("word");
    QTest::addColumn<QString>("open");  // state labels reading ": OPEN"
    QTest::newRow("0 closes all") << QByteArray("0") << "";
    QTest::newRow("bits 16 and 0") << QByteArray("10001") << "IN0 OUT0";
    QTest::newRow("hidden rows follow") << QByteArray("10000038") << "IN12 OUT3 OUT4 OUT5";
    QTest::newRow("ignored bits") << QByteArray("E000FFC0") << "";
    QTest::newRow("all") << QByteArray("FFFFFFFF") << "IN0 IN1 IN2 IN3 IN4 IN5 IN6 IN7 IN8 IN9 IN10 IN11 IN12 "
                                                      "OUT0 OUT1 OUT2 OUT3 OUT4 OUT5";
}

void TstMonitor::ioReply()
{
    QFETCH(QByteArray, word);
    QFETCH(QString, open);
    Rig r;
    r.send({"IO;" + word});
    QStringList got;
    for (int i = 0; i < InputCount; ++i) {
        const QString t = r.text(r.io, indexedName("LblIN", i));
        QVERIFY(t == u": OPEN" || t == u": CLOSE");
        if (t == u": OPEN") got << QStringLiteral("IN%1").arg(i);
    }
    for (int j = 0; j < OutputCount; ++j)
        if (r.text(r.io, indexedName("LblOUT", j)) == u": OPEN") got << QStringLiteral("OUT%1").arg(j);
    QCOMPARE(got.join(u' '), open);
}

void TstMonitor::largerWindowKeepsItsControlsTogether_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("control");
    QTest::addColumn<bool>("sameWidth");     // a frame may grow wider, never taller
    QTest::addColumn<QString>("neighbour");  // stays beside the control when not empty
    QTest::newRow("alarm cell") << "Alarm" << "LblAlarm(0)" << true << "";
    QTest::newRow("I/O frame") << "IOMon" << "Frame2" << false << "";
    QTest::newRow("monitor value beside its item") << "CommComm" << "CmbMON" << true << "LblMON";
    QTest::newRow("status frame") << "Mon2" << "FrmDosaJ" << false << "";
}

void TstMonitor::largerWindowKeepsItsControlsTogether()
{
    QFETCH(QString, window);
    QFETCH(QString, control);
    QFETCH(bool, sameWidth);
    QFETCH(QString, neighbour);
    Rig r;
    QWidget *w = r.window(window);
    w->resize(w->sizeHint());
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QWidget *c = Rig::control(*w, control);
    const QSize natural = c->size();
    // A maximised window in the main area is several times its natural size.
    w->resize(w->sizeHint() * 3);
    QCoreApplication::processEvents();
    QCOMPARE(c->height(), natural.height());
    if (sameWidth) QCOMPARE(c->width(), natural.width());
    if (!neighbour.isEmpty()) {
        const QWidget *n = Rig::control(*w, neighbour);
        QVERIFY(n->mapTo(w, QPoint()).x() - c->mapTo(w, QPoint(c->width(), 0)).x() < 20);
    }
}

QTEST_MAIN(TstMonitor)
#include "tst_monitor.moc"
