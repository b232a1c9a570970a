#include "messagelines.h"

void ShowMessage(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text,
                 const QString &objectName)
{
    QMessageBox box(icon, title, MessageLines(text), QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.setObjectName(objectName);
    box.exec();
}

QString MessageLines(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}
