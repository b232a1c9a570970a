#pragma once
// The maker's password. Maker mode is for the drive maker's service staff:
// it shows the maker's parameters 40 to 59 (the motor type and others a
// wrong value of which can harm the motor) and the status monitor's maker
// rows, and lets a parameter write cover all six blocks. The password
// window and orvex-cli's --maker check a password here, the one way.

#include <QStringView>

// True when typed is the maker's password: compared exactly, case counts
// and blanks are kept.
bool IsMakerPassword(QStringView typed);
