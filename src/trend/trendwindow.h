#pragma once
// The "Trend Recorder" window (Tools → Trend Recorder): up to four of the
// operation panel's monitor items and any bits of the status word, drawn
// against wall-clock time in a scrolling chart and recorded into a CSV file.
//
// It has a poll tag of its own: while the link polls it (it is the active
// window, or the link keeps every window live), its turns ask "MON" for the
// chosen items in turn; the status bits come from the "S" replies the link
// sends every second exchange anyway. Values are collected all the time the
// window exists; "Pause" freezes the chart, not the collecting. The
// recording goes on while the window is not polled: the rows then say where
// values are missing (see trendrules.h for the file's columns and notes).

#include "common/childwindow.h"
#include "drive/clock.h"
#include "drive/trend/trendfile.h"
#include "trend/trendplot.h"
#include "drive/trend/trendrules.h"

#include <QList>
#include <array>
#include <map>
#include <memory>
#include <optional>

class DriveLink;
class FileChooser;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QMdiArea;
class QMenu;
class QPushButton;
class QTimer;
class TrendPoller;

class TrendRecorder : public ChildWindow {
    Q_OBJECT
public:
    // The poll tag of the window.
    static QString pollTag() { return QStringLiteral("trend"); }

    // The file to record into is chosen through files; the rows take the
    // clock's wall time. Both outlive the window.
    TrendRecorder(DriveLink &link, FileChooser &files, const Clock &clock, QWidget *parent = nullptr);
    ~TrendRecorder() override;

    // Adds "Trend Recorder" to the menu; it opens the one window in the area
    // (made on first use) and makes it the active window.
    static void addToMenu(QMenu *menu, QMdiArea *area, DriveLink &link, FileChooser &files, const Clock &clock);

    // The choice: the items of the four lists (-1 for none) and the status
    // rows ticked.
    QList<TrendChannel> channels() const { return m_channels; }
    void chooseItem(int list, int item);
    void chooseStatus(int row, bool on);

    // Recording; start asks for a file first when none is chosen. False
    // when it did not start (the reason is shown).
    bool startRecording();
    void stopRecording();
    bool recording() const { return m_file.isOpen(); }
    void setFile(const QString &path, bool replace);

    // The samples of a channel collected so far.
    const TrendSeries *series(const TrendChannel &channel) const;
    TrendPoller *poller() const { return m_poller; }

    std::array<QComboBox *, TrendMaxItems> CmbItem{};
    std::array<QCheckBox *, 14> ChkStatus{};
    QComboBox *CmbSpan;
    QPushButton *CmdPause;
    QLabel *LblFile;
    QPushButton *CmdChooseFile;
    QPushButton *CmdStart;
    QPushButton *CmdStop;
    QLabel *LblRecording;  // how the recording goes, and why it stopped
    TrendPlot *Plot;
    QLabel *LblShown;   // the time span the chart shows
    QLabel *LblCursor;  // the cursor's time
    // One read-out row a channel, in the order of channels().
    struct ReadOut {
        QLabel *name;
        QLabel *latest;
        QLabel *atCursor;
        QLabel *range;
    };
    QList<ReadOut> readOuts() const { return m_readOuts; }

private:
    void buildChoice();
    void buildControls();
    void buildReadOut();
    void choiceChanged();
    void rebuildReadOut();
    void refresh();
    void tick();
    void setPaused(bool on);
    void onMonitorValue(int item, qint32 value, qint64 t);
    void onStatusWord(quint32 word, qint64 t);
    void writeRow(const std::optional<QStringList> &row);
    void failRecording(const QString &reason);
    void showRecordingState();
    void updateCursorLabels();
    qint64 now() const;
    QString chooseFileNow();

    FileChooser &m_files;
    const Clock &m_clock;
    TrendPoller *m_poller;
    QList<TrendChannel> m_channels;
    // By channel key; a map keeps the chart's pointers to its series valid.
    std::map<int, TrendSeries> m_live;
    std::map<int, TrendSeries> m_frozen;  // the paused view's samples
    bool m_paused = false;
    qint64 m_pausedEnd = 0;
    std::optional<qint64> m_cursor;

    QString m_path;
    bool m_replace = false;
    TrendCsvFile m_file;
    std::unique_ptr<TrendRows> m_rows;
    qint64 m_lastRowTime = 0;
    QString m_stopReason;

    QTimer *m_refresh;  // the chart and the labels
    QTimer *m_flush;    // the file and the gap check
    QGridLayout *m_readOutGrid = nullptr;
    QList<ReadOut> m_readOuts;
};
