// The program against the simulated drive: it comes back to a steady poll
// after the drive and the line misbehave in every way at once. A flood and a
// lost port are the link's own tests.

#include "e2eharness.h"

#include <QTest>

class TstE2eLink : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void survivesAFaultyLine();
};

void TstE2eLink::survivesAFaultyLine()
{
    E2eHarness h;
    QVERIFY2(h.ok(), qPrintable(h.error()));
    // Two rounds of the poll answered in full after the mark.
    const auto pollsSteadily = [&h](int timeoutMs) {
        h.mark();
        const QRegularExpression io(QStringLiteral("^IO;[0-9A-F]+$"));
        return h.waitUntil([&] { return h.replies().filter(io).size() >= 2; }, timeoutMs);
    };
    QVERIFY(pollsSteadily(6000));
    sim::FaultConfig f;
    f.garbleRate = 0.2;
    f.noiseRate = f.doubleStartRate = f.strayEndRate = f.splitRate = f.oversizeRate = 1;
    f.noiseLength = 40;
    f.splitGapMs = 30;
    h.setFaults(f);
    h.idle(800);
    h.clearFaults();
    // The faults did reach the line.
    const auto t = h.transcript();
    QVERIFY(std::any_of(t.begin(), t.end(), [](const sim::TranscriptEntry &e) { return !e.note.empty(); }));
    // Lost poll replies are dropped silently and the poll starts over with "S".
    QVERIFY2(pollsSteadily(10000), qPrintable(h.requests().join(QLatin1Char(' '))));
    QVERIFY(h.link().portOpen());
    QVERIFY(h.link().state().RecvBuf.size() <= DriveLink::MaxReplyLength);
}

QTEST_MAIN(TstE2eLink)
#include "tst_e2e_link.moc"
