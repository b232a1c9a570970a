#pragma once
// "Alarm Log": the alarm log newest first, one row an event (time, port, the
// alarms that appeared and cleared, a note; the alarm bit's entry and the
// names that came for it a moment later are one event), each row one line;
// the cause and remedy of the selected event's alarms in a pane below.
// Narrowed to one alarm on request, saved as CSV (with the cause and remedy),
// and following the log while it is open.

#include "drive/alarmlog.h"

#include <QAbstractTableModel>
#include <QDialog>

class FileChooser;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableView;

// The events shown, newest first.
class AlarmLogModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Time, Port, Appeared, Cleared, Note, ColumnCount };

    explicit AlarmLogModel(QObject *parent = nullptr) : QAbstractTableModel(parent) {}

    // Shows the events of these entries (oldest first, as the log keeps
    // them) that name the alarm; an empty name shows every event.
    void show(const QList<AlarmLogEntry> &entries, const QString &alarm);
    // A new entry: a row on top, or the names of the alarm bit on top
    // joining its row.
    void add(const AlarmLogEntry &entry);
    bool matches(const AlarmLogEntry &entry) const;
    const AlarmLogEntry &eventAt(int row) const { return m_rows[row]; }

    // The text of a cell, on one line.
    static QString cellText(const AlarmLogEntry &event, int column);
    // The cause and remedy of the event's alarms, a paragraph an alarm.
    static QString remedyText(const AlarmLogEntry &event);
    static QStringList headers();

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(m_rows.size()); }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : ColumnCount; }
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    void trim();

    QList<AlarmLogEntry> m_rows;  // newest first
    QString m_alarm;
};

class AlarmLogWindow : public QDialog {
    Q_OBJECT
public:
    // "Save as CSV..." chooses its file through files; log and files outlive
    // the window.
    AlarmLogWindow(AlarmLogBook &log, FileChooser &files, QWidget *parent = nullptr);

    QComboBox *CmbAlarm;    // "All alarms" or one alarm
    QLabel *LblCount;       // how many events are shown
    QLabel *LblFile;        // where the log is kept, or what is wrong with the file
    QTableView *TblLog;
    QPlainTextEdit *TxtRemedy;  // cause and remedy of the selected event
    QPushButton *CmdExport;

    AlarmLogModel &model() { return m_model; }
    // The rows shown, with a header row, as "Save as CSV..." writes them
    // (the cause and remedy in a last column).
    QList<QStringList> shownRows() const;
    void exportCsv();

private:
    void refill();
    void showCount();
    void showFile();
    void showRemedy();

    AlarmLogBook &m_log;
    FileChooser &m_files;
    AlarmLogModel m_model;
};
