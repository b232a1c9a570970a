#include "paramcatalogue.h"

#include "drive/resources/strings.h"

namespace {

constexpr int HelpBase = 500;
constexpr int RangeBase = 600;

// The name labels as the window shows them. Those ending in "\r\n" carry an
// invisible line break.
constexpr const char *Names[ParamCount] = {
    "00:Excessive Error Area",
    "01:In-position Area",
    "02:Position Loop Gain",
    "03:Speed Loop Proportional Gain",
    "04:Speed Loop Integral Gain",
    "05:Speed Loop Differenrial Gain",
    "06:Speed Feed Forward Coefficient",
    "07:Acc.Speed Feed Forward Coefficient",
    "08:Torque Command Filter",
    "09:Motor Rotation Direction",
    "10:Command Multiplier(Numerator)",
    "11:Command Multiplier(Denominator)",
    "12:Speed Step Correction",
    "13:Torque Step Correction",
    "14:Follow-up Starting Range",
    "15:Forward Torque Limiter",
    "16:Reverse Torque Limiter",
    "17:Forward Soft OT",
    "18:Reverse Soft OT",
    "19:JOG Speed (HIGH)",
    "20:JOG Speed (LOW)",
    "21:JOG Feed Pulse",
    "22:Homing Method",
    "23:Homing Direction",
    "24:Homing Creep Speed",
    "25:Homing Distance",
    "26:Torque Limiter at Homing",
    "27:Over Ride",
    "28:Input Filter Time",
    "29:",
    "30:Input Method Selection",
    "31:Standard speed\r\n",
    "32:Standard Acc/Dec Time",
    "33:S-shaped curve Switch",
    "34:",
    "35:Alarm Output Setting(bit)",
    "36:Input Function Select(bit)",
    "37:Output Function Select(bit)",
    "38:Input Logic Setting(bit)",
    "39:Output Logic Setting(bit)",
    "40:Torque Limiter",
    "41:Speed Limiter",
    "42:Rotator Angle Correction\r\n",
    "43:Rotator Angle Ofset",
    "44:Pulse / Rev.",
    "45:sin Table Scale\r\n",
    "46:Pulse / Rev. (x4)",
    "47:Over Load Level",
    "48:Over Load Coefficient",
    "49:Current Loop Proportional Gain",
    "50:Current Loop Differenrial Gain",
    "51:Phase U Offset",
    "52:Phase U Hysteresis\r\n",
    "53:Phase V Ofset",
    "54:Phase V Hysteresis\r\n",
    "55:Counter electromotive force\r\n",
    "56:CT Ofset Amends\r\n",
    "57:Motor Type",
    "58:Communication Timer [ms]",
    "59:",
};

bool userParam(int k) { return k >= 0 && k < UserParamCount; }

}  // namespace

QString ParamName(int k)
{
    if (k < 0 || k >= ParamCount) return {};
    return QString::fromLatin1(Names[k]);
}

QString ParamSpokenName(int k)
{
    QString name = ParamName(k);
    while (name.endsWith(u'\n') || name.endsWith(u'\r')) name.chop(1);
    return name;
}

bool ParamIsHex(int k) { return k == 30 || (k >= 34 && k <= 39); }

QString ParamRange(int k) { return userParam(k) ? LoadResString(RangeBase + k) : QString(); }

QString ParamHelp(int k) { return userParam(k) ? LoadResString(HelpBase + k) : QString(); }

QString ParamTabCaption(int t)
{
    const int first = t * ParamBlockSize;
    return QStringLiteral("%1-%2").arg(first, 2, 10, QLatin1Char('0')).arg(first + ParamBlockSize - 1, 2, 10, QLatin1Char('0'));
}
