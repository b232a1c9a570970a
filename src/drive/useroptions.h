#pragma once
// The items of "Options(&O)", kept between runs in the user's settings file
// (orvex/orvex.conf in the user's configuration folder). A window that is
// given none acts on the defaults of a bare window: every option off.

#include <QSettings>
#include <QString>

struct UserOptions {
    bool holdToJog = false;           // "Hold to Jog": the jog buttons act while held
    bool backUpBeforeWriting = true;  // "Back Up Before Writing": the last read values are kept first
    bool verifyAfterWriting = true;   // "Verify After Writing": what was written is read back
    bool nameAlarmsInLog = false;     // "Name Alarms in the Log": an alarm the status shows is asked for by name
    bool keepAllMonitorsLive = false; // "Keep All Monitors Live": the poll goes round the windows on show
    bool takeRepliesWhole = false;    // "Take Replies Whole (Less CPU)": woken once a reply, not once a character
    bool readEachBlockTwice = false;  // "Read Each Block Twice": a block (point) read is taken when two replies agree
};

UserOptions LoadUserOptions();
void SaveUserOptions(const UserOptions &options);

// The user's settings file, where the options, the window layout and the
// folders last used are kept.
QSettings UserSettings();

// The folder a file of the kind (its extension) was last read from or written
// to, in any run; empty when there was none or it is gone.
QString LastFolder(const QString &kind);
void RememberFolder(const QString &kind, const QString &folder);
