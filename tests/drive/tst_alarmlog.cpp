// The alarm log without a window: which replies make which entries, the
// entries as CSV rows and back, and the log file across restarts, damaged,
// foreign or unwritable.

#include "drive/alarmlog.h"
#include "drive/csvfiles.h"
#include "drive/link/drivelink.h"
#include "drive/link/frames.h"
#include "drive/link/memoryport.h"
#include "testclock.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <sys/stat.h>

namespace {

const QDateTime T0(QDate(2026, 12, 6), QTime(14, 3, 22, 125), QTimeZone(3600));

// An entry in short: "appeared|cleared|note", names joined by "+".
QString summary(const AlarmLogEntry &e)
{
    return e.appeared.join(u'+') + u'|' + e.cleared.join(u'+') + u'|' + e.note;
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

// The header of a log from before the port was logged, and of a new one.
const QByteArray Header = "\"Time\",\"Appeared\",\"Cleared\",\"Note\"\r\n";
const QByteArray NewHeader = "\"Time\",\"Appeared\",\"Cleared\",\"Note\",\"Port\"\r\n";

}  // namespace

class TstAlarmLog : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void replies_data();
    void replies();
    void timeText_data();
    void timeText();
    void rowRoundTrip_data();
    void rowRoundTrip();
    void readFile_data();
    void readFile();
    void survivesRestart();
    void appendsToDamagedFile_data();
    void appendsToDamagedFile();
    void keepsEntriesWhileFileUnusable_data();
    void keepsEntriesWhileFileUnusable();
    void clockAskedOnlyForEntries();
    void events_data();
    void events();
    void oldLogReadAndExtended();
    void onlyItsOwnRegularFile_data();
    void onlyItsOwnRegularFile();
    void readAgainWhenChanged();
    void garbledRepliesNotLogged();
};

void TstAlarmLog::replies_data()
{
    // Each reply: "ALM <hex>" (the alarms present) or "S <hex>" (the status word).
    QTest::addColumn<QStringList>("replies");
    QTest::addColumn<QStringList>("entries");
    const QString S0 = QStringLiteral("S 80000000"), S1 = QStringLiteral("S 80800000");
    QTest::newRow("quiet start") << QStringList{S0, "ALM 0", S0, "ALM 0"} << QStringList{};
    QTest::newRow("present at start") << QStringList{"ALM 2", "ALM 2"} << QStringList{"Over Load(01)||Present at start"};
    QTest::newRow("several at start, lowest first")
        << QStringList{"ALM 41"} << QStringList{"ROM Error(00)+Over Current Alarm(06)||Present at start"};
    QTest::newRow("bit at start, then its name")
        << QStringList{S1, "ALM 2", S1} << QStringList{"||Alarm bit set at start", "Over Load(01)||"};
    QTest::newRow("appear, add, clear one, clear all")
        << QStringList{"ALM 0", "ALM 2", "ALM 2", "ALM 42", "ALM 40", "ALM 0"}
        << QStringList{"Over Load(01)||", "Over Current Alarm(06)||", "|Over Load(01)|", "|Over Current Alarm(06)|"};
    QTest::newRow("one appears as another clears")
        << QStringList{"ALM 2", "ALM 4"} << QStringList{"Over Load(01)||Present at start", "Encoder Error(02)|Over Load(01)|"};
    QTest::newRow("bit alone, no alarm display")
        << QStringList{S0, S1, S1, S0, S0} << QStringList{"||Alarm bit set", "||Alarm bit cleared"};
    QTest::newRow("bit that the names already tell")
        << QStringList{S0, "ALM 0", "ALM 80", S1, "ALM 0", S0} << QStringList{"Excessive Deviation(07)||", "|Excessive Deviation(07)|"};
    QTest::newRow("bit clears names not read again")
        << QStringList{S0, "ALM 0", "ALM 80", S1, S0, "ALM 0"}
        << QStringList{"Excessive Deviation(07)||", "|Excessive Deviation(07)|Alarm bit cleared"};
    QTest::newRow("bit ahead of the polled names: one line")
        << QStringList{S0, "ALM 0", S1, "ALM 400", S1} << QStringList{"OT Error(10)||"};
    QTest::newRow("bit ahead of names that do not come")
        << QStringList{S0, "ALM 0", S1, S1, "ALM 400"} << QStringList{"||Alarm bit set", "OT Error(10)||"};
    QTest::newRow("bit ahead of names that tell none")
        << QStringList{S0, "ALM 0", S1, "ALM 2000", S1, "ALM 0"} << QStringList{"||Alarm bit set"};
    QTest::newRow("bits without a cell are not alarms")
        << QStringList{"ALM 0", "ALM FFFFE000", "ALM 80002001"} << QStringList{"ROM Error(00)||"};
    QTest::newRow("the never-shown cells are named too")
        << QStringList{"ALM 0", "ALM 1800"} << QStringList{QStringLiteral("通信異常（11）+加減速領域不足（10）||")};
    QTest::newRow("other status bits change nothing") << QStringList{S0, "S 8000", "S 0", "S FF7FFFFF"} << QStringList{};
    QTest::newRow("cleared at start logs nothing") << QStringList{"S 0", "ALM 0", "S 0"} << QStringList{};
}

void TstAlarmLog::replies()
{
    QFETCH(QStringList, replies);
    QFETCH(QStringList, entries);
    AlarmLogBook book(QString{});
    QDateTime t = T0;
    for (const QString &r : replies) {
        const quint32 value = r.section(u' ', 1).toUInt(nullptr, 16);
        if (r.startsWith(u"ALM")) book.alarmsRead(value, t);
        else book.statusRead(value, t);
        t = t.addMSecs(200);
    }
    QStringList got;
    for (const AlarmLogEntry &e : book.entries()) got << summary(e);
    QCOMPARE(got, entries);
    for (qsizetype i = 1; i < book.entries().size(); ++i) QVERIFY(book.entries()[i - 1].time < book.entries()[i].time);
}

void TstAlarmLog::timeText_data()
{
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<QString>("text");
    QTest::newRow("east of UTC") << T0 << "2026-12-06T14:03:22.125+01:00";
    QTest::newRow("UTC") << QDateTime(QDate(2027, 1, 2), QTime(0, 0, 0, 5), QTimeZone::utc()) << "2027-01-02T00:00:00.005+00:00";
    QTest::newRow("half hours west") << QDateTime(QDate(2026, 3, 1), QTime(23, 59, 59, 999), QTimeZone(-(3 * 3600 + 1800)))
                                     << "2026-03-01T23:59:59.999-03:30";
}

void TstAlarmLog::timeText()
{
    QFETCH(QDateTime, time);
    QFETCH(QString, text);
    QCOMPARE(AlarmLogTimeText(time), text);
    const std::optional<AlarmLogEntry> back = AlarmLogEntryFromRow({text});
    QVERIFY(back);
    QCOMPARE(back->time, time);
    QCOMPARE(back->time.offsetFromUtc(), time.offsetFromUtc());
}

void TstAlarmLog::rowRoundTrip_data()
{
    QTest::addColumn<QStringList>("appeared");
    QTest::addColumn<QStringList>("cleared");
    QTest::addColumn<QString>("note");
    QTest::addColumn<QString>("port");
    QTest::newRow("one name") << QStringList{"Over Load(01)"} << QStringList{} << "Present at start" << "COM1 /dev/ttyUSB0";
    QTest::newRow("several each side") << QStringList{"ROM Error(00)", "IGBT Error(09)"}
                                       << QStringList{"Over Load(01)", "OT Error(10)"} << "" << "";
    QTest::newRow("commas and quotes") << QStringList{"Over \"Load\", phase U", "a,b"} << QStringList{"\"\""}
                                       << "said \"reset\", then, again" << "";
    QTest::newRow("Japanese names") << QStringList{QStringLiteral("通信異常（11）")} << QStringList{QStringLiteral("加減速領域不足（10）")} << "" << "";
    QTest::newRow("nothing but a note") << QStringList{} << QStringList{} << "Alarm bit cleared" << "";
}

void TstAlarmLog::rowRoundTrip()
{
    QFETCH(QStringList, appeared);
    QFETCH(QStringList, cleared);
    QFETCH(QString, note);
    QFETCH(QString, port);
    const AlarmLogEntry entry{T0, appeared, cleared, note, port};
    const QByteArray text = CsvText({AlarmLogHeader(), AlarmLogRow(entry), AlarmLogRow(entry)});
    const AlarmLogRead read = ReadAlarmLog(text);
    QCOMPARE(read.kind, AlarmLogRead::Kind::Log);
    QCOMPARE(read.skippedLines, QList<int>{});
    QCOMPARE(read.entries, (QList<AlarmLogEntry>{entry, entry}));
    QVERIFY(!read.openQuote);
}

void TstAlarmLog::readFile_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("entries");
    QTest::addColumn<QList<int>>("skipped");
    QTest::addColumn<bool>("openQuote");
    const QByteArray row = "\"2026-12-06T14:03:22.125+01:00\",\"Over Load(01)\",\"\",\"\"\r\n";
    using K = AlarmLogRead::Kind;
    QTest::newRow("empty") << QByteArray() << int(K::Empty) << 0 << QList<int>{} << false;
    QTest::newRow("blank lines") << QByteArray("\r\n  \n") << int(K::Empty) << 0 << QList<int>{} << false;
    QTest::newRow("header only") << Header << int(K::Log) << 0 << QList<int>{} << false;
    QTest::newRow("as a spreadsheet saves it") << QByteArray("\xEF\xBB\xBFtime,APPEARED,Cleared,Note,Comment\n"
                                                            "2026-12-06T14:03:22.125+01:00,Over Load(01),,,checked\n")
                                               << int(K::Log) << 1 << QList<int>{} << false;
    QTest::newRow("rows without a time")
        << Header + row + "\"yesterday\",\"Over Load(01)\"\r\n\"\",\"x\"\r\n" + row << int(K::Log) << 2 << QList<int>{3, 4} << false;
    QTest::newRow("a broken row amid good ones")
        << Header + row + "\"2026-12-06T14:03:23.000+01:00\",\"Over\"Load\"\r\n" + row << int(K::Log) << 2 << QList<int>{3} << false;
    QTest::newRow("header twice (two starts at once)") << Header + Header + row + row << int(K::Log) << 2 << QList<int>{} << false;
    QTest::newRow("short rows") << Header + "\"2026-12-06T14:03:22.125+01:00\"\r\n" << int(K::Log) << 1 << QList<int>{} << false;
    QTest::newRow("last row cut short") << Header + row + "\"2026-12-06T14:03:23.000+01:00\",\"Over Lo"
                                        << int(K::Log) << 1 << QList<int>{3} << true;
    QTest::newRow("a parameter file") << QByteArray("\"Number\",\"Name\",\"Value\"\r\n\"00\",\"x\",\"1\"\r\n")
                                      << int(K::Foreign) << 0 << QList<int>{} << false;
    QTest::newRow("header only in part") << QByteArray("\"Time\",\"Appeared\"\r\n") << int(K::Foreign) << 0 << QList<int>{} << false;
    QTest::newRow("binary") << QByteArray("\x7F" "ELF\x02\x01\x01\0\0\0", 10) << int(K::Foreign) << 0 << QList<int>{} << false;
    QTest::newRow("UTF-16") << QByteArray("\xFF\xFET\0i\0m\0e\0") << int(K::Foreign) << 0 << QList<int>{} << false;
}

void TstAlarmLog::readFile()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, kind);
    QFETCH(int, entries);
    QFETCH(QList<int>, skipped);
    QFETCH(bool, openQuote);
    const AlarmLogRead read = ReadAlarmLog(bytes);
    QCOMPARE(int(read.kind), kind);
    QCOMPARE(read.entries.size(), entries);
    QCOMPARE(read.skippedLines, skipped);
    QCOMPARE(read.openQuote, openQuote);
    QCOMPARE(read.error.isEmpty(), read.kind != AlarmLogRead::Kind::Foreign);
}

void TstAlarmLog::survivesRestart()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("orvex/alarm-log.csv"));  // the folder is made as needed
    QList<AlarmLogEntry> first;
    {
        AlarmLogBook book(path);
        QCOMPARE(book.fileProblem(), QString());
        book.alarmsRead(0x2, T0);
        book.alarmsRead(0x42, T0.addSecs(1));
        first = book.entries();
        QCOMPARE(book.unwritten(), 0);
    }
    QCOMPARE(first.size(), 2);
    AlarmLogBook again(path);
    QCOMPARE(again.entries(), first);
    // A new start has a new baseline; its entries follow the old ones.
    again.alarmsRead(0x40, T0.addSecs(60));
    QCOMPARE(summary(again.entries().constLast()), "Over Current Alarm(06)||Present at start");
    const QByteArray bytes = fileBytes(path);
    QVERIFY(bytes.startsWith(NewHeader));
    QCOMPARE(bytes.count("\"Time\""), 1);
    QCOMPARE(AlarmLogBook(path).entries().size(), 3);
}

void TstAlarmLog::appendsToDamagedFile_data()
{
    QTest::addColumn<QByteArray>("damaged");
    QTest::addColumn<int>("readBefore");
    const QByteArray row = "\"2026-12-06T14:03:22.125+01:00\",\"Over Load(01)\",\"\",\"\"";
    QTest::newRow("no line break at the end") << Header + row << 1;
    QTest::newRow("last row cut inside a field") << Header + row + "\r\n\"2026-12-06T14:03:23.000+01:00\",\"Enc" << 1;
    QTest::newRow("garbage lines") << Header + "not,a \"row\r\n\x01\x02\r\n" + row + "\r\n" << 1;
    QTest::newRow("wild values") << Header + "\"9999-99-99T99:99:99.999+99:99\",\"x\"\r\n\"9999-12-31T23:59:59.999-14:00\",\"" +
                                        QByteArray(5000, 'x') + "\"\r\n" + row + "\r\n"
                                 << 2;
    QTest::newRow("header alone, no line break") << QByteArray("\"Time\",\"Appeared\",\"Cleared\",\"Note\"") << 0;
    // Rows appended without a header would make it a foreign file at the next start.
    QTest::newRow("blank lines only") << QByteArray("\r\n \t\n\n") << 0;
}

void TstAlarmLog::appendsToDamagedFile()
{
    QFETCH(QByteArray, damaged);
    QFETCH(int, readBefore);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("alarm-log.csv"));
    writeFile(path, damaged);
    QList<AlarmLogEntry> added;
    {
        AlarmLogBook book(path);
        QCOMPARE(book.entries().size(), readBefore);
        book.alarmsRead(0x200, T0.addSecs(5));
        book.alarmsRead(0, T0.addSecs(6));
        added = book.entries().mid(readBefore);
    }
    QCOMPARE(added.size(), 2);
    // Kept as it was, and what came after reads back.
    const QByteArray bytes = fileBytes(path);
    QVERIFY(bytes.startsWith(damaged));
    AlarmLogBook again(path);
    QCOMPARE(again.entries().mid(again.entries().size() - 2), added);
}

void TstAlarmLog::keepsEntriesWhileFileUnusable_data()
{
    QTest::addColumn<QByteArray>("foreign");  // null: a folder where the file should be
    QTest::newRow("a point table") << QByteArray("\"Point\",\"Abs/Inc\"\r\n\"0\",\" 0\"\r\n");
    QTest::newRow("binary") << QByteArray("\0\x01\x02\x03", 4);
    QTest::newRow("a note") << QByteArray("alarms to check: ROM Error(00)\n");
    QTest::newRow("a folder: nothing read or written") << QByteArray();
}

// A file that is not an alarm log is left alone; the entries wait, and once
// the file is moved away they start a new log.
void TstAlarmLog::keepsEntriesWhileFileUnusable()
{
    QFETCH(QByteArray, foreign);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("alarm-log.csv"));
    if (foreign.isNull()) QVERIFY(QDir().mkpath(path));
    else writeFile(path, foreign);
    AlarmLogBook book(path);
    QVERIFY2(book.fileProblem().contains(path), qPrintable(book.fileProblem()));
    if (!foreign.isNull()) QVERIFY(book.fileProblem().contains(QLatin1String("not an alarm log")));
    QSignalSpy problems(&book, &AlarmLogBook::fileProblemChanged);
    book.alarmsRead(0x2, T0);
    book.alarmsRead(0x6, T0.addSecs(1));
    QCOMPARE(book.entries().size(), 2);
    QCOMPARE(book.unwritten(), 2);
    if (foreign.isNull()) {
        QVERIFY(QDir(path).removeRecursively());
    } else {
        QCOMPARE(fileBytes(path), foreign);
        QVERIFY(QFile::rename(path, path + QStringLiteral(".old")));
    }
    book.alarmsRead(0x4, T0.addSecs(2));
    QCOMPARE(book.unwritten(), 0);
    QCOMPARE(book.fileProblem(), QString());
    QCOMPARE(problems.size(), 1);
    if (!foreign.isNull()) QCOMPARE(fileBytes(path + QStringLiteral(".old")), foreign);
    QCOMPARE(AlarmLogBook(path).entries(), book.entries());
}

// A reply that changes nothing does not read the clock; one that makes an
// entry reads it once, and the entry carries that time.
void TstAlarmLog::clockAskedOnlyForEntries()
{
    AlarmWatch watch;
    ManualClock clock(T0);
    // The replies in turn: no alarm at start, three more, the alarm bit twice, its name twice.
    struct Step { const char *reply; int made; int asked; };
    for (const Step &s : {Step{"S 0", 0, 0}, {"S 0", 0, 0}, {"S 0", 0, 0}, {"S 0", 0, 0},
                          {"S 1", 1, 1}, {"S 1", 0, 1}, {"ALM 1", 1, 2}, {"ALM 1", 0, 2}}) {
        clock.ms += 1000;
        const quint32 value = QByteArray(s.reply).split(' ').last().toUInt();
        const QList<AlarmLogEntry> made = qstrncmp(s.reply, "ALM", 3) == 0 ? watch.alarmsRead(value, clock)
                                                                          : watch.statusRead(value != 0, clock);
        QCOMPARE(made.size(), s.made);
        QCOMPARE(clock.reads, s.asked);
        if (s.made) QCOMPARE(made[0].time, clock.start.addMSecs(clock.ms));
    }
}

void TstAlarmLog::events_data()
{
    // Entries as "seconds after T0 port appeared|cleared|note", names joined by "+".
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("events");  // "seconds appeared|cleared|note"
    QTest::newRow("the bit, then its name: one event at the bit's time")
        << QStringList{"0 A ||Alarm bit set", "0.4 A Over Load(01)||"} << QStringList{"0 Over Load(01)||"};
    QTest::newRow("the name too late: two")
        << QStringList{"0 A ||Alarm bit set", "5 A Over Load(01)||"} << QStringList{"0 ||Alarm bit set", "5 Over Load(01)||"};
    QTest::newRow("at start") << QStringList{"0 A ||Alarm bit set at start", "1 A Over Load(01)||"}
                              << QStringList{"0 Over Load(01)||Present at start"};
    QTest::newRow("another drive's names do not join, its own do")
        << QStringList{"0 A ||Alarm bit set", "0.2 B ROM Error(00)||", "0.5 A Over Load(01)||"}
        << QStringList{"0 Over Load(01)||", "0.2 ROM Error(00)||"};
    QTest::newRow("names alone, and a bit that clears")
        << QStringList{"0 A Over Load(01)||", "1 A |Over Load(01)|Alarm bit cleared", "1.5 A Over Load(01)||"}
        << QStringList{"0 Over Load(01)||", "1 |Over Load(01)|Alarm bit cleared", "1.5 Over Load(01)||"};
}

void TstAlarmLog::events()
{
    QFETCH(QStringList, entries);
    QFETCH(QStringList, events);
    QList<AlarmLogEntry> in;
    for (const QString &e : entries) {
        const QStringList parts = e.section(u' ', 2).split(u'|');
        const auto names = [](const QString &n) { return n.isEmpty() ? QStringList{} : n.split(u'+'); };
        in << AlarmLogEntry{T0.addMSecs(qint64(e.section(u' ', 0, 0).toDouble() * 1000)), names(parts[0]), names(parts[1]),
                            parts[2], e.section(u' ', 1, 1)};
    }
    QStringList out;
    for (const AlarmLogEntry &e : AlarmLogEvents(in))
        out << QString::number(T0.msecsTo(e.time) / 1000.0) + u' ' + summary(e);
    QCOMPARE(out, events);
}

// A log from before the port was logged: read, and rows with the port
// appended to it.
void TstAlarmLog::oldLogReadAndExtended()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("alarm-log.csv"));
    const QByteArray old = Header + "\"2026-12-06T14:03:22.125+01:00\",\"Over Load(01)\",\"\",\"Present at start\"\r\n";
    writeFile(path, old);
    {
        AlarmLogBook book(path);
        QCOMPARE(book.entries().size(), 1);
        QCOMPARE(book.entries()[0].port, QString());
        book.setPort(QStringLiteral("COM2 /dev/ttyUSB1"));
        book.alarmsRead(0x4, T0.addSecs(5));
    }
    QVERIFY(fileBytes(path).startsWith(old));
    const QList<AlarmLogEntry> back = AlarmLogBook(path).entries();
    QCOMPARE(back.size(), 2);
    QCOMPARE(back[1].port, QStringLiteral("COM2 /dev/ttyUSB1"));
    QCOMPARE(summary(back[1]), QStringLiteral("Encoder Error(02)||Present at start"));
}

void TstAlarmLog::onlyItsOwnRegularFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("appended");
    QTest::newRow("a link to a log elsewhere") << "link to log" << false;
    QTest::newRow("a link to a large binary") << "link to binary" << false;
    QTest::newRow("a large binary") << "binary" << false;
    QTest::newRow("a large log, read in full") << "large log" << true;
    QTest::newRow("a named pipe") << "pipe" << false;
}

// The log appends only to a regular file it read in full as an alarm log,
// of any size, and never through a symbolic link.
void TstAlarmLog::onlyItsOwnRegularFile()
{
    QFETCH(QString, kind);
    QFETCH(bool, appended);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("alarm-log.csv"));
    const QString elsewhere = dir.filePath(QStringLiteral("elsewhere"));
    // Over 16 MB, in rows a reader takes quickly (a long note each).
    const QByteArray row = "\"2026-12-06T14:03:22.125+01:00\",\"Over Load(01)\",\"\",\"" + QByteArray(16000, 'n') + "\"\r\n";
    const QByteArray largeLog = Header + row.repeated(17 * 1024 * 1024 / row.size() + 1);
    QByteArray binary(17 * 1024 * 1024, '\x7f');
    binary.prepend("\x7f" "ELF");
    QByteArray before;
    if (kind == u"link to log" || kind == u"link to binary") {
        before = kind == u"link to log" ? Header : binary;
        writeFile(elsewhere, before);
        QVERIFY(QFile::link(elsewhere, path));
    } else if (kind == u"binary" || kind == u"large log") {
        before = kind == u"binary" ? binary : largeLog;
        writeFile(path, before);
    } else {
        QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
    }
    AlarmLogBook book(path);
    book.setPort(QStringLiteral("COM1 /dev/ttyS0"));
    book.alarmsRead(0x2, T0);
    if (appended) {
        QCOMPARE(book.unwritten(), 0);
        QCOMPARE(book.fileProblem(), QString());
        const QByteArray after = fileBytes(path);
        QVERIFY(after.startsWith(before) && after.size() > before.size());
        QCOMPARE(book.entries().size(), qMin<qsizetype>(AlarmLogBook::MemoryLimit, largeLog.count("\r\n") - 1 + 1));
        return;
    }
    QCOMPARE(book.unwritten(), 1);
    QVERIFY2(book.fileProblem().contains(path), qPrintable(book.fileProblem()));
    if (kind.startsWith(u"link")) {
        QVERIFY(QFileInfo(path).isSymLink());
        QCOMPARE(fileBytes(elsewhere), before);
    } else if (kind == u"binary") {
        QCOMPARE(fileBytes(path), before);
    }
}

// Another program appends to the same file (its own drive's rows): the file
// is read in full again, and the rows of both stand in it; a file put in its
// place that is no alarm log is left alone.
void TstAlarmLog::readAgainWhenChanged()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("alarm-log.csv"));
    AlarmLogBook one(path), two(path);
    one.setPort(QStringLiteral("COM1 /dev/ttyUSB0"));
    two.setPort(QStringLiteral("COM1 /dev/ttyUSB1"));
    one.alarmsRead(0x2, T0);
    two.alarmsRead(0x4, T0.addSecs(1));
    one.alarmsRead(0x0, T0.addSecs(2));
    QCOMPARE(one.unwritten() + two.unwritten(), 0);
    const AlarmLogRead read = ReadAlarmLog(fileBytes(path));
    QCOMPARE(read.kind, AlarmLogRead::Kind::Log);
    QStringList ports;
    for (const AlarmLogEntry &e : read.entries) ports << e.port.section(u'/', -1);
    QCOMPARE(ports, (QStringList{"ttyUSB0", "ttyUSB1", "ttyUSB0"}));
    QCOMPARE(fileBytes(path).count("\"Time\""), 1);

    // Replaced by something else: left as it is.
    QVERIFY(QFile::remove(path));
    writeFile(path, "Point,Abs/Inc\r\n0,0\r\n");
    one.alarmsRead(0x8, T0.addSecs(3));
    QCOMPARE(fileBytes(path), QByteArray("Point,Abs/Inc\r\n0,0\r\n"));
    QCOMPARE(one.unwritten(), 1);
    QVERIFY(one.fileProblem().contains(QLatin1String("not an alarm log")));
}

// Watching the link: a status or alarm reply that a job would not take (a
// field lost or bent on the line) writes no row, though the windows show it.
void TstAlarmLog::garbledRepliesNotLogged()
{
    PortSettings settings;
    MemoryPort port;
    DriveLink link(settings, port);
    link.setActiveTagSource([] { return QStringLiteral("0"); });  // the alarm display: "S", "ALM" in turn
    AlarmLogBook book(QString{});
    book.watch(link);
    link.OpenPort();
    const auto answer = [&](const char *text) { port.inject(FrameCmd(QByteArrayView(text))); };
    answer("S;80000000;0;3;123;1");  // the opening "S"
    answer("S;80000000;0;3;123;1");
    answer("ALM;0;0;0;0;0;0;0;0;0");
    answer("S;80800000;0;3;123");     // the alarm bit, a field short
    answer("ALM;2;0;0;0;0;0;0;0");    // an alarm, a field short
    answer("S;8080G000;0;3;123;1");   // the alarm bit, a digit bent
    answer("ALM;2;0;0;0;0;0;0;0;0");  // the alarm, whole
    QStringList got;
    for (const AlarmLogEntry &e : book.entries()) got << e.appeared.join(u'+') + u'|' + e.note;
    QCOMPARE(got, QStringList{"Over Load(01)|"});
}

QTEST_GUILESS_MAIN(TstAlarmLog)
#include "tst_alarmlog.moc"
