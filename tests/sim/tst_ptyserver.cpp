// The simulated drive on its pseudo-terminal, seen from the other end of the
// line: framing, bad input and the options.

#include "framedline.h"
#include "simtestutil.h"
#include "sim/ptyserver.h"
#include "sim/serverargs.h"

#include <QTest>

using namespace sim;
using namespace std::chrono_literals;

class TstPtyServer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void everyRequestIsAnsweredAndBadInputRefused();
    void options_data();
    void options();
};

void TstPtyServer::everyRequestIsAnsweredAndBadInputRefused()
{
    ServerConfig unpaced;
    unpaced.paced = false;
    PtyServer server(unpaced);
    QVERIFY(server.start());
    FramedLine line(QByteArray::fromStdString(server.devicePath()));
    QVERIFY(line.ok());
    // Bad input never stops the drive.
    line.send(QByteArray("garbage\x04\x03 more", 14));    // outside any request
    line.send("\x02" + QByteArray(5000, 'A'));             // a request that never ends
    line.send(QByteArray("\x00\xFF\x7F\x02\x02\x04", 6));  // binary, and an empty request
    QCOMPARE(line.frame(), QByteArray("ERR;1"));
    QCOMPARE(line.exchange("S;;;"), QByteArray("ERR;1"));
    QCOMPARE(line.exchange("S"), QByteArray("S;41;0;0;D7;0"));
    for (const auto &[request, count] : CatalogueRequests()) {
        const ReadReply r = readReply(line.exchange(request.toLatin1()));
        QVERIFY2(line.raw.startsWith('\x02') && line.raw.endsWith('\x04') && line.raw.count('\x02') == 1,
                 qPrintable(request));
        QCOMPARE(r.keyword, request.section(QLatin1Char(';'), 0, 0));
        QCOMPARE(r.fields.size(), count);
    }
}

void TstPtyServer::options_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("effect");  // empty: refused
    QTest::newRow("none") << QStringList() << "paced";
    QTest::newRow("no pace, delay") << QStringList{"--no-pace", "--delay=25"} << "unpaced 25";
    QTest::newRow("drop list") << QStringList{"--drop=S,IO,"} << "drop S IO";
    QTest::newRow("rates") << QStringList{"--garble=0.5", "--stall=1", "--stall-ms=10"} << "garble stall";
    QTest::newRow("rate above 1") << QStringList{"--garble=2"} << "";
    QTest::newRow("unknown") << QStringList{"--frobnicate"} << "";
}

void TstPtyServer::options()
{
    QFETCH(QStringList, args);
    QFETCH(QString, effect);
    std::vector<std::string> a;
    for (const QString &s : args) a.push_back(s.toStdString());
    const ServerArgs parsed = ParseServerArgs(a);
    QCOMPARE(parsed.error.empty(), !effect.isEmpty());
    const ServerConfig &c = parsed.config;
    if (effect == u"paced") QVERIFY(c.paced && !c.wholeReplies && c.responseDelay == 0us && !c.faults.any());
    if (effect == u"unpaced 25") QVERIFY(!c.paced && c.responseDelay == 25ms);
    if (effect == u"drop S IO") QCOMPARE(c.faults.dropKeywords, (std::set<std::string>{"S", "IO"}));
    if (effect == u"garble stall") QVERIFY(c.faults.garbleRate == 0.5 && c.faults.stallRate == 1 && c.faults.stallMs == 10);
}

QTEST_MAIN(TstPtyServer)
#include "tst_ptyserver.moc"
