#include "pollwindows.h"

#include "app/mditbl.h"
#include "monitor/alarm.h"
#include "monitor/commcomm.h"
#include "monitor/iomon.h"
#include "monitor/mon2.h"
#include "params/prm_writ.h"
#include "wave/hmon.h"

std::vector<std::pair<QString, QWidget *>> PollWindows(MDItbl &app)
{
    return {
        {QStringLiteral("I/O monitor active (S, IO)"), app.ioMon},
        {QStringLiteral("status monitor active (S, VV)"), app.mon2},
        {QStringLiteral("alarm display active (S, ALM)"), app.alarm},
        {QStringLiteral("waveform monitor active (S, T)"), app.hMon},
        {QStringLiteral("operation panel active (S, MON)"), app.commComm},
        {QStringLiteral("parameter window active (S, S)"), app.prmWrit},
    };
}
