#pragma once
// The drive's status as the monitors read it, one request after another:
// "S" (status word, point, motor type, ROM version, command state), and as
// chosen "ALM" (alarms present and history), "IO" (the I/O word) and
// monitor items ("MON;n").

#include "drive/drivedata.h"
#include "drive/drivejob.h"

#include <QList>
#include <QStringList>

class ReadStatusJob : public DriveJob {
    Q_OBJECT
public:
    struct Parts {
        bool status = true;
        bool alarms = false;
        bool io = false;
        QList<int> monitorItems;  // 0..16
    };
    ReadStatusJob(DriveLink &link, const Parts &parts, QObject *parent = nullptr);

    const StatusSnapshot &result() const { return m_result; }

protected:
    void begin() override;
    void take(const Reply &reply) override;

private:
    void sendNext();

    QStringList m_requests;
    qsizetype m_next = 0;
    StatusSnapshot m_result;
};
