#include "reportdialog.h"

#include "common/dlogfile.h"

#include "drive/useroptions.h"
#include "drive/backups.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalBlocker>

namespace {

const char *const Keys[] = {"report/machine", "report/axis", "report/customer", "report/site", "report/engineer",
                            "report/notes"};
constexpr int BackupsListed = 20;

QString *fieldOf(ReportFields &f, int i)
{
    QString *fields[] = {&f.machine, &f.axis, &f.customer, &f.site, &f.engineer, &f.notes};
    return fields[i];
}

}  // namespace

ReportFields ReportDialog::remembered()
{
    const QSettings s = UserSettings();
    ReportFields f;
    for (int i = 0; i < 6; ++i) *fieldOf(f, i) = s.value(QLatin1String(Keys[i])).toString();
    return f;
}

void ReportDialog::remember(const ReportFields &fields)
{
    QSettings s = UserSettings();
    ReportFields f = fields;
    for (int i = 0; i < 6; ++i) s.setValue(QLatin1String(Keys[i]), *fieldOf(f, i));
}

ReportDialog::ReportDialog(QWidget *parent, FileChooser &files) : QDialog(parent), m_files(files)
{
    setObjectName(QStringLiteral("ReportDialog"));
    setWindowTitle(QStringLiteral("Commissioning Report"));
    auto *form = new QFormLayout(this);
    const ReportFields f = remembered();
    const auto line = [&](const QString &caption, const QString &name, const QString &value) {
        auto *edit = new QLineEdit(value, this);
        edit->setObjectName(name);
        edit->setAccessibleName(QString(caption).remove(u'&'));
        edit->setMaxLength(200);
        form->addRow(caption + u':', edit);
        return edit;
    };
    TxtMachine = line(QStringLiteral("&Machine"), QStringLiteral("TxtMachine"), f.machine);
    TxtAxis = line(QStringLiteral("A&xis"), QStringLiteral("TxtAxis"), f.axis);
    TxtCustomer = line(QStringLiteral("&Customer"), QStringLiteral("TxtCustomer"), f.customer);
    TxtSite = line(QStringLiteral("&Site"), QStringLiteral("TxtSite"), f.site);
    TxtEngineer = line(QStringLiteral("&Engineer"), QStringLiteral("TxtEngineer"), f.engineer);
    TxtNotes = new QPlainTextEdit(f.notes, this);
    TxtNotes->setObjectName(QStringLiteral("TxtNotes"));
    TxtNotes->setAccessibleName(QStringLiteral("Notes"));
    TxtNotes->setTabChangesFocus(true);
    TxtNotes->setFixedHeight(fontMetrics().height() * 5);
    form->addRow(QStringLiteral("&Notes:"), TxtNotes);

    CmbReference = new QComboBox(this);
    CmbReference->setObjectName(QStringLiteral("CmbReference"));
    CmbReference->setAccessibleName(QStringLiteral("Reference parameter set"));
    CmbReference->addItem(QStringLiteral("None"), QString());
    // The backups taken before writes, newest first.
    const QFileInfoList backups =
        QDir(BackupFolder()).entryInfoList({QStringLiteral("*parameters*.pxt")}, QDir::Files, QDir::Time);
    for (const QFileInfo &b : backups.mid(0, BackupsListed))
        CmbReference->addItem(QStringLiteral("Backup %1").arg(b.completeBaseName()), b.absoluteFilePath());
    CmbReference->addItem(QStringLiteral("Other file..."), QString());
    connect(CmbReference, &QComboBox::activated, this, &ReportDialog::referenceChosen);
    form->addRow(QStringLiteral("&Reference:"), CmbReference);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        remember(choices().fields);
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
    setMinimumWidth(460);
}

void ReportDialog::referenceChosen(int index)
{
    if (index != CmbReference->count() - 1) return;
    // "Other file...": the file chosen takes its place in the list.
    DlogFile dialog(parentWidget(), m_files, QStringLiteral("Parameter files(*.pxt *.csv)|*.pxt;*.csv"),
                    QStringLiteral("pxt"));
    const QString path = dialog.ShowOpen().value_or(QString());
    const QSignalBlocker quiet(CmbReference);
    if (path.isEmpty()) {
        CmbReference->setCurrentIndex(0);
        return;
    }
    CmbReference->insertItem(index, QDir::toNativeSeparators(path), path);
    CmbReference->setCurrentIndex(index);
}

ReportChoices ReportDialog::choices() const
{
    ReportChoices c;
    c.fields = {TxtMachine->text().trimmed(), TxtAxis->text().trimmed(),     TxtCustomer->text().trimmed(),
                TxtSite->text().trimmed(),    TxtEngineer->text().trimmed(), TxtNotes->toPlainText().trimmed()};
    c.reference = CmbReference->currentData().toString();
    return c;
}
