// The arithmetic behind the benchmark's figures: a wrong percentile or a
// wrongly cut span would print a figure that means nothing.

#include "benchstats.h"

#include <QTest>

Q_DECLARE_METATYPE(std::vector<double>)

class TstBenchStats : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void percentile_data();
    void percentile();
    void linkUse_data();
    void linkUse();
    void findsTheSpanOfATransfer();
};

void TstBenchStats::percentile_data()
{
    QTest::addColumn<std::vector<double>>("samples");
    QTest::addColumn<double>("p");
    QTest::addColumn<double>("expected");
    const std::vector<double> hundred = [] {
        std::vector<double> v;
        for (int i = 100; i >= 1; --i) v.push_back(i);  // unsorted on purpose
        return v;
    }();
    QTest::newRow("none") << std::vector<double>{} << 50.0 << 0.0;
    QTest::newRow("one") << std::vector<double>{7} << 99.0 << 7.0;
    QTest::newRow("median of an odd count") << std::vector<double>{5, 1, 3} << 50.0 << 3.0;
    QTest::newRow("median of an even count: the lower middle") << std::vector<double>{4, 1, 3, 2} << 50.0 << 2.0;
    QTest::newRow("p99 of 100: the 99th, not the largest") << hundred << 99.0 << 99.0;
    QTest::newRow("p100 is the largest") << hundred << 100.0 << 100.0;
    QTest::newRow("p0 is the smallest") << hundred << 0.0 << 1.0;
    QTest::newRow("p99 of 1000 with ten outliers") << [] {
        std::vector<double> v(990, 1.0);
        v.insert(v.end(), 10, 50.0);
        return v;
    }() << 99.0 << 1.0;
}

void TstBenchStats::percentile()
{
    QFETCH(std::vector<double>, samples);
    QFETCH(double, p);
    QFETCH(double, expected);
    QCOMPARE(Percentile(samples, p), expected);
}

void TstBenchStats::linkUse_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::addColumn<int>("exchanges");
    QTest::addColumn<long>("characters");
    QTest::addColumn<double>("measured");
    QTest::addColumn<double>("program");

    // Requests of 5 characters, replies of 20, 0.1 s apart.
    QTest::newRow("one exchange") << 1 << 1 << 1 << 25L << 0.05 << 0.0;
    QTest::newRow("three, gaps between them counted") << 0 << 2 << 3 << 75L << 0.25 << 0.1;
    QTest::newRow("last reply never ended") << 2 << 3 << 0 << 0L << 0.0 << 0.0;
    QTest::newRow("reversed span") << 2 << 1 << 0 << 0L << 0.0 << 0.0;
    QTest::newRow("not found") << -1 << 2 << 0 << 0L << 0.0 << 0.0;
    QTest::newRow("beyond the log") << 0 << 9 << 0 << 0L << 0.0 << 0.0;
}

void TstBenchStats::linkUse()
{
    QFETCH(int, first);
    QFETCH(int, last);
    QFETCH(int, exchanges);
    QFETCH(long, characters);
    QFETCH(double, measured);
    QFETCH(double, program);
    std::vector<Exchange> log;
    for (int i = 0; i < 4; ++i) log.push_back({QByteArray("\x02R;0\x04"), 0.1 * i, 0.1 * i + 0.05, 20, "R", i});
    log.back().ended = -1;
    const LinkUse u = LinkUseOf(log, first, last, 0.001);
    QCOMPARE(u.exchanges, exchanges);
    QCOMPARE(u.characters, characters);
    QVERIFY(qAbs(u.measuredSeconds - measured) < 1e-9);
    QVERIFY(qAbs(u.programSeconds - program) < 1e-9);
    if (exchanges > 0) QVERIFY(qAbs(u.efficiency - characters * 0.001 / measured) < 1e-9);
}

void TstBenchStats::findsTheSpanOfATransfer()
{
    // An upload: polls, then blocks 1..8 with "S" polls between them.
    std::vector<Exchange> log;
    auto add = [&](const char *request, const char *keyword, int field0) {
        const double t = 0.01 * static_cast<double>(log.size());
        log.push_back({QByteArray(request), t, t + 0.005, 10, QString::fromLatin1(keyword), field0});
    };
    add("\x02T;83;F;0\x04", "T", 0);
    add("\x02S\x04", "S", 0);
    for (int b = 1; b <= 8; ++b) {
        add("\x02T;3;F;0\x04", "T", b);
        add("\x02S\x04", "S", 1);  // a poll whose field 0 happens to be 1
    }
    QCOMPARE(FindReply(log, "T", 1), 2);
    QCOMPARE(FindReply(log, "T", 8), 16);
    QCOMPARE(FindReply(log, "T", 1, 3), -1);
    QCOMPARE(FindRequest(log, "\x02S\x04"), 1);
    QCOMPARE(FindRequest(log, "\x02S\x04", 2), 3);
    QCOMPARE(LinkUseOf(log, 2, 16, 0.001).exchanges, 15);
}

QTEST_APPLESS_MAIN(TstBenchStats)
#include "tst_benchstats.moc"
