#pragma once
// The commands of "Tools(&T)": parameter sets and point tables to and from
// CSV, the commissioning report as a PDF or on paper, comparisons of
// parameter sets and point tables, and the alarm log's window. They work on
// the session's models (what the editors show) and its alarm log; none
// writes to the drive.

#include <QObject>
#include <QPointer>
#include <QString>
#include <array>

class AlarmLogWindow;
class CompareWindow;
class FileChooser;
struct ReportData;
class QMenu;
class QWidget;
class Session;

class ToolsMenu : public QObject {
    Q_OBJECT
public:
    // The items go into menu. Dialogs and messages belong to window (the main
    // window, which owns the menu); session and files outlive it.
    ToolsMenu(QMenu *menu, Session &session, FileChooser &files, QWidget *window);

    void exportParametersCsv();
    void importParametersCsv();
    void exportPointsCsv();
    void importPointsCsv();
    void copyPoints();
    void writeReportPdf();
    void printReport();
    void compareParameters();
    void comparePoints();
    void showAlarmLog();

Q_SIGNALS:
    // For the shared status line: what a command did.
    void report(const QString &text);
    // "Waveform Analysis" was chosen.
    void waveAnalysisRequested();

private:
    QString choose(bool save, const QString &filter, const QString &extension);
    void tell(const QString &title, const QString &text);
    // The report: the dialog, then the drive's alarm history read (when the
    // drive can be asked), then the file written or the printer's dialog.
    void makeReport(bool print);
    void finishReport(const ReportData &data, const QString &path, bool print);
    ReportData reportData() const;
    void showCompare(int kind);

    Session &m_session;
    FileChooser &m_files;
    QWidget *m_window;
    // The one window of each kind, made on first use.
    std::array<QPointer<CompareWindow>, 2> m_compare;
    QPointer<AlarmLogWindow> m_alarmLogWindow;
};
