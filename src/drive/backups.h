#pragma once
// Backups kept before a write: the values last read from the drive, as a
// parameter or point table file, in $XDG_DATA_HOME/orvex/backups/
// (~/.local/share/orvex/backups/ when the variable is unset), named by the
// date and time and the kind: "2026-12-06_14-03-22_parameters.pxt".

#include <QByteArray>
#include <QDateTime>
#include <QString>

QString BackupFolder();
// The file name of a backup taken at when: kind "parameters" or
// "pointtable", extension without its dot.
QString BackupFileName(const QDateTime &when, const QString &kind, const QString &extension);

// Writes the bytes as a new backup file (never over an older one: a second
// backup within the same second gets "-2", "-3" ... before its extension).
// The path written, or the reason it failed in error (naming the file).
struct BackupResult {
    bool ok = false;
    QString path;
    QString error;
};
BackupResult WriteBackup(const QString &kind, const QString &extension, const QByteArray &bytes,
                         const QDateTime &when = QDateTime::currentDateTime());
