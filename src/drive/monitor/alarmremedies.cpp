#include "alarmremedies.h"

#include <array>

namespace {

const std::array<QString, AlarmCount> &Remedies()
{
    static const std::array<QString, AlarmCount> texts{
        // ROM Error(00)
        QStringLiteral("The drive's program or parameter memory failed its check, mostly after a write that was "
                       "cut short (power lost during FLASH) or electrical noise. Switch the drive off and on; "
                       "write the parameter set and point table again and FLASH them. If the alarm stays, the "
                       "drive's memory is faulty: replace the drive."),
        // Over Load(01)
        QStringLiteral("The motor current stayed above the rated current for too long: the load is too heavy, "
                       "the mechanics bind, a holding brake is not released, acceleration is too steep or the axis "
                       "oscillates. Turn the axis by hand to check that it runs freely, check the brake, lengthen "
                       "the acc/dec time or lower the load, and check the loop gains."),
        // Encoder Error(02)
        QStringLiteral("The encoder signals are missing or implausible: a loose connector, a broken or badly "
                       "shielded encoder cable, noise from the motor cable, or a failed encoder. Check the "
                       "connectors and the cable, earth its shield at the drive, route it apart from the power "
                       "wiring. If the alarm stays with a good cable, replace the motor (encoder)."),
        // Regeneration Alarm(03)
        QStringLiteral("Braking feeds back more energy than the drive can absorb: deceleration too fast for the "
                       "inertia, a load lowered on a vertical axis, or the regenerative resistor missing, "
                       "disconnected or too small. Lengthen the deceleration time, lower the speed, and check the "
                       "resistor's wiring and rating."),
        // Operating temperature
        QStringLiteral("The drive has overheated: ambient temperature too high, too little room around the drive, "
                       "a blocked or stopped fan, or a load near the limit for long. Check the cabinet "
                       "ventilation and the fan, keep the clearances around the drive, let it cool and reduce the "
                       "duty or the load."),
        // System Alarm(05)
        QStringLiteral("The drive's control found an internal fault (processor, watchdog, control supply), often "
                       "from noise or a dip in the control supply. Check the control supply and the earthing, fit "
                       "suppressors on nearby coils and contactors, then switch off and on. If it comes back, "
                       "replace the drive."),
        // Over Current Alarm(06)
        QStringLiteral("A current far above the rated one flowed: a short in the motor wiring or the motor, a short "
                       "to earth, or a failed power stage. With the power off, check the U/V/W wiring and its "
                       "insulation (measure with the motor disconnected), the phase order and the motor type "
                       "setting. If the alarm comes with the motor disconnected, the drive is faulty."),
        // Excessive Deviation(07)
        QStringLiteral("The position error grew beyond the excessive error area (parameter 00): the axis is blocked "
                       "or overloaded, acceleration is too steep for the available torque, the torque limit is too "
                       "low, the gains are too low, or the motor or encoder is wired wrongly. Check the mechanics, "
                       "lower speed or acceleration, check torque limits and gains, then reset."),
        // Runaway Error(08)
        QStringLiteral("The motor turned against or far beyond the command: motor phases U/V/W or the encoder wired "
                       "in the wrong order, a wrong motor type setting, or an encoder fault. Switch off, check the "
                       "phase order and the encoder wiring against the motor's data, check the motor type "
                       "(parameter 57) before the servo goes on again."),
        // IGBT Error(09)
        QStringLiteral("The power stage's own protection tripped: a short circuit or earth fault in the motor or its "
                       "cable, an overheated power stage, or a failed IGBT. With the power off, check the motor "
                       "cable and the motor's insulation and let the drive cool. If it comes back with the motor "
                       "disconnected, replace the drive."),
        // OT Error(10)
        QStringLiteral("The axis reached an overtravel limit: a limit switch or a soft limit (parameters 17 and 18). "
                       "Check the target positions and the point table, the limit switches and their wiring and "
                       "logic, and the soft limits; after the reset move the axis back into its range in the "
                       "opposite direction."),
        // Communication error (11)
        QStringLiteral("The drive received garbled or incomplete requests: a loose or too long RS-232 cable, noise, "
                       "a wrong parity or speed, or a second program on the same port. Check the cable and its "
                       "shield, the port settings on both sides and the communication timer (parameter 58)."),
        // Acc/dec distance too short (10)
        QStringLiteral("The move is too short to accelerate and decelerate with the set times at the set speed. "
                       "Lengthen the move, lower its speed or shorten the acc/dec time of the point."),
    };
    return texts;
}

}  // namespace

QString AlarmRemedy(int index)
{
    if (index < 0 || index >= AlarmCount) return {};
    return Remedies()[static_cast<size_t>(index)];
}

QString AlarmRemedyForName(const QString &name)
{
    for (int i = 0; i < AlarmCount; ++i)
        if (AlarmCaptions()[static_cast<size_t>(i)] == name) return AlarmRemedy(i);
    return {};
}
