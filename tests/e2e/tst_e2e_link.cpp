// The program against the simulated drive: it comes back to a steady poll
// after every kind of misbehaviour of the drive and of the line.

#include "e2eharness.h"

#include <QTest>

Q_DECLARE_METATYPE(sim::FaultConfig)

class TstE2eLink : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void survives_data();
    void survives();
};

void TstE2eLink::survives_data()
{
    QTest::addColumn<sim::FaultConfig>("faults");
    QTest::addColumn<int>("faultyMs");  // 0: the fault counts itself out
    QTest::addColumn<QString>("event");
    sim::FaultConfig f;
    f.dropNext = 1;  // the flood stands in for the reply
    QTest::newRow("a reply lost in a megabyte without end") << f << 0 << "flood";
    f = {};
    f.garbleRate = 0.2;
    f.noiseRate = f.doubleStartRate = f.strayEndRate = f.splitRate = f.oversizeRate = 1;
    f.noiseLength = 40;
    f.splitGapMs = 30;
    QTest::newRow("garbled, noise, second starts, stray ends, pieces, 300 fields") << f << 800 << "";
    QTest::newRow("the line goes and comes back") << sim::FaultConfig() << 0 << "vanish";
}

void TstE2eLink::survives()
{
    QFETCH(sim::FaultConfig, faults);
    QFETCH(int, faultyMs);
    QFETCH(QString, event);
    E2eHarness h;
    QVERIFY2(h.ok(), qPrintable(h.error()));
    // Two rounds of the poll answered in full after the mark.
    const auto pollsSteadily = [&h](int timeoutMs) {
        h.mark();
        const QRegularExpression io(QStringLiteral("^IO;[0-9A-F]+$"));
        return h.waitUntil([&] { return h.replies().filter(io).size() >= 2; }, timeoutMs);
    };
    QVERIFY(pollsSteadily(6000));
    h.setFaults(faults);
    if (event == u"flood") h.drive().flood(1 << 20);
    if (event == u"vanish") {
        h.drive().vanish(std::chrono::milliseconds(600));
        QVERIFY(h.waitUntil([&] { return !h.link().portOpen(); }, 3000));
    }
    if (faultyMs > 0) {
        h.idle(faultyMs);
        h.clearFaults();
    }
    if (faults.any()) {  // the fault did reach the line
        QVERIFY(h.waitUntil([&] {
            const auto t = h.transcript();
            return std::any_of(t.begin(), t.end(), [](const sim::TranscriptEntry &e) { return !e.note.empty(); });
        }, 3000));
    }
    // Lost poll replies are dropped silently and the poll starts over with "S".
    QVERIFY2(pollsSteadily(10000), qPrintable(h.requests().join(QLatin1Char(' '))));
    QVERIFY(h.link().portOpen());
    QVERIFY(h.link().state().RecvBuf.size() <= DriveLink::MaxReplyLength);
}

QTEST_MAIN(TstE2eLink)
#include "tst_e2e_link.moc"
