#pragma once
// The commands of "Tools(&T)": parameter sets and point tables to and from
// CSV, the commissioning report as a PDF or on paper, and comparisons of
// parameter sets and point tables. They work on what the windows hold; none
// writes to the drive. The alarm log is kept here from the start, whether or
// not its window is ever opened.

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

class AlarmLogBook;
class CaptureList;
struct ReportChoices;
struct ReportData;
class DriveLink;
class HMon;
class Prm_Writ;
class QLabel;
class QMenu;
class QWidget;
class Tbl_Writ;
struct WaveState;

class ToolsMenu : public QObject {
    Q_OBJECT
public:
    struct Context {
        QWidget *parent = nullptr;
        DriveLink *link = nullptr;
        Prm_Writ *params = nullptr;
        Tbl_Writ *points = nullptr;
        HMon *wave = nullptr;
        const WaveState *waveState = nullptr;
        QLabel *model = nullptr;  // the status strip's motor model and ROM version
        QLabel *rom = nullptr;
        std::function<bool()> makerMode;
        std::function<void(const QString &)> report;  // the shared status line
        std::function<void()> waveAnalysis;           // shows the "Waveform Analysis" window
        CaptureList *captures = nullptr;              // the captures of this session (the report shows the ticked ones)
    };
    ToolsMenu(QMenu *menu, const Context &context, QObject *parent = nullptr);

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

    // Every change of the alarms the drive reports (none without a link).
    AlarmLogBook *alarmLog = nullptr;

    // Replace the dialogs (tests script the user's choice here).
    std::function<QString(bool save, const QString &filter)> chooseFile;
    std::function<std::optional<ReportChoices>()> chooseReport;
    // The drive's port as the report and the alarm log name it.
    QString portName() const;

private:
    QString choose(bool save, const QString &filter, const QString &extension);
    void tell(const QString &title, const QString &text);
    // The report: the dialog, then the drive's alarm history read (when the
    // drive can be asked), then the file written or the printer's dialog.
    void makeReport(bool print);
    void finishReport(const ReportData &data, const QString &path, bool print);

    Context m_c;
};
