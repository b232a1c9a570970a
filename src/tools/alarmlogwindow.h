#pragma once
// "Alarm Log": the alarm log newest first, one row an entry (time, the
// alarms that appeared and cleared, a note, and the cause and remedy of each
// alarm that appeared), narrowed to one alarm on request and saved as CSV.
// It follows the log while it is open.

#include "drive/alarmlog.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <functional>

class QComboBox;
class QLabel;
class QPushButton;
class QTableView;

// The entries shown, newest first.
class AlarmLogModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Time, Appeared, Cleared, Note, Remedy, ColumnCount };

    explicit AlarmLogModel(QObject *parent = nullptr) : QAbstractTableModel(parent) {}

    // Shows these entries (oldest first, as the log keeps them) that name
    // the alarm; an empty name shows every entry.
    void show(const QList<AlarmLogEntry> &entries, const QString &alarm);
    // A new entry, on top when it names the alarm.
    void add(const AlarmLogEntry &entry);
    bool matches(const AlarmLogEntry &entry) const;
    const AlarmLogEntry &entry(int row) const { return m_rows[row]; }

    // The text of a cell; several names are one a line.
    static QString cellText(const AlarmLogEntry &entry, int column);
    static QStringList headers();

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : int(m_rows.size()); }
    int columnCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : ColumnCount; }
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QList<AlarmLogEntry> m_rows;  // newest first
    QString m_alarm;
};

class AlarmLogWindow : public QDialog {
    Q_OBJECT
public:
    AlarmLogWindow(AlarmLogBook &log, QWidget *parent = nullptr);
    // Shows the one alarm log window, made on first use.
    static AlarmLogWindow *showFor(AlarmLogBook &log, QWidget *parent, std::function<QString()> chooseSaveFile);

    QComboBox *CmbAlarm;    // "All alarms" or one alarm
    QLabel *LblCount;       // how many entries are shown
    QLabel *LblFile;        // where the log is kept, or what is wrong with the file
    QTableView *TblLog;
    QPushButton *CmdExport;

    AlarmLogModel &model() { return m_model; }
    // The rows shown, with a header row, as "Save as CSV..." writes them.
    QList<QStringList> shownRows() const;
    void exportCsv();
    // The file to save to, empty on cancel.
    std::function<QString()> chooseSaveFile;

private:
    void refill();
    void showCount();
    void showFile();

    AlarmLogBook &m_log;
    AlarmLogModel m_model;
};
