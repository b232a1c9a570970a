// The real "orvex --simulate" as a process: it starts its own simulated
// drive and polls it.

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TstE2eProcess : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void simulateStartsOnlineAndPolls();
};

void TstE2eProcess::simulateStartsOnlineAndPolls()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString log = dir.filePath(QStringLiteral("drive.log"));
    QProcess orvex;
    orvex.setWorkingDirectory(dir.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    orvex.setProcessEnvironment(env);
    orvex.start(QStringLiteral(ORVEX_BINARY),
                {QStringLiteral("--simulate"), QStringLiteral("--sim-arg=--transcript=") + log});
    QVERIFY(orvex.waitForStarted(5000));

    QByteArray text;
    QTRY_VERIFY_WITH_TIMEOUT((text = [&] {
                                 QFile f(log);
                                 return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
                             }())
                                     .count(" < S;") >= 3,
                             15000);
    QVERIFY(text.contains(" > IO\n"));
    orvex.terminate();
    if (!orvex.waitForFinished(5000)) orvex.kill();
    // It ran in its own directory and wrote no port file.
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("cp.dat"))));
}

QTEST_MAIN(TstE2eProcess)
#include "tst_e2e_process.moc"
