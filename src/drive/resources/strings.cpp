#include "strings.h"

#include <QHash>

namespace {

struct Entry {
    int id;
    const char16_t *text;
};

// Help texts of parameters 00..39 (lines broken by line feeds, printed as
// they stand, blanks and all), the ranges of parameters 00..39 ("min/max",
// decimal even for hexadecimal parameters) and of the point table's four
// columns.
constexpr Entry Table[] = {
    {500,
     u"  The acceptable area of difference(position deviation)\n"
     u" between command pulse and feedback pulse\n"
     u" in control system is set. If the position deviation\n"
     u" exceeds this setting value, the excessive error\n"
     u" alarm(No.07)is raised."},
    {501,
     u"  If the difference(position deviation)between command\n"
     u" pulse and feedback pulse in control system becomes\n"
     u" smaller than this setting value, the in-position\n"
     u" signal(INP signal)is output."},
    {502,
     u"  The gain of position loop is set. If the value is\n"
     u" too high, it will cause overshoot and hunting.\n"
     u" If the value is too low, it will cause the excessive\n"
     u" deviation. This parameter is decided according\n"
     u" to the rigidity of machine."},
    {503,
     u"  The proportional gain of speed loop is set. If it is\n"
     u" too high or too low, it will be apt to vibrate.\n"
     u" This parameter is decided according to the\n"
     u" inertia and rigidity of machine."},
    {504,
     u"  The speed loop integral gain is set. If the value\n"
     u" is too high, it will be apt to vibrate. If the value\n"
     u" is too low,  it could take much time required\n"
     u" for reaching inside in-position."},
    {505,
     u"  The differential gain of speed loop is set. If the\n"
     u" value is too high, it will be apt to vibrate.\n"
     u" Typically, the value is set to \"0\""},
    {506,
     u"  The coefficient giving first level differential value\n"
     u" of position deviation to speed command is set.\n"
     u" Typically, the value is set to \"0\". But, it requires\n"
     u" setting if improving the quick response. "},
    {507,
     u"  The coefficient giving second level differential\n"
     u" value of position deviation to torque command\n"
     u" is set. Typically, the value is set to \"0\". But, it\n"
     u" requires setting if improving the quick response."},
    {508,
     u"  To control the self-excited vibration whth mechanical\n"
     u" system, the coefficient against cutoff frequency\n"
     u" of low-pass filter for torque command is set. Typically,\n"
     u" the malue is set to \"0\""},
    {509,
     u"  The rotation direction of motor is set.\n"
     u"     0 : \"+\" direction is equivalent to CW from shaft side\n"
     u"     1 : \"-\" direction is equivalent to CCW from shaft side"},
    {510,
     u"  Command Muliplier(Numerator)\n"
     u" The conformity between command and\n"
     u" actual travel is provided by multiplying the position\n"
     u" command by magnification\n"
     u"\n"
     u" *The change of setting for this parameter will be\n"
     u" valid after turning back ON."},
    {511,
     u"  Command Muliplier(Denominator)\n"
     u" The conformity between command and\n"
     u" actual travel is provided by multiplying the position\n"
     u" command by magnification\n"
     u"\n"
     u" *The change of setting for this parameter will be\n"
     u" valid after turning back ON.."},
    {512,
     u"  The value of speed command correction to be\n"
     u" added to the command according to positive or\n"
     u" negative of speed command is set. If the value is too high,\n"
     u" it will be apt to vibrate. Typically, the value is\n"
     u" set to \"0\". But it requires setting if improving the\n"
     u" quick response."},
    {513,
     u"  The value of torque command correction\n"
     u" to be added to the command according to positive or\n"
     u" negative of torque command is set. If the value is\n"
     u" too high, it will be apt to vibrate. Typically, the value\n"
     u" is set to \"0\".\n"
     u" But it requires setting if improving\n"
     u" the quick response."},
    {514,
     u"  The follow-up operation(that clears the position\n"
     u" deviation)is not performed, and then the command\n"
     u" position will be held while the  position deviation\n"
     u" is within this setting value during servo OFF."},
    {515,
     u"  The max.value of torque in forward direction\n"
     u" is set with few percent of each rated torque."},
    {516,
     u"  The max.value of torque in reverse direction\n"
     u" is set with few percent of each rated torque."},
    {517,
     u"  If the position command(point operation, \n"
     u" JOG input)exceeds this setting range,\n"
     u" the position command is clamped.\n"
     u" *The soft OT function is disabled when:\n"
     u"  1. the values of both forward and reverse direction\n"
     u"   are set to \"0\".\n"
     u"  2. it is period\n"
     u"    between power ON and completion of return to origin."},
    {518,
     u"  If the position command(point operation, \n"
     u" JOG input)exceeds this setting range,\n"
     u" the position command is clamped.\n"
     u" *The soft OT function is disabled when:\n"
     u"  1. the values of both forward and reverse direction\n"
     u"   are set to \"0\".\n"
     u"  2. it is period\n"
     u"    between power ON and completion of return to origin."},
    {519,
     u"  The rotation speed when operating with JOG\n"
     u" command is set."},
    {520,
     u"  The rotation speed when operating with JOG\n"
     u" command is set."},
    {521,
     u"  This parameter is set when performing JOG operation\n"
     u" with two-stage feed. "},
    {522,
     u"  Select the Homing methods(0 to 1).\n"
     u"  0:Hard Stop Homing\n"
     u"  1:Ignore Origin\n"
     u"   * The change of setting for this parameter\n"
     u"    will be valid after turning back ON."},
    {523,
     u"  The starting direction of Homing is set.\n"
     u"  0: Motor Forward Direction (\"+\"Direction)\n"
     u"  1: Motor Reverse Direction (\"-\"Direction)"},
    {524,
     u"  The creep speed is set."},
    {525,
     u"  The travel distance after detecting Z-phase\n"
     u" at Homing is set."},
    {526,
     u"  The push torque at Hard Stop Homing is set. \n"
     u" This is not used except for Hard Stop Homing."},
    {527,
     u"  The override of the rotational speed is set. (1-100%) \n"
     u""},
    {528,
     u"  The time for soft low-pass filter to be  "},
    {529,
     u"  Parameter that only maker uses. (must be not changed)\n"
     u""},
    {530,
     u"  Point Specification/ZSTR/STR/JOG SVON\n"
     u"  The input device for these commands is selected\n"
     u" and set from the following items with BIT(1 pair: 2 BITs).\n"
     u" [Examples by the hexadecimall]\n"
     u"   20A: Digital Operator\n"
     u"   155: ORVEX\n"
     u"   000: External Input Signal"},
    {531,
     u"  The default value of \"Speed\" data of the point table."},
    {532,
     u"  The default value of \"Acc/Dec\" data of the point table. \n"
     u" It is held concurrently for JOG and return to Origin."},
    {533,
     u"  The switch to change S-shaped curve acc/deceleration."},
    {534,
     u"\u3000"},
    {535,
     u"  Alarm No.10[OT Error]\n"
     u" For this alarm, disable or enable of the alarm\n"
     u"  output is set."},
    {536,
     u"  The function of external input is selected.\n"
     u" *The change of setting for this parameter\n"
     u"  will be valid after turning back ON."},
    {537,
     u"  The function of external input is selected.\n"
     u" *The change of setting for this parameter\n"
     u"  will be valid after turning back ON."},
    {538,
     u"  The logic of external input is reversed.\n"
     u" When each BIT is \"1\", it is reversed\n"
     u" *The change of setting for this parameter\n"
     u"  will be valid after turning back ON."},
    {539,
     u"  The logic of external output is reversed.\n"
     u" When each BIT is \"1\", it is reversed\n"
     u" *The change of setting for this parameter\n"
     u"  will be valid after turning back ON."},
    {600, u"0/99999"},
    {601, u"0/9999"},
    {602, u"10/9999"},
    {603, u"10/9999"},
    {604, u"0/9999"},
    {605, u"0/9999"},
    {606, u"0/9999"},
    {607, u"0/9999"},
    {608, u"0/9999"},
    {609, u"0/1"},
    {610, u"1/999"},
    {611, u"1/999"},
    {612, u"0/9999"},
    {613, u"0/9999"},
    {614, u"0/9999"},
    {615, u"0/300"},
    {616, u"0/300"},
    {617, u"-2000000/2000000"},
    {618, u"-2000000/2000000"},
    {619, u"1/2500"},
    {620, u"1/2500"},
    {621, u"0/9999"},
    {622, u"0/1"},
    {623, u"0/1"},
    {624, u"1/2500"},
    {625, u"-99999/99999"},
    {626, u"0/100"},
    {627, u"1/100"},
    {628, u"0/99"},
    {629, u"0/1"},
    {630, u"0/1023"},
    {631, u"1/2500"},
    {632, u"1/9999"},
    {633, u"0/1"},
    {634, u"0/0"},
    {635, u"0/1"},
    {636, u"0/1"},
    {637, u"0/3"},
    {638, u"0/4095"},
    {639, u"0/7"},
    {700, u"0/1"},
    {701, u"-2000000/2000000"},
    {702, u"0/2500"},
    {703, u"0/9999"},
};

const QHash<int, QString> &strings()
{
    static const QHash<int, QString> table = [] {
        QHash<int, QString> h;
        for (const Entry &e : Table) h.insert(e.id, QString::fromUtf16(e.text));
        return h;
    }();
    return table;
}

}  // namespace

QString LoadResString(int id) { return strings().value(id); }
