#include "wavequantities.h"

QStringList WaveStatusSignals()
{
    return {QStringLiteral("Brake"), QStringLiteral("Trq.Lmt."), QStringLiteral("Spd.Lmt."),
            QStringLiteral("Exes.Devi."), QStringLiteral("InPos")};
}

QStringList WaveTriggerSources()
{
    return {QStringLiteral("Speed"), QStringLiteral("Torque"), QStringLiteral("Status"), QStringLiteral("Manual")};
}

QStringList WaveTriggerEdges()
{
    return {QStringLiteral("Forward Up"), QStringLiteral("Forward Down"), QStringLiteral("Reverse Up"),
            QStringLiteral("Reverse Down")};
}

QStringList WaveTimeBases()
{
    return {QStringLiteral("0.05"), QStringLiteral("0.1"), QStringLiteral("0.2"), QStringLiteral("0.5")};
}

namespace WaveGeometry {

int MotorTypeUnits(double motorType)
{
    struct Entry {
        double type;
        int units;
    };
    static constexpr Entry table[] = {{0, 900},  {1, 750},  {2, 794},  {20, 795}, {21, 860}, {22, 917},
                                      {30, 661}, {31, 750}, {32, 774}, {33, 740}, {34, 705}};
    for (const Entry &e : table)
        if (motorType == e.type) return e.units;
    return 0;
}

}  // namespace WaveGeometry
