// The numbers along a plot's axes: a bounded number of ticks for any range
// (the first capture in an empty analysis window once built thousands of
// labels), ranges with headroom and round ends, the clock's ticks on whole
// local seconds and minutes, and the decimals a resolution deserves.

#include "drive/plotscale.h"

#include <QTest>
#include <cmath>
#include <limits>

namespace PS = PlotScale;

class TstPlotScale : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void ticks_data();
    void ticks();
    void ranges_data();
    void ranges();
    void clock_data();
    void clock();
    void decimals_data();
    void decimals();
};

void TstPlotScale::ticks_data()
{
    QTest::addColumn<double>("lo");
    QTest::addColumn<double>("hi");
    QTest::addColumn<int>("asked");
    QTest::addColumn<int>("count");  // -1: any up to the bound
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("a capture's time at 8 ms") << -504.0 << 512.0 << 10 << -1;
    QTest::newRow("0 to 1 in 5") << 0.0 << 1.0 << 5 << 6;
    QTest::newRow("asked for thousands") << -504.0 << 512.0 << 100000 << -1;
    QTest::newRow("asked for none") << 0.0 << 10.0 << 0 << -1;
    QTest::newRow("tiny span far from 0") << 1e9 << 1e9 + 1e-6 << 10 << -1;
    QTest::newRow("huge span") << -1e300 << 1e300 << 10 << -1;
    QTest::newRow("empty") << 3.0 << 3.0 << 10 << 0;
    QTest::newRow("reversed") << 5.0 << 1.0 << 10 << 0;
    QTest::newRow("not a number") << std::nan("") << 1.0 << 10 << 0;
    QTest::newRow("infinite") << -inf << inf << 10 << 0;
}

void TstPlotScale::ticks()
{
    QFETCH(double, lo);
    QFETCH(double, hi);
    QFETCH(int, asked);
    QFETCH(int, count);
    const PS::Ticks t = PS::NiceTicks(lo, hi, asked);
    QVERIFY(int(t.values.size()) <= std::clamp(asked, 1, PS::TickLimit) + 1);
    if (count >= 0) QCOMPARE(int(t.values.size()), count);
    for (size_t i = 0; i < t.values.size(); ++i) {
        QVERIFY(t.values[i] >= lo - t.step * 1e-6 && t.values[i] <= hi + t.step * 1e-6);
        if (i > 0) QVERIFY(t.values[i] > t.values[i - 1]);
        // At multiples of 1, 2 or 5 times a power of ten.
        const double m = t.step / std::pow(10.0, std::floor(std::log10(t.step)));
        QVERIFY(std::abs(m - 1) < 1e-9 || std::abs(m - 2) < 1e-9 || std::abs(m - 5) < 1e-9);
    }
}

void TstPlotScale::ranges_data()
{
    QTest::addColumn<double>("lo");
    QTest::addColumn<double>("hi");
    QTest::addColumn<double>("from");
    QTest::addColumn<double>("to");
    QTest::newRow("speed 0 to 749.25 rpm") << 0.0 << 749.25 << -50.0 << 800.0;
    QTest::newRow("torque -1.8 to 27.4 %") << -1.8 << 27.4 << -4.0 << 30.0;
    QTest::newRow("a flat line") << 120.0 << 120.0 << 108.0 << 132.0;
    QTest::newRow("flat at 0") << 0.0 << 0.0 << -1.0 << 1.0;
    QTest::newRow("reversed") << 10.0 << 0.0 << -0.5 << 10.5;
    QTest::newRow("not a number") << std::nan("") << 1.0 << 0.0 << 1.0;
}

void TstPlotScale::ranges()
{
    QFETCH(double, lo);
    QFETCH(double, hi);
    QFETCH(double, from);
    QFETCH(double, to);
    const auto [a, b] = PS::NiceRange(lo, hi, 6);
    QCOMPARE(a, from);
    QCOMPARE(b, to);
}

void TstPlotScale::clock_data()
{
    QTest::addColumn<qint64>("from");
    QTest::addColumn<qint64>("to");
    QTest::addColumn<qint64>("gap");
    QTest::addColumn<qint64>("offset");
    QTest::addColumn<qint64>("step");  // between the ticks
    const qint64 t0 = 1765029802125;   // 2025-12-06T14:03:22.125Z
    QTest::newRow("10 s, a tick a second") << t0 << t0 + 10'000 << qint64(700) << qint64(0) << qint64(1000);
    QTest::newRow("10 min, labels 40 s apart") << t0 << t0 + 600'000 << qint64(40'000) << qint64(3600'000) << qint64(60'000);
    QTest::newRow("a day at a second's gap: bounded") << t0 << t0 + 86'400'000 << qint64(1) << qint64(0) << qint64(-1);
    QTest::newRow("half-hour zone") << t0 << t0 + 120'000 << qint64(20'000) << qint64(-(3 * 3600 + 1800) * 1000) << qint64(30'000);
}

void TstPlotScale::clock()
{
    QFETCH(qint64, from);
    QFETCH(qint64, to);
    QFETCH(qint64, gap);
    QFETCH(qint64, offset);
    QFETCH(qint64, step);
    const std::vector<qint64> ticks = PS::ClockTicks(from, to, gap, offset);
    QVERIFY(!ticks.empty() && int(ticks.size()) <= PS::TickLimit + 1);
    for (size_t i = 0; i < ticks.size(); ++i) {
        QVERIFY(ticks[i] >= from && ticks[i] <= to);
        if (step > 0) QCOMPARE((ticks[i] + offset) % step, qint64(0));  // on whole local units
        if (i > 0) {
            QVERIFY(ticks[i] - ticks[i - 1] >= gap);
            if (step > 0) QCOMPARE(ticks[i] - ticks[i - 1], step);
        }
    }
}

void TstPlotScale::decimals_data()
{
    QTest::addColumn<double>("resolution");
    QTest::addColumn<int>("decimals");
    QTest::newRow("speed, 0.75 rpm") << 0.75 << 1;
    QTest::newRow("torque, 900 units") << 100.0 / 900 << 1;
    QTest::newRow("torque, unknown type") << 1.0 << 0;
    QTest::newRow("a hundredth") << 0.01 << 2;
    QTest::newRow("none") << 0.0 << 1;
}

void TstPlotScale::decimals()
{
    QFETCH(double, resolution);
    QFETCH(int, decimals);
    QCOMPARE(PS::DecimalsFor(resolution), decimals);
    QCOMPARE(PS::Fixed(-0.04, 1), QStringLiteral("0.0"));
}

QTEST_GUILESS_MAIN(TstPlotScale)
#include "tst_plotscale.moc"
