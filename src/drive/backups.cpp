#include "backups.h"

#include <QDir>
#include <QFileInfo>
#include "savefile.h"

QString BackupFolder()
{
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty() || !QDir::isAbsolutePath(data)) data = QDir::homePath() + QStringLiteral("/.local/share");
    return data + QStringLiteral("/orvex/backups");
}

QString BackupFileName(const QDateTime &when, const QString &kind, const QString &extension)
{
    return when.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss_")) + kind + QLatin1Char('.') + extension;
}

BackupResult WriteBackup(const QString &kind, const QString &extension, const QByteArray &bytes, const QDateTime &when)
{
    BackupResult r;
    const QDir folder(BackupFolder());
    QString name = BackupFileName(when, kind, extension);
    r.path = folder.filePath(name);
    if (!folder.mkpath(QStringLiteral("."))) {
        r.error = QStringLiteral("The backup folder %1 could not be made.").arg(folder.path());
        return r;
    }
    for (int n = 2; QFileInfo::exists(r.path) && n < 1000; ++n)
        r.path = folder.filePath(QFileInfo(name).completeBaseName() + QStringLiteral("-%1.").arg(n) + extension);
    const SaveResult saved = SaveFileWhole(r.path, bytes);
    r.ok = saved.ok;
    if (!r.ok) r.error = QStringLiteral("The backup could not be written: %1").arg(saved.error());
    return r;
}
