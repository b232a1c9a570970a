// Keeping all monitors live: the poll the rotation rule makes on the link.

#include "linktestutil.h"

#include <QTest>

class TstPollRotation : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void poll_data();
    void poll();
};

void TstPollRotation::poll_data()
{
    QTest::addColumn<bool>("on");
    QTest::addColumn<QString>("active");
    QTest::addColumn<QStringList>("live");
    // "N": answered until N requests are written; "cmd X": X queued; "live A,B":
    // the windows on show change; "lose": the reply in flight is lost; "run",
    // "stop": a capture starts or ends in the waveform window.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("sent");  // after the opening "S"
    QTest::addColumn<int>("questions");
    // "0" alarm, "1" I/O, "2" status, "3" waveform (only while active), "4"
    // panel, "5" a window without request, "7" one that registered its own.
    const QStringList all{"2", "0", "5", "1", "4", "7"};
    QTest::newRow("off: the active window alone") << false << "4" << all << QStringList{"4"}
                                                   << QStringList{"S", "MON", "S", "MON"} << 0;
    QTest::newRow("round the windows on show, wrapping") << true << "4" << all << QStringList{"12"}
        << QStringList{"S", "VV", "S", "ALM", "S", "IO", "S", "MON", "S", "TR", "S", "VV"} << 0;
    QTest::newRow("waveform active: its T as ever") << true << "3" << QStringList{"3", "0", "4"} << QStringList{"4"}
                                                    << QStringList{"S", "T", "S", "T"} << 0;
    QTest::newRow("waveform not active: never T") << true << "4" << QStringList{"3", "4", "0"} << QStringList{"6"}
                                                  << QStringList{"S", "MON", "S", "ALM", "S", "MON"} << 0;
    QTest::newRow("active without request") << true << "" << QStringList{"0", "1"} << QStringList{"4"}
                                            << QStringList{"S", "ALM", "S", "IO"} << 0;
    QTest::newRow("commands first, the turn kept") << true << "4" << QStringList{"0", "1", "4"}
        << QStringList{"2", "cmd JOGOFF", "cmd ARST", "6"} << QStringList{"S", "ALM", "JOGOFF", "ARST", "S", "IO"} << 0;
    QTest::newRow("served window minimised") << true << "4" << QStringList{"0", "1", "4"}
        << QStringList{"2", "live 1,4", "6"} << QStringList{"S", "ALM", "S", "IO", "S", "MON"} << 0;
    // A capture armed or uploading ("run" ... "stop") joins the rotation
    // from behind the active window; off, it waits as ever.
    QTest::newRow("capture running joins") << true << "4" << QStringList{"3", "4", "0"}
        << QStringList{"2", "run", "8", "stop", "12"}
        << QStringList{"S", "MON", "S", "ALM", "S", "T", "S", "MON", "S", "ALM", "S", "MON"} << 0;
    QTest::newRow("off: capture running waits") << false << "4" << QStringList{"3", "4", "0"} << QStringList{"run", "4"}
                                                << QStringList{"S", "MON", "S", "MON"} << 0;
    // A lost reply asks only for the window the user looks at.
    QTest::newRow("lost, window not active: silent") << true << "4" << QStringList{"0", "4"}
                                                     << QStringList{"2", "lose"} << QStringList{"S", "ALM", "S"} << 0;
    QTest::newRow("lost, active window: asks") << true << "0" << QStringList{"0", "4"}
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
    QObject::connect(&r.link, &DriveLink::replyLost, &r.link, [&] {
        ++asked;
        r.link.giveUp();  // Cancel
    });
    r.link.setPollBuilder(QStringLiteral("2"), [&] { r.link.setCommand("VV", "VV"); });
    bool capturing = false;
    r.link.setPollBuilder(QStringLiteral("3"), [&] { r.link.setCommand("T", "T"); }, DriveLink::PollTurn::ActiveOnly,
                          [&] { return capturing; });
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
        else if (s == u"run" || s == u"stop") capturing = s == u"run";
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
