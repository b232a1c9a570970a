#include "alarmlogwindow.h"

#include "common/messagelines.h"
#include "drive/csvfiles.h"
#include "drive/monitor/alarmremedies.h"
#include "drive/monitor/monitorrules.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {

QPointer<AlarmLogWindow> TheWindow;

QString remedyText(const AlarmLogEntry &entry)
{
    QStringList parts;
    for (const QString &name : entry.appeared) {
        const QString remedy = AlarmRemedyForName(name);
        if (remedy.isEmpty()) continue;
        parts << (entry.appeared.size() > 1 ? name + QStringLiteral(": ") + remedy : remedy);
    }
    if (parts.isEmpty() && entry.appeared.isEmpty() && entry.cleared.isEmpty() &&
        (entry.note == AlarmNote::bitSet() || entry.note == AlarmNote::bitSetAtStart()))
        parts << QStringLiteral("The status shows an alarm without its name: the alarm display names it while it "
                                "is the active window, and Options -> Name Alarms in the Log asks for it at once.");
    return parts.join(u'\n');
}

}  // namespace

// ---- The model ------------------------------------------------------------------

QStringList AlarmLogModel::headers()
{
    return {QStringLiteral("Time"), QStringLiteral("Appeared"), QStringLiteral("Cleared"), QStringLiteral("Note"),
            QStringLiteral("Cause and remedy")};
}

QString AlarmLogModel::cellText(const AlarmLogEntry &entry, int column)
{
    switch (column) {
    case Time: return AlarmLogTimeText(entry.time);
    case Appeared: return entry.appeared.join(u'\n');
    case Cleared: return entry.cleared.join(u'\n');
    case Note: return entry.note;
    case Remedy: return remedyText(entry);
    default: return {};
    }
}

bool AlarmLogModel::matches(const AlarmLogEntry &entry) const
{
    return m_alarm.isEmpty() || entry.appeared.contains(m_alarm) || entry.cleared.contains(m_alarm);
}

void AlarmLogModel::show(const QList<AlarmLogEntry> &entries, const QString &alarm)
{
    beginResetModel();
    m_alarm = alarm;
    m_rows.clear();
    for (qsizetype i = entries.size() - 1; i >= 0; --i)
        if (matches(entries[i])) m_rows << entries[i];
    endResetModel();
}

void AlarmLogModel::add(const AlarmLogEntry &entry)
{
    if (!matches(entry)) return;
    beginInsertRows({}, 0, 0);
    m_rows.prepend(entry);
    endInsertRows();
    // The window keeps no more than the log does.
    if (m_rows.size() > AlarmLogBook::MemoryLimit) {
        const int last = int(m_rows.size()) - 1;
        beginRemoveRows({}, AlarmLogBook::MemoryLimit, last);
        m_rows.resize(AlarmLogBook::MemoryLimit);
        endRemoveRows();
    }
}

QVariant AlarmLogModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size()) return {};
    const AlarmLogEntry &e = m_rows[index.row()];
    if (role == Qt::DisplayRole) return cellText(e, index.column());
    if (role == Qt::ToolTipRole && index.column() == Remedy) return cellText(e, Remedy);
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignLeft | Qt::AlignTop);
    return {};
}

QVariant AlarmLogModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
        return headers()[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

// ---- The window -----------------------------------------------------------------

AlarmLogWindow::AlarmLogWindow(AlarmLogBook &log, QWidget *parent) : QDialog(parent), m_log(log)
{
    setObjectName(QStringLiteral("AlarmLog"));
    setWindowTitle(QStringLiteral("Alarm Log"));

    auto *caption = new QLabel(QStringLiteral("Alarm:"), this);
    CmbAlarm = new QComboBox(this);
    CmbAlarm->setObjectName(QStringLiteral("CmbAlarm"));
    CmbAlarm->setAccessibleName(QStringLiteral("Show entries of alarm"));
    CmbAlarm->addItem(QStringLiteral("All alarms"), QString());
    for (const QString &name : AlarmCaptions()) CmbAlarm->addItem(name, name);
    caption->setBuddy(CmbAlarm);
    connect(CmbAlarm, &QComboBox::currentIndexChanged, this, &AlarmLogWindow::refill);
    LblCount = new QLabel(this);
    LblCount->setObjectName(QStringLiteral("LblCount"));
    LblCount->setAccessibleName(QStringLiteral("Entries shown"));

    TblLog = new QTableView(this);
    TblLog->setObjectName(QStringLiteral("TblLog"));
    TblLog->setAccessibleName(QStringLiteral("Alarm log entries, newest first"));
    TblLog->setModel(&m_model);
    TblLog->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TblLog->setSelectionBehavior(QAbstractItemView::SelectRows);
    TblLog->setWordWrap(true);
    TblLog->verticalHeader()->hide();
    TblLog->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    TblLog->horizontalHeader()->setSectionResizeMode(AlarmLogModel::Remedy, QHeaderView::Stretch);
    TblLog->setColumnWidth(AlarmLogModel::Time, fontMetrics().horizontalAdvance(QStringLiteral("0000-00-00T00:00:00.000+00:00")) + 12);
    TblLog->setColumnWidth(AlarmLogModel::Appeared, fontMetrics().horizontalAdvance(AlarmCaptions()[4]) + 12);
    TblLog->setColumnWidth(AlarmLogModel::Cleared, fontMetrics().horizontalAdvance(AlarmCaptions()[4]) + 12);
    TblLog->setColumnWidth(AlarmLogModel::Note, fontMetrics().horizontalAdvance(AlarmNote::bitSetAtStart()) + 12);
    TblLog->setMinimumSize(860, 320);

    LblFile = new QLabel(this);
    LblFile->setObjectName(QStringLiteral("LblFile"));
    LblFile->setAccessibleName(QStringLiteral("Alarm log file"));
    LblFile->setWordWrap(true);
    LblFile->setTextFormat(Qt::PlainText);
    LblFile->setTextInteractionFlags(Qt::TextSelectableByMouse);

    CmdExport = new QPushButton(QStringLiteral("Save as CSV..."), this);
    CmdExport->setObjectName(QStringLiteral("CmdExport"));
    CmdExport->setAccessibleName(QStringLiteral("Save the entries shown as CSV"));
    connect(CmdExport, &QPushButton::clicked, this, &AlarmLogWindow::exportCsv);
    auto *close = new QPushButton(QStringLiteral("Close"), this);
    close->setAccessibleName(QStringLiteral("Close"));
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
    column->addWidget(LblFile);
    column->addLayout(bottom);

    connect(&m_log, &AlarmLogBook::entryAdded, this, [this](const AlarmLogEntry &e) {
        m_model.add(e);
        showCount();
    });
    connect(&m_log, &AlarmLogBook::fileProblemChanged, this, &AlarmLogWindow::showFile);
    refill();
    showFile();
}

AlarmLogWindow *AlarmLogWindow::showFor(AlarmLogBook &log, QWidget *parent, std::function<QString()> chooseSaveFile)
{
    if (!TheWindow) TheWindow = new AlarmLogWindow(log, parent);
    TheWindow->chooseSaveFile = std::move(chooseSaveFile);
    TheWindow->show();
    TheWindow->raise();
    TheWindow->activateWindow();
    return TheWindow;
}

void AlarmLogWindow::refill()
{
    m_model.show(m_log.entries(), CmbAlarm->currentData().toString());
    showCount();
}

void AlarmLogWindow::showCount()
{
    const int shown = m_model.rowCount();
    const auto entries = [](qsizetype n) {
        return n == 1 ? QStringLiteral("1 entry") : QStringLiteral("%1 entries").arg(n);
    };
    LblCount->setText(CmbAlarm->currentIndex() <= 0
                          ? entries(shown)
                          : QStringLiteral("%1 of %2").arg(entries(shown)).arg(m_log.entries().size()));
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
    QList<QStringList> rows{AlarmLogModel::headers()};
    for (int r = 0; r < m_model.rowCount(); ++r) {
        QStringList row;
        for (int c = 0; c < AlarmLogModel::ColumnCount; ++c) row << AlarmLogModel::cellText(m_model.entry(r), c);
        rows << row;
    }
    return rows;
}

void AlarmLogWindow::exportCsv()
{
    const QString path = chooseSaveFile ? chooseSaveFile() : QString();
    if (path.isEmpty()) return;
    QString error;
    if (!WriteCsvFile(path, CsvText(shownRows()), &error))
        ShowMessage(this, QMessageBox::Critical, windowTitle(), path + u'\n' + error, QStringLiteral("AlarmLogMessage"));
}
