#include "paramunits.h"

QString ParamUnit(int k)
{
    switch (k) {
    case 15:  // Forward Torque Limiter: a percentage of the rated torque
    case 16:  // Reverse Torque Limiter
    case 27:  // Over Ride: 1-100 %
        return QStringLiteral("%");
    case 31:  // Standard speed: the point table's default "Speed"
        return QStringLiteral("mm/s");
    case 32:  // Standard Acc/Dec Time: the point table's default "Acc/Dec"
    case 58:  // Communication Timer [ms]
        return QStringLiteral("ms");
    default:
        return {};
    }
}
