#pragma once
// A field whose value is not the one last read from the drive (or loaded
// from a file) is marked: an amber background, legible on white and on the
// point table's tinted rows, and its tooltip and accessible description say
// the value it was. Unmarked, it gets its own background and tooltip back.

#include <QColor>
#include <QString>

class QLineEdit;

inline const QColor ChangedFieldColor(255, 214, 140);

// was: the text the field showed for the value read or loaded; a null text
// takes the mark away.
void MarkChanged(QLineEdit *field, const QString &was);
bool IsMarkedChanged(const QLineEdit *field);
