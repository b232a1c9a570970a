#include "backups.h"

#include "savefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

QString BackupFolder()
{
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty() || !QDir::isAbsolutePath(data)) data = QDir::homePath() + QStringLiteral("/.local/share");
    return data + QStringLiteral("/orvex/backups");
}

QString BackupDriveName(const QString &port)
{
    QStringList words = port.simplified().split(u' ', Qt::SkipEmptyParts);
    for (QString &w : words) {
        if (w.contains(u'/')) w = w.section(u'/', -1);
        static const QRegularExpression other(QStringLiteral("[^A-Za-z0-9.-]"));
        w.replace(other, QStringLiteral("_"));
    }
    words.removeAll(QString());
    return words.join(u'-');
}

QString BackupFileName(const QDateTime &when, const QString &drive, const QString &kind, const QString &extension)
{
    const QString name = BackupDriveName(drive);
    return when.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss.zzz_")) + (name.isEmpty() ? QString() : name + u'_') + kind +
           QLatin1Char('.') + extension;
}

BackupResult WriteBackup(const QString &kind, const QString &extension, const QByteArray &bytes, const QString &drive,
                         const QDateTime &when)
{
    BackupResult r;
    const QDir folder(BackupFolder());
    if (!folder.mkpath(QStringLiteral("."))) {
        r.error = QStringLiteral("The backup folder %1 could not be made.").arg(folder.path());
        return r;
    }
    const QString name = BackupFileName(when, drive, kind, extension);
    // The name is taken by creating the file, which fails where it exists:
    // two writers never share one.
    QFile claim;
    for (int n = 1; n < 1000; ++n) {
        r.path = n == 1 ? folder.filePath(name)
                        : folder.filePath(QFileInfo(name).completeBaseName() + QStringLiteral("-%1.").arg(n) + extension);
        claim.setFileName(r.path);
        if (claim.open(QIODevice::WriteOnly | QIODevice::NewOnly)) break;
        if (!QFileInfo::exists(r.path)) {
            r.error = QStringLiteral("The backup could not be written: %1: %2").arg(r.path, claim.errorString());
            return r;
        }
    }
    if (!claim.isOpen()) {
        r.error = QStringLiteral("The backup could not be written: no free name beside %1").arg(folder.filePath(name));
        return r;
    }
    claim.close();
    const SaveResult saved = SaveFileWhole(r.path, bytes);
    r.ok = saved.ok;
    if (!r.ok) {
        QFile::remove(r.path);
        r.error = QStringLiteral("The backup could not be written: %1").arg(saved.error());
    }
    return r;
}
