#pragma once
// The messages join their lines with a carriage return; a message box breaks
// lines only at a line feed, and some styles show a carriage return as nothing.

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <optional>

// The text with each line break ("\r\n", a lone "\r" or "\n") as one "\n";
// nothing else changes.
QString MessageLines(QString text);

// Problems one to a line, the first `shown` of them and then how many more.
QString ProblemLines(const QStringList &problems, int shown = 8);

// The status line after opening a file whose values the entry checks would
// change on their way to the drive; empty when there are none. "p.pxt: 2
// values are outside their ranges and would be written as the entry checks
// change them: parameter 02 = 5 is outside its range 10/1000; ..."
QString OutOfRangeText(const QString &path, const QStringList &problems);

// A message box with OK, its lines broken as above, its text never read as
// markup (a file name may hold "<"), found by tests under objectName.
void ShowMessage(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text,
                 const QString &objectName);
// The same box, application-modal, shown without waiting for it: it deletes
// itself once closed (its finished() tells when).
QMessageBox *OpenMessage(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text,
                         const QString &objectName);

// Before a write: the file bytes of what was last read from the drive are
// kept as a backup (kind "parameters" or "pointtable") named by the drive's
// port. The path kept; a backup that cannot be written is told, naming the
// file, and nothing says the write must not begin.
std::optional<QString> KeepBackup(QWidget *parent, const QString &kind, const QString &extension,
                                  const QByteArray &bytes, const QString &drive);
