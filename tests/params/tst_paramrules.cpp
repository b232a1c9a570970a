// The rules of the parameter editor that need no window: the catalogue
// against the drive's own list, the entry checks, field texts to values and
// back, request texts and the parameter file.

#include "params/entrychecks.h"
#include "params/paramcatalogue.h"
#include "params/paramfile.h"
#include "params/paramtext.h"
#include "resources/strings.h"

#include <QTest>

namespace {

struct CatalogueRow {
    const char16_t *name;  // as the label shows it, its invisible line break included
    const char16_t *range = u"";
    bool hex = false;  // tagged "H"
    const char16_t *help = u"";  // a line feed written "\n", as the drive's list writes it
};

// Parameters 00..59 as the drive's documentation lists them, character for
// character: typos, trailing blanks and the ideographic space of 34 included.
const CatalogueRow Catalogue[ParamCount] = {
    {u"00:Excessive Error Area", u"0/99999", false, uR"(  The acceptable area of difference(position deviation)\n between command pulse and feedback pulse\n in control system is set. If the position deviation\n exceeds this setting value, the excessive error\n alarm(No.07)is raised.)"},
    {u"01:In-position Area", u"0/9999", false, uR"(  If the difference(position deviation)between command\n pulse and feedback pulse in control system becomes\n smaller than this setting value, the in-position\n signal(INP signal)is output.)"},
    {u"02:Position Loop Gain", u"10/9999", false, uR"(  The gain of position loop is set. If the value is\n too high, it will cause overshoot and hunting.\n If the value is too low, it will cause the excessive\n deviation. This parameter is decided according\n to the rigidity of machine.)"},
    {u"03:Speed Loop Proportional Gain", u"10/9999", false, uR"(  The proportional gain of speed loop is set. If it is\n too high or too low, it will be apt to vibrate.\n This parameter is decided according to the\n inertia and rigidity of machine.)"},
    {u"04:Speed Loop Integral Gain", u"0/9999", false, uR"(  The speed loop integral gain is set. If the value\n is too high, it will be apt to vibrate. If the value\n is too low,  it could take much time required\n for reaching inside in-position.)"},
    {u"05:Speed Loop Differenrial Gain", u"0/9999", false, uR"(  The differential gain of speed loop is set. If the\n value is too high, it will be apt to vibrate.\n Typically, the value is set to "0")"},
    {u"06:Speed Feed Forward Coefficient", u"0/9999", false, uR"(  The coefficient giving first level differential value\n of position deviation to speed command is set.\n Typically, the value is set to "0". But, it requires\n setting if improving the quick response. )"},
    {u"07:Acc.Speed Feed Forward Coefficient", u"0/9999", false, uR"(  The coefficient giving second level differential\n value of position deviation to torque command\n is set. Typically, the value is set to "0". But, it\n requires setting if improving the quick response.)"},
    {u"08:Torque Command Filter", u"0/9999", false, uR"(  To control the self-excited vibration whth mechanical\n system, the coefficient against cutoff frequency\n of low-pass filter for torque command is set. Typically,\n the malue is set to "0")"},
    {u"09:Motor Rotation Direction", u"0/1", false, uR"(  The rotation direction of motor is set.\n     0 : "+" direction is equivalent to CW from shaft side\n     1 : "-" direction is equivalent to CCW from shaft side)"},
    {u"10:Command Multiplier(Numerator)", u"1/999", false, uR"(  Command Muliplier(Numerator)\n The conformity between command and\n actual travel is provided by multiplying the position\n command by magnification\n\n *The change of setting for this parameter will be\n valid after turning back ON.)"},
    {u"11:Command Multiplier(Denominator)", u"1/999", false, uR"(  Command Muliplier(Denominator)\n The conformity between command and\n actual travel is provided by multiplying the position\n command by magnification\n\n *The change of setting for this parameter will be\n valid after turning back ON..)"},
    {u"12:Speed Step Correction", u"0/9999", false, uR"(  The value of speed command correction to be\n added to the command according to positive or\n negative of speed command is set. If the value is too high,\n it will be apt to vibrate. Typically, the value is\n set to "0". But it requires setting if improving the\n quick response.)"},
    {u"13:Torque Step Correction", u"0/9999", false, uR"(  The value of torque command correction\n to be added to the command according to positive or\n negative of torque command is set. If the value is\n too high, it will be apt to vibrate. Typically, the value\n is set to "0".\n But it requires setting if improving\n the quick response.)"},
    {u"14:Follow-up Starting Range", u"0/9999", false, uR"(  The follow-up operation(that clears the position\n deviation)is not performed, and then the command\n position will be held while the  position deviation\n is within this setting value during servo OFF.)"},
    {u"15:Forward Torque Limiter", u"0/300", false, uR"(  The max.value of torque in forward direction\n is set with few percent of each rated torque.)"},
    {u"16:Reverse Torque Limiter", u"0/300", false, uR"(  The max.value of torque in reverse direction\n is set with few percent of each rated torque.)"},
    {u"17:Forward Soft OT", u"-2000000/2000000", false, uR"(  If the position command(point operation, \n JOG input)exceeds this setting range,\n the position command is clamped.\n *The soft OT function is disabled when:\n  1. the values of both forward and reverse direction\n   are set to "0".\n  2. it is period\n    between power ON and completion of return to origin.)"},
    {u"18:Reverse Soft OT", u"-2000000/2000000", false, uR"(  If the position command(point operation, \n JOG input)exceeds this setting range,\n the position command is clamped.\n *The soft OT function is disabled when:\n  1. the values of both forward and reverse direction\n   are set to "0".\n  2. it is period\n    between power ON and completion of return to origin.)"},
    {u"19:JOG Speed (HIGH)", u"1/2500", false, uR"(  The rotation speed when operating with JOG\n command is set.)"},
    {u"20:JOG Speed (LOW)", u"1/2500", false, uR"(  The rotation speed when operating with JOG\n command is set.)"},
    {u"21:JOG Feed Pulse", u"0/9999", false, uR"(  This parameter is set when performing JOG operation\n with two-stage feed. )"},
    {u"22:Homing Method", u"0/1", false, uR"(  Select the Homing methods(0 to 1).\n  0:Hard Stop Homing\n  1:Ignore Origin\n   * The change of setting for this parameter\n    will be valid after turning back ON.)"},
    {u"23:Homing Direction", u"0/1", false, uR"(  The starting direction of Homing is set.\n  0: Motor Forward Direction ("+"Direction)\n  1: Motor Reverse Direction ("-"Direction))"},
    {u"24:Homing Creep Speed", u"1/2500", false, uR"(  The creep speed is set.)"},
    {u"25:Homing Distance", u"-99999/99999", false, uR"(  The travel distance after detecting Z-phase\n at Homing is set.)"},
    {u"26:Torque Limiter at Homing", u"0/100", false, uR"(  The push torque at Hard Stop Homing is set. \n This is not used except for Hard Stop Homing.)"},
    {u"27:Over Ride", u"1/100", false, uR"(  The override of the rotational speed is set. (1-100%) \n)"},
    {u"28:Input Filter Time", u"0/99", false, uR"(  The time for soft low-pass filter to be  )"},
    {u"29:", u"0/1", false, uR"(  Parameter that only maker uses. (must be not changed)\n)"},
    {u"30:Input Method Selection", u"0/1023", true, uR"(  Point Specification/ZSTR/STR/JOG SVON\n  The input device for these commands is selected\n and set from the following items with BIT(1 pair: 2 BITs).\n [Examples by the hexadecimall]\n   20A: Digital Operator\n   155: ORVEX\n   000: External Input Signal)"},
    {u"31:Standard speed\r\n", u"1/2500", false, uR"(  The default value of "Speed" data of the point table.)"},
    {u"32:Standard Acc/Dec Time", u"1/9999", false, uR"(  The default value of "Acc/Dec" data of the point table. \n It is held concurrently for JOG and return to Origin.)"},
    {u"33:S-shaped curve Switch", u"0/1", false, uR"(  The switch to change S-shaped curve acc/deceleration.)"},
    {u"34:", u"0/0", true, uR"(　)"},
    {u"35:Alarm Output Setting(bit)", u"0/1", true, uR"(  Alarm No.10[OT Error]\n For this alarm, disable or enable of the alarm\n  output is set.)"},
    {u"36:Input Function Select(bit)", u"0/1", true, uR"(  The function of external input is selected.\n *The change of setting for this parameter\n  will be valid after turning back ON.)"},
    {u"37:Output Function Select(bit)", u"0/3", true, uR"(  The function of external input is selected.\n *The change of setting for this parameter\n  will be valid after turning back ON.)"},
    {u"38:Input Logic Setting(bit)", u"0/4095", true, uR"(  The logic of external input is reversed.\n When each BIT is "1", it is reversed\n *The change of setting for this parameter\n  will be valid after turning back ON.)"},
    {u"39:Output Logic Setting(bit)", u"0/7", true, uR"(  The logic of external output is reversed.\n When each BIT is "1", it is reversed\n *The change of setting for this parameter\n  will be valid after turning back ON.)"},
    {u"40:Torque Limiter"}, {u"41:Speed Limiter"}, {u"42:Rotator Angle Correction\r\n"}, {u"43:Rotator Angle Ofset"},
    {u"44:Pulse / Rev."}, {u"45:sin Table Scale\r\n"}, {u"46:Pulse / Rev. (x4)"}, {u"47:Over Load Level"},
    {u"48:Over Load Coefficient"}, {u"49:Current Loop Proportional Gain"}, {u"50:Current Loop Differenrial Gain"},
    {u"51:Phase U Offset"}, {u"52:Phase U Hysteresis\r\n"}, {u"53:Phase V Ofset"}, {u"54:Phase V Hysteresis\r\n"},
    {u"55:Counter electromotive force\r\n"}, {u"56:CT Ofset Amends\r\n"}, {u"57:Motor Type"},
    {u"58:Communication Timer [ms]"}, {u"59:"},
};

}  // namespace

class TstParamRules : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void catalogue_data();
    void catalogue();
    void stringTableEdges();
    void entryChecks_data();
    void entryChecks();
    void fieldValues_data();
    void fieldValues();
    void writeRequest();
    void fileRecord();
};

void TstParamRules::catalogue_data()
{
    QTest::addColumn<int>("k");
    for (int k = 0; k < ParamCount; ++k) QTest::addRow("%02d", k) << k;
}

void TstParamRules::catalogue()
{
    QFETCH(int, k);
    const CatalogueRow &row = Catalogue[k];
    const QString name = QString::fromUtf16(row.name);
    const QString help = QString::fromUtf16(row.help).replace(QStringLiteral("\\n"), QStringLiteral("\n"));
    QCOMPARE(ParamName(k), name);
    QCOMPARE(ParamSpokenName(k), QString(name).remove(QStringLiteral("\r\n")));
    QCOMPARE(ParamIsHex(k), row.hex);
    QCOMPARE(ParamRange(k), QString::fromUtf16(row.range));
    QCOMPARE(ParamHelp(k), help);
    if (k < UserParamCount) {
        QCOMPARE(LoadResString(600 + k), QString::fromUtf16(row.range));
        QCOMPARE(LoadResString(500 + k), help);
    }
}

void TstParamRules::stringTableEdges()
{
    // The point table's column ranges follow the parameters' in the string table.
    const QStringList pointRanges{LoadResString(700), LoadResString(701), LoadResString(702), LoadResString(703)};
    QCOMPARE(pointRanges, (QStringList{"0/1", "-2000000/2000000", "0/2500", "0/9999"}));
    for (int id = 540; id < 600; ++id) QVERIFY2(LoadResString(id).isEmpty(), qPrintable(QString::number(id)));
    for (int id = 640; id < 700; ++id) QVERIFY2(LoadResString(id).isEmpty(), qPrintable(QString::number(id)));
    for (int k : {-1, 60}) QVERIFY(ParamName(k).isEmpty() && ParamHelp(k).isEmpty() && ParamRange(k).isEmpty());
}

void TstParamRules::entryChecks_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("range");
    QTest::addColumn<bool>("hex");
    QTest::addColumn<QString>("result");
    QTest::newRow("below minimum") << "5" << "10/9999" << false << " 10";
    QTest::newRow("junk reads 0") << "abc" << "10/9999" << false << " 10";
    QTest::newRow("negative limit") << "-3000000" << "-2000000/2000000" << false << "-2000000";
    QTest::newRow("fraction stays") << "12.5" << "0/9999" << false << " 12.5";
    QTest::newRow("rounds into range") << "2500.4" << "0/2500" << false << " 2500.4";
    QTest::newRow("rounds out of range") << "2501.5" << "0/2500" << false << " 2500";
    QTest::newRow("beyond 32 bits") << "99999999999" << "0/99999" << false << " 99999";
    QTest::newRow("beyond 32 bits negative") << "-99999999999" << "-99999/99999" << false << "-99999";
    QTest::newRow("decimal 0/0") << "7" << "0/0" << false << " 0";
    QTest::newRow("hex lower case") << "20a" << "0/1023" << true << "20A";
    QTest::newRow("hex 400 held") << "400" << "0/1023" << true << "3FF";
    QTest::newRow("hex junk") << "XYZ" << "0/1023" << true << "0";
    QTest::newRow("hex leading zeros") << "0003" << "0/3" << true << "3";
    QTest::newRow("hex 32-bit negative is below") << "FFFFFFFF" << "0/7" << true << "0";
}

void TstParamRules::entryChecks()
{
    QFETCH(QString, text);
    QFETCH(QString, range);
    QFETCH(bool, hex);
    QFETCH(QString, result);
    QCOMPARE(hex ? CheckRangeHex(text, range) : CheckRangeDec(text, range), result);
}

void TstParamRules::fieldValues_data()
{
    // What a file gets for a field's text, what a value read back shows, and
    // what a write request carries for the text (a field of range "10/4095").
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("hex");
    QTest::addColumn<qint32>("value");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("wire");
    QTest::newRow("decimal") << " 1000" << false << 1000 << " 1000" << "3E8";
    QTest::newRow("negative") << "-500" << false << -500 << "-500" << "FFFFFE0C";
    QTest::newRow("half to even down") << " 12.5" << false << 12 << " 12" << "C";
    QTest::newRow("half to even up") << " 13.5" << false << 14 << " 14" << "E";
    QTest::newRow("beyond 32 bits held") << "99999999999" << false << 2147483647 << " 2147483647" << "7FFFFFFF";
    QTest::newRow("decimal range not applied") << " 5" << false << 5 << " 5" << "5";
    QTest::newRow("hex read as hex") << "10" << true << 16 << "10" << "10";
    QTest::newRow("hex lower case, sent as shown") << "20a" << true << 522 << "20A" << "20a";
    QTest::newRow("hex all ones") << "FFFFFFFF" << true << -1 << "FFFFFFFF" << "FFFFFFFF";
    QTest::newRow("hex leading zeros kept") << "0003" << true << 3 << "3" << "0003";
    QTest::newRow("hex out of range sent as shown") << "FFFF" << true << 65535 << "FFFF" << "FFFF";
    // Half-typed entries would break a request apart: sent as checked.
    QTest::newRow("hex with separator") << "1;2" << true << -1 << "FFFFFFFF" << "A";
    QTest::newRow("hex empty") << "" << true << 0 << "0" << "A";
    QTest::newRow("hex too long") << "123456789" << true << 0x23456789 << "23456789" << "FFF";
}

void TstParamRules::fieldValues()
{
    QFETCH(QString, text);
    QFETCH(bool, hex);
    QFETCH(qint32, value);
    QFETCH(QString, shown);
    QFETCH(QString, wire);
    QCOMPARE(FieldValue(text, hex), value);
    QCOMPARE(FieldText(value, hex), shown);
    QCOMPARE(WireValue(text, hex, u"10/4095"), wire);
}

void TstParamRules::writeRequest()
{
    // Each field goes out by its own tag; "H" marks the hexadecimal ones.
    auto fields = [](const QStringList &texts, QStringView hexMask) {
        QList<WriteField> out;
        for (int i = 0; i < texts.size(); ++i) out.append({texts[i], hexMask[i] == u'H', QStringLiteral("0/4095")});
        return out;
    };
    QCOMPARE(WriteRequestText(0, fields({" 1000", " 100", " 300", " 100", " 0", " 0", " 0", " 0", " 0", " 0"}, u"----------")),
             QStringLiteral("W;0;3E8;64;12C;64;0;0;0;0;0;0"));
    QCOMPARE(WriteRequestText(3, fields({"20A", " 2500", " 100", " 1", "0", "1", "1", "3", "FFF", "7"}, u"H---HHHHHH")),
             QStringLiteral("W;3;20A;9C4;64;1;0;1;1;3;FFF;7"));
}

void TstParamRules::fileRecord()
{
    ParamValues values{};
    values[0] = 1000;
    values[1] = -2147483647 - 1;
    values[17] = -2000000;
    values[30] = 1023;
    values[59] = -1;
    QByteArray bytes(240, '\0');
    bytes.replace(0, 4, QByteArray::fromHex("E8030000"));
    bytes.replace(4, 4, QByteArray::fromHex("00000080"));
    bytes.replace(68, 4, QByteArray::fromHex("807BE1FF"));
    bytes.replace(120, 4, QByteArray::fromHex("FF030000"));
    bytes.replace(236, 4, QByteArray::fromHex("FFFFFFFF"));
    QCOMPARE(EncodeParamFile(values), bytes);
    QVERIFY(DecodeParamFile(bytes) == values);
    for (int length : {0, 239, 241}) QVERIFY2(!DecodeParamFile(QByteArray(length, '\x11')), qPrintable(QString::number(length)));
}

QTEST_MAIN(TstParamRules)
#include "tst_paramrules.moc"
