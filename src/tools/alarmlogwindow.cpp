#include "alarmlogwindow.h"

#include "common/dlogfile.h"
#include "common/messagelines.h"
#include "drive/csvfiles.h"
#include "drive/monitor/alarmremedies.h"
#include "drive/monitor/monitorrules.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {

QString names(const QStringList &list) { return list.join(QStringLiteral(", ")); }

}  // namespace

// ---- The model ------------------------------------------------------------------

QStringList AlarmLogModel::headers()
{
    return {QStringLiteral("Time"), QStringLiteral("Port"), QStringLiteral("Appeared"), QStringLiteral("Cleared"),
            QStringLiteral("Note")};
}

QString AlarmLogModel::cellText(const AlarmLogEntry &event, int column)
{
    switch (column) {
    case Time: return AlarmLogTimeText(event.time);
    case Port: return event.port;
    case Appeared: return names(event.appeared);
    case Cleared: return names(event.cleared);
    case Note: return event.note;
    default: return {};
    }
}

QString AlarmLogModel::remedyText(const AlarmLogEntry &event)
{
    QStringList parts;
    for (const QString &name : event.appeared) {
        const QString remedy = AlarmRemedyForName(name);
        if (!remedy.isEmpty()) parts << name + QStringLiteral(": ") + remedy;
    }
    if (parts.isEmpty() && event.appeared.isEmpty() && event.cleared.isEmpty() &&
        (event.note == AlarmNote::bitSet() || event.note == AlarmNote::bitSetAtStart()))
        parts << QStringLiteral("The status shows an alarm without its name: the alarm display names it while it "
                                "is the active window, and Options -> Name Alarms in the Log asks for it at once.");
    return parts.join(QStringLiteral("\n\n"));
}

bool AlarmLogModel::matches(const AlarmLogEntry &entry) const
{
    return m_alarm.isEmpty() || entry.appeared.contains(m_alarm) || entry.cleared.contains(m_alarm);
}

void AlarmLogModel::trim()
{
    // The window keeps no more than the log does.
    if (m_rows.size() <= AlarmLogBook::MemoryLimit) return;
    beginRemoveRows({}, AlarmLogBook::MemoryLimit, int(m_rows.size()) - 1);
    m_rows.resize(AlarmLogBook::MemoryLimit);
    endRemoveRows();
}

void AlarmLogModel::show(const QList<AlarmLogEntry> &entries, const QString &alarm)
{
    beginResetModel();
    m_alarm = alarm;
    m_rows.clear();
    const QList<AlarmLogEntry> events = AlarmLogEvents(entries);
    for (qsizetype i = events.size() - 1; i >= 0; --i)
        if (matches(events[i])) m_rows << events[i];
    endResetModel();
}

void AlarmLogModel::add(const AlarmLogEntry &entry)
{
    // The names of the alarm bit on top: they join its row.
    if (!m_rows.isEmpty() && AlarmLogJoins(m_rows.first(), entry)) {
        const AlarmLogEntry joined = AlarmLogJoined(m_rows.first(), entry);
        if (matches(joined)) {
            m_rows.first() = joined;
            Q_EMIT dataChanged(index(0, 0), index(0, ColumnCount - 1));
        } else {
            beginRemoveRows({}, 0, 0);
            m_rows.removeFirst();
            endRemoveRows();
        }
        return;
    }
    // A lone bit is shown whatever the alarm chosen: its names may join it.
    const bool loneBit = entry.appeared.isEmpty() && entry.cleared.isEmpty() &&
                         (entry.note == AlarmNote::bitSet() || entry.note == AlarmNote::bitSetAtStart());
    if (!matches(entry) && !(loneBit && m_alarm.isEmpty())) return;
    beginInsertRows({}, 0, 0);
    m_rows.prepend(entry);
    endInsertRows();
    trim();
}

QVariant AlarmLogModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size()) return {};
    const AlarmLogEntry &e = m_rows[index.row()];
    if (role == Qt::DisplayRole) return cellText(e, index.column());
    // A cell cut short reads whole in its tooltip; the alarms' cause and
    // remedy is the tooltip of their names.
    if (role == Qt::ToolTipRole) {
        const QString remedy = index.column() == Appeared ? remedyText(e) : QString();
        return remedy.isEmpty() ? cellText(e, index.column()) : remedy;
    }
    return {};
}

QVariant AlarmLogModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
        return headers()[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

// ---- The window -----------------------------------------------------------------

AlarmLogWindow::AlarmLogWindow(AlarmLogBook &log, FileChooser &files, QWidget *parent)
    : QDialog(parent), m_log(log), m_files(files)
{
    setObjectName(QStringLiteral("AlarmLog"));
    setWindowTitle(QStringLiteral("Alarm Log"));

    auto *caption = new QLabel(QStringLiteral("&Alarm:"), this);
    CmbAlarm = new QComboBox(this);
    CmbAlarm->setObjectName(QStringLiteral("CmbAlarm"));
    CmbAlarm->setAccessibleName(QStringLiteral("Show entries of alarm"));
    CmbAlarm->addItem(QStringLiteral("All alarms"), QString());
    for (const QString &name : AlarmCaptions()) CmbAlarm->addItem(name, name);
    caption->setBuddy(CmbAlarm);
    connect(CmbAlarm, &QComboBox::currentIndexChanged, this, &AlarmLogWindow::refill);
    LblCount = new QLabel(this);
    LblCount->setObjectName(QStringLiteral("LblCount"));

    TblLog = new QTableView(this);
    TblLog->setObjectName(QStringLiteral("TblLog"));
    TblLog->setAccessibleName(QStringLiteral("Alarm log events, newest first"));
    TblLog->setModel(&m_model);
    TblLog->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TblLog->setSelectionBehavior(QAbstractItemView::SelectRows);
    TblLog->setSelectionMode(QAbstractItemView::SingleSelection);
    // The arrow keys go from event to event; Tab leaves the table.
    TblLog->setTabKeyNavigation(false);
    // One line a row; the cause and remedy stand in the pane below.
    TblLog->setWordWrap(false);
    TblLog->verticalHeader()->hide();
    TblLog->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    TblLog->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    TblLog->horizontalHeader()->setStretchLastSection(true);
    const auto width = [this](const QString &text) { return fontMetrics().horizontalAdvance(text) + 16; };
    TblLog->setColumnWidth(AlarmLogModel::Time, width(QStringLiteral("0000-00-00T00:00:00.000+00:00")));
    TblLog->setColumnWidth(AlarmLogModel::Port, width(QStringLiteral("COM1 /dev/ttyUSB0")));
    TblLog->setColumnWidth(AlarmLogModel::Appeared, width(AlarmCaptions()[4]));
    TblLog->setColumnWidth(AlarmLogModel::Cleared, width(AlarmCaptions()[4]));
    TblLog->setMinimumSize(900, 260);
    connect(TblLog->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &AlarmLogWindow::showRemedy);

    auto *remedyCaption = new QLabel(QStringLiteral("Cause and &remedy:"), this);
    TxtRemedy = new QPlainTextEdit(this);
    TxtRemedy->setObjectName(QStringLiteral("TxtRemedy"));
    TxtRemedy->setAccessibleName(QStringLiteral("Cause and remedy of the selected event"));
    TxtRemedy->setReadOnly(true);
    // Read and copied from the keyboard too.
    TxtRemedy->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    TxtRemedy->setMaximumHeight(fontMetrics().height() * 7);
    remedyCaption->setBuddy(TxtRemedy);

    LblFile = new QLabel(this);
    LblFile->setObjectName(QStringLiteral("LblFile"));
    LblFile->setWordWrap(true);
    LblFile->setTextFormat(Qt::PlainText);
    LblFile->setTextInteractionFlags(Qt::TextSelectableByMouse);

    CmdExport = new QPushButton(QStringLiteral("&Save as CSV..."), this);
    CmdExport->setObjectName(QStringLiteral("CmdExport"));
    CmdExport->setAccessibleName(QStringLiteral("Save the events shown as CSV"));
    connect(CmdExport, &QPushButton::clicked, this, &AlarmLogWindow::exportCsv);
    auto *close = new QPushButton(QStringLiteral("&Close"), this);
    close->setObjectName(QStringLiteral("CmdClose"));
    close->setAccessibleName(QStringLiteral("Close"));
    // Enter in the table or the list closes the log, never asks for a file.
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::close);

    auto *top = new QHBoxLayout;
    top->addWidget(caption);
    top->addWidget(CmbAlarm);
    top->addWidget(LblCount, 1);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(CmdExport);
    bottom->addStretch(1);
    bottom->addWidget(close);
    auto *column = new QVBoxLayout(this);
    column->addLayout(top);
    column->addWidget(TblLog, 1);
    column->addWidget(remedyCaption);
    column->addWidget(TxtRemedy);
    column->addWidget(LblFile);
    column->addLayout(bottom);

    connect(&m_log, &AlarmLogBook::entryAdded, this, [this](const AlarmLogEntry &e) {
        m_model.add(e);
        showCount();
        showRemedy();
    });
    connect(&m_log, &AlarmLogBook::fileProblemChanged, this, &AlarmLogWindow::showFile);
    refill();
    showFile();

    // Tab goes in reading order; the window opens on the events (on the
    // list of alarms while there are none: an empty table shows no focus).
    QWidget *order[] = {CmbAlarm, TblLog, TxtRemedy, CmdExport, close};
    for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
    (m_model.rowCount() > 0 ? static_cast<QWidget *>(TblLog) : CmbAlarm)->setFocus();
}

void AlarmLogWindow::refill()
{
    m_model.show(m_log.entries(), CmbAlarm->currentData().toString());
    if (m_model.rowCount() > 0) TblLog->selectRow(0);
    showCount();
    showRemedy();
}

void AlarmLogWindow::showCount()
{
    const int shown = m_model.rowCount();
    const auto events = [](qsizetype n) { return n == 1 ? QStringLiteral("1 event") : QStringLiteral("%1 events").arg(n); };
    LblCount->setText(CmbAlarm->currentIndex() <= 0 ? events(shown) : QStringLiteral("%1 with %2").arg(events(shown), CmbAlarm->currentText()));
}

void AlarmLogWindow::showRemedy()
{
    const int row = TblLog->currentIndex().isValid() ? TblLog->currentIndex().row() : -1;
    const QString text = row >= 0 && row < m_model.rowCount() ? AlarmLogModel::remedyText(m_model.eventAt(row)) : QString();
    TxtRemedy->setPlainText(text.isEmpty() ? QStringLiteral("Select an event with an alarm to read its cause and remedy.")
                                           : text);
}

void AlarmLogWindow::showFile()
{
    const QString problem = m_log.fileProblem();
    if (!problem.isEmpty()) LblFile->setText(problem);
    else if (m_log.path().isEmpty()) LblFile->setText(QStringLiteral("The log is kept in memory only."));
    else LblFile->setText(QStringLiteral("Kept in %1").arg(m_log.path()));
}

QList<QStringList> AlarmLogWindow::shownRows() const
{
    QList<QStringList> rows{AlarmLogModel::headers() << QStringLiteral("Cause and remedy")};
    for (int r = 0; r < m_model.rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < AlarmLogModel::ColumnCount; ++c) row << AlarmLogModel::cellText(m_model.eventAt(r), c);
        row << AlarmLogModel::remedyText(m_model.eventAt(r));
        rows << row;
    }
    return rows;
}

void AlarmLogWindow::exportCsv()
{
    DlogFile dialog(parentWidget(), m_files, QStringLiteral("CSV files(*.csv)|*.csv"), QStringLiteral("csv"));
    const QString path = dialog.ShowSave().value_or(QString());
    if (path.isEmpty()) return;
    QString error;
    if (!WriteCsvFile(path, CsvText(shownRows()), &error))
        ShowMessage(this, QMessageBox::Critical, windowTitle(), path + u'\n' + error, QStringLiteral("AlarmLogMessage"));
}
