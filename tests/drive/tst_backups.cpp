// Backups: named by their drive, never shared between writers, never left
// half-written.

#include "drive/backups.h"
#include "fulldisk.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <atomic>
#include <vector>

class TstBackups : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup() { qunsetenv("XDG_DATA_HOME"); }
    void driveNames_data();
    void driveNames();
    void writersAtOnceNeverShare();
    void fullDiskLeavesNoBackup();

private:
    std::unique_ptr<QTemporaryDir> m_home;
};

void TstBackups::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    qputenv("XDG_DATA_HOME", m_home->path().toLocal8Bit());
}

void TstBackups::driveNames_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("name");
    QTest::newRow("window program") << "COM1 /dev/ttyUSB0" << "COM1-ttyUSB0";
    QTest::newRow("by-id path") << "/dev/serial/by-id/usb-FTDI_A1B2-if00-port0" << "usb-FTDI_A1B2-if00-port0";
    QTest::newRow("network port") << "gw1:4001" << "gw1_4001";
    QTest::newRow("odd characters") << "COM2 /tmp/a b*c" << "COM2-a-b_c";
    QTest::newRow("none") << "" << "";
}

void TstBackups::driveNames()
{
    QFETCH(QString, port);
    QFETCH(QString, name);
    QCOMPARE(BackupDriveName(port), name);
    const QDateTime when(QDate(2026, 12, 6), QTime(14, 3, 22, 517));
    QCOMPARE(BackupFileName(when, port, QStringLiteral("parameters"), QStringLiteral("pxt")),
             QStringLiteral("2026-12-06_14-03-22.517_") + (name.isEmpty() ? QString() : name + u'_') +
                 QStringLiteral("parameters.pxt"));
}

// Eight drives written at once, ten rounds, all in the same millisecond and
// with one drive name: every backup gets a file of its own holding its own
// bytes (the name was checked, then taken, from several threads at once).
void TstBackups::writersAtOnceNeverShare()
{
    constexpr int Writers = 8, Rounds = 10;
    const QDateTime when = QDateTime::currentDateTime();
    std::vector<BackupResult> results(Writers * Rounds);
    std::atomic<int> ready{0};
    std::vector<std::unique_ptr<QThread>> threads;
    for (int w = 0; w < Writers; ++w) {
        threads.emplace_back(QThread::create([&, w] {
            ++ready;
            while (ready < Writers) {}
            for (int round = 0; round < Rounds; ++round) {
                const QByteArray bytes = QByteArray::number(w * 100 + round).rightJustified(240, '.');
                results[w * Rounds + round] =
                    WriteBackup(QStringLiteral("parameters"), QStringLiteral("pxt"), bytes, QStringLiteral("COM1"), when);
            }
        }));
        threads.back()->start();
    }
    for (auto &t : threads) QVERIFY(t->wait(10000));
    QSet<QString> paths;
    for (int i = 0; i < Writers * Rounds; ++i) {
        const BackupResult &r = results[i];
        QVERIFY2(r.ok, qPrintable(r.error));
        paths.insert(r.path);
        QFile f(r.path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const int w = i / Rounds, round = i % Rounds;
        QCOMPARE(f.readAll(), QByteArray::number(w * 100 + round).rightJustified(240, '.'));
    }
    QCOMPARE(paths.size(), Writers * Rounds);
    QCOMPARE(QDir(BackupFolder()).entryList(QDir::Files).size(), Writers * Rounds);
}

void TstBackups::fullDiskLeavesNoBackup()
{
    FullDisk disk;
    qputenv("XDG_DATA_HOME", disk.path(QStringLiteral("data")).toLocal8Bit());
    QVERIFY(QDir().mkpath(disk.path(QStringLiteral("data/orvex/backups"))));
    disk.fill();
    const BackupResult r = WriteBackup(QStringLiteral("pointtable"), QStringLiteral("ptt"), QByteArray(512, 'p'),
                                       QStringLiteral("COM1"));
    disk.empty();
    QVERIFY(!r.ok);
    QVERIFY2(r.error.contains(r.path), qPrintable(r.error));
    QCOMPARE(QDir(BackupFolder()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

QTEST_GUILESS_MAIN(TstBackups)
#include "tst_backups.moc"
