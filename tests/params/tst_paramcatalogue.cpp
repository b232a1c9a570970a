// The parameter catalogue against the drive's own list: every name label,
// range, entry kind and help text, character for character.

#include "params/paramcatalogue.h"
#include "resources/strings.h"

#include <QTest>

namespace {

// The list below writes a line feed as "\n", as the drive's documentation
// does; the program holds real line feeds.
QString unescape(QString text) { return text.replace(QStringLiteral("\\n"), QStringLiteral("\n")); }

// Name labels that end in an invisible line break.
const QList<int> LineBreakNames = {31, 42, 45, 52, 54, 55, 56};

}  // namespace

class TstParamCatalogue : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void catalogue_data();
    void catalogue();
    void textEndings_data();
    void textEndings();
    void noTextsBeyondTheUserSet();
    void tabCaptions();
};

void TstParamCatalogue::catalogue_data()
{
    QTest::addColumn<int>("k");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("range");
    QTest::addColumn<bool>("hex");
    QTest::addColumn<QString>("help");
    QTest::newRow("00") << 0 << "00:Excessive Error Area" << "0/99999" << false
                         << QString::fromUtf16(uR"(  The acceptable area of difference(position deviation)\n between command pulse and feedback pulse\n in control system is set. If the position deviation\n exceeds this setting value, the excessive error\n alarm(No.07)is raised.)");
    QTest::newRow("01") << 1 << "01:In-position Area" << "0/9999" << false
                         << QString::fromUtf16(uR"(  If the difference(position deviation)between command\n pulse and feedback pulse in control system becomes\n smaller than this setting value, the in-position\n signal(INP signal)is output.)");
    QTest::newRow("02") << 2 << "02:Position Loop Gain" << "10/9999" << false
                         << QString::fromUtf16(uR"(  The gain of position loop is set. If the value is\n too high, it will cause overshoot and hunting.\n If the value is too low, it will cause the excessive\n deviation. This parameter is decided according\n to the rigidity of machine.)");
    QTest::newRow("03") << 3 << "03:Speed Loop Proportional Gain" << "10/9999" << false
                         << QString::fromUtf16(uR"(  The proportional gain of speed loop is set. If it is\n too high or too low, it will be apt to vibrate.\n This parameter is decided according to the\n inertia and rigidity of machine.)");
    QTest::newRow("04") << 4 << "04:Speed Loop Integral Gain" << "0/9999" << false
                         << QString::fromUtf16(uR"(  The speed loop integral gain is set. If the value\n is too high, it will be apt to vibrate. If the value\n is too low,  it could take much time required\n for reaching inside in-position.)");
    QTest::newRow("05") << 5 << "05:Speed Loop Differenrial Gain" << "0/9999" << false
                         << QString::fromUtf16(uR"(  The differential gain of speed loop is set. If the\n value is too high, it will be apt to vibrate.\n Typically, the value is set to "0")");
    QTest::newRow("06") << 6 << "06:Speed Feed Forward Coefficient" << "0/9999" << false
                         << QString::fromUtf16(uR"(  The coefficient giving first level differential value\n of position deviation to speed command is set.\n Typically, the value is set to "0". But, it requires\n setting if improving the quick response. )");
    QTest::newRow("07") << 7 << "07:Acc.Speed Feed Forward Coefficient" << "0/9999" << false
                         << QString::fromUtf16(uR"(  The coefficient giving second level differential\n value of position deviation to torque command\n is set. Typically, the value is set to "0". But, it\n requires setting if improving the quick response.)");
    QTest::newRow("08") << 8 << "08:Torque Command Filter" << "0/9999" << false
                         << QString::fromUtf16(uR"(  To control the self-excited vibration whth mechanical\n system, the coefficient against cutoff frequency\n of low-pass filter for torque command is set. Typically,\n the malue is set to "0")");
    QTest::newRow("09") << 9 << "09:Motor Rotation Direction" << "0/1" << false
                         << QString::fromUtf16(uR"(  The rotation direction of motor is set.\n     0 : "+" direction is equivalent to CW from shaft side\n     1 : "-" direction is equivalent to CCW from shaft side)");
    QTest::newRow("10") << 10 << "10:Command Multiplier(Numerator)" << "1/999" << false
                         << QString::fromUtf16(uR"(  Command Muliplier(Numerator)\n The conformity between command and\n actual travel is provided by multiplying the position\n command by magnification\n\n *The change of setting for this parameter will be\n valid after turning back ON.)");
    QTest::newRow("11") << 11 << "11:Command Multiplier(Denominator)" << "1/999" << false
                         << QString::fromUtf16(uR"(  Command Muliplier(Denominator)\n The conformity between command and\n actual travel is provided by multiplying the position\n command by magnification\n\n *The change of setting for this parameter will be\n valid after turning back ON..)");
    QTest::newRow("12") << 12 << "12:Speed Step Correction" << "0/9999" << false
                         << QString::fromUtf16(uR"(  The value of speed command correction to be\n added to the command according to positive or\n negative of speed command is set. If the value is too high,\n it will be apt to vibrate. Typically, the value is\n set to "0". But it requires setting if improving the\n quick response.)");
    QTest::newRow("13") << 13 << "13:Torque Step Correction" << "0/9999" << false
                         << QString::fromUtf16(uR"(  The value of torque command correction\n to be added to the command according to positive or\n negative of torque command is set. If the value is\n too high, it will be apt to vibrate. Typically, the value\n is set to "0".\n But it requires setting if improving\n the quick response.)");
    QTest::newRow("14") << 14 << "14:Follow-up Starting Range" << "0/9999" << false
                         << QString::fromUtf16(uR"(  The follow-up operation(that clears the position\n deviation)is not performed, and then the command\n position will be held while the  position deviation\n is within this setting value during servo OFF.)");
    QTest::newRow("15") << 15 << "15:Forward Torque Limiter" << "0/300" << false
                         << QString::fromUtf16(uR"(  The max.value of torque in forward direction\n is set with few percent of each rated torque.)");
    QTest::newRow("16") << 16 << "16:Reverse Torque Limiter" << "0/300" << false
                         << QString::fromUtf16(uR"(  The max.value of torque in reverse direction\n is set with few percent of each rated torque.)");
    QTest::newRow("17") << 17 << "17:Forward Soft OT" << "-2000000/2000000" << false
                         << QString::fromUtf16(uR"(  If the position command(point operation, \n JOG input)exceeds this setting range,\n the position command is clamped.\n *The soft OT function is disabled when:\n  1. the values of both forward and reverse direction\n   are set to "0".\n  2. it is period\n    between power ON and completion of return to origin.)");
    QTest::newRow("18") << 18 << "18:Reverse Soft OT" << "-2000000/2000000" << false
                         << QString::fromUtf16(uR"(  If the position command(point operation, \n JOG input)exceeds this setting range,\n the position command is clamped.\n *The soft OT function is disabled when:\n  1. the values of both forward and reverse direction\n   are set to "0".\n  2. it is period\n    between power ON and completion of return to origin.)");
    QTest::newRow("19") << 19 << "19:JOG Speed (HIGH)" << "1/2500" << false
                         << QString::fromUtf16(uR"(  The rotation speed when operating with JOG\n command is set.)");
    QTest::newRow("20") << 20 << "20:JOG Speed (LOW)" << "1/2500" << false
                         << QString::fromUtf16(uR"(  The rotation speed when operating with JOG\n command is set.)");
    QTest::newRow("21") << 21 << "21:JOG Feed Pulse" << "0/9999" << false
                         << QString::fromUtf16(uR"(  This parameter is set when performing JOG operation\n with two-stage feed. )");
    QTest::newRow("22") << 22 << "22:Homing Method" << "0/1" << false
                         << QString::fromUtf16(uR"(  Select the Homing methods(0 to 1).\n  0:Hard Stop Homing\n  1:Ignore Origin\n   * The change of setting for this parameter\n    will be valid after turning back ON.)");
    QTest::newRow("23") << 23 << "23:Homing Direction" << "0/1" << false
                         << QString::fromUtf16(uR"(  The starting direction of Homing is set.\n  0: Motor Forward Direction ("+"Direction)\n  1: Motor Reverse Direction ("-"Direction))");
    QTest::newRow("24") << 24 << "24:Homing Creep Speed" << "1/2500" << false
                         << QString::fromUtf16(uR"(  The creep speed is set.)");
    QTest::newRow("25") << 25 << "25:Homing Distance" << "-99999/99999" << false
                         << QString::fromUtf16(uR"(  The travel distance after detecting Z-phase\n at Homing is set.)");
    QTest::newRow("26") << 26 << "26:Torque Limiter at Homing" << "0/100" << false
                         << QString::fromUtf16(uR"(  The push torque at Hard Stop Homing is set. \n This is not used except for Hard Stop Homing.)");
    QTest::newRow("27") << 27 << "27:Over Ride" << "1/100" << false
                         << QString::fromUtf16(uR"(  The override of the rotational speed is set. (1-100%) \n)");
    QTest::newRow("28") << 28 << "28:Input Filter Time" << "0/99" << false
                         << QString::fromUtf16(uR"(  The time for soft low-pass filter to be  )");
    QTest::newRow("29") << 29 << "29:" << "0/1" << false
                         << QString::fromUtf16(uR"(  Parameter that only maker uses. (must be not changed)\n)");
    QTest::newRow("30") << 30 << "30:Input Method Selection" << "0/1023" << true
                         << QString::fromUtf16(uR"(  Point Specification/ZSTR/STR/JOG SVON\n  The input device for these commands is selected\n and set from the following items with BIT(1 pair: 2 BITs).\n [Examples by the hexadecimall]\n   20A: Digital Operator\n   155: ORVEX\n   000: External Input Signal)");
    QTest::newRow("31") << 31 << "31:Standard speed" << "1/2500" << false
                         << QString::fromUtf16(uR"(  The default value of "Speed" data of the point table.)");
    QTest::newRow("32") << 32 << "32:Standard Acc/Dec Time" << "1/9999" << false
                         << QString::fromUtf16(uR"(  The default value of "Acc/Dec" data of the point table. \n It is held concurrently for JOG and return to Origin.)");
    QTest::newRow("33") << 33 << "33:S-shaped curve Switch" << "0/1" << false
                         << QString::fromUtf16(uR"(  The switch to change S-shaped curve acc/deceleration.)");
    QTest::newRow("34") << 34 << "34:" << "0/0" << true
                         << QString::fromUtf16(uR"(　)");
    QTest::newRow("35") << 35 << "35:Alarm Output Setting(bit)" << "0/1" << true
                         << QString::fromUtf16(uR"(  Alarm No.10[OT Error]\n For this alarm, disable or enable of the alarm\n  output is set.)");
    QTest::newRow("36") << 36 << "36:Input Function Select(bit)" << "0/1" << true
                         << QString::fromUtf16(uR"(  The function of external input is selected.\n *The change of setting for this parameter\n  will be valid after turning back ON.)");
    QTest::newRow("37") << 37 << "37:Output Function Select(bit)" << "0/3" << true
                         << QString::fromUtf16(uR"(  The function of external input is selected.\n *The change of setting for this parameter\n  will be valid after turning back ON.)");
    QTest::newRow("38") << 38 << "38:Input Logic Setting(bit)" << "0/4095" << true
                         << QString::fromUtf16(uR"(  The logic of external input is reversed.\n When each BIT is "1", it is reversed\n *The change of setting for this parameter\n  will be valid after turning back ON.)");
    QTest::newRow("39") << 39 << "39:Output Logic Setting(bit)" << "0/7" << true
                         << QString::fromUtf16(uR"(  The logic of external output is reversed.\n When each BIT is "1", it is reversed\n *The change of setting for this parameter\n  will be valid after turning back ON.)");
    QTest::newRow("40") << 40 << "40:Torque Limiter" << "" << false
                         << QString::fromUtf16(uR"()");
    QTest::newRow("41") << 41 << "41:Speed Limiter" << "" << false
                         << QString::fromUtf16(uR"()");
    QTest::newRow("42") << 42 << "42:Rotator Angle Correction" << "" << false
                         << QString::fromUtf16(uR"()");
    QTest::newRow("43") << 43 << "43:Rotator Angle Ofset" << "" << false
                         << QString::fromUtf16(uR"()");
    QTest::newRow("44") << 44 << "44:Pulse / Rev." << "" << false
                         << QString::fromUtf16(uR"()");
    QTest::newRow("45") << 45 << "45:sin Table Scale" << "" << false
                         << QString::fromUtf16(uR"()");
    QTest::newRow("46") << 46 << "46:Pulse / Rev. (x4)" << "" << false
                         << QString::fromUtf16(uR"()");
    QTest::newRow("47") << 47 << "47:Over Load Level" << "" << false
                         << QString::fromUtf16(uR"()");
    QTest::newRow("48") << 48 << "48:Over Load Coefficient" << "" << false
                         << QString::fromUtf16(uR"()");
    QTest::newRow("49") << 49 << "49:Current Loop Proportional Gain" << "" << false
                         << QString::fromUtf16(uR"()");
    QTest::newRow("50") << 50 << "50:Current Loop Differenrial Gain" << "" << false
                         << QString::fromUtf16(uR"()");
    QTest::newRow("51") << 51 << "51:Phase U Offset" << "" << false
                         << QString::fromUtf16(uR"()");
    QTest::newRow("52") << 52 << "52:Phase U Hysteresis" << "" << false
                         << QString::fromUtf16(uR"()");
    QTest::newRow("53") << 53 << "53:Phase V Ofset" << "" << false
                         << QString::fromUtf16(uR"()");
    QTest::newRow("54") << 54 << "54:Phase V Hysteresis" << "" << false
                         << QString::fromUtf16(uR"()");
    QTest::newRow("55") << 55 << "55:Counter electromotive force" << "" << false
                         << QString::fromUtf16(uR"()");
    QTest::newRow("56") << 56 << "56:CT Ofset Amends" << "" << false
                         << QString::fromUtf16(uR"()");
    QTest::newRow("57") << 57 << "57:Motor Type" << "" << false
                         << QString::fromUtf16(uR"()");
    QTest::newRow("58") << 58 << "58:Communication Timer [ms]" << "" << false
                         << QString::fromUtf16(uR"()");
    QTest::newRow("59") << 59 << "59:" << "" << false
                         << QString::fromUtf16(uR"()");
}

void TstParamCatalogue::catalogue()
{
    QFETCH(int, k);
    QFETCH(QString, name);
    QFETCH(QString, range);
    QFETCH(bool, hex);
    QFETCH(QString, help);
    const QString expectedName = name + (LineBreakNames.contains(k) ? QStringLiteral("\r\n") : QString());
    QCOMPARE(ParamName(k), expectedName);
    QCOMPARE(ParamSpokenName(k), name);
    QCOMPARE(ParamIsHex(k), hex);
    QCOMPARE(ParamRange(k), range);
    QCOMPARE(ParamHelp(k), unescape(help));
    if (k < UserParamCount) {
        QCOMPARE(LoadResString(600 + k), range);
        QCOMPARE(LoadResString(500 + k), unescape(help));
    }
}

void TstParamCatalogue::textEndings_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("ending");
    QTest::addColumn<int>("length");
    QTest::newRow("506 trailing blank") << 506 << "response. " << 200;
    QTest::newRow("511 two full stops") << 511 << "ON.." << 232;
    QTest::newRow("527 line feed") << 527 << "(1-100%) \n" << 57;
    QTest::newRow("528 two blanks") << 528 << "to be  " << 43;
    QTest::newRow("529 line feed") << 529 << "changed)\n" << 56;
    QTest::newRow("534 ideographic space") << 534 << QString(QChar(0x3000)) << 1;
    QTest::newRow("617 range") << 617 << "-2000000/2000000" << 16;
    QTest::newRow("634 range") << 634 << "0/0" << 3;
}

void TstParamCatalogue::textEndings()
{
    QFETCH(int, id);
    QFETCH(QString, ending);
    QFETCH(int, length);
    const QString text = LoadResString(id);
    QVERIFY2(text.endsWith(ending), qPrintable(text));
    QCOMPARE(text.size(), length);
}

void TstParamCatalogue::noTextsBeyondTheUserSet()
{
    for (int id = 540; id < 600; ++id) QVERIFY2(LoadResString(id).isEmpty(), qPrintable(QString::number(id)));
    for (int id = 640; id < 700; ++id) QVERIFY2(LoadResString(id).isEmpty(), qPrintable(QString::number(id)));
    for (int k : {-1, 60}) {
        QVERIFY(ParamName(k).isEmpty());
        QVERIFY(ParamHelp(k).isEmpty());
        QVERIFY(ParamRange(k).isEmpty());
    }
}

void TstParamCatalogue::tabCaptions()
{
    QStringList captions;
    for (int t = 0; t < ParamBlockCount; ++t) captions << ParamTabCaption(t);
    QCOMPARE(captions, (QStringList{"00-09", "10-19", "20-29", "30-39", "40-49", "50-59"}));
}

QTEST_APPLESS_MAIN(TstParamCatalogue)
#include "tst_paramcatalogue.moc"
