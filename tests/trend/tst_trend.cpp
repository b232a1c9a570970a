// The trend recorder's rules, file and poll, without a window: channel texts,
// the replies values are taken from, the bounded series, the rows with their
// held values and gap notes, the file's refusals and failures, and which
// "MON" replies the recorder is credited with. Runs in Japan's time zone, so
// that local time is told apart from UTC.

#include "drive/csvfiles.h"
#include "linktestutil.h"
#include "drive/trend/trendfile.h"
#include "drive/trend/trendpoller.h"
#include "drive/trend/trendrules.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <ctime>
#include <sys/resource.h>
#include <sys/stat.h>

Q_DECLARE_METATYPE(TrendChannel)

namespace {

using Kind = TrendChannel::Kind;
// 2026-12-06T14:03:22.000Z, 23:03:22 in Japan.
constexpr qint64 Start = 1796565802000;

TrendChannel item(int i) { return {Kind::Monitor, i}; }
TrendChannel bit(int row) { return {Kind::Status, row}; }

QString optText(const std::optional<qint32> &v) { return v ? QString::number(*v) : QStringLiteral("none"); }

}  // namespace

class TstTrend : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void channelTexts_data();
    void channelTexts();
    void choice_data();
    void choice();
    void replies_data();
    void replies();
    void series_data();
    void series();
    void rows_data();
    void rows();
    void timeText_data();
    void timeText();
    void fileStart_data();
    void fileStart();
    void fileFailure_data();
    void fileFailure();
    void poll_data();
    void poll();
};

void TstTrend::channelTexts_data()
{
    QTest::addColumn<TrendChannel>("channel");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("text");
    QTest::newRow("speed") << item(4) << -1500.0 << "Current Speed [rpm]" << "-1500";
    QTest::newRow("position") << item(0) << 2147483647.0 << "Current Position [pulse]" << "2147483647";
    QTest::newRow("peak load") << item(9) << 87.0 << "Peak Load Ratio [%]" << "87";
    QTest::newRow("point has no unit") << item(10) << 3.0 << "Point Table" << "3";
    QTest::newRow("nameless item") << item(7) << 0.0 << "Item 07" << "0";
    // The words as unsigned hexadecimal, also when read as a negative number.
    QTest::newRow("servo status word") << item(16) << -2147450880.0 << "Servo Status [hex]" << "0x80008000";
    QTest::newRow("command status word") << item(14) << 10.0 << "Comm.Cmnd.Status [hex]" << "0x0000000A";
    QTest::newRow("status bit") << bit(1) << 1.0 << "Run" << "1";
    QTest::newRow("item beyond the list") << item(17) << 5.0 << "?" << "5";
}

void TstTrend::channelTexts()
{
    QFETCH(TrendChannel, channel);
    QFETCH(double, value);
    QFETCH(QString, header);
    QFETCH(QString, text);
    QCOMPARE(TrendChannelHeader(channel), header);
    QCOMPARE(TrendValueText(channel, value), text);
}

void TstTrend::choice_data()
{
    QTest::addColumn<QList<int>>("items");
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<QList<TrendChannel>>("channels");
    QTest::newRow("repeats and strays left out, four at most")
        << QList<int>{4, 4, -1, 17, 0, 1, 2, 3} << QList<int>{} << QList<TrendChannel>{item(4), item(0), item(1), item(2)};
    QTest::newRow("bits in the status window's order")
        << QList<int>{6} << QList<int>{12, 1, 99} << QList<TrendChannel>{item(6), bit(1), bit(12)};
}

void TstTrend::choice()
{
    QFETCH(QList<int>, items);
    QFETCH(QList<int>, rows);
    QFETCH(QList<TrendChannel>, channels);
    QCOMPARE(TrendChannels(items, rows), channels);
}

void TstTrend::replies_data()
{
    QTest::addColumn<QByteArray>("reply");  // without its start and end characters
    QTest::addColumn<int>("asked");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("status");
    QTest::newRow("speed") << QByteArray("MON;4;05DC") << 4 << "1500" << "4";
    QTest::newRow("16-bit field negative") << QByteArray("MON;4;FA24") << 4 << "-1500" << "4";
    QTest::newRow("32-bit position") << QByteArray("MON;0;FFFFFFF0") << 0 << "-16" << "0";
    QTest::newRow("another item than asked") << QByteArray("MON;0;05DC") << 4 << "none" << "0";
    // The link's field array would still hold the previous reply's second
    // field here.
    QTest::newRow("value missing") << QByteArray("MON;4") << 4 << "none" << "4";
    QTest::newRow("no fields") << QByteArray("S") << 4 << "none" << "none";
    QTest::newRow("status word") << QByteArray("S;80008000;0;3;123;0") << 4 << "none" << "-2147450880";
}

void TstTrend::replies()
{
    QFETCH(QByteArray, reply);
    QFETCH(int, asked);
    QFETCH(QString, value);
    QFETCH(QString, status);
    const QByteArray framed = F(reply.constData());
    QCOMPARE(optText(TrendMonitorValue(framed, asked)), value);
    const std::optional<quint32> word = TrendStatusWord(framed);
    QCOMPARE(word ? QString::number(static_cast<qint32>(*word)) : QStringLiteral("none"), status);
    // Only a reply from its start character on is read.
    QVERIFY(!TrendMonitorValue(reply, asked));
}

void TstTrend::series_data()
{
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("appends");  // one a second from 1 s on, value = time in s
    QTest::addColumn<qint64>("at");
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("size");
    QTest::newRow("before the first") << 100 << 3 << qint64(500) << "none" << 3;
    QTest::newRow("on a sample") << 100 << 3 << qint64(2000) << "2" << 3;
    QTest::newRow("held between") << 100 << 3 << qint64(2999) << "2" << 3;
    QTest::newRow("held up to the gap") << 100 << 3 << qint64(5000) << "3" << 3;
    QTest::newRow("stale beyond it") << 100 << 3 << qint64(5001) << "none" << 3;
    // Full at 16: the oldest two go at once, so 15 remain after the 17th.
    QTest::newRow("bounded") << 16 << 17 << qint64(2000) << "none" << 15;
    QTest::newRow("bounded keeps the newest") << 16 << 17 << qint64(17000) << "17" << 15;
}

void TstTrend::series()
{
    QFETCH(int, limit);
    QFETCH(int, appends);
    QFETCH(qint64, at);
    QFETCH(QString, value);
    QFETCH(int, size);
    TrendSeries s(limit);
    for (int k = 1; k <= appends; ++k) s.append(k * 1000, k);
    const std::optional<double> v = s.valueAt(at);
    QCOMPARE(v ? QString::number(*v) : QStringLiteral("none"), value);
    QCOMPARE(s.points().size(), size);
    // A clock set back keeps the times in order.
    s.append(0, -1);
    QCOMPARE(s.points().constLast(), (TrendPoint{appends * 1000, -1}));
}

void TstTrend::rows_data()
{
    // Events from the start on: "v MS CH=VALUE,..." values came, "i MS" the
    // clock's check. Each row written is "elapsed|cells...|note".
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("first row, a column not yet read is empty")
        << QStringList{"v 100 0=1500"} << QStringList{"0.100|1500|||recording started"};
    QTest::newRow("latest values held")
        << QStringList{"v 100 0=1500", "v 300 2=1", "v 400 1=10,2=0"}
        << QStringList{"0.100|1500|||recording started", "0.300|1500||1|", "0.400|1500|0x0000000A|0|"};
    QTest::newRow("a column older than the gap is emptied and named")
        << QStringList{"v 100 0=1500", "v 2100 2=1", "v 2101 2=1"}
        << QStringList{"0.100|1500|||recording started", "2.100|1500||1|stale: Servo Status",
                       "2.101|||1|stale: Current Speed, Servo Status"};
    QTest::newRow("one gap row, then resumed")
        << QStringList{"v 100 0=7", "i 2100", "i 2101", "i 4000", "v 5100 0=8"}
        << QStringList{"0.100|7|||recording started", "2.101||||gap: no values since 23:03:22.100",
                       "5.100|8|||resumed after 5.0 s; stale: Servo Status, Run"};
    QTest::newRow("nothing from the start")
        << QStringList{"i 2500", "v 3000 2=0"}
        << QStringList{"2.500||||gap: no values since the start",
                       "3.000|||0|recording started; resumed after 3.0 s; stale: Current Speed, Servo Status"};
    QTest::newRow("a value for no recorded column writes nothing") << QStringList{"v 100 3=1"} << QStringList{};
}

void TstTrend::rows()
{
    QFETCH(QStringList, events);
    QFETCH(QStringList, rows);
    TrendRows table({item(4), item(16), bit(1)}, Start);
    QCOMPARE(table.header(), (QStringList{"Time", "Elapsed [s]", "Current Speed [rpm]", "Servo Status [hex]", "Run", "Note"}));
    QStringList written;
    for (const QString &e : events) {
        const QStringList parts = e.split(u' ');
        const qint64 t = Start + parts[1].toLongLong();
        QList<std::pair<int, double>> values;
        for (const QString &v : parts.value(2).split(u',', Qt::SkipEmptyParts))
            values.append({v.section(u'=', 0, 0).toInt(), v.section(u'=', 1).toDouble()});
        const std::optional<QStringList> row = parts[0] == u"v" ? table.take(t, values) : table.idle(t);
        if (!row) continue;
        QCOMPARE(row->first(), TrendTimeText(t));
        written << row->mid(1).join(u'|');
    }
    QCOMPARE(written, rows);
}

void TstTrend::timeText_data()
{
    QTest::addColumn<qint64>("ms");
    QTest::addColumn<QString>("text");
    QTest::newRow("local, milliseconds padded") << Start + 5 << "2026-12-06T23:03:22.005+09:00";
    QTest::newRow("the local date") << Start + 3'600'000 << "2026-12-07T00:03:22.000+09:00";
}

void TstTrend::timeText()
{
    QFETCH(qint64, ms);
    QFETCH(QString, text);
    QCOMPARE(TrendTimeText(ms), text);
    // What a reader of the file gets back from it.
    QCOMPARE(QDateTime::fromString(text, Qt::ISODateWithMs).toMSecsSinceEpoch(), ms);
}

void TstTrend::fileStart_data()
{
    // The file before: "-" none, "|" a named pipe, else its content.
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<bool>("replace");
    QTest::addColumn<bool>("opened");
    QTest::addColumn<QByteArray>("after");  // with one row "1","2" appended
    const QByteArray header = "\"A\",\"B\"\r\n";
    const QByteArray row = "\"1\",\"2\"\r\n";
    QTest::newRow("new file") << QByteArray("-") << false << true << header + row;
    QTest::newRow("empty file") << QByteArray() << false << true << header + row;
    QTest::newRow("same columns appended") << header + row << false << true << header + row + row;
    QTest::newRow("other columns kept") << QByteArray("\"A\",\"C\"\r\n\"5\",\"6\"\r\n") << false << false
                                        << QByteArray("\"A\",\"C\"\r\n\"5\",\"6\"\r\n");
    QTest::newRow("other columns replaced when chosen") << QByteArray("\"A\",\"C\"\r\n") << true << true << header + row;
    QTest::newRow("not a recording kept") << QByteArray("\x01\x02\x00 binary", 10) << false << false
                                          << QByteArray("\x01\x02\x00 binary", 10);
    QTest::newRow("a pipe is no file") << QByteArray("|") << true << false << QByteArray();
}

void TstTrend::fileStart()
{
    QFETCH(QByteArray, before);
    QFETCH(bool, replace);
    QFETCH(bool, opened);
    QFETCH(QByteArray, after);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("trend.csv"));
    if (before == "|") QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else if (before != "-") {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(before) == before.size());
    }
    TrendCsvFile file;
    QString error;
    QCOMPARE(file.open(path, {"A", "B"}, replace, &error), opened);
    QCOMPARE(error.isEmpty(), opened);
    if (opened) QVERIFY(file.append({"1", "2"}, &error) && file.flush(&error));
    file.close();
    if (before == "|") return;
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), after);
}

void TstTrend::fileFailure_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("said");
    QTest::newRow("removed") << "remove" << "was removed";
    QTest::newRow("disk refuses") << "full" << "File too large";
}

void TstTrend::fileFailure()
{
    QFETCH(QString, how);
    QFETCH(QString, said);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("trend.csv"));
    TrendCsvFile file;
    QString error;
    QVERIFY(file.open(path, {"A", "B"}, false, &error));
    QVERIFY(file.append({"1", "2"}, &error) && file.flush(&error));
    const QByteArray kept = "\"A\",\"B\"\r\n\"1\",\"2\"\r\n";

    rlimit old{};
    if (how == u"remove") {
        QVERIFY(QFile::remove(path));
    } else {
        // A file size limit makes the system refuse the write as a full disk
        // does; the signal it would also send is ignored as the program's
        // default handling of a failed write is tested, not the signal.
        std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &old), 0);
        rlimit small = old;
        small.rlim_cur = static_cast<rlim_t>(kept.size() + 100);
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
    }
    bool failed = false;
    for (int k = 0; k < 200 && !failed; ++k)
        failed = !file.append({QString::number(k), QStringLiteral("x")}, &error) || !file.flush(&error);
    if (how != u"remove") ::setrlimit(RLIMIT_FSIZE, &old);
    QVERIFY(failed);
    QVERIFY2(error.contains(said), qPrintable(error));
    file.close();
    if (how == u"remove") return;
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(f.readAll().startsWith(kept));  // what was written before stays
}

void TstTrend::poll_data()
{
    // Steps as in the link's tests: "<TEXT" a reply, "tag T" the active tag
    // (the panel is "4", the recorder "trend"), "tick N".
    QTest::addColumn<QList<int>>("items");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("written");  // after the opening "S"
    QTest::addColumn<QStringList>("values");   // "item=value" credited to the recorder
    QTest::addColumn<QStringList>("panel");    // "MON" replies the panel's decoder saw
    QTest::addColumn<int>("notTaken");
    QTest::newRow("items asked in turn")
        << QList<int>{4, 0} << QStringList{"<S;0", "<S;0", "<MON;4;05DC", "<S;0", "<MON;0;00000010", "<S;0"}
        << QStringList{"S", "MON;4", "S", "MON;0", "S", "MON;4"} << QStringList{"4=1500", "0=16"} << QStringList{} << 0;
    // A reply naming another item, or without its value, fails the reply
    // check: not credited, and the turn is given up as a lost poll's is.
    QTest::newRow("another item than asked is not taken")
        << QList<int>{4} << QStringList{"<S;0", "<S;0", "<MON;0;05DC", "<S;0", "<S;0", "<MON;4"}
        << QStringList{"S", "MON;4", "S", "S", "MON;4", "S"} << QStringList{} << QStringList{} << 2;
    QTest::newRow("the panel's reply stays the panel's")
        << QList<int>{4} << QStringList{"tag 4", "<S;0", "<S;0", "tag trend", "<MON;0;0007", "<S;0", "<MON;4;0064"}
        << QStringList{"S", "MON;0", "S", "MON;4", "S"} << QStringList{"4=100"} << QStringList{"MON;0;0007"} << 0;
    QTest::newRow("refused") << QList<int>{4} << QStringList{"<S;0", "<S;0", "<ERR;1"}
                             << QStringList{"S", "MON;4", "S"} << QStringList{} << QStringList{} << 1;
    QTest::newRow("a lost reply moves on to the next item")
        << QList<int>{4, 5} << QStringList{"<S;0", "<S;0", "tick 16", "<S;0", "<S;0"}
        << QStringList{"S", "MON;4", "S", "S", "MON;5"} << QStringList{} << QStringList{} << 0;
    QTest::newRow("nothing chosen: the turn asks S")
        << QList<int>{} << QStringList{"<S;0", "<S;0"} << QStringList{"S", "S"} << QStringList{} << QStringList{} << 0;
}

void TstTrend::poll()
{
    QFETCH(QList<int>, items);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, written);
    QFETCH(QStringList, values);
    QFETCH(QStringList, panel);
    QFETCH(int, notTaken);
    LinkRig rig;
    QString tag = QStringLiteral("trend");
    QStringList panelSeen;
    rig.link.setActiveTagSource([&] { return tag; });
    rig.link.setDecoder(QStringLiteral("MON"), [&](const Reply &reply) {
        const QByteArray &b = reply.raw;
        panelSeen << QString::fromLatin1(b.mid(1, b.size() - 2));
    });
    rig.link.setPollBuilder(QStringLiteral("4"), [&] { rig.link.setCommand("MON;0", "MON"); });
    TrendPoller poller(rig.link, QStringLiteral("trend"));
    poller.setItems(items);
    QStringList taken;
    QList<quint32> words;
    connect(&poller, &TrendPoller::monitorValue, this,
            [&](int i, qint32 v, qint64) { taken << QStringLiteral("%1=%2").arg(i).arg(v); });
    connect(&poller, &TrendPoller::statusWord, this, [&](quint32 w, qint64) { words << w; });

    rig.link.tick();  // opens the port and asks "S"
    QCOMPARE(requests(rig.port), QStringList{"S"});
    rig.port.written.clear();
    for (const QString &s : steps) {
        if (s.startsWith(u'<')) reply(rig.port, qPrintable(s.mid(1)));
        else if (s.startsWith(u"tag ")) tag = s.mid(4);
        else if (s.startsWith(u"tick "))
            for (int k = s.mid(5).toInt(); k > 0; --k) rig.link.tick();
    }
    QCOMPARE(requests(rig.port), written);
    QCOMPARE(taken, values);
    QCOMPARE(panelSeen, panel);
    QCOMPARE(poller.refusedReplies(), notTaken);
    QCOMPARE(words.size(), static_cast<qsizetype>(steps.filter(QStringLiteral("<S;")).size()));
}

int main(int argc, char **argv)
{
    qputenv("TZ", "JST-9");
    tzset();
    QCoreApplication app(argc, argv);
    TstTrend test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_trend.moc"
