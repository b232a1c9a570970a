// The operation panel, status display, alarm display and I/O monitor: their
// rules without widgets, then the four windows on one link over the
// in-memory port, driven by keys, clicks and replies.

#include "app/titlebar.h"
#include "drive/driveinfo.h"
#include "linktestutil.h"
#include "monitor/alarm.h"
#include "monitor/commcomm.h"
#include "monitor/iomon.h"
#include "monitor/mon2.h"
#include "drive/monitor/monitorrules.h"
#include "monitor/monitorwidgets.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <functional>

namespace {

void sendKey(QWidget *to, QEvent::Type type, int key, Qt::KeyboardModifiers mods = {}, bool autoRepeat = false)
{
    QKeyEvent e(type, key, mods, QString(), autoRepeat);
    QApplication::sendEvent(to, &e);
}

// The four windows on one link, the port open and the opening "S" in flight;
// what the drive tells of itself goes through the session's model, as in the
// program.
struct Rig : LinkRig {
    DriveInfo drive;
    TitleBar bar{link, drive};
    CommComm comm{link, drive};
    Mon2 mon2{link, drive};
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
    // Replies in turn; "set NAME=TEXT" writes a label as no reply would.
    void send(const QByteArrayList &replies)
    {
        for (const QByteArray &text : replies) {
            const QString set = QString::fromLatin1(text).section(u' ', 1);
            if (text.startsWith("set ")) control<QLabel>(set.section(u'=', 0, 0))->setText(set.section(u'=', 1));
            else reply(port, text.constData());
        }
    }
    // A window, or the one control of that name in the four windows.
    template <class T = QWidget> T *control(const QString &name)
    {
        QList<T *> found;
        for (QWidget *w : std::initializer_list<QWidget *>{&comm, &mon2, &alarm, &io}) {
            if (w->objectName() == name) found << qobject_cast<T *>(w);
            if (T *c = w->findChild<T *>(name)) found << c;
        }
        if (found.size() != 1 || !found[0]) qFatal("%lld controls %s", found.size(), qPrintable(name));
        return found[0];
    }
    QString sendLine() { return control<QLabel>(QStringLiteral("LblStr"))->text(); }
    // The cells name(i) for which lit holds, as prefix + i, with "?" before
    // those that read neither way.
    QString which(const char *name, int count, const std::function<std::optional<bool>(QLabel *)> &lit,
                  const QString &prefix = {})
    {
        QStringList out;
        for (int i = 0; i < count; ++i) {
            if (qstrcmp(name, "LblSS") == 0 && (i == 1 || i == 2)) continue;  // no rows 1 and 2
            const std::optional<bool> on = lit(control<QLabel>(indexedName(name, i)));
            if (!on || *on) out << (on ? QString() : QStringLiteral("?")) + prefix + QString::number(i);
        }
        return out.join(u' ');
    }
    // What a check "what=text" reads: a control's text (a list's index), or
    // one of the summaries below.
    QString read(const QString &what)
    {
        const auto reads = [](const char *yes, const char *no) {
            return [=](QLabel *l) -> std::optional<bool> {
                if (l->text() != QLatin1String(yes) && l->text() != QLatin1String(no)) return std::nullopt;
                return l->text() == QLatin1String(yes);
            };
        };
        const auto lamp = [](QLabel *l) -> std::optional<bool> { return lampLit(l); };
        const auto both = [](const QString &a, const QString &b) { return (a + u' ' + b).trimmed(); };
        if (what == u"pending") return pending();
        if (what == u"word") return QString::number(link.state().StatusWord, 16).toUpper();
        if (what == u"LblMSEL") return bar.LblMSEL->text();
        if (what == u"LblROMV") return bar.LblROMV->text();
        if (what == u"on") return which("LblSS", 16, reads(": ON", ": OFF"));
        if (what == u"lamps") return both(which("LblON", 9, lamp, QStringLiteral("ON")), which("LblOFF", 8, lamp, QStringLiteral("OFF")));
        if (what == u"open")
            return both(which("LblIN", InputCount, reads(": OPEN", ": CLOSE"), QStringLiteral("IN")),
                        which("LblOUT", OutputCount, reads(": OPEN", ": CLOSE"), QStringLiteral("OUT")));
        if (what == u"red")
            return which("LblAlarm", AlarmCount, [](QLabel *l) -> std::optional<bool> {
                const QColor back = l->palette().color(QPalette::Window);
                if (back != QColor(255, 0, 0) && back != QColor(128, 128, 128)) return std::nullopt;
                return back == QColor(255, 0, 0);
            });
        if (what == u"hist") {
            QStringList lines;
            for (int j = 0; j < 3; ++j) lines << control<QLabel>(indexedName("LblHist", j))->text();
            return lines.join(u'|');
        }
        QWidget *c = control(what);
        if (auto *box = qobject_cast<QComboBox *>(c)) return QString::number(box->currentIndex());
        if (auto *edit = qobject_cast<QLineEdit *>(c)) return edit->text();
        return qobject_cast<QLabel *>(c)->text();
    }
    // Each check "what=text" as the windows show it.
    QStringList readBack(const QStringList &checks)
    {
        QStringList got;
        for (const QString &c : checks) got << c.section(u'=', 0, 0) + u'=' + read(c.section(u'=', 0, 0));
        return got;
    }
};

}  // namespace

class TstMonitor : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Rules.
    void ruleTexts_data();
    void ruleTexts();
    // Windows.
    void commands_data();
    void commands();
    void speedHeld_data();
    void speedHeld();
    void holdToJog_data();
    void holdToJog();
    void decoders_data();
    void decoders();
    void pollRequestsOfPanelAndStatus();
    void monitorValueUnit_data();
    void monitorValueUnit();
};

// --- rules ---------------------------------------------------------------------

// A rule's text against the expected one: the requests the panel and the
// status window build from what was typed, the panel's lamps from the
// operation state word, the motor model and the ROM version.
void TstMonitor::ruleTexts_data()
{
    QTest::addColumn<QString>("actual");
    QTest::addColumn<QString>("expected");
    const auto zset = [](const char *typed) { return ZeroSetCommand(QString::fromLatin1(typed)).value_or("nothing"); };
    const auto motor = [](int v) { return MotorModelText(v).isNull() ? QStringLiteral("none") : MotorModelText(v); };
    // Lit lamps as letters: ON lamps 0-8, then OFF lamps 0-7.
    const auto lamps = [](qint32 word) {
        const PanelLamps l = LampsFromState(word);
        QString lit;
        for (bool b : l.on) lit += b ? u'X' : u'.';
        lit += u' ';
        for (bool b : l.off) lit += b ? u'X' : u'.';
        return lit;
    };
    QTest::newRow("PNT 12") << PointCommand(u"12") << "PNT;0C";
    QTest::newRow("PNT empty") << PointCommand(u"") << "PNT;00";
    QTest::newRow("PNT 300 keeps two digits") << PointCommand(u"300") << "PNT;2C";
    QTest::newRow("ZSET junk") << zset("x") << "ZSET;0";
    QTest::newRow("ZSET largest") << zset("2147483647") << "ZSET;7FFFFFFF";
    QTest::newRow("ZSET one above") << zset("2147483648") << "nothing";
    QTest::newRow("VV 1 and 12") << ValueCommand(u"1", u"12") << "VV;FFFF0001;FFFF0012;";
    QTest::newRow("VV as typed") << ValueCommand(u"zz", u"ABCD") << "VV;FFFF00zz;FFFFABCD;";
    QTest::newRow("VV eight and more") << ValueCommand(u"123456789", u"12345678") << "VV;123456789;12345678;";
    QTest::newRow("emergency is bit 8") << lamps(0x100) << ".X....... X.XXXXXX";
    QTest::newRow("reset is bit 3") << lamps(0x8) << ".....X... XXXXX.XX";
    QTest::newRow("-jog") << lamps(0x4) << "........X XXXXXXX.";
    QTest::newRow("+jog wins") << lamps(0x6) << ".......X. XXXXXXX.";
    QTest::newRow("all lamp bits") << lamps(-1) << "XXXXXXXX. ........";
    QTest::newRow("motor 0") << motor(0) << "RM2210";
    QTest::newRow("motor 5 is none") << motor(5) << "none";
    QTest::newRow("motor 22") << motor(22) << "RM2330";
    QTest::newRow("ROM lowest") << RomVersionText(int(0x80000000)) << "-21474836.48";
}

void TstMonitor::ruleTexts()
{
    QFETCH(QString, actual);
    QFETCH(QString, expected);
    QCOMPARE(actual, expected);
}

// --- windows -------------------------------------------------------------------

// What a click, or a function key wherever the focus is, queues, and what
// the panel's SEND line and its hidden Japanese line then show.
void TstMonitor::commands_data()
{
    QTest::addColumn<QStringList>("actions");  // "Key@focus", "Box=typed" or a button to click
    QTest::addColumn<QStringList>("checks");
    using S = QStringList;
    auto queued = [](const QString &c, const QString &japanese = {}) {
        S out{"pending=" + c, "LblStr=" + c};
        if (!japanese.isEmpty()) out << "LblJStr=" + japanese;
        return out;
    };
    QTest::newRow("F1 in point box") << S{"F1@TxtPNT"} << queued("SVON");
    QTest::newRow("F3 on a button") << S{"F3@CmdOFF(0)"} << queued("STRON");
    QTest::newRow("Shift+F3 in list box") << S{"Shift+F3@CmbMON"} << queued("STROFF");
    QTest::newRow("Ctrl+F4") << S{"Ctrl+F4@CmbMON"} << queued("ZSTROFF");
    QTest::newRow("F8 on the window") << S{"F8@CommComm"} << queued("NJOG");
    QTest::newRow("F2 in the open list") << S{"F2@list"} << queued("EMCON");
    QTest::newRow("Shift+F8") << S{"Shift+F8@TxtPNT"} << queued("JOGOFF");
    QTest::newRow("F10 does nothing") << S{"F10@TxtPNT"} << queued("");
    QTest::newRow("reset on") << S{"CmdON(5)"} << queued("RSTON", "ﾘｾｯﾄｵﾝ");
    QTest::newRow("cpu reset") << S{"CmdRESET"} << queued("RESET", "CPUﾘｾｯﾄ");
    QTest::newRow("point 7x") << S{"TxtPNT=7x", "CmdPNT"} << queued("PNT;07", "ﾎﾟｲﾝﾄ指定");
    QTest::newRow("zero set") << S{"TxtZSET=1000", "CmdZSET"} << queued("ZSET;3E8");
    // Never a clamped or wrapped zero.
    QTest::newRow("zero set beyond 32 bits") << S{"TxtZSET=9e99", "CmdZSET"} << queued("") + S{"LblRecv=" + ErrorText(3)};
    QTest::newRow("peak torque reset") << S{"CmdTRST"} << S{"pending=TRST", "LblStr="};
    QTest::newRow("record clear") << S{"CmdHCL"} << S{"pending=HCL", "LblStr="};
}

void TstMonitor::commands()
{
    QFETCH(QStringList, actions);
    QFETCH(QStringList, checks);
    Rig r;
    for (const QString &a : actions) {
        if (a.contains(u'@')) {
            const QKeyCombination k = QKeySequence::fromString(a.section(u'@', 0, 0))[0];
            QWidget *target = nullptr;
            if (a.endsWith(u"@list")) {  // the monitor list dropped down, its items have the keys
                r.comm.show();
                r.comm.CmbMON->showPopup();
                QVERIFY(r.comm.CmbMON->view()->isVisible());
                target = r.comm.CmbMON->view();
            } else {
                target = r.control(a.section(u'@', 1));
            }
            sendKey(target, QEvent::KeyPress, k.key(), k.keyboardModifiers());
            sendKey(target, QEvent::KeyRelease, k.key(), k.keyboardModifiers());
            // The focused control never sees the key.
            QCOMPARE(r.readBack({"TxtPNT=", "CmbMON="}), (QStringList{"TxtPNT=0", "CmbMON=0"}));
        } else if (a.contains(u'=')) {
            r.control<QLineEdit>(a.section(u'=', 0, 0))->setText(a.section(u'=', 1));
        } else {
            r.control<QPushButton>(a)->click();
        }
    }
    QCOMPARE(r.readBack(checks), checks);
    const QString queued = r.pending();
    r.send({"S;0"});
    if (!queued.isEmpty()) QCOMPARE(requests(r.port), QStringList{queued});
}

// The Speed key runs high speed while it is held, by the mouse, by F9
// wherever the focus is, or by Enter and Space on it; each key repeat asks
// again. It lets go when released, or at once when the focus leaves the
// window, where the key's release will not come.
void TstMonitor::speedHeld_data()
{
    QTest::addColumn<int>("key");  // 0: the mouse, pressed and released within one exchange
    QTest::addColumn<QString>("focus");
    QTest::addColumn<bool>("focusLeaves");
    QTest::newRow("mouse") << 0 << "CmdON(6)" << false;
    QTest::newRow("F9 in the point box") << int(Qt::Key_F9) << "TxtPNT" << false;
    QTest::newRow("Enter") << int(Qt::Key_Return) << "CmdON(6)" << false;
    QTest::newRow("Space") << int(Qt::Key_Space) << "CmdON(6)" << false;
    QTest::newRow("F9, the focus leaves") << int(Qt::Key_F9) << "TxtPNT" << true;
}

void TstMonitor::speedHeld()
{
    QFETCH(int, key);
    QFETCH(QString, focus);
    QFETCH(bool, focusLeaves);
    Rig r;
    r.comm.show();
    r.comm.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&r.comm));
    QPushButton *speed = r.control<QPushButton>("CmdON(6)");
    QWidget *to = r.control(focus);
    to->setFocus();
    if (key) sendKey(to, QEvent::KeyPress, key);
    else QTest::mousePress(speed, Qt::LeftButton);
    QCOMPARE(r.pending(), QStringLiteral("HSON"));
    QVERIFY(speed->isDown());
    if (key) {
        r.send({"S;0"});  // the drive gets HSON while the key is held
        sendKey(to, QEvent::KeyPress, key, {}, true);
        QCOMPARE(r.pending(), QStringLiteral("HSON"));
        r.send({"HSON"});
        sendKey(to, QEvent::KeyRelease, key, {}, true);  // a repeat's release is no release
        QCOMPARE(r.pending(), QString());
        QVERIFY(speed->isDown());
    }
    QLineEdit elsewhere;
    if (focusLeaves) {
        elsewhere.show();
        elsewhere.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&elsewhere));
    } else if (key) {
        sendKey(to, QEvent::KeyRelease, key);
    } else {
        QTest::mouseRelease(speed, Qt::LeftButton);
    }
    QTRY_COMPARE(r.pending(), QStringLiteral("HSOFF"));
    QCOMPARE(r.sendLine(), QStringLiteral("HSOFF"));
    QVERIFY(!speed->isDown());
    r.send({"HSON"});
    QCOMPARE(requests(r.port), (key ? QStringList{"HSON", "HSON", "HSOFF"} : QStringList{"HSOFF"}));
}

// With hold to jog on, "+JOG" and "-JOG" jog while held, by the mouse, F7
// and F8, or Enter and Space on the button, and stop when let go, when the
// window is hidden (minimised) or loses the focus.
void TstMonitor::holdToJog_data()
{
    QTest::addColumn<int>("key");  // 0: the mouse
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("end");  // "release", "hide" or "focus"
    QTest::newRow("mouse on +JOG") << 0 << 0 << "release";
    QTest::newRow("F8") << int(Qt::Key_F8) << 1 << "release";
    QTest::newRow("Space on -JOG") << int(Qt::Key_Space) << 1 << "release";
    QTest::newRow("Enter on +JOG") << int(Qt::Key_Return) << 0 << "release";
    QTest::newRow("F7, minimised") << int(Qt::Key_F7) << 0 << "hide";
    QTest::newRow("F7, focus leaves") << int(Qt::Key_F7) << 0 << "focus";
}

void TstMonitor::holdToJog()
{
    QFETCH(int, key);
    QFETCH(int, button);
    QFETCH(QString, end);
    Rig r;
    r.comm.setHoldToJog(true);
    r.comm.show();
    r.comm.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&r.comm));
    QPushButton *jog = r.comm.CmdJOG[button];
    jog->setFocus();
    const QString start = button == 0 ? QStringLiteral("PJOG") : QStringLiteral("NJOG");
    if (key) sendKey(jog, QEvent::KeyPress, key);
    else QTest::mousePress(jog, Qt::LeftButton);
    QCOMPARE(r.pending(), start);
    QVERIFY(jog->isDown());
    r.send({"S;0"});  // the drive gets the jog while it is held
    if (key) sendKey(jog, QEvent::KeyPress, key, {}, true);  // a repeat starts nothing again
    QCOMPARE(r.pending(), QString());
    QLineEdit elsewhere;
    if (end == u"hide") {
        r.comm.hide();
    } else if (end == u"focus") {
        elsewhere.show();
        elsewhere.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&elsewhere));
    } else if (key) {
        sendKey(jog, QEvent::KeyRelease, key);
    } else {
        QTest::mouseRelease(jog, Qt::LeftButton);  // its click queues nothing more
    }
    QTRY_COMPARE(r.pending(), QStringLiteral("JOGOFF"));
    QVERIFY(!jog->isDown());
    if (key) sendKey(jog, QEvent::KeyRelease, key);  // a late release stops nothing twice
    r.send({"PJOG"});
    QCOMPARE(requests(r.port), (QStringList{start, "JOGOFF"}));
}

// Replies in turn, and what the four windows and the status strip show
// after them.
void TstMonitor::decoders_data()
{
    QTest::addColumn<QByteArrayList>("replies");
    QTest::addColumn<QStringList>("checks");
    using B = QByteArrayList;
    using S = QStringList;
    const QString err = QString::fromUtf8("LblRecv=Err\uFF1A");
    // The reply's item decides hexadecimal (14 and 16) or decimal, not the list.
    QTest::newRow("item 16 value 4660") << B{"MON;10;1234"} << S{"LblMON=1234", "LblRecv="};
    QTest::newRow("item 14 in hex") << B{"MON;E;FFFF"} << S{"LblMON=FFFFFFFF"};
    QTest::newRow("speed in decimal") << B{"MON;4;FED4"} << S{"LblMON=-300"};
    QTest::newRow("missing value keeps field 1") << B{"MON;4;64", "MON;10"} << S{"LblMON=64"};
    QTest::newRow("err 8") << B{"ERR;8"} << S{"LblMON=0", err + "In the EMC state."};
    QTest::newRow("err 9") << B{"ERR;9"} << S{err + "Communication error."};
    QTest::newRow("err without code") << B{"ERR;2", "ERR"} << S{err + "Failed in ZSET"};
    QTest::newRow("own decoders leave it") << B{"ARST", "S;0", "VV;1", "IO;0", "ALM;0", "MON;0;5"}
                                           << S{"LblMON=5", "LblRecv=ARST"};

    const QByteArray example = "S;80000000;3;14;12C;91", alarmed = "S;80800000;FFFF;5;64;6";
    QTest::newRow("status reply example")
        << B{example}
        << S{"word=80000000", "on=6", "LblDosa(6)=SVON", "LblPnt=3", "LblMSEL=RM2310",
             "LblROMV=3" + QLocale::system().decimalPoint() + "00", "lamps=ON0 ON2 ON6 OFF1 OFF3 OFF4 OFF5 OFF7"};
    // Bits 31 and 23: "SVON" and "ALARM"; an unknown motor keeps the text.
    QTest::newRow("status alarmed") << B{example, alarmed}
                                    << S{"on=0 6", "LblPnt=-1", "LblMSEL=RM2310", "lamps=ON7 OFF0 OFF1 OFF2 OFF3 OFF4 OFF5 OFF6"};
    // "VV" overwrote positions 0 to 2 only, so fields 1 and 2 are the value
    // reply's and fields 3 and 4 the status reply's before.
    QTest::newRow("status with fewer fields")
        << B{example, alarmed, "VV;1;2;3", "S;0"}
        << S{"word=0", "LblPnt=2", "LblMSEL=RM2270", "lamps=ON7 OFF0 OFF1 OFF2 OFF3 OFF4 OFF5 OFF6"};

    const QByteArray values = "VV;12;0;FFFF;ABCD;1;2;3;4;FFFF;0000FFFF;50;0001E240;8000;0;0;0;FFFF;7;FFFFFFFF;1F";
    QTest::newRow("values") << B{values}
                            << S{"LblDmp1(0)=12",   "LblDmp1(1)=0",       "LblDmp1(2)=FFFFFFFF", "LblDmp1(3)=FFFFABCD",
                                 "LblDmp2(3)=4",    "LblDt(0)=-1",        "LblDt(1)= 65535",     "LblDt(2)= 80",
                                 "LblDt(3)= 123456", "LblDt(4)=-32768",   "LblDt(5)= 0",         "LblDt(6)=FFFFFFFF",
                                 "LblDt(7)=7",      "LblDt(8)=FFFFFFFF", "LblDt(9)=31"};
    QTest::newRow("fewer values") << B{values, "VV;0;0;0;0;0;0;0;0;5DC"}
                                  << S{"LblDt(0)= 1500", "LblDt(1)= 65535", "LblDt(9)=31"};

    // History lines 0 to 2: the lowest of bits 0-12.
    QTest::newRow("alarm bits 1 and 10") << B{"ALM;402;0;0;0"} << S{"red=1 10", "hist=||"};
    QTest::newRow("hidden cell, history 6") << B{"ALM;800;6;800"}
                                            << S{"red=11", "hist=Over Load(01)|通信異常（11）|"};
    QTest::newRow("only bit 13 keeps the line") << B{"ALM;0;1;4", "ALM;2000;2000;2000"}
                                                << S{"red=", "hist=ROM Error(00)|Encoder Error(02)|"};
    QTest::newRow("0 empties") << B{"ALM;1;1;1", "ALM;0;0;1"} << S{"red=", "hist=|ROM Error(00)|"};
    QTest::newRow("fewer alarm fields keep older ones")
        << B{"ALM;1;2;2;2", "ALM;4"} << S{"red=2", "hist=Over Load(01)|Over Load(01)|Over Load(01)"};

    QTest::newRow("I/O bits 16 and 0") << B{"IO;10001"} << S{"open=IN0 OUT0"};
    QTest::newRow("hidden I/O rows follow") << B{"IO;10000038"} << S{"open=IN12 OUT3 OUT4 OUT5"};
    QTest::newRow("ignored I/O bits") << B{"IO;E000FFC0"} << S{"open="};
    // A cell is written only when its state changes, whatever it reads; a
    // reply without the field leaves what the last one said.
    QTest::newRow("I/O cell unchanged") << B{"IO;0", "set LblOUT(0)=kept", "IO;0"} << S{"LblOUT(0)=kept"};
    QTest::newRow("I/O cell changed") << B{"IO;0", "set LblOUT(0)=kept", "IO;1", "IO"} << S{"LblOUT(0)=: OPEN"};
}

void TstMonitor::decoders()
{
    QFETCH(QByteArrayList, replies);
    QFETCH(QStringList, checks);
    Rig r;
    r.send(replies);
    QCOMPARE(r.readBack(checks), checks);
}

void TstMonitor::pollRequestsOfPanelAndStatus()
{
    // The panel's request follows its list; the status display's its two
    // dump address boxes.
    Rig r;
    r.control<QComboBox>("CmbMON")->setCurrentIndex(16);
    r.send({"S;0", "S;0"});
    r.tag = QStringLiteral("2");
    r.send({"S;0", "S;0"});
    r.control<QLineEdit>("TxtAdr(0)")->setText(QStringLiteral("7"));
    r.control<QLineEdit>("TxtAdr(1)")->setText(QStringLiteral("ABCD"));
    r.send({"VV;0", "S;0"});
    QCOMPARE(requests(r.port), (QStringList{"S", "MON;10", "S", "VV;FFFF0000;FFFF0000;", "S", "VV;FFFF0007;FFFFABCD;"}));
}

// The panel shows no unit beside its value: its tooltip and accessible
// description give it for the item chosen.
void TstMonitor::monitorValueUnit_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<QString>("described");
    QTest::newRow("position") << 0 << "Unit: pulse";
    QTest::newRow("speed") << 4 << "Unit: rpm";
    QTest::newRow("torque") << 6 << "Unit: %";
    QTest::newRow("point number") << 10 << "";
    QTest::newRow("status word") << 14 << "Unit: hexadecimal";
    QTest::newRow("servo status") << 16 << "Unit: hexadecimal";
}

void TstMonitor::monitorValueUnit()
{
    QFETCH(int, item);
    QFETCH(QString, described);
    Rig r;
    r.comm.CmbMON->setCurrentIndex(item == 0 ? 1 : 0);
    r.comm.CmbMON->setCurrentIndex(item);
    QCOMPARE(r.comm.LblMON->toolTip(), described);
    QCOMPARE(r.comm.LblMON->accessibleDescription(), described);
}

QTEST_MAIN(TstMonitor)
#include "tst_monitor.moc"
