#include "monitor/monitorrules.h"

#include <QTest>

class TstMonitorRules : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void pointCommand_data();
    void pointCommand();
    void zeroSetCommand_data();
    void zeroSetCommand();
    void monitorTexts_data();
    void monitorTexts();
    void errorText_data();
    void errorText();
    void functionKeys_data();
    void functionKeys();
    void lamps_data();
    void lamps();
    void flagChange_data();
    void flagChange();
    void statusRowsCoverEachIndexOnce();
    void motorAndRom_data();
    void motorAndRom();
    void valueCommand_data();
    void valueCommand();
    void alarmHistory_data();
    void alarmHistory();
};

void TstMonitorRules::pointCommand_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("command");
    QTest::newRow("12") << "12" << "PNT;0C";
    QTest::newRow("7x reads 7") << "7x" << "PNT;07";
    QTest::newRow("empty") << "" << "PNT;00";
    QTest::newRow("junk") << "ab" << "PNT;00";
    QTest::newRow("5") << "5" << "PNT;05";
    QTest::newRow("10") << "10" << "PNT;0A";
    QTest::newRow("99") << "99" << "PNT;63";
    QTest::newRow("200") << "200" << "PNT;C8";
    QTest::newRow("300 keeps two digits") << "300" << "PNT;2C";
    QTest::newRow("-1") << "-1" << "PNT;FF";
    QTest::newRow("2.5 to even") << "2.5" << "PNT;02";
    QTest::newRow("3.5 to even") << "3.5" << "PNT;04";
    QTest::newRow("beyond 32 bits held") << "1e20" << "PNT;FF";
}

void TstMonitorRules::pointCommand()
{
    QFETCH(QString, typed);
    QFETCH(QString, command);
    QCOMPARE(PointCommand(typed), command);
}

void TstMonitorRules::zeroSetCommand_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("command");  // empty: nothing is sent
    QTest::newRow("1000") << "1000" << "ZSET;3E8";
    QTest::newRow("-1") << "-1" << "ZSET;FFFFFFFF";
    QTest::newRow("junk") << "x" << "ZSET;0";
    QTest::newRow("largest") << "2147483647" << "ZSET;7FFFFFFF";
    QTest::newRow("smallest") << "-2147483648" << "ZSET;80000000";
    QTest::newRow("one above") << "2147483648" << "";
    QTest::newRow("one below") << "-2147483649" << "";
    QTest::newRow("huge exponent") << "1e400" << "";
}

void TstMonitorRules::zeroSetCommand()
{
    QFETCH(QString, typed);
    QFETCH(QString, command);
    const std::optional<QString> got = ZeroSetCommand(typed);
    QCOMPARE(got.value_or(QString()), command);
}

void TstMonitorRules::monitorTexts_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("shown");
    QTest::newRow("servo status in hex") << 16 << 4660 << "1234";
    QTest::newRow("comm status in hex") << 14 << -1 << "FFFFFFFF";
    QTest::newRow("speed in decimal") << 4 << -300 << "-300";
    QTest::newRow("position in decimal") << 0 << 123456 << "123456";
    QTest::newRow("unnamed 0F decimal") << 15 << 4660 << "4660";
    QTest::newRow("unknown item decimal") << 99 << 255 << "255";
}

void TstMonitorRules::monitorTexts()
{
    QFETCH(int, item);
    QFETCH(int, value);
    QFETCH(QString, shown);
    QCOMPARE(MonitorValueText(item, value), shown);
}

void TstMonitorRules::errorText_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("1") << 1 << QString::fromUtf8("Err\uFF1AInvalid command");
    QTest::newRow("4") << 4 << QString::fromUtf8("Err\uFF1AReconfirm the value prm.no.30");
    QTest::newRow("8") << 8 << QString::fromUtf8("Err\uFF1AIn the EMC state.");
    QTest::newRow("9") << 9 << QString::fromUtf8("Err\uFF1ACommunication error.");
    QTest::newRow("0") << 0 << QString::fromUtf8("Err\uFF1ACommunication error.");
    QTest::newRow("-1") << -1 << QString::fromUtf8("Err\uFF1ACommunication error.");
}

void TstMonitorRules::errorText()
{
    QFETCH(int, code);
    QFETCH(QString, text);
    QCOMPARE(ErrorText(code), text);
    QCOMPARE(ErrorText(code).at(3).unicode(), char16_t(0xFF1A));
}

void TstMonitorRules::functionKeys_data()
{
    using T = PanelKey::Target;
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("modified");
    QTest::addColumn<int>("target");
    QTest::addColumn<int>("index");
    QTest::newRow("F1") << int(Qt::Key_F1) << false << int(T::On) << 0;
    QTest::newRow("F3") << int(Qt::Key_F3) << false << int(T::On) << 2;
    QTest::newRow("mod F3") << int(Qt::Key_F3) << true << int(T::Off) << 2;
    QTest::newRow("mod F6") << int(Qt::Key_F6) << true << int(T::Off) << 5;
    QTest::newRow("F7") << int(Qt::Key_F7) << false << int(T::Jog) << 0;
    QTest::newRow("F8") << int(Qt::Key_F8) << false << int(T::Jog) << 1;
    QTest::newRow("mod F7") << int(Qt::Key_F7) << true << int(T::Jog) << 2;
    QTest::newRow("mod F8") << int(Qt::Key_F8) << true << int(T::Jog) << 2;
    QTest::newRow("F9") << int(Qt::Key_F9) << false << int(T::Speed) << 0;
    QTest::newRow("mod F9") << int(Qt::Key_F9) << true << int(T::Speed) << 0;
    QTest::newRow("F10") << int(Qt::Key_F10) << false << int(T::None) << 0;
    QTest::newRow("A") << int(Qt::Key_A) << false << int(T::None) << 0;
}

void TstMonitorRules::functionKeys()
{
    QFETCH(int, key);
    QFETCH(bool, modified);
    QFETCH(int, target);
    QFETCH(int, index);
    QCOMPARE(FunctionKeyTarget(key, modified), (PanelKey{PanelKey::Target(target), index}));
}

void TstMonitorRules::lamps_data()
{
    // Lit lamps as letters: ON lamps 0-8, then OFF lamps 0-7.
    QTest::addColumn<int>("word");
    QTest::addColumn<QString>("on");
    QTest::addColumn<QString>("off");
    QTest::newRow("nothing") << 0 << "........." << "XXXXXXXX";
    QTest::newRow("91: servo, start, high") << 0x91 << "X.X...X.." << ".X.XXX.X";
    QTest::newRow("emergency is bit 8") << 0x100 << ".X......." << "X.XXXXXX";
    QTest::newRow("reset is bit 3") << 0x8 << ".....X..." << "XXXXX.XX";
    QTest::newRow("+jog") << 0x2 << ".......X." << "XXXXXXX.";
    QTest::newRow("-jog") << 0x4 << "........X" << "XXXXXXX.";
    QTest::newRow("+jog wins") << 0x6 << ".......X." << "XXXXXXX.";
    QTest::newRow("all bits") << -1 << "XXXXXXXX." << "........";
}

void TstMonitorRules::lamps()
{
    QFETCH(int, word);
    QFETCH(QString, on);
    QFETCH(QString, off);
    const PanelLamps l = LampsFromState(word);
    QString gotOn, gotOff;
    for (bool b : l.on) gotOn += b ? u'X' : u'.';
    for (bool b : l.off) gotOff += b ? u'X' : u'.';
    QCOMPARE(gotOn, on);
    QCOMPARE(gotOff, off);
    QVERIFY(InitialLamps() == LampsFromState(0));
}

void TstMonitorRules::flagChange_data()
{
    QTest::addColumn<QString>("current");
    QTest::addColumn<bool>("rest");
    QTest::addColumn<QString>("written");  // "-" for nothing
    // Status rows: ": OFF" rests, ": ON" when the bit is set.
    QTest::newRow("off, bit set") << ": OFF" << false << ": ON";
    QTest::newRow("off, bit clear") << ": OFF" << true << "-";
    QTest::newRow("on, bit set") << ": ON" << false << "-";
    QTest::newRow("on, bit clear") << ": ON" << true << ": OFF";
    QTest::newRow("other, bit set") << "?" << false << "-";
    QTest::newRow("other, bit clear") << "?" << true << ": OFF";
    QTest::newRow("blank behind is other") << ": OFF " << true << ": OFF";
}

void TstMonitorRules::flagChange()
{
    QFETCH(QString, current);
    QFETCH(bool, rest);
    QFETCH(QString, written);
    const QString *got = FlagChange(current, StatusOffText(), StatusOnText(), rest);
    QCOMPARE(got ? *got : QStringLiteral("-"), written);
}

void TstMonitorRules::statusRowsCoverEachIndexOnce()
{
    // Every LblSS index but 1 and 2 belongs to exactly one row, and no two
    // rows follow the same bit.
    QSet<int> indexes, bits;
    for (const StatusRow &r : StatusRows()) {
        indexes.insert(r.index);
        bits.insert(r.bit);
    }
    QCOMPARE(indexes.size(), StatusRowCount);
    QCOMPARE(bits.size(), StatusRowCount);
    QVERIFY(!indexes.contains(1) && !indexes.contains(2));
}

void TstMonitorRules::motorAndRom_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("motor");  // null: not in the table
    QTest::addColumn<QString>("rom");
    QTest::newRow("0") << 0 << "RM2210" << "0.00";
    QTest::newRow("4") << 4 << "RM2290" << "0.04";
    QTest::newRow("5 is no motor") << 5 << QString() << "0.05";
    QTest::newRow("20") << 20 << "RM2310" << "0.20";
    QTest::newRow("22") << 22 << "RM2330" << "0.22";
    QTest::newRow("100") << 100 << QString() << "1.00";
    QTest::newRow("291") << 291 << QString() << "2.91";
    QTest::newRow("300") << 300 << QString() << "3.00";
    QTest::newRow("-5") << -5 << QString() << "-0.05";
    QTest::newRow("lowest") << int(0x80000000) << QString() << "-21474836.48";
}

void TstMonitorRules::motorAndRom()
{
    QFETCH(int, value);
    QFETCH(QString, motor);
    QFETCH(QString, rom);
    QCOMPARE(MotorModelText(value).isNull(), motor.isNull());
    QCOMPARE(MotorModelText(value), motor);
    QCOMPARE(RomVersionText(value), rom);
}

void TstMonitorRules::valueCommand_data()
{
    QTest::addColumn<QString>("box1");
    QTest::addColumn<QString>("box2");
    QTest::addColumn<QString>("command");
    QTest::newRow("initial") << "0000" << "0000" << "VV;FFFF0000;FFFF0000;";
    QTest::newRow("empty") << "" << "" << "VV;FFFF0000;FFFF0000;";
    QTest::newRow("1 and 12") << "1" << "12" << "VV;FFFF0001;FFFF0012;";
    QTest::newRow("7") << "7" << "ABCD" << "VV;FFFF0007;FFFFABCD;";
    QTest::newRow("as typed") << "zz" << "a" << "VV;FFFF00zz;FFFF000a;";
    QTest::newRow("eight and more") << "123456789" << "12345678" << "VV;123456789;12345678;";
}

void TstMonitorRules::valueCommand()
{
    QFETCH(QString, box1);
    QFETCH(QString, box2);
    QFETCH(QString, command);
    QCOMPARE(ValueCommand(box1, box2), command);
}

void TstMonitorRules::alarmHistory_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<int>("index");
    QTest::newRow("0 empties") << 0 << HistoryEmpty;
    QTest::newRow("6 is over load") << 6 << 1;
    QTest::newRow("bit 0") << 1 << 0;
    QTest::newRow("bit 11 hidden cell") << (1 << 11) << 11;
    QTest::newRow("bit 12 hidden cell") << (1 << 12) << 12;
    QTest::newRow("only bit 13 keeps") << (1 << 13) << HistoryKeep;
    QTest::newRow("only bit 31 keeps") << int(0x80000000) << HistoryKeep;
    QTest::newRow("bit 31 and 10") << int(0x80000400) << 10;
}

void TstMonitorRules::alarmHistory()
{
    QFETCH(int, field);
    QFETCH(int, index);
    QCOMPARE(AlarmHistoryIndex(field), index);
}

QTEST_APPLESS_MAIN(TstMonitorRules)
#include "tst_monitorrules.moc"
