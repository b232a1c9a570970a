#pragma once
// The program's numbered texts: parameter help texts (500-539), parameter
// ranges (600-639) and the point table's column ranges (700-703).

#include <QString>

// The text of the given number; empty for a number that has none.
QString LoadResString(int id);
