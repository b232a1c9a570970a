// Keeping all monitors live: the rotation rule, and the poll it makes on the
// link over the in-memory port.

#include "link/pollrotation.h"
#include "linktestutil.h"

#include <QTest>

class TstPollRotation : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void nextTag_data();
    void nextTag();
    void poll_data();
    void poll();
};

void TstPollRotation::nextTag_data()
{
    QTest::addColumn<QStringList>("live");
    QTest::addColumn<QString>("last");
    QTest::addColumn<QString>("next");
    QTest::newRow("nothing live") << QStringList() << "2" << "";
    QTest::newRow("first turn") << QStringList{"2", "0", "1"} << "" << "2";
    QTest::newRow("the one after") << QStringList{"2", "0", "1"} << "0" << "1";
    QTest::newRow("wraps round") << QStringList{"2", "0", "1"} << "1" << "2";
    QTest::newRow("last went away") << QStringList{"2", "1"} << "0" << "2";
    QTest::newRow("alone") << QStringList{"4"} << "4" << "4";
    QTest::newRow("listed twice") << QStringList{"0", "4", "0"} << "4" << "0";
}

void TstPollRotation::nextTag()
{
    QFETCH(QStringList, live);
    QFETCH(QString, last);
    QFETCH(QString, next);
    QCOMPARE(NextPollTag(live, last), next);
}

void TstPollRotation::poll_data()
{
    QTest::addColumn<bool>("on");
    QTest::addColumn<QString>("active");
    QTest::addColumn<QStringList>("live");
    // "N": answered until N requests are written; "cmd X": X queued; "live A,B":
    // the windows on show change; "lose": the reply in flight is lost.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("sent");  // after the opening "S"
    QTest::addColumn<int>("questions");
    // "0" alarm, "1" I/O, "2" status, "3" waveform (only while active), "4"
    // panel, "7" a window that registered its own builder.
    QTest::newRow("off: the active window alone") << false << "4" << QStringList{"2", "0", "4"} << QStringList{"4"}
                                                   << QStringList{"S", "MON", "S", "MON"} << 0;
    QTest::newRow("round the windows on show")
        << true << "4" << QStringList{"2", "0", "1", "4", "7"} << QStringList{"10"}
        << QStringList{"S", "VV", "S", "ALM", "S", "IO", "S", "MON", "S", "TR"} << 0;
    QTest::newRow("no builder, no turn") << true << "4" << QStringList{"5", "4", "0"} << QStringList{"4"}
                                         << QStringList{"S", "MON", "S", "ALM"} << 0;
    QTest::newRow("waveform active: its T as ever") << true << "3" << QStringList{"3", "0", "4"} << QStringList{"4"}
                                                    << QStringList{"S", "T", "S", "T"} << 0;
    QTest::newRow("waveform not active: never T") << true << "4" << QStringList{"3", "4", "0"} << QStringList{"6"}
                                                  << QStringList{"S", "MON", "S", "ALM", "S", "MON"} << 0;
    QTest::newRow("active without request") << true << "" << QStringList{"0", "1"} << QStringList{"4"}
                                            << QStringList{"S", "ALM", "S", "IO"} << 0;
    QTest::newRow("nothing on show: as ever") << true << "4" << QStringList() << QStringList{"2"}
                                              << QStringList{"S", "MON"} << 0;
    QTest::newRow("a command goes first, the turn stays")
        << true << "4" << QStringList{"0", "1", "4"} << QStringList{"2", "cmd JOGOFF", "cmd ARST", "6"}
        << QStringList{"S", "ALM", "JOGOFF", "ARST", "S", "IO"} << 0;
    QTest::newRow("a window minimised leaves the turn")
        << true << "4" << QStringList{"0", "1", "4"} << QStringList{"2", "live 1,4", "6"}
        << QStringList{"S", "ALM", "S", "IO", "S", "MON"} << 0;
    // A lost reply asks only for the window the user looks at.
    QTest::newRow("lost for a window not active: silent") << true << "4" << QStringList{"0", "4"}
                                                          << QStringList{"2", "lose"} << QStringList{"S", "ALM", "S"} << 0;
    QTest::newRow("lost for the active window: asks") << true << "0" << QStringList{"0", "4"}
                                                      << QStringList{"2", "lose"} << QStringList{"S", "ALM", "S"} << 1;
}

void TstPollRotation::poll()
{
    QFETCH(bool, on);
    QFETCH(QString, active);
    QFETCH(QStringList, live);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, sent);
    QFETCH(int, questions);
    LinkRig r;
    int asked = 0;
    r.link.askRetry = [&] { return ++asked < 0; };  // Cancel
    r.link.setPollBuilder(QStringLiteral("2"), [&] { r.link.setCommand("VV", "VV"); });
    r.link.setPollBuilder(QStringLiteral("3"), [&] { r.link.setCommand("T", "T"); }, DriveLink::PollTurn::ActiveOnly);
    r.link.setPollBuilder(QStringLiteral("4"), [&] { r.link.setCommand("MON", "MON"); });
    r.link.setPollBuilder(QStringLiteral("7"), [&] { r.link.setCommand("TR", "TR"); });
    r.link.setActiveTagSource([&] { return active; });
    r.link.setLiveTagSource([&] { return live; });
    r.link.setKeepAllLive(on);
    r.link.OpenPort();
    r.port.written.clear();
    reply(r.port, "S");
    for (const QString &s : steps) {
        if (s.startsWith(u"cmd ")) r.link.setCommandText(s.mid(4));
        else if (s.startsWith(u"live ")) live = s.mid(5).split(u',');
        else if (s == u"lose")
            for (int i = 0; i < 16; ++i) r.link.tick();
        else
            for (int guard = 0; r.port.written.size() < s.toInt() && guard < 50; ++guard)
                reply(r.port, RequestKeyword(r.port.written.last()).toByteArray().constData());
    }
    QCOMPARE(requests(r.port), sent);
    QCOMPARE(asked, questions);
}

QTEST_MAIN(TstPollRotation)
#include "tst_pollrotation.moc"
