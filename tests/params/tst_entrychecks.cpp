#include "params/entrychecks.h"
#include "resources/strings.h"

#include <QKeyEvent>
#include <QTest>

class TstEntryChecks : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void checkRangeDec_data();
    void checkRangeDec();
    void checkRangeHex_data();
    void checkRangeHex();
    void nextTxtIndex_data();
    void nextTxtIndex();
    void keyCodes();
};

void TstEntryChecks::checkRangeDec_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("range");
    QTest::addColumn<QString>("result");
    QTest::newRow("below minimum") << "5" << "10/9999" << " 10";
    QTest::newRow("above maximum") << "10000" << "10/9999" << " 9999";
    QTest::newRow("junk reads 0") << "abc" << "10/9999" << " 10";
    QTest::newRow("negative limit") << "-3000000" << "-2000000/2000000" << "-2000000";
    QTest::newRow("negative in range") << "-5" << "-2000000/2000000" << "-5";
    QTest::newRow("fraction stays") << "12.5" << "0/9999" << " 12.5";
    QTest::newRow("rounds into range") << "2500.4" << "0/2500" << " 2500.4";
    QTest::newRow("rounds out of range") << "2501.5" << "0/2500" << " 2500";
    QTest::newRow("beyond 32 bits") << "99999999999" << "0/99999" << " 99999";
    QTest::newRow("beyond 32 bits negative") << "-99999999999" << "-99999/99999" << "-99999";
    QTest::newRow("empty") << "" << "1/999" << " 1";
    QTest::newRow("point table speed 0.4") << "0.4" << "0/2500" << " .4";
    QTest::newRow("point table speed -1") << "-1" << "0/2500" << " 0";
    QTest::newRow("0/0") << "7" << "0/0" << " 0";
}

void TstEntryChecks::checkRangeDec()
{
    QFETCH(QString, text);
    QFETCH(QString, range);
    QFETCH(QString, result);
    QCOMPARE(CheckRangeDec(text, range), result);
}

void TstEntryChecks::checkRangeHex_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("range");
    QTest::addColumn<QString>("result");
    QTest::newRow("lower case") << "20a" << "0/1023" << "20A";
    QTest::newRow("3ff") << "3ff" << "0/1023" << "3FF";
    QTest::newRow("400 held") << "400" << "0/1023" << "3FF";
    QTest::newRow("FFFF held") << "FFFF" << "0/1023" << "3FF";
    QTest::newRow("empty") << "" << "0/1023" << "0";
    QTest::newRow("junk") << "XYZ" << "0/1023" << "0";
    QTest::newRow("leading zeros") << "0003" << "0/3" << "3";
    QTest::newRow("0/0") << "5" << "0/0" << "0";
    QTest::newRow("FFF") << "fff" << "0/4095" << "FFF";
    QTest::newRow("32-bit negative is below") << "FFFFFFFF" << "0/7" << "0";
}

void TstEntryChecks::checkRangeHex()
{
    QFETCH(QString, text);
    QFETCH(QString, range);
    QFETCH(QString, result);
    QCOMPARE(CheckRangeHex(text, range), result);
}

void TstEntryChecks::nextTxtIndex_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("result");
    QTest::newRow("up on 0 wraps") << 0 << int(KeyCode::Up) << 40 << 39;
    QTest::newRow("down on 39 wraps") << 39 << int(KeyCode::Down) << 40 << 0;
    QTest::newRow("enter on 12") << 12 << int(KeyCode::Enter) << 40 << 13;
    QTest::newRow("letter on 12") << 12 << int('A') << 40 << 12;
    QTest::newRow("maker count") << 39 << int(KeyCode::Down) << 60 << 40;
    QTest::newRow("maker wrap") << 59 << int(KeyCode::Enter) << 60 << 0;
    QTest::newRow("points up") << 0 << int(KeyCode::Up) << 32 << 31;
}

void TstEntryChecks::nextTxtIndex()
{
    QFETCH(int, index);
    QFETCH(int, key);
    QFETCH(int, count);
    QFETCH(int, result);
    QCOMPARE(NextTxtIndex(index, key, count), result);
    QCOMPARE(index, result);  // also left in the argument
}

void TstEntryChecks::keyCodes()
{
    const QKeyEvent enter(QEvent::KeyPress, Qt::Key_Enter, Qt::KeypadModifier);
    const QKeyEvent ret(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    const QKeyEvent up(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
    const QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    const QKeyEvent left(QEvent::KeyPress, Qt::Key_Left, Qt::NoModifier);
    QCOMPARE(KeyCodeOf(&enter), int(KeyCode::Enter));
    QCOMPARE(KeyCodeOf(&ret), int(KeyCode::Enter));
    QCOMPARE(KeyCodeOf(&up), int(KeyCode::Up));
    QCOMPARE(KeyCodeOf(&down), int(KeyCode::Down));
    QCOMPARE(KeyCodeOf(&left), 0);
    // The point table's column ranges.
    QCOMPARE(LoadResString(700), QStringLiteral("0/1"));
    QCOMPARE(LoadResString(701), QStringLiteral("-2000000/2000000"));
    QCOMPARE(LoadResString(702), QStringLiteral("0/2500"));
    QCOMPARE(LoadResString(703), QStringLiteral("0/9999"));
    QVERIFY(LoadResString(540).isEmpty());
}

QTEST_GUILESS_MAIN(TstEntryChecks)
#include "tst_entrychecks.moc"
