#pragma once
// How far a write of blocks (parameters) or points came, as its job told it
// through every attempt the session made, and what the drive holds when it
// stopped half-way: "The drive runs blocks 0-2 of the new values, not saved
// in its memory (no FLASH). The values before are in BACKUP." with the
// command that writes the backup back.
//
// What the job tells: progressed(step, steps) after each answer (step
// answers taken in this attempt; the request for unit `step`, or FLASH once
// step is the number of units, goes out after it) and how it finished. A
// request left unanswered (a lost reply, the port lost, a stop that did not
// wait for it) may or may not have been taken by the drive.

#include <QString>
#include <QStringList>

class DriveJob;
class DriveSession;

struct WriteReach {
    QString unit;           // "block", "point"
    int units = 0;          // how many the write covers (FLASH follows them)
    int acknowledged = 0;   // the drive answered units 0 .. acknowledged - 1
    int unanswered = -1;    // the furthest request sent without an answer (units: FLASH); -1 none
    bool flashRefused = false;
    bool done = false;      // FLASH answered: the new values are kept

    // Nothing reached the drive: no unit acknowledged or perhaps taken.
    bool untouched() const { return acknowledged == 0 && unanswered < 0; }
};

// Follows the job through every attempt the session makes with it.
void FollowWrite(DriveJob &job, const DriveSession &session, WriteReach &reach);

// What the drive holds after a write that did not end; backup empty: none
// was kept. Empty for a write that ended.
QString HalfWrittenText(const WriteReach &reach, const QString &backup);

// "orvex-cli params write BACKUP --port DEV --no-backup" and the options
// that must be the same (--maker, --parity), each word quoted for a shell
// where it needs to be.
QString RestoreCommand(const QString &command, const QString &backup, const QString &device, const QStringList &options);
