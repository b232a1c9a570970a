#pragma once
// How a parameter field's text becomes a number and back, as the transfer
// and the parameter file read and write it, and the texts of the parameter
// requests. A field is hexadecimal when it carries the tag "H".

#include <QString>
#include <QStringList>
#include <QStringView>

// The value a field's text stands for: a hexadecimal entry read as typed, a
// decimal one read leniently and rounded half to even (held to 32 bits).
qint32 FieldValue(QStringView text, bool hex);

// The text a field shows for a value from the drive or a file: the
// hexadecimal form, or the decimal display form (" 1000", "-1").
QString FieldText(qint32 value, bool hex);

// One value of a write request. A decimal field goes out as its rounded value
// in hexadecimal; a hexadecimal field exactly as shown, so long as it is one to
// eight hexadecimal digits. Anything else there (a half-typed entry) would
// break the request apart at a ";" and is sent as its range check would leave
// it (range "min/max"; no range holds it to 0).
QString WireValue(QStringView text, bool hex, QStringView range);

// "R;" and the block in hexadecimal.
QString ReadRequestText(int block);

// The field of a block being written: its text, its tag and its range.
struct WriteField {
    QString text;
    bool hex = false;
    QString range;
};
// The value a field's write sends.
qint32 WrittenValue(const WriteField &field);
// "W;", the block in hexadecimal, then ";" and the value of each field in
// order; no ";" at the end.
QString WriteRequestText(int block, const QList<WriteField> &fields);
