#pragma once
// The short dialog before the commissioning report: machine, axis, customer,
// site, engineer and notes (all optional, remembered between runs in the
// user's settings) and the reference the parameters are set beside: none, a
// backup taken before a write, or a file (.pxt or CSV).

#include "tools/commissioningreport.h"

#include <QDialog>

class FileChooser;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;

struct ReportChoices {
    ReportFields fields;
    QString reference;  // the reference file, empty for none
};

class ReportDialog : public QDialog {
    Q_OBJECT
public:
    // "Other file..." is chosen through files, which outlives the dialog.
    ReportDialog(QWidget *parent, FileChooser &files);

    QLineEdit *TxtMachine;
    QLineEdit *TxtAxis;
    QLineEdit *TxtCustomer;
    QLineEdit *TxtSite;
    QLineEdit *TxtEngineer;
    QPlainTextEdit *TxtNotes;
    QComboBox *CmbReference;

    ReportChoices choices() const;
    // The fields as the user last gave them.
    static ReportFields remembered();
    static void remember(const ReportFields &fields);

private:
    void referenceChosen(int index);

    FileChooser &m_files;
};
