#include "alarmlog.h"

#include "drive/csvfiles.h"
#include "drive/link/drivelink.h"
#include "drive/monitor/monitorrules.h"

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

QList<AlarmLogEntry> AlarmWatch::alarmsRead(quint32 bits, const QDateTime &when)
{
    return alarmsRead(bits, [&when] { return when; });
}

QList<AlarmLogEntry> AlarmWatch::alarmsRead(quint32 bits, const TimeSource &when)
{
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
            out << AlarmLogEntry{when(), AlarmNames(bits), {}, m_bit ? QString() : AlarmNote::presentAtStart()};
    } else if (*before != bits) {
        out << AlarmLogEntry{when(), AlarmNames(bits & ~*before), AlarmNames(*before & ~bits), {}};
    }
    return out;
}

QList<AlarmLogEntry> AlarmWatch::statusRead(bool alarmBit, const QDateTime &when)
{
    return statusRead(alarmBit, [&when] { return when; });
}

QList<AlarmLogEntry> AlarmWatch::statusRead(bool alarmBit, const TimeSource &when)
{
    QList<AlarmLogEntry> out;
    // No names came for the held line: it stands.
    if (m_held) out << *std::exchange(m_held, std::nullopt);
    const bool polled = std::exchange(m_namesPolled, false);
    std::optional<AlarmLogEntry> e = statusChange(alarmBit, when);
    if (e && polled && e->note == AlarmNote::bitSet()) m_held = std::move(e);
    else if (e) out << *e;
    return out;
}

std::optional<AlarmLogEntry> AlarmWatch::statusChange(bool alarmBit, const TimeSource &when)
{
    const std::optional<bool> before = m_bit;
    m_bit = alarmBit;
    if (before && *before == alarmBit) return std::nullopt;
    const bool named = m_named && *m_named != 0;
    // The names last read already tell it.
    if (m_named && named == alarmBit) return std::nullopt;
    if (alarmBit) return AlarmLogEntry{when(), {}, {}, before ? AlarmNote::bitSet() : AlarmNote::bitSetAtStart()};
    if (!named) {
        if (!before) return std::nullopt;  // no alarm at start
        return AlarmLogEntry{when(), {}, {}, AlarmNote::bitCleared()};
    }
    // No alarm is left: the names still standing have cleared.
    const quint32 gone = *m_named;
    m_named = 0;
    return AlarmLogEntry{when(), {}, AlarmNames(gone), AlarmNote::bitCleared()};
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

QString AlarmLogTimeText(const QDateTime &time)
{
    const int offset = time.offsetFromUtc();
    const int minutes = qAbs(offset) / 60;
    return time.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz")) + (offset < 0 ? u'-' : u'+') +
           QStringLiteral("%1:%2").arg(minutes / 60, 2, 10, QLatin1Char('0')).arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QStringList AlarmLogHeader()
{
    return {QStringLiteral("Time"), QStringLiteral("Appeared"), QStringLiteral("Cleared"), QStringLiteral("Note")};
}

QStringList AlarmLogRow(const AlarmLogEntry &entry)
{
    return {AlarmLogTimeText(entry.time), namesField(entry.appeared), namesField(entry.cleared), oneLine(entry.note)};
}

std::optional<AlarmLogEntry> AlarmLogEntryFromRow(const QStringList &fields)
{
    if (fields.isEmpty()) return std::nullopt;
    const QDateTime time = QDateTime::fromString(fields[0].trimmed(), Qt::ISODateWithMs);
    if (!time.isValid()) return std::nullopt;
    const auto field = [&fields](int i) { return i < fields.size() ? fields[i] : QString(); };
    return AlarmLogEntry{time, namesOf(field(1)), namesOf(field(2)), field(3).trimmed()};
}

AlarmLogRead ReadAlarmLog(QByteArrayView bytes)
{
    AlarmLogRead r;
    bool blank = true;
    for (char c : bytes)
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') blank = false;
    if (blank) return r;

    const CsvRead csv = ReadCsv(bytes);
    r.kind = AlarmLogRead::Kind::Foreign;
    if (!csv.ok()) {
        r.error = csv.error;
        return r;
    }
    const QStringList header = AlarmLogHeader();
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
        r.error = QStringLiteral("its first line is not the header of an alarm log (\"Time\",\"Appeared\",\"Cleared\",\"Note\")");
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

AlarmLogBook::AlarmLogBook(const QString &path, QObject *parent) : QObject(parent), m_path(path) { load(); }

void AlarmLogBook::watch(DriveLink &link)
{
    connect(&link, &DriveLink::replyDecoded, this, [this, &link](const Reply &reply) {
        // The clock is read only for a reply that logs something: most
        // change nothing, and the local time costs a look at the time zone.
        const AlarmWatch::TimeSource now = [] { return QDateTime::currentDateTime(); };
        if (reply.keyword == u"ALM") {
            for (const AlarmLogEntry &e : m_watch.alarmsRead(static_cast<quint32>(reply.field[0]), now)) add(e);
        } else if (reply.keyword == u"S") {
            const auto word = static_cast<quint32>(reply.field[0]);
            for (const AlarmLogEntry &e : m_watch.statusRead((word >> 23 & 1u) != 0, now)) add(e);
            // Once while the alarm lasts: a drive whose alarm has no name
            // would otherwise be asked at every status reply.
            if (!m_watch.namesWanted()) m_namesAsked = false;
            // One "ALM" of its own, before the poll's next request; the link
            // takes it only when it replaces nothing.
            if (m_watch.namesWanted() && !m_namesAsked && askForNames && askForNames() &&
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

void AlarmLogBook::add(const AlarmLogEntry &entry)
{
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

void AlarmLogBook::readBack()
{
    if (m_path.isEmpty()) return;
    const QFileInfo info(m_path);
    if (!info.exists()) return;
    const QString keptHere = QStringLiteral(
        " It is left as it is; new entries are kept in memory for this session and go into a new log once "
        "the file has been moved or renamed.");
    if (!info.isFile()) {
        m_refused = true;
        m_loadProblem = QStringLiteral("The alarm log %1 is not a file.").arg(m_path) + keptHere;
        return;
    }
    if (info.size() > CsvFileLimit) {
        m_loadProblem = QStringLiteral("The alarm log %1 is too large to be read back (more than %2 MB): the entries "
                                       "before this start are not shown. New entries are appended to it.")
                            .arg(m_path, QString::number(CsvFileLimit >> 20));
        return;
    }
    QString error;
    const std::optional<QByteArray> bytes = ReadCsvFile(m_path, &error);
    if (!bytes) {
        m_refused = true;
        m_loadProblem = QStringLiteral("The alarm log %1 could not be read (%2).").arg(m_path, error) + keptHere;
        return;
    }
    const AlarmLogRead read = ReadAlarmLog(*bytes);
    if (read.kind == AlarmLogRead::Kind::Foreign) {
        m_refused = true;
        m_loadProblem = QStringLiteral("%1 is not an alarm log of this program: %2.").arg(m_path, read.error) + keptHere;
        return;
    }
    m_entries = read.entries.mid(qMax<qsizetype>(0, read.entries.size() - MemoryLimit));
    m_closeQuote = read.openQuote;
    m_blankFile = read.kind == AlarmLogRead::Kind::Empty;
    if (!read.skippedLines.isEmpty()) {
        QStringList lines;
        for (int l : read.skippedLines.mid(0, 10)) lines << QString::number(l);
        if (read.skippedLines.size() > 10) lines << QStringLiteral("...");
        const bool one = read.skippedLines.size() == 1;
        m_loadProblem = QStringLiteral("%1 %2 of the alarm log %3 could not be read and %4 not shown (%5 %6); the "
                                       "file is left as it is and new entries are appended.")
                            .arg(read.skippedLines.size())
                            .arg(one ? QStringLiteral("row") : QStringLiteral("rows"), m_path,
                                 one ? QStringLiteral("is") : QStringLiteral("are"),
                                 one ? QStringLiteral("line") : QStringLiteral("lines"), lines.join(QStringLiteral(", ")));
    }
}

void AlarmLogBook::flush()
{
    if (m_unwritten.isEmpty()) return;
    const QFileInfo info(m_path);
    if (m_refused) {
        // Refused until it has been moved away (or emptied): then a new log
        // starts with what waited.
        if (info.exists() && !(info.isFile() && info.size() == 0)) return;
        m_refused = false;
        m_closeQuote = false;
        m_loadProblem.clear();
    }
    const auto cannot = [this](const QString &why) {
        m_writeProblem = QStringLiteral("The alarm log %1 could not be written: %2. %3 kept in memory and written "
                                        "with the next entry.")
                             .arg(m_path, why,
                                  m_unwritten.size() == 1 ? QStringLiteral("1 entry is")
                                                          : QStringLiteral("%1 entries are").arg(m_unwritten.size()));
        showProblem();
    };
    if (info.exists() && !info.isFile()) return cannot(QStringLiteral("it is not a file"));
    if (!QDir().mkpath(info.absolutePath())) return cannot(QStringLiteral("its folder could not be made"));

    QByteArray out;
    char last = '\n';
    if (info.exists() && info.size() > 0) {
        QFile in(m_path);
        if (in.open(QIODevice::ReadOnly) && in.seek(in.size() - 1)) in.getChar(&last);
        if (m_closeQuote) {
            out += '"';
            last = '"';
        }
        if (last != '\n' && last != '\r') out += "\r\n";
        // Blank lines alone are no log yet: the header goes first.
        if (m_blankFile) out += CsvText({AlarmLogHeader()});
    } else {
        out += CsvText({AlarmLogHeader()});
    }
    QList<QStringList> rows;
    for (const AlarmLogEntry &e : std::as_const(m_unwritten)) rows << AlarmLogRow(e);
    out += CsvText(rows);

    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) return cannot(file.errorString());
    const qint64 written = file.write(out);
    const bool flushed = file.flush();
    if (written != out.size() || !flushed) {
        // A row cut short: whether the file now ends inside a quoted field
        // decides what goes before the next row. Every row waits again (a
        // row may then stand twice in the file, but none is lost).
        const QByteArray part = out.left(qMax<qint64>(0, written));
        if (written > 0) m_closeQuote = ((m_closeQuote ? 1 : 0) + part.count('"')) % 2 != 0;
        return cannot(file.errorString());
    }
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
