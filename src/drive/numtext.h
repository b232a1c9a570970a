#pragma once
// Number texts shared by every window: the lenient reading of a typed number,
// the decimal display form, the hexadecimal display/wire form and the reading
// of a typed hexadecimal entry.

#include <QString>
#include <QStringView>
#include <cstdint>

// The number at the start of a text, read leniently: blanks, tabs and line
// feeds are ignored wherever they stand; an optional sign, digits with at most
// one decimal point and an optional E/D exponent are read; reading stops at the
// first character that cannot continue the number. "&H" and "&O" prefixes read
// hexadecimal and octal digits (up to four hex digits as a 16-bit two's
// complement number, five to eight as a 32-bit one). No digits gives 0.
double ValText(QStringView text);

// Decimal display form: a leading blank before zero or a positive number, "-"
// before a negative one, no zero before the point of a fraction between -1 and
// 1, at most 15 significant digits (" 0", " 12.5", "-.5"). NaN shows " 0" and
// an infinity the largest number.
QString StrText(double value);

// Hexadecimal display and wire form: upper case, no leading zeros, no prefix;
// a negative number as its eight-digit two's complement ("FFFFFE0C").
QString HexText(qint32 value);

// Plain decimal form: digits, "-" before a negative value, no leading blank.
QString PlainText(qint32 value);

// Reading of a typed hexadecimal entry; counts only the last eight characters.
// Behind four leading zeros the last four characters are read as 0..65535, and
// a non-digit among them gives a negative value (so a range check raises it to
// the minimum).
qint32 HexEntryToLong(QStringView text);

// Nearest whole number, a tie going to the even neighbour (2.5 -> 2, 3.5 -> 4).
double RoundHalfEven(double value);

// A reading rounded half to even and held to the signed 32-bit range: a value
// beyond it becomes the nearest limit, never a wrapped one. NaN gives 0.
qint32 RoundToLong(double value);

// A reading rounded down (towards minus infinity) and held to the 32-bit range.
qint32 FloorToLong(double value);

// True when the reading, rounded, lies beyond the signed 32-bit range.
bool BeyondLong(double value);
