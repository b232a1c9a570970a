#include "app/portfile.h"
#include "app/portinp.h"
#include "linktestutil.h"
#include "uitestutil.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

namespace {

void writeFile(const QByteArray &bytes)
{
    QFile f(PortFilePath());
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readFile()
{
    QFile f(PortFilePath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class TstPortFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void readPortFile_data();
    void readPortFile();
    void readMissingFile();
    void writePortFile_data();
    void writePortFile();
    void dialogActivation();
    void dialogOk_data();
    void dialogOk();
    void dialogRejectsNumberWithoutRoom();
    void dialogOfflineClosesPortAtOnce();
    void cancelGoesBackToSavedSettings();
    void enterClicksOk();
    void closeBoxChangesNothing();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TstPortFile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QDir::setCurrent(m_dir->path());
}

void TstPortFile::readPortFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("offline");
    QTest::newRow("written by us") << QByteArray(" 3 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n") << 3 << 0;
    QTest::newRow("port 4 offline") << QByteArray(" 4 \r\n 1 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n") << 4 << 1;
    QTest::newRow("commas") << QByteArray("7,1") << 7 << 1;
    QTest::newRow("blank lines and blanks") << QByteArray("\n  9   \n\n 1\n") << 9 << 1;
    QTest::newRow("only the port") << QByteArray("5") << 5 << 0;
    QTest::newRow("empty") << QByteArray() << 1 << 0;
    QTest::newRow("junk") << QByteArray("abc") << 1 << 0;
    QTest::newRow("junk second") << QByteArray("3\nxyz") << 3 << 0;
    QTest::newRow("no room in 16 bits") << QByteArray("99999\n1") << 1 << 0;
    QTest::newRow("negative") << QByteArray("-2\n0") << -2 << 0;
}

void TstPortFile::readPortFile()
{
    QFETCH(QByteArray, content);
    QFETCH(int, port);
    QFETCH(int, offline);
    writeFile(content);
    PortSettings s;
    s.PortNo = 9;
    s.SavedPortNo = 9;
    ReadPortFile(s);
    QCOMPARE(int(s.PortNo), port);
    QCOMPARE(int(s.OfflineMode), offline);
    // The saved pair is port 1, online, whatever the file holds.
    QCOMPARE(int(s.SavedPortNo), 1);
    QCOMPARE(int(s.SavedOffline), 0);
}

void TstPortFile::readMissingFile()
{
    PortSettings s;
    s.PortNo = 6;
    s.OfflineMode = 1;
    ReadPortFile(s);
    QCOMPARE(int(s.PortNo), 1);
    QCOMPARE(int(s.OfflineMode), 0);
}

void TstPortFile::writePortFile_data()
{
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("offline");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("port 3 online") << 3 << 0 << QByteArray(" 3 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n");
    QTest::newRow("port 12 offline") << 12 << 1 << QByteArray(" 12 \r\n 1 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n");
    QTest::newRow("negative") << -2 << 0 << QByteArray("-2 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n");
}

void TstPortFile::writePortFile()
{
    QFETCH(int, port);
    QFETCH(int, offline);
    QFETCH(QByteArray, bytes);
    PortSettings s;
    s.PortNo = qint16(port);
    s.OfflineMode = qint16(offline);
    WritePortFile(s);
    QCOMPARE(readFile(), bytes);
    PortSettings back;
    ReadPortFile(back);
    QCOMPARE(int(back.PortNo), port);
    QCOMPARE(int(back.OfflineMode), offline);
}

struct DialogRig {
    PortSettings settings;
    MemoryPort port;
    DriveLink link{settings, port};
    PortInp dialog{link, [] { return QList<PortEntry>{{1, "/dev/ttyS0", "built in"}, {3, "/dev/pts/7", "command line"}}; }};
};

void TstPortFile::dialogActivation()
{
    DialogRig r;
    r.settings.PortNo = 3;
    r.settings.OfflineMode = 1;
    r.dialog.show();
    QCOMPARE(r.dialog.TxtPortNo->text(), QStringLiteral("3"));
    QVERIFY(r.dialog.ChkOffLine->isChecked());
    QCOMPARE(r.dialog.LstPorts->topLevelItemCount(), 2);
    QCOMPARE(r.dialog.LstPorts->currentItem()->text(1), QStringLiteral("/dev/pts/7"));
    QCOMPARE(r.dialog.focusWidget(), r.dialog.TxtPortNo);
    r.dialog.hide();
    r.settings.PortNo = 1;
    r.settings.OfflineMode = 0;
    r.dialog.show();  // filled afresh at each activation
    QCOMPARE(r.dialog.TxtPortNo->text(), QStringLiteral("1"));
    QVERIFY(!r.dialog.ChkOffLine->isChecked());
}

void TstPortFile::dialogOk_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("port");
    QTest::newRow("3.9 selects 3") << "3.9" << 3;
    QTest::newRow("no digits selects 0") << "COM" << 0;
    QTest::newRow("rounded down") << "-2.5" << -3;
    QTest::newRow("leading number") << "5x" << 5;
}

void TstPortFile::dialogOk()
{
    QFETCH(QString, typed);
    QFETCH(int, port);
    DialogRig r;
    r.dialog.show();
    r.dialog.TxtPortNo->setText(typed);
    r.dialog.CmdOKCancel[0]->click();
    QCOMPARE(int(r.settings.PortNo), port);
    QCOMPARE(int(r.settings.OfflineMode), 0);
    QVERIFY(!r.dialog.isVisible());
    QVERIFY(readFile().startsWith(PortFileNumber(port).toLatin1() + "\r\n 0 \r\n"));
}

void TstPortFile::dialogRejectsNumberWithoutRoom()
{
    DialogRig r;
    r.dialog.show();
    r.dialog.TxtPortNo->setText(QStringLiteral("40000"));
    ModalAnswerer answer;
    r.dialog.CmdOKCancel[0]->click();
    QCOMPARE(answer.seen.size(), 1);
    QVERIFY(r.dialog.isVisible());
    QCOMPARE(int(r.settings.PortNo), 1);
    QVERIFY(!QFile::exists(PortFilePath()));
}

void TstPortFile::dialogOfflineClosesPortAtOnce()
{
    DialogRig r;
    r.port.open(1);
    r.settings.PortNo = 2;
    r.dialog.show();
    r.dialog.ChkOffLine->setChecked(true);
    r.dialog.CmdOKCancel[0]->click();
    QVERIFY(!r.port.isOpen());
    QCOMPARE(int(r.settings.OfflineMode), 1);
    QCOMPARE(int(r.settings.SavedOffline), 1);
    QCOMPARE(int(r.settings.SavedPortNo), 2);
    QCOMPARE(readFile().split('\n').value(1), QByteArray(" 1 \r"));
}

void TstPortFile::cancelGoesBackToSavedSettings()
{
    // Started with port 4, offline: the saved pair stays port 1, online, so
    // Cancel switches to port 1, online, and writes that.
    writeFile(" 4 \r\n 1 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n");
    DialogRig r;
    ReadPortFile(r.settings);
    r.dialog.show();
    r.dialog.CmdOKCancel[1]->click();
    QCOMPARE(int(r.settings.PortNo), 1);
    QCOMPARE(int(r.settings.OfflineMode), 0);
    QCOMPARE(readFile(), QByteArray(" 1 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n 0 \r\n"));
}

void TstPortFile::enterClicksOk()
{
    DialogRig r;
    r.dialog.show();
    r.dialog.TxtPortNo->setText(QStringLiteral("6"));
    QTest::keyClick(r.dialog.TxtPortNo, Qt::Key_Return);
    QCOMPARE(int(r.settings.PortNo), 6);
    r.dialog.show();
    r.dialog.TxtPortNo->setText(QStringLiteral("8"));
    QTest::keyClick(r.dialog.ChkOffLine, Qt::Key_Enter);
    QCOMPARE(int(r.settings.PortNo), 8);
}

void TstPortFile::closeBoxChangesNothing()
{
    DialogRig r;
    r.port.open(1);
    r.dialog.show();
    r.dialog.TxtPortNo->setText(QStringLiteral("9"));
    r.dialog.close();
    QCOMPARE(int(r.settings.PortNo), 1);
    QVERIFY(r.port.isOpen());
    QVERIFY(!QFile::exists(PortFilePath()));
}

QTEST_MAIN(TstPortFile)
#include "tst_portfile.moc"
