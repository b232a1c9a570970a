#pragma once
// The status strip along the top of the main window: motor model, ROM version,
// the SVON, RUN and ALM lamps, date and time, and what the port is doing. Its
// 100 ms timer keeps them current, switches the main window's caption between
// online and offline, opens the port when it is closed and declares lost replies.
// The motor model and the ROM version follow what the drive told of itself.

#include "drive/clock.h"

#include <QLabel>
#include <QTimer>
#include <QWidget>
#include <optional>

class DriveInfo;
class DriveLink;
class Shape;

class TitleBar : public QWidget {
    Q_OBJECT
public:
    // The date and time are the clock's. All three outlive the strip.
    TitleBar(DriveLink &link, const DriveInfo &drive, const Clock &clock = Clock::system(), QWidget *parent = nullptr);

    // The tick, in the order: date and time, the caption, then the link's
    // tick (the blink phase, the lamps, then its offline or online part).
    void TimerDateTime_Timer();

    QWidget *Picture1;
    QLabel *LblMSEL;
    QLabel *Label1;
    QLabel *LblROMV;
    QLabel *LblSVON;
    QLabel *LblDateTime;
    QLabel *Label2;
    Shape *ShpGreen;
    QLabel *Label3;
    Shape *ShpRed;
    QLabel *LblPort;     // what the port is doing, or why it is not open
    QLabel *LblNoReply;  // "No reply" while the drive does not answer
    QLabel *LblAlarmName;  // beside the alarm lamp: the alarms present, while the status says alarm

    // The alarms present as the last "ALM" reply gave them; until one has
    // come, an alarm is named "Alarm".
    void setPresentAlarms(quint32 bits);
    QTimer TimerDateTime;

Q_SIGNALS:
    // The main window's caption: "ORVEX", or "ORVEX (Offline Mode)" while
    // offline; said by the first tick and whenever it turns.
    void captionChanged(const QString &caption);

private:
    std::optional<quint32> m_alarms;
    void paintLamps();

    DriveLink &m_link;
    const Clock &m_clock;
    QString m_timeFormat;
    QString m_caption;  // as last said
};
