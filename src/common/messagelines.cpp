#include "messagelines.h"

#include "drive/backups.h"

#include <QDir>

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

QString ProblemLines(const QStringList &problems, int shown)
{
    QString text = problems.mid(0, shown).join(u'\r');
    if (problems.size() > shown) text += QStringLiteral("\rand %1 more").arg(problems.size() - shown);
    return text;
}

QString OutOfRangeText(const QString &path, const QStringList &problems)
{
    if (problems.isEmpty()) return {};
    return QStringLiteral("%1: %2 %3 outside %4 range%5 and would be written as the entry checks change %6: %7")
        .arg(QDir::toNativeSeparators(path))
        .arg(problems.size())
        .arg(problems.size() == 1 ? QStringLiteral("value is") : QStringLiteral("values are"),
             problems.size() == 1 ? QStringLiteral("its") : QStringLiteral("their"),
             problems.size() == 1 ? QString() : QStringLiteral("s"),
             problems.size() == 1 ? QStringLiteral("it") : QStringLiteral("them"),
             ProblemLines(problems, 5).replace(u'\r', QStringLiteral("; ")));
}

QString MessageLines(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}
