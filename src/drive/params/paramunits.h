#pragma once
// The unit of a parameter's value where the program knows it: the torque
// limiters in % of the rated torque, the override in %, the standard speed
// and acc/dec time in the point table's units, the maker's communication
// timer in ms. Empty where it is not known.

#include <QString>

QString ParamUnit(int k);
