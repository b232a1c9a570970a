#pragma once
// The alarm log: every change of the alarms the drive reports, with the date
// and time, what appeared and what cleared, kept in memory and appended to
// $XDG_DATA_HOME/orvex/alarm-log.csv (~/.local/share/orvex/ when the variable
// is unset), which is read back at start.
//
// Two replies tell of alarms. "ALM" names them (a bit an alarm cell, bits
// 0..12; higher bits have no cell and are left out, as the alarm display and
// the status strip leave them out); it is only polled while the alarm display
// is the active window (and asked once for an alarm the status shows when
// "Options(&O) -> Name Alarms in the Log" is on, see watch()). "S" carries
// the alarm bit of the status word (bit 23) in every poll. The log takes both:
// - "ALM": the alarms that appeared and cleared since the last "ALM" reply.
// - "S": a change of the alarm bit is logged as "Alarm bit set" or "Alarm bit
//   cleared" only where the names last read do not already say so. When the
//   bit clears while alarms are still named, those are logged as cleared (the
//   drive has none left) and the names start afresh from none.
// The first reply of each kind after start is the baseline: alarms present
// then are logged as "Present at start" (or "Alarm bit set at start"), and
// nothing when there are none. A reply that repeats the last one logs nothing.
//
// The file is CSV as the program writes it elsewhere (RFC 4180, UTF-8, every
// field quoted, CR LF), a header row and a row an entry:
//   "Time","Appeared","Cleared","Note","Port"
//   "2026-12-06T14:03:22.125+01:00","Over Load(01)","","Present at start","COM1 /dev/ttyUSB0"
// the time in ISO 8601 with milliseconds and the local offset, several names
// in one field one a line, and the drive's port (two programs on two drives
// may log into one file). A log written before the port was logged (four
// columns) is read as well, and rows with the port are appended to it. Rows
// that cannot be read are skipped and counted.
//
// The file is never rewritten, only appended to, and only when it is a
// regular file (never a symbolic link, a device or a pipe) that was read in
// full as an alarm log, of any size: when it changed since (another program
// appended to it, or it was replaced), it is read in full again first. A file
// that is not such a log (another header, no text) is left alone: the log
// then lives in memory until the file is moved away, and says so.

#include "drive/clock.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>

class DriveLink;

struct AlarmLogEntry {
    QDateTime time;
    QStringList appeared;  // alarm names, as the alarm cells name them
    QStringList cleared;
    QString note;          // "Present at start", "Alarm bit set", ... or empty
    QString port;          // the drive's port ("COM1 /dev/ttyUSB0"), empty when not known

    bool operator==(const AlarmLogEntry &) const = default;
};

// ---- Rules --------------------------------------------------------------------

// The alarm bits that have a cell (0..12).
quint32 KnownAlarmBits();
// The names of the set bits that have a cell, lowest first.
QStringList AlarmNames(quint32 bits);

namespace AlarmNote {
QString presentAtStart();       // "Present at start"
QString bitSet();               // "Alarm bit set"
QString bitSetAtStart();        // "Alarm bit set at start"
QString bitCleared();           // "Alarm bit cleared"
}  // namespace AlarmNote

// What the replies tell, turned into log entries (nothing when a reply
// changes nothing).
//
// While "ALM" is polled (an "ALM" reply came between the last two status
// replies), an alarm bit that sets ahead of the names is held back for one
// "ALM" reply: when that names the alarm, its line alone is logged (one line
// an alarm, not two); when it names none, or the next status reply comes
// first, the held line is logged with its own time.
class AlarmWatch {
public:
    // An "ALM" reply's present alarms. The clock's time is that of an entry,
    // read only when the reply makes one.
    QList<AlarmLogEntry> alarmsRead(quint32 bits, const QDateTime &when);
    QList<AlarmLogEntry> alarmsRead(quint32 bits, const Clock &clock);
    // The alarm bit of an "S" reply's status word.
    QList<AlarmLogEntry> statusRead(bool alarmBit, const QDateTime &when);
    QList<AlarmLogEntry> statusRead(bool alarmBit, const Clock &clock);
    // The status shows an alarm that no "ALM" reply has named since, and
    // none is expected.
    bool namesWanted() const { return m_bit.value_or(false) && !m_named.value_or(0) && !m_held; }

private:
    std::optional<AlarmLogEntry> statusChange(bool alarmBit, const Clock &clock);

    std::optional<quint32> m_named;  // the alarms last named (by "ALM")
    std::optional<bool> m_bit;       // the status word's alarm bit last read
    bool m_namesPolled = false;      // an "ALM" reply came since the last status reply
    std::optional<AlarmLogEntry> m_held;  // "Alarm bit set", waiting for the names
};

// ---- Events, as the log window shows them ---------------------------------------

// One event: an entry, or the alarm bit's entry joined with the names that
// came for it from the same port within JoinMs (the next poll cycles), which
// tell what the bit meant. Oldest first, as the entries.
inline constexpr qint64 AlarmEventJoinMs = 2000;
QList<AlarmLogEntry> AlarmLogEvents(const QList<AlarmLogEntry> &entries, qint64 joinMs = AlarmEventJoinMs);
// Whether the later entry is the names of the earlier one's alarm bit.
bool AlarmLogJoins(const AlarmLogEntry &bit, const AlarmLogEntry &names, qint64 joinMs = AlarmEventJoinMs);
// The two as one event: the bit's time and port, the names, their note.
AlarmLogEntry AlarmLogJoined(const AlarmLogEntry &bit, const AlarmLogEntry &names);

// ---- The file ------------------------------------------------------------------

// "2026-12-06T14:03:22.125+01:00": ISO 8601, milliseconds, the offset from UTC.
QString AlarmLogTimeText(const QDateTime &time);
// The header row of the file, and an entry as a row and back. A row that
// is not an entry (no valid time) gives nothing; missing fields are empty.
QStringList AlarmLogHeader();
QStringList AlarmLogRow(const AlarmLogEntry &entry);
std::optional<AlarmLogEntry> AlarmLogEntryFromRow(const QStringList &fields);

struct AlarmLogRead {
    enum class Kind {
        Empty,    // no text at all: the header is written before the first entry
        Log,      // an alarm log: entries holds every row that could be read
        Foreign,  // not an alarm log (error says why): it must be left alone
    };
    Kind kind = Kind::Empty;
    QList<AlarmLogEntry> entries;  // oldest first
    QList<int> skippedLines;       // lines of rows that are not entries
    QString error;
    // The text ends inside a quoted field (a row cut short): a closing quote
    // goes before the next appended row, or that row would be read as part
    // of the cut one.
    bool openQuote = false;
};
AlarmLogRead ReadAlarmLog(QByteArrayView bytes);

// $XDG_DATA_HOME/orvex/alarm-log.csv, ~/.local/share/orvex/alarm-log.csv
// when the variable is unset or not an absolute path.
QString AlarmLogPath();

// ---- The log ----------------------------------------------------------------------

class AlarmLogBook : public QObject {
    Q_OBJECT
public:
    // At most this many entries are kept in memory, the newest; the file
    // keeps them all.
    static constexpr int MemoryLimit = 20000;

    // Reads the file back and appends to it from now on; an empty path keeps
    // the log in memory only. The entries of the replies watched take the
    // clock's time; the clock outlives the log.
    explicit AlarmLogBook(const QString &path = AlarmLogPath(), const Clock &clock = Clock::system(),
                          QObject *parent = nullptr);

    // Follows the link's "ALM" and "S" replies (also those a job asked for).
    // While asking for names is on, a status reply that shows an alarm the
    // names do not tell is followed by one "ALM" request of its own. It only
    // goes into an empty request slot, with no transfer running and no stop
    // waiting (it replaces nothing, and goes out before the next poll); when
    // the slot is taken, a later status reply asks again. It is asked once
    // for each alarm the status shows: a second alarm while the first
    // stands does not change the status bit, and is named when the alarm
    // display is next active.
    void watch(DriveLink &link);
    // "Options(&O) -> Name Alarms in the Log"; off at start.
    void setAskForNames(bool on) { m_askForNames = on; }
    void alarmsRead(quint32 bits, const QDateTime &when = QDateTime::currentDateTime());
    void statusRead(quint32 statusWord, const QDateTime &when = QDateTime::currentDateTime());

    // The drive's port, written with each entry from now on.
    void setPort(const QString &port) { m_port = port; }
    const QString &port() const { return m_port; }

    // Oldest first: what the file held at start, then this run's entries.
    const QList<AlarmLogEntry> &entries() const { return m_entries; }
    const QString &path() const { return m_path; }
    // Empty while the file is read and written as it should be; else, for
    // the user, what is wrong with it and what happens to the entries.
    const QString &fileProblem() const { return m_problem; }
    // Entries not yet in the file (it could not be written, or is refused).
    int unwritten() const { return int(m_unwritten.size()); }

Q_SIGNALS:
    void entryAdded(const AlarmLogEntry &entry);
    void fileProblemChanged(const QString &problem);

private:
    void add(AlarmLogEntry entry);
    void load();
    void readBack();
    void flush();
    void showProblem();
    void refuse(const QString &why);

    // The file as last read in full (or written to) by this log.
    struct Known {
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = 0;
    };

    QString m_path;
    const Clock &m_clock;
    QString m_port;
    std::optional<Known> m_known;
    AlarmWatch m_watch;
    QList<AlarmLogEntry> m_entries;
    QList<AlarmLogEntry> m_unwritten;
    QString m_problem;       // both below, as the user reads them
    QString m_loadProblem;   // what reading the file back found
    QString m_writeProblem;  // why the last entries could not be written
    bool m_refused = false;    // the file is not an alarm log: left alone
    bool m_closeQuote = false; // the file ends inside a quoted field
    bool m_blankFile = false;  // the file holds blank lines only: no header yet
    bool m_askForNames = false;
    bool m_namesAsked = false; // "ALM" has been asked for the alarm the status shows
    char m_lastChar = '\n';   // the file's last byte, as last read or written
};
