#pragma once
// Backups kept before a write: the values last read from the drive, as a
// parameter or point table file, in $XDG_DATA_HOME/orvex/backups/
// (~/.local/share/orvex/backups/ when the variable is unset), named by the
// date and time to the millisecond, the drive and the kind:
// "2026-12-06_14-03-22.517_COM1-ttyUSB0_parameters.pxt".

#include <QByteArray>
#include <QDateTime>
#include <QString>

QString BackupFolder();
// The drive as a backup names it: the port's description ("COM1
// /dev/ttyUSB0", "ttyUSB0", "gw1:4001") with every character other than a
// letter, digit, "-" or "." made "_" and the folders of a device path left
// out ("COM1-ttyUSB0").
QString BackupDriveName(const QString &port);
// The file name of a backup taken at when of the drive (as BackupDriveName
// gives it; left out when empty): kind "parameters" or "pointtable",
// extension without its dot.
QString BackupFileName(const QDateTime &when, const QString &drive, const QString &kind, const QString &extension);

// Writes the bytes as a new backup file. Its name is created exclusively: it
// never takes a name that exists, whoever else writes backups at the same
// moment (another drive of the same command, another program); a name taken
// gets "-2", "-3" ... before its extension. The path written, or the reason
// it failed in error (naming the file); a failed backup leaves no file.
struct BackupResult {
    bool ok = false;
    QString path;
    QString error;
};
BackupResult WriteBackup(const QString &kind, const QString &extension, const QByteArray &bytes,
                         const QString &drive = QString(), const QDateTime &when = QDateTime::currentDateTime());
