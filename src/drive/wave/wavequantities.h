#pragma once
// What a capture of the waveform monitor records, as the monitor's window and
// the analysis both name it: the status signals a capture can follow and the
// torque units that make 100 % for a motor type. Qt Core only, so that a tool
// without windows can use it.

#include <QStringList>

// The status signals in the order of the capture set-up's list
// (CaptureSetup::status): "Brake", "Trq.Lmt.", "Spd.Lmt.", "Exes.Devi.",
// "InPos".
QStringList WaveStatusSignals();
// The trigger sources of the capture set-up's list (CaptureSetup::trig):
// "Speed", "Torque", "Status", "Manual".
QStringList WaveTriggerSources();
// The trigger timings (CaptureSetup::edge): "Forward Up", "Forward Down",
// "Reverse Up", "Reverse Down".
QStringList WaveTriggerEdges();
// The time base dial's seconds a division, 0..3: "0.05", "0.1", "0.2", "0.5".
QStringList WaveTimeBases();

namespace WaveGeometry {

// The torque units that make 100 % for a motor type (parameter 57), or 0 for
// a type that matches no entry (the factor then stays as it is).
int MotorTypeUnits(double motorType);

}  // namespace WaveGeometry
