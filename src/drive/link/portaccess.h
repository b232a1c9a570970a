#pragma once
// Why this user may not open a serial device, in words a Linux user can act
// on: the device, the group that owns it, and how to join that group.

#include <QString>

// The text for a device owned by group (its name, or its number when it has
// no name): what to do to be let in.
QString PortAccessText(const QString &device, const QString &group);

// Empty when this user may read and write the device, or when that cannot be
// told (no such file, a system without device groups); PortAccessText of the
// device's group otherwise.
QString PortAccessProblem(const QString &device);
