#pragma once
// The port file "cp.dat" in the current directory of the moment: six lines,
// the port number, offline mode (0 or 1) and four reserved zeros.

#include "drive/link/portsettings.h"
#include "drive/savefile.h"

#include <QString>

QString PortFilePath();
// Defaults (port 1, online) first, saved as the last pair known to work; then
// the file's first two numbers, as far as they can be read. Silent on errors.
void ReadPortFile(PortSettings &settings);
// Writes the six lines; a failed write leaves the old file and says why.
SaveResult WritePortFile(const PortSettings &settings);
// One line of the file: a blank or "-", the digits, one blank.
QString PortFileNumber(int value);
