#include "toolsmenu.h"

#include "common/dlogfile.h"
#include "common/importreport.h"
#include "common/messagelines.h"
#include "drive/alarmlog.h"
#include "drive/csvfiles.h"
#include "drive/params/paramtext.h"
#include "drive/session.h"
#include "drive/statusjob.h"
#include "drive/timetext.h"
#include "tools/alarmlogwindow.h"
#include "tools/commissioningreport.h"
#include "tools/comparewindow.h"
#include "tools/reportdialog.h"

#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>

ToolsMenu::ToolsMenu(QMenu *menu, Session &session, FileChooser &files, QWidget *window)
    : QObject(window), m_session(session), m_files(files), m_window(window)
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
    connect(analysis, &QAction::triggered, this, &ToolsMenu::waveAnalysisRequested);
    item(QStringLiteral("&Alarm Log"), "mnuAlarmLog", &ToolsMenu::showAlarmLog);
    menu->addSeparator();
    item(QStringLiteral("Commissioning Re&port (PDF)..."), "mnuReportPdf", &ToolsMenu::writeReportPdf);
    item(QStringLiteral("Pri&nt..."), "mnuPrintReport", &ToolsMenu::printReport);
}

QString ToolsMenu::choose(bool save, const QString &filter, const QString &extension)
{
    DlogFile dialog(m_window, m_files, filter, extension);
    const std::optional<QString> path = save ? dialog.ShowSave() : dialog.ShowOpen();
    return path.value_or(QString());
}

void ToolsMenu::tell(const QString &title, const QString &text)
{
    ShowMessage(m_window, QMessageBox::Critical, title, text, QStringLiteral("ToolsMessage"));
}

namespace {

const QString CsvFilter = QStringLiteral("CSV files(*.csv)|*.csv");

}  // namespace

void ToolsMenu::exportParametersCsv()
{
    const QString path = choose(true, CsvFilter, QStringLiteral("csv"));
    if (path.isEmpty()) return;
    ParameterSet set;
    set.values = m_session.parameters.values();
    QString error;
    if (!WriteCsvFile(path, ParametersCsv(set, m_session.maker.isOn() ? ParamCount : UserParamCount), &error))
        tell(QStringLiteral("Export Parameters as CSV"), error);
    else
        Q_EMIT report(QStringLiteral("Parameters saved as CSV: ") + path);
}

void ToolsMenu::importParametersCsv()
{
    const QString path = choose(false, CsvFilter, QStringLiteral("csv"));
    if (path.isEmpty()) return;
    const QString title = QStringLiteral("Import Parameters from CSV");
    QString error;
    const std::optional<QByteArray> bytes = ReadCsvFile(path, &error);
    if (!bytes) return tell(title, error);
    ParameterModel &params = m_session.parameters;
    ParameterSet current;
    current.values = params.values();
    const CsvImport<ParameterSet> import = ReadParametersCsv(*bytes, current, m_session.maker.isOn());
    if (!import.ok()) return tell(title, path + u'\n' + import.error);
    for (int k = 0; k < ParamCount; ++k) {
        if (import.values.values[k] == current.values[k]) continue;  // a field keeps its own text
        params.setText(k, FieldText(import.values.values[k], ParameterModel::isHex(k)));
    }
    Q_EMIT report(QStringLiteral("Parameters imported from CSV: ") + ImportSummary(import));
    ShowImportReport(m_window, title, path + u'\n' + ImportSummary(import) + QStringLiteral("\n\n") + ImportReportLines(import.lines));
}

void ToolsMenu::exportPointsCsv()
{
    const QString path = choose(true, CsvFilter, QStringLiteral("csv"));
    if (path.isEmpty()) return;
    QString error;
    if (!WriteCsvFile(path, PointsCsv(m_session.points.textValues()), &error))
        tell(QStringLiteral("Export Point Table as CSV"), error);
    else
        Q_EMIT report(QStringLiteral("Point table saved as CSV: ") + path);
}

void ToolsMenu::importPointsCsv()
{
    const QString path = choose(false, CsvFilter, QStringLiteral("csv"));
    if (path.isEmpty()) return;
    const QString title = QStringLiteral("Import Point Table from CSV");
    QString error;
    const std::optional<QByteArray> bytes = ReadCsvFile(path, &error);
    if (!bytes) return tell(title, error);
    const PointTable current = m_session.points.textValues();
    const CsvImport<PointTable> import = ReadPointsCsv(*bytes, current);
    if (!import.ok()) return tell(title, path + u'\n' + import.error);
    m_session.points.showTable(import.values);
    Q_EMIT report(QStringLiteral("Point table imported from CSV: ") + ImportSummary(import));
    ShowImportReport(m_window, title, path + u'\n' + ImportSummary(import) + QStringLiteral("\n\n") + ImportReportLines(import.lines));
}

ReportData ToolsMenu::reportData() const
{
    ParameterSet params;
    params.values = m_session.parameters.values();
    ReportData data = MakeReportData(m_session.drive.motorModel(), m_session.drive.romVersionText(), params,
                                     m_session.maker.isOn(), m_session.points.textValues());
    for (const ListedCapture &listed : m_session.captures.items())
        if (listed.shown) data.captures << listed;
    return data;
}

void ToolsMenu::writeReportPdf() { makeReport(false); }

void ToolsMenu::printReport() { makeReport(true); }

void ToolsMenu::makeReport(bool print)
{
    std::optional<ReportChoices> choices;
    {
        ReportDialog dialog(m_window, m_files);
        if (dialog.exec() == QDialog::Accepted) choices = dialog.choices();
    }
    if (!choices) return;
    const QString title = QStringLiteral("Commissioning Report");
    QString path;
    if (!print) {
        path = choose(true, QStringLiteral("PDF files(*.pdf)|*.pdf"), QStringLiteral("pdf"));
        if (path.isEmpty()) return;
    }
    ReportData data = reportData();
    data.fields = choices->fields;
    data.port = m_session.portName();
    data.alarmLog = ReportAlarmLog(m_session.alarmLog.entries(), data.port);
    if (!choices->reference.isEmpty()) {
        QString error;
        const std::optional<ParamValues> reference = ReadReferenceParameters(choices->reference, &error);
        if (!reference) return tell(title, error);
        SetReportReference(data, *reference, QDir::toNativeSeparators(choices->reference));
    }
    // The drive's own alarm history, asked for now (nothing else waits on
    // it): when the drive cannot be asked, the report says why.
    DriveLink &link = m_session.link;
    if (link.settings().OfflineMode == 1 || !link.portOpen()) {
        data.historyNote = QStringLiteral("Not read: no drive is connected (%1).").arg(data.port);
        return finishReport(data, path, print);
    }
    auto *job = new ReadStatusJob(link, {false, true, false, {}}, this);
    connect(job, &DriveJob::finished, this, [this, job, data, path, print](DriveJob::Ending ending) mutable {
        if (ending == DriveJob::Ending::Done && job->result().alarmHistory) {
            data.alarmHistory = job->result().alarmHistory;
            data.historyNote = QStringLiteral("Read from the drive at %1.").arg(IsoTimeText(m_session.clock().now()));
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
    } else {
        Q_EMIT report(QStringLiteral("Reading the drive's alarm history for the report..."));
    }
}

void ToolsMenu::finishReport(const ReportData &data, const QString &path, bool print)
{
    if (print) return PrintReport(m_window, data);
    QString error;
    if (!WriteReportPdf(path, data, &error))
        tell(QStringLiteral("Commissioning Report"), error);
    else
        Q_EMIT report(QStringLiteral("Commissioning report written: ") + path);
}

void ToolsMenu::copyPoints()
{
    QGuiApplication::clipboard()->setText(m_session.points.tableText());
    Q_EMIT report(QStringLiteral("Point table copied as tab-separated text (Ctrl+V in a field pastes such a block)"));
}

void ToolsMenu::compareParameters() { showCompare(0); }

void ToolsMenu::comparePoints() { showCompare(1); }

void ToolsMenu::showCompare(int kind)
{
    QPointer<CompareWindow> &w = m_compare[static_cast<size_t>(kind)];
    if (!w) {
        w = new CompareWindow(kind == 0 ? CompareWindow::Kind::Parameters : CompareWindow::Kind::Points, m_session,
                              m_files, m_window);
        connect(w, &CompareWindow::report, this, &ToolsMenu::report);
    }
    w->show();
    w->raise();
    w->activateWindow();
    // The control with the focus is marked from the start, not only after a first Tab.
    w->setAttribute(Qt::WA_KeyboardFocusChange);
}

void ToolsMenu::showAlarmLog()
{
    if (!m_alarmLogWindow) m_alarmLogWindow = new AlarmLogWindow(m_session.alarmLog, m_files, m_window);
    m_alarmLogWindow->show();
    m_alarmLogWindow->raise();
    m_alarmLogWindow->activateWindow();
    // The control with the focus is marked from the start, not only after a first Tab.
    m_alarmLogWindow->setAttribute(Qt::WA_KeyboardFocusChange);
}
