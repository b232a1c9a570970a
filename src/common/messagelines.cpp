#include "messagelines.h"

#include "drive/backups.h"

void ShowMessage(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text,
                 const QString &objectName)
{
    QMessageBox box(icon, title, MessageLines(text), QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.setObjectName(objectName);
    box.exec();
}

QMessageBox *OpenMessage(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text,
                         const QString &objectName)
{
    auto *box = new QMessageBox(icon, title, MessageLines(text), QMessageBox::Ok, parent);
    box->setTextFormat(Qt::PlainText);
    box->setObjectName(objectName);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    box->show();
    return box;
}

std::optional<QString> KeepBackup(QWidget *parent, const QString &kind, const QString &extension,
                                  const QByteArray &bytes, const QString &drive)
{
    const BackupResult backup = WriteBackup(kind, extension, bytes, drive);
    if (backup.ok) return backup.path;
    ShowMessage(parent, QMessageBox::Critical, parent ? parent->windowTitle() : QString(),
                backup.error + QStringLiteral("\nNothing was written to the drive."), QStringLiteral("BackupFailedMessage"));
    return std::nullopt;
}

QString MessageLines(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}
