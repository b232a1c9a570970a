#pragma once
// The status strip along the top of the main window: motor model, ROM version,
// the SVON, RUN and ALM lamps, date and time, and what the port is doing. Its
// 100 ms timer keeps them current, switches the main window's caption between
// online and offline, opens the port when it is closed and declares lost replies.

#include <QLabel>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>

class DriveLink;
class Shape;

class TitleBar : public QWidget {
    Q_OBJECT
public:
    explicit TitleBar(DriveLink &link, QWidget *parent = nullptr);

    // The tick, in the order: date and time, the caption, then the link's
    // tick (the blink phase, the lamps, then its offline or online part).
    void TimerDateTime_Timer();

    // Sets the main window's caption.
    std::function<void(const QString &)> setCaption;
    // Reads the main window's caption.
    std::function<QString()> caption;

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

private:
    std::optional<quint32> m_alarms;
    void paintLamps();

    DriveLink &m_link;
    QString m_timeFormat;
};
