#pragma once
// The "Alarm Display" window: a cell per alarm, red while the alarm is
// present, the drive's history of eight alarms, and the buttons that reset
// the alarm state and clear the history.

#include "common/childwindow.h"
#include "drive/clock.h"
#include "drive/monitor/monitorrules.h"

#include <array>

struct Reply;
class DriveLink;
class QLabel;
class QPushButton;
class StaleMark;

class Alarm : public ChildWindow {
    Q_OBJECT
public:
    // The clock tells how old the values are; it outlives the window.
    explicit Alarm(DriveLink &link, const Clock &clock = Clock::system(), QWidget *parent = nullptr);

    // Reply decoder: "ALM", present alarms and the history.
    void OnReplyALM(const Reply &reply);

    // True while the cell shows its alarm as present (red).
    bool present(int cell) const { return m_present[static_cast<size_t>(cell)]; }

    QLabel *Label1;
    std::array<QLabel *, AlarmCount> LblAlarm{};  // 11 and 12 are never shown
    QLabel *Label2;
    std::array<QLabel *, HistoryCount> LblHist{};
    QPushButton *CmdARST;
    QPushButton *CmdHCL;
    QLabel *LblAlarmAsOf;  // how old the cells are, between the record and the buttons
    StaleMark *alarmAge;   // greys the cells when they are old

Q_SIGNALS:
    // The alarms present, from each "ALM" reply (a bit an alarm).
    void presentAlarms(quint32 bits);

private:
    DriveLink &m_link;
    std::array<bool, AlarmCount> m_present{};
};
