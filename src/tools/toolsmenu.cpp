#include "toolsmenu.h"

#include "common/importreport.h"

#include "common/dlogfile.h"
#include "common/messagelines.h"
#include "drive/alarmlog.h"
#include "drive/csvfiles.h"
#include "drive/link/drivelink.h"
#include "drive/params/paramtext.h"
#include "params/prm_writ.h"
#include "points/tbl_writ.h"
#include "tools/alarmlogwindow.h"
#include "tools/commissioningreport.h"
#include "tools/reportdialog.h"
#include "drive/statusjob.h"
#include "drive/timetext.h"
#include "drive/wave/capturelist.h"
#include "tools/comparewindow.h"
#include "wave/hmon.h"
#include "wave/picturebox.h"

#include <QClipboard>
#include <QDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>
#include <QDir>

ToolsMenu::ToolsMenu(QMenu *menu, const Context &context, QObject *parent) : QObject(parent), m_c(context)
{
    const auto item = [this, menu](const QString &caption, const char *name, void (ToolsMenu::*slot)()) {
        QAction *a = menu->addAction(caption);
        a->setObjectName(QLatin1String(name));
        connect(a, &QAction::triggered, this, slot);
    };
    item(QStringLiteral("&Compare Parameters..."), "mnuCompareParameters", &ToolsMenu::compareParameters);
    item(QStringLiteral("Compare P&oint Tables..."), "mnuComparePoints", &ToolsMenu::comparePoints);
    menu->addSeparator();
    item(QStringLiteral("&Export Parameters as CSV..."), "mnuExportParametersCsv", &ToolsMenu::exportParametersCsv);
    item(QStringLiteral("&Import Parameters from CSV..."), "mnuImportParametersCsv", &ToolsMenu::importParametersCsv);
    item(QStringLiteral("E&xport Point Table as CSV..."), "mnuExportPointsCsv", &ToolsMenu::exportPointsCsv);
    item(QStringLiteral("I&mport Point Table from CSV..."), "mnuImportPointsCsv", &ToolsMenu::importPointsCsv);
    item(QStringLiteral("Cop&y Point Table"), "mnuCopyPoints", &ToolsMenu::copyPoints);
    menu->addSeparator();
    QAction *analysis = menu->addAction(QStringLiteral("&Waveform Analysis"));
    analysis->setObjectName(QStringLiteral("mnuWaveAnalysis"));
    connect(analysis, &QAction::triggered, this, [this] {
        if (m_c.waveAnalysis) m_c.waveAnalysis();
    });
    item(QStringLiteral("&Alarm Log"), "mnuAlarmLog", &ToolsMenu::showAlarmLog);
    menu->addSeparator();
    item(QStringLiteral("Commissioning Re&port (PDF)..."), "mnuReportPdf", &ToolsMenu::writeReportPdf);
    item(QStringLiteral("Pri&nt..."), "mnuPrintReport", &ToolsMenu::printReport);
    if (m_c.link) {
        alarmLog = new AlarmLogBook(AlarmLogPath(), this);
        alarmLog->watch(*m_c.link);
        // Each entry names the drive's port: two programs on two drives log
        // into one file.
        alarmLog->setPort(portName());
        connect(m_c.link, &DriveLink::portStatusChanged, alarmLog, [this] { alarmLog->setPort(portName()); });
    }
}

QString ToolsMenu::choose(bool save, const QString &filter, const QString &extension)
{
    if (chooseFile) return chooseFile(save, filter);
    DlogFile dialog(m_c.parent, filter, extension);
    const std::optional<QString> path = save ? dialog.ShowSave() : dialog.ShowOpen();
    return path.value_or(QString());
}

void ToolsMenu::tell(const QString &title, const QString &text)
{
    ShowMessage(m_c.parent, QMessageBox::Critical, title, text, QStringLiteral("ToolsMessage"));
}

namespace {

const QString CsvFilter = QStringLiteral("CSV files(*.csv)|*.csv");

}  // namespace

void ToolsMenu::exportParametersCsv()
{
    const QString path = choose(true, CsvFilter, QStringLiteral("csv"));
    if (path.isEmpty()) return;
    ParameterSet set;
    set.values = m_c.params->fieldValues();
    QString error;
    if (!WriteCsvFile(path, ParametersCsv(set, m_c.makerMode() ? ParamCount : UserParamCount), &error))
        tell(QStringLiteral("Export Parameters as CSV"), error);
    else if (m_c.report)
        m_c.report(QStringLiteral("Parameters saved as CSV: ") + path);
}

void ToolsMenu::importParametersCsv()
{
    const QString path = choose(false, CsvFilter, QStringLiteral("csv"));
    if (path.isEmpty()) return;
    const QString title = QStringLiteral("Import Parameters from CSV");
    QString error;
    const std::optional<QByteArray> bytes = ReadCsvFile(path, &error);
    if (!bytes) return tell(title, error);
    ParameterSet current;
    current.values = m_c.params->fieldValues();
    const CsvImport<ParameterSet> import = ReadParametersCsv(*bytes, current, m_c.makerMode());
    if (!import.ok()) return tell(title, path + u'\n' + import.error);
    for (int k = 0; k < ParamCount; ++k) {
        if (import.values.values[k] == current.values[k]) continue;  // a field keeps its own text
        m_c.params->TxtPrm[k]->setText(FieldText(import.values.values[k], m_c.params->isHexField(k)));
    }
    if (m_c.report) m_c.report(QStringLiteral("Parameters imported from CSV: ") + ImportSummary(import));
    ShowImportReport(m_c.parent, title, path + u'\n' + ImportSummary(import) + QStringLiteral("\n\n") + ImportReportLines(import.lines));
}

void ToolsMenu::exportPointsCsv()
{
    const QString path = choose(true, CsvFilter, QStringLiteral("csv"));
    if (path.isEmpty()) return;
    QString error;
    if (!WriteCsvFile(path, PointsCsv(m_c.points->fieldTable()), &error))
        tell(QStringLiteral("Export Point Table as CSV"), error);
    else if (m_c.report)
        m_c.report(QStringLiteral("Point table saved as CSV: ") + path);
}

void ToolsMenu::importPointsCsv()
{
    const QString path = choose(false, CsvFilter, QStringLiteral("csv"));
    if (path.isEmpty()) return;
    const QString title = QStringLiteral("Import Point Table from CSV");
    QString error;
    const std::optional<QByteArray> bytes = ReadCsvFile(path, &error);
    if (!bytes) return tell(title, error);
    const PointTable current = m_c.points->fieldTable();
    const CsvImport<PointTable> import = ReadPointsCsv(*bytes, current);
    if (!import.ok()) return tell(title, path + u'\n' + import.error);
    m_c.points->showTable(import.values);
    if (m_c.report) m_c.report(QStringLiteral("Point table imported from CSV: ") + ImportSummary(import));
    ShowImportReport(m_c.parent, title, path + u'\n' + ImportSummary(import) + QStringLiteral("\n\n") + ImportReportLines(import.lines));
}

namespace {

ReportData ReportOf(const ToolsMenu::Context &c)
{
    ParameterSet params;
    params.values = c.params->fieldValues();
    const auto known = [](QLabel *l, const QString &unknown) {
        return l && l->text() != unknown ? l->text() : QString();
    };
    ReportData data = MakeReportData(known(c.model, QStringLiteral("RM - -")), known(c.rom, QStringLiteral("-.--")),
                                     params, c.makerMode(), c.points->fieldTable());
    if (c.captures)
        for (const ListedCapture &listed : c.captures->items())
            if (listed.shown) data.captures << listed;
    return data;
}

}  // namespace

QString ToolsMenu::portName() const
{
    if (!m_c.link) return {};
    const QString device = m_c.link->port().describe();
    if (!device.isEmpty()) return device;
    return m_c.link->settings().OfflineMode == 1 ? QStringLiteral("offline")
                                                  : QStringLiteral("COM%1").arg(m_c.link->settings().PortNo);
}

void ToolsMenu::writeReportPdf() { makeReport(false); }

void ToolsMenu::printReport() { makeReport(true); }

void ToolsMenu::makeReport(bool print)
{
    std::optional<ReportChoices> choices;
    if (chooseReport) {
        choices = chooseReport();
    } else {
        ReportDialog dialog(m_c.parent, [this] {
            return choose(false, QStringLiteral("Parameter files(*.pxt *.csv)|*.pxt;*.csv"), QStringLiteral("pxt"));
        });
        if (dialog.exec() == QDialog::Accepted) choices = dialog.choices();
    }
    if (!choices) return;
    const QString title = QStringLiteral("Commissioning Report");
    QString path;
    if (!print) {
        path = choose(true, QStringLiteral("PDF files(*.pdf)|*.pdf"), QStringLiteral("pdf"));
        if (path.isEmpty()) return;
    }
    ReportData data = ReportOf(m_c);
    data.fields = choices->fields;
    data.port = portName();
    if (alarmLog) data.alarmLog = ReportAlarmLog(alarmLog->entries(), data.port);
    if (!choices->reference.isEmpty()) {
        QString error;
        const std::optional<ParamValues> reference = ReadReferenceParameters(choices->reference, &error);
        if (!reference) return tell(title, error);
        SetReportReference(data, *reference, QDir::toNativeSeparators(choices->reference));
    }
    // The drive's own alarm history, asked for now (nothing else waits on
    // it): when the drive cannot be asked, the report says why.
    DriveLink *link = m_c.link;
    if (!link || link->settings().OfflineMode == 1 || !link->portOpen()) {
        data.historyNote = QStringLiteral("Not read: no drive is connected (%1).").arg(link ? portName() : QStringLiteral("no link"));
        return finishReport(data, path, print);
    }
    auto *job = new ReadStatusJob(*link, {false, true, false, {}}, this);
    connect(job, &DriveJob::finished, this, [this, job, data, path, print](DriveJob::Ending ending) mutable {
        if (ending == DriveJob::Ending::Done && job->result().alarmHistory) {
            data.alarmHistory = job->result().alarmHistory;
            data.historyNote = QStringLiteral("Read from the drive at %1.").arg(IsoTimeText(QDateTime::currentDateTime()));
        } else {
            data.historyNote = QStringLiteral("Not read: the request was %1.").arg(DriveJob::endingText(ending, job->errorCode()));
        }
        job->deleteLater();
        // Out of the reply's handling first: the report may show a dialog.
        QTimer::singleShot(0, this, [this, data, path, print] { finishReport(data, path, print); });
    });
    if (!job->start()) {
        job->deleteLater();
        data.historyNote = QStringLiteral("Not read: the link is busy with a transfer.");
        finishReport(data, path, print);
    } else if (m_c.report) {
        m_c.report(QStringLiteral("Reading the drive's alarm history for the report..."));
    }
}

void ToolsMenu::finishReport(const ReportData &data, const QString &path, bool print)
{
    if (print) return PrintReport(m_c.parent, data);
    QString error;
    if (!WriteReportPdf(path, data, &error))
        tell(QStringLiteral("Commissioning Report"), error);
    else if (m_c.report)
        m_c.report(QStringLiteral("Commissioning report written: ") + path);
}

void ToolsMenu::copyPoints()
{
    QGuiApplication::clipboard()->setText(m_c.points->tableText());
    if (m_c.report)
        m_c.report(QStringLiteral("Point table copied as tab-separated text (Ctrl+V in a field pastes such a block)"));
}

void ToolsMenu::compareParameters() { CompareWindow::showFor(CompareWindow::Kind::Parameters, m_c); }

void ToolsMenu::comparePoints() { CompareWindow::showFor(CompareWindow::Kind::Points, m_c); }

void ToolsMenu::showAlarmLog()
{
    if (alarmLog)
        AlarmLogWindow::showFor(*alarmLog, m_c.parent, [this] { return choose(true, CsvFilter, QStringLiteral("csv")); });
}
