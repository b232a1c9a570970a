#include "alarmlog.h"

#include "drive/link/replycheck.h"

#include "drive/csvfiles.h"
#include "drive/link/drivelink.h"
#include "drive/monitor/monitorrules.h"
#include "drive/alarmlogfile.h"
#include "drive/timetext.h"

#include <algorithm>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <utility>

// ---- Rules --------------------------------------------------------------------

quint32 KnownAlarmBits() { return (1u << AlarmCount) - 1u; }

QStringList AlarmNames(quint32 bits)
{
    QStringList names;
    for (int i = 0; i < AlarmCount; ++i)
        if ((bits >> i & 1u) != 0) names << AlarmCaptions()[static_cast<size_t>(i)];
    return names;
}

namespace AlarmNote {
QString presentAtStart() { return QStringLiteral("Present at start"); }
QString bitSet() { return QStringLiteral("Alarm bit set"); }
QString bitSetAtStart() { return QStringLiteral("Alarm bit set at start"); }
QString bitCleared() { return QStringLiteral("Alarm bit cleared"); }
}  // namespace AlarmNote

namespace {

// A clock stopped at the time given.
class FixedTime : public Clock {
public:
    explicit FixedTime(const QDateTime &time) : m_time(time) {}
    QDateTime now() const override { return m_time; }

private:
    QDateTime m_time;
};

}  // namespace

QList<AlarmLogEntry> AlarmWatch::alarmsRead(quint32 bits, const QDateTime &when)
{
    return alarmsRead(bits, FixedTime(when));
}

QList<AlarmLogEntry> AlarmWatch::alarmsRead(quint32 bits, const Clock &clock)
{
    const auto when = [&clock] { return clock.now(); };
    bits &= KnownAlarmBits();
    m_namesPolled = true;
    QList<AlarmLogEntry> out;
    // The held status line stands when these names do not tell of the alarm.
    if (const std::optional<AlarmLogEntry> held = std::exchange(m_held, std::nullopt); held && bits == 0)
        out << *held;
    const std::optional<quint32> before = m_named;
    m_named = bits;
    if (!before) {
        // Before any status reply nothing has been logged yet: what is there
        // was there at start. After one, the status line came first.
        if (bits != 0)
            out << AlarmLogEntry{when(), AlarmNames(bits), {}, m_bit ? QString() : AlarmNote::presentAtStart(), {}};
    } else if (*before != bits) {
        out << AlarmLogEntry{when(), AlarmNames(bits & ~*before), AlarmNames(*before & ~bits), {}, {}};
    }
    return out;
}

QList<AlarmLogEntry> AlarmWatch::statusRead(bool alarmBit, const QDateTime &when)
{
    return statusRead(alarmBit, FixedTime(when));
}

QList<AlarmLogEntry> AlarmWatch::statusRead(bool alarmBit, const Clock &clock)
{
    QList<AlarmLogEntry> out;
    // No names came for the held line: it stands.
    if (m_held) out << *std::exchange(m_held, std::nullopt);
    const bool polled = std::exchange(m_namesPolled, false);
    std::optional<AlarmLogEntry> e = statusChange(alarmBit, clock);
    if (e && polled && e->note == AlarmNote::bitSet()) m_held = std::move(e);
    else if (e) out << *e;
    return out;
}

std::optional<AlarmLogEntry> AlarmWatch::statusChange(bool alarmBit, const Clock &clock)
{
    const auto when = [&clock] { return clock.now(); };
    const std::optional<bool> before = m_bit;
    m_bit = alarmBit;
    if (before && *before == alarmBit) return std::nullopt;
    const bool named = m_named && *m_named != 0;
    // The names last read already tell it.
    if (m_named && named == alarmBit) return std::nullopt;
    if (alarmBit) return AlarmLogEntry{when(), {}, {}, before ? AlarmNote::bitSet() : AlarmNote::bitSetAtStart(), {}};
    if (!named) {
        if (!before) return std::nullopt;  // no alarm at start
        return AlarmLogEntry{when(), {}, {}, AlarmNote::bitCleared(), {}};
    }
    // No alarm is left: the names still standing have cleared.
    const quint32 gone = *m_named;
    m_named = 0;
    return AlarmLogEntry{when(), {}, AlarmNames(gone), AlarmNote::bitCleared(), {}};
}

// ---- Events -------------------------------------------------------------------------

bool AlarmLogJoins(const AlarmLogEntry &bit, const AlarmLogEntry &names, qint64 joinMs)
{
    const bool loneBit = bit.appeared.isEmpty() && bit.cleared.isEmpty() &&
                         (bit.note == AlarmNote::bitSet() || bit.note == AlarmNote::bitSetAtStart());
    const qint64 after = bit.time.msecsTo(names.time);
    return loneBit && !names.appeared.isEmpty() && names.port == bit.port && after >= 0 && after <= joinMs;
}

AlarmLogEntry AlarmLogJoined(const AlarmLogEntry &bit, const AlarmLogEntry &names)
{
    AlarmLogEntry e = names;
    e.time = bit.time;
    if (e.note.isEmpty() && bit.note == AlarmNote::bitSetAtStart()) e.note = AlarmNote::presentAtStart();
    return e;
}

QList<AlarmLogEntry> AlarmLogEvents(const QList<AlarmLogEntry> &entries, qint64 joinMs)
{
    QList<AlarmLogEntry> events;
    events.reserve(entries.size());
    for (qsizetype i = 0; i < entries.size(); ++i) {
        // The names may come after another port's entry: the next of this port joins.
        qsizetype j = i + 1;
        while (j < entries.size() && entries[j].port != entries[i].port &&
               entries[i].time.msecsTo(entries[j].time) <= joinMs)
            ++j;
        if (j < entries.size() && AlarmLogJoins(entries[i], entries[j], joinMs)) {
            events << AlarmLogJoined(entries[i], entries[j]);
            // The joined names leave their own place; what came between stays.
            for (qsizetype k = i + 1; k < j; ++k) events << entries[k];
            i = j;
            continue;
        }
        events << entries[i];
    }
    return events;
}

// ---- The file ------------------------------------------------------------------

namespace {

// A name or note on one line: a line break inside would read back as two names.
QString oneLine(const QString &text)
{
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String(" "));
    t.replace(u'\r', u' ');
    t.replace(u'\n', u' ');
    return t;
}

QString namesField(const QStringList &names)
{
    QStringList lines;
    for (const QString &n : names) lines << oneLine(n);
    return lines.join(u'\n');
}

QStringList namesOf(const QString &field)
{
    static const QRegularExpression breaks(QStringLiteral("\r\n|\r|\n"));
    QStringList names;
    for (const QString &n : field.split(breaks))
        if (!n.trimmed().isEmpty()) names << n.trimmed();
    return names;
}

// True when a row written behind bytes (after the given bytes) reads back as
// a row of its own.
bool appendable(QByteArrayView bytes, QByteArrayView between)
{
    QByteArray probe = bytes.toByteArray();
    probe += between;
    probe += "\"probe\"\r\n";
    const CsvRead read = ReadCsv(probe);
    return read.ok() && !read.records.isEmpty() && read.records.constLast().problem.isEmpty() &&
           read.records.constLast().fields == QStringList{QStringLiteral("probe")};
}

}  // namespace

QString AlarmLogTimeText(const QDateTime &time) { return IsoTimeText(time); }

QStringList AlarmLogHeader()
{
    return {QStringLiteral("Time"), QStringLiteral("Appeared"), QStringLiteral("Cleared"), QStringLiteral("Note"),
            QStringLiteral("Port")};
}

QStringList AlarmLogRow(const AlarmLogEntry &entry)
{
    return {AlarmLogTimeText(entry.time), namesField(entry.appeared), namesField(entry.cleared), oneLine(entry.note),
            oneLine(entry.port)};
}

std::optional<AlarmLogEntry> AlarmLogEntryFromRow(const QStringList &fields)
{
    if (fields.isEmpty()) return std::nullopt;
    const QDateTime time = QDateTime::fromString(fields[0].trimmed(), Qt::ISODateWithMs);
    if (!time.isValid()) return std::nullopt;
    const auto field = [&fields](int i) { return i < fields.size() ? fields[i] : QString(); };
    return AlarmLogEntry{time, namesOf(field(1)), namesOf(field(2)), field(3).trimmed(), field(4).trimmed()};
}

AlarmLogRead ReadAlarmLog(QByteArrayView bytes)
{
    AlarmLogRead r;
    bool blank = true;
    for (char c : bytes)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') blank = false;
    if (blank) return r;

    r.kind = AlarmLogRead::Kind::Foreign;
    const QString notALog =
        QStringLiteral("its first line is not the header of an alarm log (\"Time\",\"Appeared\",\"Cleared\",\"Note\")");
    // A file is known foreign by its first line that is not blank, without
    // parsing the rest (a large binary would take long): the header is short.
    {
        qsizetype at = 0;
        while (at < bytes.size() && (bytes[at] == '\r' || bytes[at] == '\n' || bytes[at] == ' ' || bytes[at] == '\t')) ++at;
        constexpr qsizetype HeaderRoom = 4096;
        const QByteArrayView window = bytes.sliced(at, std::min(bytes.size() - at, HeaderRoom));
        const auto lineEnd = std::find(window.begin(), window.end(), '\n');
        if (lineEnd == window.end() && window.size() < bytes.size() - at) {
            r.error = notALog;
            return r;
        }
        const CsvRead first = ReadCsv(window.first(lineEnd - window.begin()));
        const QStringList header = AlarmLogHeader().mid(0, 4);
        bool matches = first.ok() && !first.records.isEmpty() && first.records[0].fields.size() >= header.size();
        for (qsizetype i = 0; matches && i < header.size(); ++i)
            matches = first.records[0].fields[i].trimmed().compare(header[i], Qt::CaseInsensitive) == 0;
        if (!matches) {
            r.error = first.ok() ? notALog : first.error;
            return r;
        }
    }

    const CsvRead csv = ReadCsv(bytes);
    if (!csv.ok()) {
        r.error = csv.error;
        return r;
    }
    // The first four columns name a log; a log from before the port was
    // logged has only these.
    const QStringList header = AlarmLogHeader().mid(0, 4);
    const auto isHeader = [&header](const CsvRecord &rec) {
        if (!rec.problem.isEmpty() || rec.fields.size() < header.size()) return false;
        for (qsizetype i = 0; i < header.size(); ++i)
            if (rec.fields[i].trimmed().compare(header[i], Qt::CaseInsensitive) != 0) return false;
        return true;
    };
    // Blank lines before the header are passed over: a file that held only
    // blank lines has the header written after them.
    const auto blankRecord = [](const CsvRecord &rec) {
        if (!rec.problem.isEmpty()) return false;
        for (const QString &f : rec.fields)
            if (!f.trimmed().isEmpty()) return false;
        return true;
    };
    qsizetype first = 0;
    while (first < csv.records.size() && blankRecord(csv.records[first])) ++first;
    if (first == csv.records.size() || !isHeader(csv.records[first])) {
        r.error = notALog;
        return r;
    }
    r.kind = AlarmLogRead::Kind::Log;
    for (qsizetype i = first + 1; i < csv.records.size(); ++i) {
        const CsvRecord &rec = csv.records[i];
        // Two programs that started the file at once each wrote the header.
        if (isHeader(rec)) continue;
        const std::optional<AlarmLogEntry> e = rec.problem.isEmpty() ? AlarmLogEntryFromRow(rec.fields) : std::nullopt;
        if (e) r.entries << *e;
        else r.skippedLines << rec.line;
    }
    r.openQuote = !appendable(bytes, "\r\n") && appendable(bytes, "\"\r\n");
    return r;
}

QString AlarmLogPath()
{
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty() || !QDir::isAbsolutePath(data)) data = QDir::homePath() + QStringLiteral("/.local/share");
    return data + QStringLiteral("/orvex/alarm-log.csv");
}

// ---- The log ----------------------------------------------------------------------

AlarmLogBook::AlarmLogBook(const QString &path, const Clock &clock, QObject *parent)
    : QObject(parent), m_path(path), m_clock(clock)
{
    load();
}

void AlarmLogBook::watch(DriveLink &link)
{
    connect(&link, &DriveLink::replyDecoded, this, [this, &link](const Reply &reply) {
        // The windows take the poll's replies as they come; the log's rows
        // are a file and take only a reply of the shape a job would take.
        if ((reply.keyword == u"ALM" || reply.keyword == u"S") &&
            !ReplyShapeProblem(reply.request.framed, true, reply.raw).isEmpty())
            return;
        // The clock is read only for a reply that logs something: most
        // change nothing, and the local time costs a look at the time zone.
        if (reply.keyword == u"ALM") {
            for (const AlarmLogEntry &e : m_watch.alarmsRead(static_cast<quint32>(reply.field[0]), m_clock)) add(e);
        } else if (reply.keyword == u"S") {
            const auto word = static_cast<quint32>(reply.field[0]);
            for (const AlarmLogEntry &e : m_watch.statusRead((word >> 23 & 1u) != 0, m_clock)) add(e);
            // Once while the alarm lasts: a drive whose alarm has no name
            // would otherwise be asked at every status reply.
            if (!m_watch.namesWanted()) m_namesAsked = false;
            // One "ALM" of its own, before the poll's next request; the link
            // takes it only when it replaces nothing.
            if (m_watch.namesWanted() && !m_namesAsked && m_askForNames &&
                link.askBeforePoll("ALM", QStringLiteral("ALM")))
                m_namesAsked = true;
        }
    });
}

void AlarmLogBook::alarmsRead(quint32 bits, const QDateTime &when)
{
    for (const AlarmLogEntry &e : m_watch.alarmsRead(bits, when)) add(e);
}

void AlarmLogBook::statusRead(quint32 statusWord, const QDateTime &when)
{
    for (const AlarmLogEntry &e : m_watch.statusRead((statusWord >> 23 & 1u) != 0, when)) add(e);
}

void AlarmLogBook::add(AlarmLogEntry entry)
{
    if (entry.port.isEmpty()) entry.port = m_port;
    m_entries << entry;
    if (m_entries.size() > MemoryLimit) m_entries.remove(0, m_entries.size() - MemoryLimit);
    if (!m_path.isEmpty()) {
        m_unwritten << entry;
        if (m_unwritten.size() > MemoryLimit) m_unwritten.remove(0, m_unwritten.size() - MemoryLimit);
        flush();
    }
    Q_EMIT entryAdded(entry);
}

void AlarmLogBook::load()
{
    readBack();
    showProblem();
}

namespace {

const QString KeptHere = QStringLiteral(
    " It is left as it is; new entries are kept in memory for this session and go into a new log once "
    "the file has been moved or renamed.");

// The file at the path, opened without following a symbolic link: a regular
// file, or nothing and why. Reading takes every byte, whatever the size.
struct Opened {
    int fd = -1;
    QString why;     // empty when open
    bool missing = false;
    bool link = false;  // a symbolic link, or not a regular file: never used
    AlarmLogFile::Identity id;
};

Opened openLog(const QString &path, bool write)
{
    Opened o;
    const AlarmLogFile::Result r = AlarmLogFile::open(path, write, &o.fd, &o.id);
    o.missing = r == AlarmLogFile::Result::Missing;
    o.link = r == AlarmLogFile::Result::NotRegular;
    if (r != AlarmLogFile::Result::Ok) o.why = AlarmLogFile::lastError();
    return o;
}

}  // namespace

void AlarmLogBook::refuse(const QString &why)
{
    m_refused = true;
    m_known.reset();
    m_loadProblem = why + KeptHere;
}

void AlarmLogBook::readBack()
{
    if (m_path.isEmpty()) return;
    Opened o = openLog(m_path, false);
    if (o.missing) return;
    if (o.link) return refuse(QStringLiteral("The alarm log %1 is not a regular file (%2).").arg(m_path, o.why));
    if (o.fd < 0) return refuse(QStringLiteral("The alarm log %1 could not be read (%2).").arg(m_path, o.why));
    QByteArray bytes;
    const bool read = AlarmLogFile::readAll(o.fd, &bytes);
    const QString readError = AlarmLogFile::lastError();
    AlarmLogFile::close(o.fd);
    if (!read) return refuse(QStringLiteral("The alarm log %1 could not be read (%2).").arg(m_path, readError));
    const AlarmLogRead log = ReadAlarmLog(bytes);
    if (log.kind == AlarmLogRead::Kind::Foreign)
        return refuse(QStringLiteral("%1 is not an alarm log of this program: %2.").arg(m_path, log.error));
    m_known = Known{o.id.device, o.id.inode, qint64(bytes.size())};
    m_lastChar = bytes.isEmpty() ? '\n' : bytes.back();
    m_entries = log.entries.mid(qMax<qsizetype>(0, log.entries.size() - MemoryLimit));
    m_closeQuote = log.openQuote;
    m_blankFile = log.kind == AlarmLogRead::Kind::Empty;
    if (!log.skippedLines.isEmpty()) {
        QStringList lines;
        for (int l : log.skippedLines.mid(0, 10)) lines << QString::number(l);
        if (log.skippedLines.size() > 10) lines << QStringLiteral("...");
        const bool one = log.skippedLines.size() == 1;
        m_loadProblem = QStringLiteral("%1 %2 of the alarm log %3 could not be read and %4 not shown (%5 %6); the "
                                       "file is left as it is and new entries are appended.")
                            .arg(log.skippedLines.size())
                            .arg(one ? QStringLiteral("row") : QStringLiteral("rows"), m_path,
                                 one ? QStringLiteral("is") : QStringLiteral("are"),
                                 one ? QStringLiteral("line") : QStringLiteral("lines"), lines.join(QStringLiteral(", ")));
    }
}

void AlarmLogBook::flush()
{
    if (m_unwritten.isEmpty()) return;
    if (m_refused) {
        // Refused until it has been moved away (or emptied): then a new log
        // starts with what waited.
        Opened o = openLog(m_path, false);
        qint64 size = -1;
        if (o.fd >= 0) {
            size = AlarmLogFile::size(o.fd);
            AlarmLogFile::close(o.fd);
        }
        if (!o.missing && size != 0) return;
        m_refused = false;
        m_closeQuote = false;
        m_loadProblem.clear();
    }
    const auto cannot = [this](const QString &why) {
        m_known.reset();  // read again in full before the next row
        m_writeProblem = QStringLiteral("The alarm log %1 could not be written: %2. %3 kept in memory and written "
                                        "with the next entry.")
                             .arg(m_path, why,
                                  m_unwritten.size() == 1 ? QStringLiteral("1 entry is")
                                                          : QStringLiteral("%1 entries are").arg(m_unwritten.size()));
        showProblem();
    };
    if (!QDir().mkpath(QFileInfo(m_path).absolutePath())) return cannot(QStringLiteral("its folder could not be made"));

    int fd = -1;
    AlarmLogFile::Identity id;
    bool created = false;
    switch (AlarmLogFile::openForAppend(m_path, &fd, &id, &created)) {
    case AlarmLogFile::Result::Ok:
        break;
    case AlarmLogFile::Result::NotRegular:
        refuse(QStringLiteral("The alarm log %1 is not a regular file (%2).").arg(m_path, AlarmLogFile::lastError()));
        showProblem();
        return;
    default:
        return cannot(AlarmLogFile::lastError());
    }
    // Appended to only as the alarm log read in full: read again when it is
    // another file or has changed since (another program logs into it too).
    if (!created && !(m_known && m_known->device == id.device && m_known->inode == id.inode &&
                      m_known->size == AlarmLogFile::size(fd))) {
        QByteArray bytes;
        const bool read = AlarmLogFile::readAllAgain(fd, &bytes);
        if (!read) {
            const QString why = AlarmLogFile::lastError();
            AlarmLogFile::close(fd);
            return cannot(why);
        }
        const AlarmLogRead log = ReadAlarmLog(bytes);
        if (log.kind == AlarmLogRead::Kind::Foreign) {
            AlarmLogFile::close(fd);
            refuse(QStringLiteral("%1 is not an alarm log of this program: %2.").arg(m_path, log.error));
            showProblem();
            return;
        }
        m_known = Known{id.device, id.inode, qint64(bytes.size())};
        m_closeQuote = log.openQuote;
        m_blankFile = log.kind == AlarmLogRead::Kind::Empty;
        m_lastChar = bytes.isEmpty() ? '\n' : bytes.back();
    }
    if (created) {
        m_known = Known{id.device, id.inode, 0};
        m_closeQuote = false;
        m_blankFile = true;
        m_lastChar = '\n';
    }

    QByteArray out;
    if (m_known->size > 0) {
        if (m_closeQuote) out += '"';
        if (m_closeQuote || (m_lastChar != '\n' && m_lastChar != '\r')) out += "\r\n";
    }
    // A new file, or blank lines alone, are no log yet: the header goes first.
    if (m_blankFile) out += CsvText({AlarmLogHeader()});
    QList<QStringList> rows;
    for (const AlarmLogEntry &e : std::as_const(m_unwritten)) rows << AlarmLogRow(e);
    out += CsvText(rows);

    const bool written = AlarmLogFile::writeAll(fd, out) && AlarmLogFile::sync(fd);
    const QString why = AlarmLogFile::lastError();
    const bool closed = AlarmLogFile::close(fd);
    if (!written || !closed) {
        // A row cut short: the file is read in full again before the next
        // rows, which then know how it ends. Every row waits again (a row may
        // then stand twice in the file, but none is lost).
        return cannot(written ? AlarmLogFile::lastError() : why);
    }
    m_known->size += out.size();
    m_lastChar = '\n';
    m_unwritten.clear();
    m_closeQuote = false;
    m_blankFile = false;
    m_writeProblem.clear();
    showProblem();
}

void AlarmLogBook::showProblem()
{
    QString problem = m_loadProblem;
    if (!m_writeProblem.isEmpty()) problem += (problem.isEmpty() ? QString() : QStringLiteral("\n")) + m_writeProblem;
    if (problem == m_problem) return;
    m_problem = problem;
    Q_EMIT fileProblemChanged(problem);
}
