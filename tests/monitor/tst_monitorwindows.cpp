#include "app/mditbl.h"
#include "link/titlebar.h"
#include "linktestutil.h"
#include "monitor/alarm.h"
#include "monitor/commcomm.h"
#include "monitor/iomon.h"
#include "monitor/mon2.h"
#include "monitor/monitorwidgets.h"

#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

// The four windows on one link over the in-memory port, the port open and
// the opening "S" in flight.
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
    template <class T> T *panel(const QString &name) const { return control<T>(comm, name); }
    template <class T> static T *control(const QWidget &window, const QString &name)
    {
        T *c = window.findChild<T *>(name);
        if (!c) qFatal("no control %s", qPrintable(name));
        return c;
    }
    QString text(const QWidget &window, const QString &name) const { return control<QLabel>(window, name)->text(); }
    QString sendLine() const { return text(comm, QStringLiteral("LblStr")); }
    QString recvLine() const { return text(comm, QStringLiteral("LblRecv")); }
    // Lit lamps of the panel, as "ON(0) OFF(1) …" in index order.
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

class TstMonitorWindows : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void panelStartsAsLoaded();
    void functionKeysWhereverTheFocusIs_data();
    void functionKeysWhereverTheFocusIs();
    void buttonsQueueTheirCommand_data();
    void buttonsQueueTheirCommand();
    void speedPressedAndReleasedWithinOneExchange();
    void speedHeldByKeys_data();
    void speedHeldByKeys();
    void heldF9RepeatsAndIsReleasedWhenFocusLeaves();
    void pointDesignation_data();
    void pointDesignation();
    void zeroSetBeyond32BitsSendsNothing();
    void panelDecoders_data();
    void panelDecoders();
    void statusReplyExample();
    void statusRowsWriteOnlyOnChange();
    void statusReplyWithFewerFields();
    void valueReply();
    void valueRequestAndMakerControls();
    void alarmReply_data();
    void alarmReply();
    void alarmButtons();
    void ioReply_data();
    void ioReply();
    void ioWriteOnlyOnChange();
    void activatingEachWindowSwitchesThePoll();
};

void TstMonitorWindows::panelStartsAsLoaded()
{
    Rig r;
    QCOMPARE(r.comm.windowTitle(), QStringLiteral("Command Communication"));
    QCOMPARE(r.comm.tag(), QStringLiteral("4"));
    QCOMPARE(r.litLamps(), QStringLiteral("OFF0 OFF1 OFF2 OFF3 OFF4 OFF5 OFF6 OFF7"));
    QCOMPARE(r.panel<QComboBox>("CmbMON")->count(), 17);
    QCOMPARE(r.text(r.comm, "LblMON"), QStringLiteral("0"));
    QCOMPARE(r.panel<QLineEdit>("TxtPNT")->maxLength(), 2);
    QVERIFY(r.panel<QWidget>("Frame6")->isHidden());
    QVERIFY(r.panel<QWidget>("LblJStr")->isHidden());
    QCOMPARE(r.panel<QPushButton>("CmdON(5)")->text(), QStringLiteral("RESETON"));
    QCOMPARE(r.panel<QPushButton>("CmdON(5)")->accessibleName(), QStringLiteral("RESETON"));
}

void TstMonitorWindows::functionKeysWhereverTheFocusIs_data()
{
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("mods");
    QTest::addColumn<QString>("sent");
    QTest::newRow("F1 in point box") << "TxtPNT" << int(Qt::Key_F1) << 0 << "SVON";
    QTest::newRow("F3 on a button") << "CmdOFF(0)" << int(Qt::Key_F3) << 0 << "STRON";
    QTest::newRow("Shift+F3") << "CmbMON" << int(Qt::Key_F3) << int(Qt::ShiftModifier) << "STROFF";
    QTest::newRow("Ctrl+F3") << "CmbMON" << int(Qt::Key_F3) << int(Qt::ControlModifier) << "STROFF";
    QTest::newRow("Alt+F6") << "TxtPNT" << int(Qt::Key_F6) << int(Qt::AltModifier) << "RSTOFF";
    QTest::newRow("F4 in list box") << "CmbMON" << int(Qt::Key_F4) << 0 << "ZSTRON";
    QTest::newRow("F6") << "CmdTDIN" << int(Qt::Key_F6) << 0 << "RSTON";
    QTest::newRow("F7") << "CmdRESET" << int(Qt::Key_F7) << 0 << "PJOG";
    QTest::newRow("F8") << "CommComm" << int(Qt::Key_F8) << 0 << "NJOG";
    QTest::newRow("Shift+F8") << "TxtPNT" << int(Qt::Key_F8) << int(Qt::ShiftModifier) << "JOGOFF";
    QTest::newRow("Ctrl+F7") << "TxtPNT" << int(Qt::Key_F7) << int(Qt::ControlModifier) << "JOGOFF";
    QTest::newRow("F10 does nothing") << "TxtPNT" << int(Qt::Key_F10) << 0 << "";
}

void TstMonitorWindows::functionKeysWhereverTheFocusIs()
{
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(int, mods);
    QFETCH(QString, sent);
    Rig r;
    QWidget *target = focus == u"CommComm" ? &r.comm : r.panel<QWidget>(focus);
    const QString before = r.panel<QLineEdit>("TxtPNT")->text();
    sendKey(target, QEvent::KeyPress, key, Qt::KeyboardModifiers(mods));
    sendKey(target, QEvent::KeyRelease, key, Qt::KeyboardModifiers(mods));
    QCOMPARE(r.sendLine(), sent);
    QCOMPARE(r.pending(), sent);
    // The focused control never saw the key.
    QCOMPARE(r.panel<QLineEdit>("TxtPNT")->text(), before);
    QCOMPARE(r.panel<QComboBox>("CmbMON")->currentIndex(), 0);
}

void TstMonitorWindows::buttonsQueueTheirCommand_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("sent");
    QTest::addColumn<QString>("japanese");
    QTest::newRow("reset on") << "CmdON(5)" << "RSTON" << "ﾘｾｯﾄｵﾝ";
    QTest::newRow("emergency off") << "CmdOFF(1)" << "EMCOFF" << "非常停止ｵﾌ";
    QTest::newRow("jog stop") << "CmdJOG(2)" << "JOGOFF" << "ｼﾞｮｸﾞｵﾌ";
    QTest::newRow("teaching") << "CmdTDIN" << "TDIN" << "ﾃｨｰﾁ";
    QTest::newRow("cpu reset") << "CmdRESET" << "RESET" << "CPUﾘｾｯﾄ";
}

void TstMonitorWindows::buttonsQueueTheirCommand()
{
    QFETCH(QString, button);
    QFETCH(QString, sent);
    QFETCH(QString, japanese);
    Rig r;
    r.panel<QPushButton>("CmdON(0)")->click();  // replaced by the later command
    r.panel<QPushButton>(button)->click();
    QCOMPARE(r.pending(), sent);
    QCOMPARE(r.text(r.comm, "LblJStr"), japanese);
    reply(r.port, "S;0");
    QCOMPARE(requests(r.port), QStringList{sent});
    reply(r.port, sent.toLatin1().constData());  // the catch-all shows the keyword
    QCOMPARE(r.recvLine(), sent);
}

void TstMonitorWindows::speedPressedAndReleasedWithinOneExchange()
{
    Rig r;
    r.comm.show();
    QPushButton *speed = r.panel<QPushButton>("CmdON(6)");
    QTest::mousePress(speed, Qt::LeftButton);
    QCOMPARE(r.pending(), QStringLiteral("HSON"));
    QTest::mouseRelease(speed, Qt::LeftButton);
    QCOMPARE(r.sendLine(), QStringLiteral("HSOFF"));
    reply(r.port, "S;0");
    QCOMPARE(requests(r.port), QStringList{"HSOFF"});
}

void TstMonitorWindows::speedHeldByKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("space") << int(Qt::Key_Space);
    QTest::newRow("enter") << int(Qt::Key_Return);
    QTest::newRow("F9") << int(Qt::Key_F9);
    QTest::newRow("Shift+F9") << int(Qt::Key_F9 | Qt::SHIFT);
}

void TstMonitorWindows::speedHeldByKeys()
{
    QFETCH(int, key);
    Rig r;
    QPushButton *speed = r.panel<QPushButton>("CmdON(6)");
    const auto mods = Qt::KeyboardModifiers(key & Qt::KeyboardModifierMask);
    key &= ~Qt::KeyboardModifierMask;
    sendKey(speed, QEvent::KeyPress, key, mods);
    QCOMPARE(r.pending(), QStringLiteral("HSON"));
    QVERIFY(speed->isDown());
    reply(r.port, "S;0");  // the drive gets HSON while the key is held
    sendKey(speed, QEvent::KeyRelease, key, mods, true);  // a repeat's release is no release
    QCOMPARE(r.sendLine(), QStringLiteral("HSON"));
    sendKey(speed, QEvent::KeyRelease, key, mods);
    QCOMPARE(r.pending(), QStringLiteral("HSOFF"));
    QVERIFY(!speed->isDown());
    reply(r.port, "HSON");
    QCOMPARE(requests(r.port), (QStringList{"HSON", "HSOFF"}));
}

void TstMonitorWindows::heldF9RepeatsAndIsReleasedWhenFocusLeaves()
{
    Rig r;
    r.comm.show();
    r.comm.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&r.comm));
    QLineEdit *point = r.panel<QLineEdit>("TxtPNT");
    point->setFocus();
    sendKey(point, QEvent::KeyPress, Qt::Key_F9);
    reply(r.port, "S;0");
    sendKey(point, QEvent::KeyPress, Qt::Key_F9, {}, true);  // the key repeats
    QCOMPARE(r.pending(), QStringLiteral("HSON"));
    reply(r.port, "HSON");
    // The focus goes to another window while F9 is still down: its release
    // will not come here, so the panel lets go of high speed at once.
    QLineEdit elsewhere;
    elsewhere.show();
    elsewhere.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&elsewhere));
    elsewhere.setFocus();
    QTRY_COMPARE(r.pending(), QStringLiteral("HSOFF"));
    reply(r.port, "HSON");
    QCOMPARE(requests(r.port), (QStringList{"HSON", "HSON", "HSOFF"}));
}

void TstMonitorWindows::pointDesignation_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("sent");
    QTest::newRow("12") << "12" << "PNT;0C";
    QTest::newRow("7x") << "7x" << "PNT;07";
    QTest::newRow("empty") << "" << "PNT;00";
    QTest::newRow("-1") << "-1" << "PNT;FF";
}

void TstMonitorWindows::pointDesignation()
{
    QFETCH(QString, typed);
    QFETCH(QString, sent);
    Rig r;
    r.panel<QLineEdit>("TxtPNT")->setText(typed);
    r.panel<QPushButton>("CmdPNT")->click();
    QCOMPARE(r.pending(), sent);
    QCOMPARE(r.sendLine(), sent);
    QCOMPARE(r.text(r.comm, "LblJStr"), QStringLiteral("ﾎﾟｲﾝﾄ指定"));
}

void TstMonitorWindows::zeroSetBeyond32BitsSendsNothing()
{
    Rig r;
    auto *zero = r.panel<QLineEdit>("TxtZSET");
    zero->setText(QStringLiteral("1000"));
    r.panel<QPushButton>("CmdZSET")->click();
    QCOMPARE(r.pending(), QStringLiteral("ZSET;3E8"));
    reply(r.port, "S;0");
    zero->setText(QStringLiteral("99999999"));
    r.panel<QPushButton>("CmdZSET")->click();
    QCOMPARE(r.pending(), QStringLiteral("ZSET;5F5E0FF"));
    reply(r.port, "S;0");
    zero->setText(QStringLiteral("9e99"));
    r.panel<QPushButton>("CmdZSET")->click();
    QCOMPARE(r.pending(), QString());  // never a clamped or wrapped zero
    QCOMPARE(r.sendLine(), QStringLiteral("ZSET;5F5E0FF"));
    QCOMPARE(r.recvLine(), ErrorText(3));
}

void TstMonitorWindows::panelDecoders_data()
{
    QTest::addColumn<QByteArrayList>("replies");
    QTest::addColumn<QString>("mon");
    QTest::addColumn<QString>("recv");
    const QString err = QString::fromUtf8("Err\uFF1A");
    QTest::newRow("servo status hex") << QByteArrayList{"MON;10;1234"} << "1234" << "";
    QTest::newRow("speed decimal") << QByteArrayList{"MON;4;FED4"} << "-300" << "";
    QTest::newRow("item decides, not choice") << QByteArrayList{"MON;E;FFFF"} << "FFFFFFFF" << "";
    QTest::newRow("missing value keeps field 1") << QByteArrayList{"MON;4;64", "MON;10"} << "64" << "";
    QTest::newRow("err 9") << QByteArrayList{"ERR;9"} << "0" << err + "Communication error.";
    QTest::newRow("err 7") << QByteArrayList{"ERR;7"} << "0" << err + "In the alarm state.";
    QTest::newRow("err without code") << QByteArrayList{"ERR;2", "ERR"} << "0" << err + "Failed in ZSET";
    QTest::newRow("catch-all") << QByteArrayList{"SVON"} << "0" << "SVON";
    QTest::newRow("empty keyword") << QByteArrayList{"TRST", ""} << "0" << "";
    QTest::newRow("own decoders leave it") << QByteArrayList{"ARST", "S;0", "VV;1", "IO;0", "ALM;0", "MON;0;5"}
                                           << "5" << "ARST";
}

void TstMonitorWindows::panelDecoders()
{
    QFETCH(QByteArrayList, replies);
    QFETCH(QString, mon);
    QFETCH(QString, recv);
    Rig r;
    for (const QByteArray &text : replies) reply(r.port, text.constData());
    QCOMPARE(r.text(r.comm, "LblMON"), mon);
    QCOMPARE(r.recvLine(), recv);
}

void TstMonitorWindows::statusReplyExample()
{
    Rig r;
    reply(r.port, "S;80000000;3;14;12C;91");
    QCOMPARE(r.link.state().StatusWord, 0x80000000u);
    for (int k : {0, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15})
        QCOMPARE(r.text(r.mon2, indexedName("LblSS", k)), k == 6 ? QStringLiteral(": ON") : QStringLiteral(": OFF"));
    QCOMPARE(r.text(r.mon2, "LblDosa(6)"), QStringLiteral("SVON"));
    QCOMPARE(r.text(r.comm, "LblPnt"), QStringLiteral("3"));
    QCOMPARE(r.bar.LblMSEL->text(), QStringLiteral("RM2310"));
    QCOMPARE(r.bar.LblROMV->text(), QStringLiteral("3") + QLocale::system().decimalPoint() + QStringLiteral("00"));
    QCOMPARE(r.litLamps(), QStringLiteral("ON0 ON2 ON6 OFF1 OFF3 OFF4 OFF5 OFF7"));

    // Bits 31 and 23: "SVON" and "ALARM"; an unknown motor keeps the text;
    // both jog bits light "+JOG" only.
    reply(r.port, "S;80800000;FFFF;5;64;6");
    QCOMPARE(r.text(r.mon2, "LblSS(0)"), QStringLiteral(": ON"));
    QCOMPARE(r.text(r.mon2, "LblSS(6)"), QStringLiteral(": ON"));
    QCOMPARE(r.text(r.mon2, "LblSS(8)"), QStringLiteral(": OFF"));
    QCOMPARE(r.text(r.comm, "LblPnt"), QStringLiteral("-1"));
    QCOMPARE(r.bar.LblMSEL->text(), QStringLiteral("RM2310"));
    QCOMPARE(r.litLamps(), QStringLiteral("ON7 OFF0 OFF1 OFF2 OFF3 OFF4 OFF5 OFF6"));
}

void TstMonitorWindows::statusRowsWriteOnlyOnChange()
{
    Rig r;
    reply(r.port, "S;00000100");  // only INP (bit 8)
    QCOMPARE(r.text(r.mon2, "LblSS(8)"), QStringLiteral(": ON"));
    QCOMPARE(r.text(r.mon2, "LblSS(12)"), QStringLiteral(": OFF"));
    // A label is only written when its state changes: one that reads
    // something else while its bit stays set is left alone...
    auto *inp = r.control<QLabel>(r.mon2, "LblSS(8)");
    inp->setText(QStringLiteral("kept"));
    reply(r.port, "S;00000100");
    QCOMPARE(inp->text(), QStringLiteral("kept"));
    // ...and put back to ": OFF" when the bit clears.
    reply(r.port, "S;0");
    QCOMPARE(inp->text(), QStringLiteral(": OFF"));
}

void TstMonitorWindows::statusReplyWithFewerFields()
{
    Rig r;
    reply(r.port, "S;80000000;3;14;12C;91");
    reply(r.port, "VV;1;2;3");  // overwrites positions 0 to 2 only
    reply(r.port, "S;0");
    // Fields 1 to 4 are what the VV reply and the first status reply left.
    QCOMPARE(r.link.state().StatusWord, 0u);
    QCOMPARE(r.text(r.comm, "LblPnt"), QStringLiteral("2"));
    QCOMPARE(r.bar.LblMSEL->text(), QStringLiteral("RM2270"));
    QCOMPARE(r.litLamps(), QStringLiteral("ON0 ON2 ON6 OFF1 OFF3 OFF4 OFF5 OFF7"));
}

void TstMonitorWindows::valueReply()
{
    Rig r;
    reply(r.port, "VV;12;0;FFFF;ABCD;1;2;3;4;FFFF;0000FFFF;50;0001E240;8000;0;0;0;FFFF;7;FFFFFFFF;1F");
    const QStringList dmp1{"12", "0", "FFFFFFFF", "FFFFABCD"};
    for (int i = 0; i < 4; ++i) QCOMPARE(r.text(r.mon2, indexedName("LblDmp1", i)), dmp1[i]);
    QCOMPARE(r.text(r.mon2, "LblDmp2(3)"), QStringLiteral("4"));
    const QStringList dt{"-1", " 65535", " 80", " 123456", "-32768", " 0", "FFFFFFFF", "7", "FFFFFFFF", "31"};
    for (int i = 0; i < 10; ++i) QCOMPARE(r.text(r.mon2, indexedName("LblDt", i)), dt[i]);
    // A shorter reply leaves the fields it does not carry as they were.
    reply(r.port, "VV;0;0;0;0;0;0;0;0;5DC");
    QCOMPARE(r.text(r.mon2, "LblDt(0)"), QStringLiteral(" 1500"));
    QCOMPARE(r.text(r.mon2, "LblDt(1)"), QStringLiteral(" 65535"));
    QCOMPARE(r.text(r.mon2, "LblDt(9)"), QStringLiteral("31"));
}

void TstMonitorWindows::valueRequestAndMakerControls()
{
    Rig r;
    r.tag = QStringLiteral("2");
    reply(r.port, "S;0");  // "S" goes out
    reply(r.port, "S;0");  // then the value request
    auto *adr0 = r.control<QLineEdit>(r.mon2, "TxtAdr(0)");
    auto *adr1 = r.control<QLineEdit>(r.mon2, "TxtAdr(1)");
    adr0->setText(QStringLiteral("7"));
    adr1->setText(QStringLiteral("ABCD"));
    reply(r.port, "VV;0");
    reply(r.port, "S;0");
    QCOMPARE(requests(r.port), (QStringList{"S", "VV;FFFF0000;FFFF0000;", "S", "VV;FFFF0007;FFFFABCD;"}));

    r.control<QPushButton>(r.mon2, "CmdTRST")->click();
    QCOMPARE(r.pending(), QStringLiteral("TRST"));

    const QStringList maker{"Label7",     "Label8",     "TxtAdr(0)",  "TxtAdr(1)",  "LblDmp1(0)", "LblDmp1(3)",
                            "LblDmp2(0)", "LblDmp2(3)", "Label9",     "Label10",    "Label11",    "LblDt(6)",
                            "LblDt(7)",   "LblDt(8)"};
    r.mon2.show();
    for (const QString &name : maker) QVERIFY2(r.control<QWidget>(r.mon2, name)->isHidden(), qPrintable(name));
    r.mon2.setMakerControlsVisible(true);
    for (const QString &name : maker) QVERIFY2(r.control<QWidget>(r.mon2, name)->isVisible(), qPrintable(name));
    QVERIFY(r.control<QWidget>(r.mon2, "LblDt(9)")->isVisible());
    r.mon2.setMakerControlsVisible(false);
    for (const QString &name : maker) QVERIFY2(r.control<QWidget>(r.mon2, name)->isHidden(), qPrintable(name));
    QVERIFY(r.control<QWidget>(r.mon2, "LblDt(5)")->isVisible());
    QCOMPARE(adr0->text(), QStringLiteral("7"));  // only visibility changes
}

void TstMonitorWindows::alarmReply_data()
{
    QTest::addColumn<QByteArrayList>("replies");
    QTest::addColumn<QString>("red");       // cells with a red background
    QTest::addColumn<QStringList>("lines");  // history lines 0 to 2
    const QString comm = QString::fromUtf8("通信異常（11）");
    QTest::newRow("bits 1 and 10") << QByteArrayList{"ALM;402;0;0;0"} << "1 10" << QStringList{"", "", ""};
    QTest::newRow("history 6") << QByteArrayList{"ALM;0;6"} << "" << QStringList{"Over Load(01)", "", ""};
    QTest::newRow("hidden cell in history") << QByteArrayList{"ALM;800;800"} << "11" << QStringList{comm, "", ""};
    QTest::newRow("only bit 13 keeps the line")
        << QByteArrayList{"ALM;0;1;4", "ALM;2000;2000;2000"} << "" << QStringList{"ROM Error(00)", "Encoder Error(02)", ""};
    QTest::newRow("0 empties") << QByteArrayList{"ALM;1;1;1", "ALM;0;0;1"} << "" << QStringList{"", "ROM Error(00)", ""};
    QTest::newRow("fewer fields keep older ones")
        << QByteArrayList{"ALM;1;2;2;2", "ALM;4"} << "2" << QStringList{"Over Load(01)", "Over Load(01)", "Over Load(01)"};
}

void TstMonitorWindows::alarmReply()
{
    QFETCH(QByteArrayList, replies);
    QFETCH(QString, red);
    QFETCH(QStringList, lines);
    Rig r;
    for (const QByteArray &text : replies) reply(r.port, text.constData());
    QStringList gotRed;
    for (int i = 0; i < AlarmCount; ++i) {
        auto *cell = r.control<QLabel>(r.alarm, indexedName("LblAlarm", i));
        const QColor back = cell->palette().color(QPalette::Window);
        QVERIFY(back == QColor(255, 0, 0) || back == QColor(128, 128, 128));
        if (back == QColor(255, 0, 0)) gotRed << QString::number(i);
    }
    QCOMPARE(gotRed.join(u' '), red);
    for (int j = 0; j < 3; ++j) QCOMPARE(r.text(r.alarm, indexedName("LblHist", j)), lines[j]);
    QVERIFY(r.control<QLabel>(r.alarm, "LblAlarm(11)")->isHidden());
}

void TstMonitorWindows::alarmButtons()
{
    Rig r;
    r.control<QPushButton>(r.alarm, "CmdHCL")->click();
    QCOMPARE(r.pending(), QStringLiteral("HCL"));
    r.control<QPushButton>(r.alarm, "CmdARST")->click();
    reply(r.port, "S;0");
    QCOMPARE(requests(r.port), QStringList{"ARST"});
    reply(r.port, "ARST");
    QCOMPARE(r.recvLine(), QStringLiteral("ARST"));
}

void TstMonitorWindows::ioReply_data()
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

void TstMonitorWindows::ioReply()
{
    QFETCH(QByteArray, word);
    QFETCH(QString, open);
    Rig r;
    reply(r.port, ("IO;" + word).constData());
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

void TstMonitorWindows::ioWriteOnlyOnChange()
{
    Rig r;
    reply(r.port, "IO;0");
    auto *rdy = r.control<QLabel>(r.io, "LblOUT(0)");
    QCOMPARE(r.text(r.io, "LblIO(13)"), QStringLiteral("RDY"));
    rdy->setText(QStringLiteral("kept"));
    reply(r.port, "IO;0");  // bit still clear: not rewritten
    QCOMPARE(rdy->text(), QStringLiteral("kept"));
    reply(r.port, "IO;1");
    QCOMPARE(rdy->text(), QStringLiteral(": OPEN"));
    reply(r.port, "IO");  // no field: field 0 keeps its value
    QCOMPARE(rdy->text(), QStringLiteral(": OPEN"));
}

void TstMonitorWindows::activatingEachWindowSwitchesThePoll()
{
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    MemoryPort port;
    MDItbl app(port);
    app.titleBar->TimerDateTime.stop();
    app.show();
    app.titleBar->TimerDateTime_Timer();  // opens the port, "S" goes out
    reply(port, "S;0");
    const std::pair<QWidget *, QString> windows[] = {{app.commComm, "MON;0"},
                                                     {app.mon2, "VV;FFFF0000;FFFF0000;"},
                                                     {app.alarm, "ALM"},
                                                     {app.ioMon, "IO"}};
    QStringList expected{"S", "S"};
    for (const auto &[window, request] : windows) {
        app.mdiArea->setActiveSubWindow(app.frameOf(window));
        reply(port, "S;0");
        reply(port, "S;0");
        expected << request << "S";
    }
    QCOMPARE(requests(port), expected);
    // The panel's list picks the item of the next monitor request.
    app.mdiArea->setActiveSubWindow(app.frameOf(app.commComm));
    app.commComm->CmbMON->setCurrentIndex(16);
    reply(port, "MON;10;1234");
    QCOMPARE(requests(port).last(), QStringLiteral("MON;10"));
    QCOMPARE(app.commComm->LblMON->text(), QStringLiteral("1234"));
    // Maker mode shows the status window's maker rows.
    app.SetMakerMode(true);
    QVERIFY(app.mon2->LblDt[6]->isVisibleTo(app.mon2));
    app.SetMakerMode(false);
    QVERIFY(!app.mon2->LblDt[6]->isVisibleTo(app.mon2));
}

QTEST_MAIN(TstMonitorWindows)
#include "tst_monitorwindows.moc"
