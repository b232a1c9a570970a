// The fault runs, a few of each (the soak runs a hundred): parameter reads,
// partial parameter writes and point table writes through the drive
// library's jobs against simulated drives that garble 0.3 % and 1 % of the
// characters of their replies. None may end done with a value that is not on
// the drive. A read of each block once is counted beside them: a digit
// changed into another passes every check a single reply allows.

#include "faultruns.h"

#include <QTest>

using namespace faultruns;

class TstFaultRuns : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void garbledLine_data();
    void garbledLine();
};

void TstFaultRuns::garbledLine_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<double>("garble");
    QTest::addColumn<int>("runs");
    for (const double garble : {0.003, 0.01}) {
        QTest::addRow("read, %g", garble) << int(Kind::Read) << garble << 20;
        QTest::addRow("partial write, %g", garble) << int(Kind::PartialWrite) << garble << 20;
        QTest::addRow("points write, %g", garble) << int(Kind::PointsWrite) << garble << 10;
    }
}

void TstFaultRuns::garbledLine()
{
    QFETCH(int, kind);
    QFETCH(double, garble);
    QFETCH(int, runs);
    const Counts c = runAll(Kind(kind), garble, runs, 7);
    qInfo().noquote() << c.line(Kind(kind), garble);
    QCOMPARE(c.runs, runs);
    QCOMPARE(c.wrong, 0);
    QVERIFY(c.done > 0);  // the line is bad, not dead
    QVERIFY(c.garbled > 0);  // and it was bad
}

QTEST_GUILESS_MAIN(TstFaultRuns)
#include "tst_faultruns.moc"
