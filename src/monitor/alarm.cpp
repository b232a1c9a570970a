#include "alarm.h"

#include "drive/monitor/alarmremedies.h"
#include "common/stalemark.h"
#include "drive/link/drivelink.h"
#include "monitorwidgets.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace {

const QColor AbsentColor(0x80, 0x80, 0x80);
const QColor PresentColor(0xFF, 0x00, 0x00);

QLabel *cell(QWidget *parent, const QString &name, const QString &text, const QColor &back)
{
    QLabel *l = makeFieldLabel(parent, name, text);
    l->setAlignment(Qt::AlignCenter);
    setBackground(l, back);
    return l;
}

}  // namespace

Alarm::Alarm(DriveLink &link, const Clock &clock, QWidget *parent)
    : ChildWindow(QStringLiteral("Alarm"), QStringLiteral("Alarm Display"), QStringLiteral("0"), parent), m_link(link)
{
    Label1 = makeLabel(this, QStringLiteral("Label1"), QStringLiteral("Current Alarm"));
    Label2 = makeLabel(this, QStringLiteral("Label2"), QStringLiteral("Alarm Record"));
    QFont heading = Label1->font();
    heading.setBold(true);
    Label1->setFont(heading);
    Label2->setFont(heading);

    auto *grid = new QGridLayout(this);
    grid->setSizeConstraint(QLayout::SetMinimumSize);  // never squeezed below legibility
    grid->setContentsMargins(8, 8, 8, 8);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(3);
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(Label2, 0, 1);

    const int cellWidth = fontMetrics().horizontalAdvance(AlarmCaptions()[4]) + 24;
    for (int i = 0; i < AlarmCount; ++i) {
        LblAlarm[i] = cell(this, indexedName("LblAlarm", i), AlarmCaptions()[i], AbsentColor);
        LblAlarm[i]->setMinimumWidth(cellWidth);
        LblAlarm[i]->setToolTip(AlarmRemedy(i));
        if (i < 11) grid->addWidget(LblAlarm[i], 1 + i, 0);
        else LblAlarm[i]->hide();
    }
    for (int j = 0; j < HistoryCount; ++j) {
        LblHist[j] = cell(this, indexedName("LblHist", j), QString(), Qt::white);
        LblHist[j]->setMinimumWidth(cellWidth);
        grid->addWidget(LblHist[j], 1 + j, 1);
    }
    CmdARST = makeButton(this, QStringLiteral("CmdARST"), QStringLiteral("Alarm Reset"));
    CmdHCL = makeButton(this, QStringLiteral("CmdHCL"), QStringLiteral("Record Clear"));
    grid->addWidget(CmdARST, 1 + HistoryCount + 1, 1);
    grid->addWidget(CmdHCL, 1 + HistoryCount + 2, 1);
    grid->setRowMinimumHeight(1 + HistoryCount, 6);
    // The row between the record and the buttons is free in this column.
    LblAlarmAsOf = makeLabel(this, QStringLiteral("LblAlarmAsOf"), QString());
    LblAlarmAsOf->setAlignment(Qt::AlignCenter);
    grid->addWidget(LblAlarmAsOf, 1 + HistoryCount, 1);
    QList<QWidget *> cells(LblAlarm.cbegin(), LblAlarm.cend());
    for (QLabel *l : LblHist) cells << l;
    alarmAge = new StaleMark(LblAlarmAsOf, QStringLiteral("Alarms"), cells, clock, this);
    grid->setRowStretch(1 + AlarmCount, 1);
    grid->setColumnStretch(2, 1);  // a larger window keeps the cells at their width
    connect(CmdARST, &QPushButton::clicked, this, [this] { m_link.setCommand("ARST"); });
    connect(CmdHCL, &QPushButton::clicked, this, [this] { m_link.setCommand("HCL"); });

    m_link.setDecoder(QStringLiteral("ALM"), [this](const Reply &reply) { OnReplyALM(reply); });
}

void Alarm::OnReplyALM(const Reply &reply)
{
    alarmAge->refreshed();
    const auto &f = reply.field;
    const auto present = static_cast<quint32>(f[0]);
    for (int i = 0; i < AlarmCount; ++i) {
        const bool on = (present >> i & 1u) != 0;
        if (on == m_present[i]) continue;
        m_present[i] = on;
        setBackground(LblAlarm[i], on ? PresentColor : AbsentColor);
    }
    for (int j = 0; j < HistoryCount; ++j) {
        const int k = AlarmHistoryIndex(f[1 + j]);
        if (k == HistoryKeep) continue;
        setTextIfChanged(LblHist[j], k == HistoryEmpty ? QString() : AlarmCaptions()[k]);
    }
    Q_EMIT presentAlarms(present);
}
