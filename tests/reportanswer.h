#pragma once
// Answers the commissioning report's dialog as a user does: the fields typed,
// the reference chosen through "Other file..." (answered by the test's file
// chooser), then OK.

#include "tools/reportdialog.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

// The next report dialog shown with exec() is answered from inside its loop;
// `answered` becomes true once it was.
inline void answerNextReportDialog(const ReportChoices &choices, bool *answered = nullptr)
{
    QTimer::singleShot(0, qApp, [choices, answered] {
        auto *dialog = qobject_cast<ReportDialog *>(QApplication::activeModalWidget());
        if (!dialog) return;
        const ReportFields &f = choices.fields;
        dialog->TxtMachine->setText(f.machine);
        dialog->TxtAxis->setText(f.axis);
        dialog->TxtCustomer->setText(f.customer);
        dialog->TxtSite->setText(f.site);
        dialog->TxtEngineer->setText(f.engineer);
        dialog->TxtNotes->setPlainText(f.notes);
        if (!choices.reference.isEmpty()) {
            const int other = dialog->CmbReference->count() - 1;  // "Other file..."
            dialog->CmbReference->setCurrentIndex(other);
            Q_EMIT dialog->CmbReference->activated(other);
        }
        dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok)->click();
        if (answered) *answered = true;
    });
}
