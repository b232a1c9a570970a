// The program against the simulated drive: it polls, and it comes back to a
// steady poll after every kind of misbehaviour of the line.

#include "e2eharness.h"

#include <QTest>

Q_DECLARE_METATYPE(sim::FaultConfig)

class TstE2eLink : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void pollsStatusAndActiveWindow();
    void survivesFault_data();
    void survivesFault();
    void resumesAfterPowerCycle();
    void reopensWhenTheLineComesBack();
    void resumesAfterMegabyteWithoutEnd();

private:
    // Two rounds of the poll answered in full after the mark.
    static bool pollsSteadily(E2eHarness &h, int timeoutMs = 6000);
};

bool TstE2eLink::pollsSteadily(E2eHarness &h, int timeoutMs)
{
    h.mark();
    return h.waitUntil([&] { return h.replies().filter(QRegularExpression(QStringLiteral("^IO;[0-9A-F]+$"))).size() >= 2; },
                       timeoutMs);
}

void TstE2eLink::pollsStatusAndActiveWindow()
{
    E2eHarness h;
    QVERIFY2(h.ok(), qPrintable(h.error()));
    QVERIFY(h.waitForRequest(QStringLiteral("IO")));
    // The I/O monitor is the active window at start: "S" and "IO" take turns.
    QVERIFY(h.waitUntil([&] { return h.requests(false).size() >= 7; }));
    const QStringList r = h.requests(false).mid(1, 6);  // the port opening adds one "S"
    QCOMPARE(r, QStringList({"S", "IO", "S", "IO", "S", "IO"}));
    QVERIFY(h.link().portOpen());
}

void TstE2eLink::survivesFault_data()
{
    QTest::addColumn<sim::FaultConfig>("faults");
    QTest::addColumn<int>("faultyMs");
    sim::FaultConfig f;
    f.dropNext = 3;
    QTest::newRow("three poll replies dropped") << f << 0;
    f = {};
    f.dropKeywords = {"S"};
    QTest::newRow("status never answered") << f << 2500;
    f = {};
    f.garbleRate = 0.2;
    QTest::newRow("garbled characters") << f << 800;
    f = {};
    f.noiseRate = 1;
    f.noiseLength = 40;
    QTest::newRow("noise before the start") << f << 500;
    f = {};
    f.doubleStartRate = 1;
    QTest::newRow("second start character") << f << 500;
    f = {};
    f.strayEndRate = 1;
    QTest::newRow("end characters outside a reply") << f << 500;
    f = {};
    f.splitRate = 1;
    f.splitGapMs = 30;
    QTest::newRow("replies in pieces") << f << 500;
    f = {};
    f.stallRate = 1;
    f.stallMs = 2000;
    QTest::newRow("reply stalls past the time-out") << f << 2500;
    f = {};
    f.oversizeRate = 1;
    QTest::newRow("replies of 300 fields") << f << 500;
}

void TstE2eLink::survivesFault()
{
    QFETCH(sim::FaultConfig, faults);
    QFETCH(int, faultyMs);
    E2eHarness h;
    QVERIFY2(h.ok(), qPrintable(h.error()));
    QVERIFY(pollsSteadily(h));
    h.setFaults(faults);
    // A fault that counts itself out stays until it has; the others are
    // switched off after a while.
    if (faultyMs > 0) {
        h.idle(faultyMs);
        h.clearFaults();
    }
    // The fault did reach the line.
    QVERIFY(h.waitUntil([&] {
        const auto t = h.transcript();
        return std::any_of(t.begin(), t.end(), [](const sim::TranscriptEntry &e) { return !e.note.empty(); });
    }, 3000));
    // Lost poll replies are dropped silently and the poll starts over with "S".
    QVERIFY2(pollsSteadily(h, 8000), qPrintable(h.requests().join(QLatin1Char(' '))));
    QVERIFY(h.link().portOpen());
}

void TstE2eLink::resumesAfterPowerCycle()
{
    E2eHarness h;
    QVERIFY2(h.ok(), qPrintable(h.error()));
    QVERIFY(pollsSteadily(h));
    h.withModel([](sim::DriveModel &m) {
        m.handle("SVON");
        return 0;
    });
    h.drive().powerCycle();
    QVERIFY(pollsSteadily(h));
    // After power-up the servo is off again.
    QVERIFY(h.waitForReply(QStringLiteral("S;41;")));
}

void TstE2eLink::reopensWhenTheLineComesBack()
{
    E2eHarness h;
    QVERIFY2(h.ok(), qPrintable(h.error()));
    QVERIFY(pollsSteadily(h));
    h.drive().vanish(std::chrono::milliseconds(600));
    QVERIFY(h.waitUntil([&] { return !h.link().portOpen(); }, 3000));
    QVERIFY(pollsSteadily(h, 8000));
    QVERIFY(h.link().portOpen());
}

void TstE2eLink::resumesAfterMegabyteWithoutEnd()
{
    E2eHarness h;
    QVERIFY2(h.ok(), qPrintable(h.error()));
    QVERIFY(pollsSteadily(h));
    sim::FaultConfig f;
    f.dropNext = 1;  // the flood stands in for the next reply
    h.setFaults(f);
    h.drive().flood(1 << 20);
    QVERIFY(pollsSteadily(h, 10000));
    QVERIFY(h.link().state().RecvBuf.size() <= DriveLink::MaxReplyLength);
}

QTEST_MAIN(TstE2eLink)
#include "tst_e2e_link.moc"
