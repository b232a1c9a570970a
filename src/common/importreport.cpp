#include "importreport.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QVBoxLayout>

QString ImportReportLines(const QList<CsvLineReport> &lines, const QString &unit)
{
    QStringList out;
    for (const CsvLineReport &l : lines) {
        const char *kind = l.kind == CsvLineReport::Kind::Taken     ? "taken"
                           : l.kind == CsvLineReport::Kind::Changed ? "changed"
                                                                    : "refused";
        out << QStringLiteral("%1 %2, %3: %4").arg(unit).arg(l.line).arg(QLatin1String(kind), l.text);
    }
    return out.join(QLatin1Char('\n'));
}

void ShowImportReport(QWidget *parent, const QString &title, const QString &text)
{
    QDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("ImportReport"));
    dialog.setWindowTitle(title);
    auto *lines = new QPlainTextEdit(text, &dialog);
    lines->setObjectName(QStringLiteral("ImportReportLines"));
    lines->setReadOnly(true);
    lines->setAccessibleName(title);
    lines->setMinimumSize(560, 260);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    auto *column = new QVBoxLayout(&dialog);
    column->addWidget(lines);
    column->addWidget(buttons);
    dialog.exec();
}
