#pragma once
// The program's state for one run, without a window. main() builds it before
// the main window, over the port it made, and every test rig declares it
// before the windows it tests: the link and the models outlive every window
// that holds a reference to them.
//
// It owns, in this order:
// - the port settings (port number, offline mode, the pair last known to
//   work) and the link over the port, which keeps a reference to them;
// - the parameter set and the point table as models of what the editors
//   show (texts, the values last read, the change marks' baseline);
// - what the drive told of itself (motor model, ROM version, point, lamps);
// - the waveform state and every capture of the run;
// - the alarm log, which follows the link from the start;
// - the user's options, kept between runs, and maker mode.
// The windows are views handed the parts they need in their constructors;
// they read values from here, never out of another window's controls.

#include "drive/alarmlog.h"
#include "drive/clock.h"
#include "drive/driveinfo.h"
#include "drive/link/drivelink.h"
#include "drive/link/portsettings.h"
#include "drive/makermode.h"
#include "drive/params/parametermodel.h"
#include "drive/points/pointmodel.h"
#include "drive/useroptions.h"
#include "drive/wave/capturelist.h"
#include "drive/wave/wavestate.h"

#include <QObject>
#include <optional>

class SerialIo;

// How a session is made where the program's own choices do not fit (tests,
// benchmarks, fuzzing).
struct SessionSetup {
    // The clock of the session and its windows; the system's when none. It
    // outlives the session.
    const Clock *clock = nullptr;
    // The alarm log's file; empty keeps the log in memory only.
    QString alarmLogPath = AlarmLogPath();
};

class Session : public QObject {
    Q_OBJECT
public:
    // The port outlives the session. The options are those kept by the last
    // run; the link takes them at once.
    explicit Session(SerialIo &port, const SessionSetup &setup = {}, QObject *parent = nullptr);
    ~Session() override;

    const Clock &clock() const { return m_clock; }

    PortSettings portSettings;  // declared before the link, which refers to them
    DriveLink link;
    ParameterModel parameters;
    PointModel points;
    DriveInfo drive;
    WaveState wave;
    CaptureList captures;
    AlarmLogBook alarmLog;
    MakerMode maker;

    // "Options(&O)".
    const UserOptions &options() const { return m_options; }
    // Sets one, applies it and keeps it for the next run.
    void setOption(bool UserOptions::*flag, bool on);
    // Applies these for this run only (nothing is kept).
    void useOptions(const UserOptions &options);

    // The drive's port as the report and the alarm log name it: the device,
    // else "offline" or "COM" and the number.
    QString portName() const;

Q_SIGNALS:
    void optionsChanged(const UserOptions &options);

private:
    void applyOptions();

    SerialIo &m_port;
    const Clock &m_clock;
    UserOptions m_options;
};
